#pragma once
// The LED container file's layout, shared by its reader (display/led_container.h) and the skin
// generator's writer: a table of named BMP images in one binary file.
//   offset 0:       entry count N (u32 LE), used only when N <= kMaxLedEntries
//   4 + 40 i:       entry i: name (32 bytes, NUL-terminated ASCII), offset (u32 LE), size (u32 LE)
//   then:           the images, where their entries point
#include <cstddef>
#include <cstdint>

namespace orvane::display {

inline constexpr char kLedContainerFile[] = "mini_leds.bmf";
inline constexpr std::size_t kLedCountBytes = 4;
inline constexpr std::size_t kLedNameBytes = 32;
inline constexpr std::size_t kLedEntryBytes = kLedNameBytes + 4 + 4;  // name, offset, size
inline constexpr std::uint32_t kMaxLedEntries = 20;

}  // namespace orvane::display
