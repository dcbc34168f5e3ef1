#pragma once
// A plain pixel grid shared by the file writers, so they need no drawing toolkit.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane::skingen {

// Pixels 0x00RRGGBB, rows top to bottom.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    Raster() = default;
    Raster(int w, int h, std::uint32_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

}  // namespace orvane::skingen
