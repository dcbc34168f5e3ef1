#pragma once
// Windows bitmap files: 24 bits per pixel, uncompressed, rows bottom-up, each row padded to a
// multiple of four bytes. Both the toolkit loaders and the Windows loader read this form.
#include <cstdint>
#include <vector>

#include "skingen/raster.h"

namespace orvane::skingen {

inline constexpr std::uint32_t kBmpPixelOffset = 14 + 40;

std::vector<std::uint8_t> encodeBmp24(const Raster& image);

}  // namespace orvane::skingen
