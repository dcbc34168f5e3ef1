#pragma once
// A minimal PNG encoder (8-bit RGB, stored deflate blocks): enough for the status icons the
// server makes for itself, with no image library.
#include <cstdint>
#include <vector>

namespace orvane::webserver {

// `rgb` holds width * height pixels 0x00RRGGBB, rows top to bottom.
std::vector<std::uint8_t> encodePng(int width, int height, const std::vector<std::uint32_t>& rgb);

// The USB status icon of one colour: a 32 x 32 plug shape on light grey.
std::vector<std::uint8_t> usbIcon(std::uint32_t rgb);

}  // namespace orvane::webserver
