#pragma once
// Reading the skin's binary files back without any image library.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::skingen::testing {

inline std::optional<std::vector<std::uint8_t>> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::uint32_t le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8;
}

inline std::uint32_t le32(std::span<const std::uint8_t> b, std::size_t at) {
    return le16(b, at) | le16(b, at + 2) << 16;
}

// A 24-bit uncompressed bottom-up bitmap, checked field by field; nothing when any field is
// not what that form requires or the sizes disagree with the byte count.
struct Bmp24 {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline std::optional<Bmp24> parseBmp24(std::span<const std::uint8_t> b) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    if (le32(b, 2) != b.size() || le32(b, 10) != 54 || le32(b, 14) != 40) return std::nullopt;
    const auto width = static_cast<std::int32_t>(le32(b, 18));
    const auto height = static_cast<std::int32_t>(le32(b, 22));
    if (width <= 0 || height <= 0) return std::nullopt;  // positive height: bottom-up rows
    if (le16(b, 26) != 1 || le16(b, 28) != 24 || le32(b, 30) != 0) return std::nullopt;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (b.size() != 54 + stride * static_cast<std::size_t>(height)) return std::nullopt;
    Bmp24 out{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y) {
        const std::size_t row = 54 + stride * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const std::size_t p = row + 3 * static_cast<std::size_t>(x);
            out.pixels[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint32_t>(b[p]) |
                                                                  static_cast<std::uint32_t>(b[p + 1]) << 8 |
                                                                  static_cast<std::uint32_t>(b[p + 2]) << 16;
        }
    }
    return out;
}

}  // namespace orvane::skingen::testing
