#pragma once
// The LED container: a count, a table of fixed 40-byte entries (32-byte NUL-terminated name,
// offset, size, all little-endian) and the images one after the other.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane::skingen {

inline constexpr std::size_t kLedEntrySize = 40;
inline constexpr std::size_t kLedNameSize = 32;

struct LedImageFile {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// Nothing when a name does not fit its field with its terminating NUL, or is empty.
std::optional<std::vector<std::uint8_t>> buildLedContainer(const std::vector<LedImageFile>& images);

}  // namespace orvane::skingen
