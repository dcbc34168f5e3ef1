#pragma once
// Little-endian appends, for the binary file formats the programs write (BMP, GIF, WAV, the
// LED container).
#include <cstdint>
#include <string_view>
#include <vector>

namespace orvane::base {

inline void putU8(std::vector<std::uint8_t>& out, unsigned v) { out.push_back(static_cast<std::uint8_t>(v)); }

inline void putU16(std::vector<std::uint8_t>& out, unsigned v) {
    putU8(out, v & 0xFFu);
    putU8(out, (v >> 8) & 0xFFu);
}

inline void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    putU16(out, v & 0xFFFFu);
    putU16(out, v >> 16);
}

inline void putText(std::vector<std::uint8_t>& out, std::string_view text) {
    for (char c : text) out.push_back(static_cast<std::uint8_t>(c));
}

}  // namespace orvane::base
