#pragma once
// Reduces true-colour frames to one shared palette of at most 256 colours (median cut), for
// the animated picture, whose format holds palette indices only.
#include <cstdint>
#include <vector>

#include "skingen/raster.h"

namespace orvane::skingen {

struct IndexedFrames {
    std::vector<std::uint32_t> palette;             // 0x00RRGGBB, 1..maxColours entries
    std::vector<std::vector<std::uint8_t>> frames;  // one index per pixel, rows top to bottom
};

// Every frame is mapped to its nearest palette colour. When the frames hold no more distinct
// colours than `maxColours`, the palette is exactly those colours and the mapping is lossless.
IndexedFrames quantizeFrames(const std::vector<Raster>& frames, int maxColours = 256);

}  // namespace orvane::skingen
