#pragma once
// Writing the LED container (its layout, shared with the program's reader:
// display/led_container_format.h): the count, the table, the images one after the other.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/led_container_format.h"

namespace orvane::skingen {

struct LedImageFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// Nothing when a name does not fit its field with its terminating NUL, or is empty.
std::optional<std::vector<std::uint8_t>> buildLedContainer(const std::vector<LedImageFile>& images);

}  // namespace orvane::skingen
