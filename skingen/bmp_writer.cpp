#include "skingen/bmp_writer.h"

#include "base/byte_writer.h"

namespace orvane::skingen {

std::vector<std::uint8_t> encodeBmp24(const Raster& image) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3u + 3u) & ~3u;
    const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    std::vector<std::uint8_t> out;
    out.reserve(kBmpPixelOffset + pixelBytes);

    // BITMAPFILEHEADER
    base::putText(out, "BM");
    base::putU32(out, kBmpPixelOffset + pixelBytes);
    base::putU32(out, 0);
    base::putU32(out, kBmpPixelOffset);
    // BITMAPINFOHEADER; a positive height means bottom-up rows.
    base::putU32(out, 40);
    base::putU32(out, static_cast<std::uint32_t>(image.width));
    base::putU32(out, static_cast<std::uint32_t>(image.height));
    base::putU16(out, 1);
    base::putU16(out, 24);
    base::putU32(out, 0);  // BI_RGB
    base::putU32(out, pixelBytes);
    base::putU32(out, 2835);  // 72 dpi
    base::putU32(out, 2835);
    base::putU32(out, 0);
    base::putU32(out, 0);

    for (int y = image.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            base::putU8(out, p & 0xFFu);
            base::putU8(out, (p >> 8) & 0xFFu);
            base::putU8(out, (p >> 16) & 0xFFu);
        }
        out.resize(rowStart + rowBytes, 0);
    }
    return out;
}

}  // namespace orvane::skingen
