#include "assets/bmp_writer.h"

#include "assets/byte_writer.h"

namespace orvane::assets {

std::vector<std::uint8_t> encodeBmp24(const Raster& image) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3u + 3u) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    std::vector<std::uint8_t> out;
    out.reserve(kBmpPixelOffset + pixelBytes);

    // BITMAPFILEHEADER
    putText(out, "BM");
    putU32(out, kBmpPixelOffset + pixelBytes);
    putU32(out, 0);
    putU32(out, kBmpPixelOffset);
    // BITMAPINFOHEADER; a positive height means bottom-up rows.
    putU32(out, 40);
    putU32(out, static_cast<std::uint32_t>(image.width));
    putU32(out, static_cast<std::uint32_t>(image.height));
    putU16(out, 1);
    putU16(out, 24);
    putU32(out, 0);  // BI_RGB
    putU32(out, pixelBytes);
    putU32(out, 2835);  // 72 dpi
    putU32(out, 2835);
    putU32(out, 0);
    putU32(out, 0);

    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            putU8(out, p & 0xFFu);
            putU8(out, (p >> 8) & 0xFFu);
            putU8(out, (p >> 16) & 0xFFu);
        }
        out.resize(rowStart + rowBytes, 0);
    }
    return out;
}

}  // namespace orvane::assets
