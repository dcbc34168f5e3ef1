#pragma once
// Reading the LED container file (its layout: display/led_container_format.h).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "display/led_container_format.h"
#include "display/led_images.h"

namespace orvane::display {

struct LedContainerEntry {
    char name[kLedNameBytes + 1] = {};  // always terminated, even when the file's 32 bytes are not
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// The entry table, or nothing when N > 20 or the file is shorter than its count says.
std::optional<std::vector<LedContainerEntry>> readLedTable(std::span<const std::uint8_t> file);

// The bytes of the first entry named `name`; nothing when there is none or it lies outside the
// file.
std::optional<std::span<const std::uint8_t>> findLedImage(std::span<const std::uint8_t> file,
                                                          const std::vector<LedContainerEntry>& table,
                                                          const char* name);

// The six LED images of a container held in memory (missing ones stay empty).
LedImages decodeLedContainer(std::span<const std::uint8_t> file);

// The same from a file; no images when it cannot be read.
LedImages loadLedContainer(const std::string& path);

}  // namespace orvane::display
