// Picture decoding for unit tests, without a toolkit: a PNG gives a grey picture of the size
// in its header, a BMP ("BM" + width and height as two little-endian int32 at 18 and 22) the
// same; anything else gives nothing.
#include <cstring>

#include "platform/image.h"

namespace orvane::platform {

namespace {

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint32_t le32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

std::optional<Image> sized(std::uint32_t w, std::uint32_t h) {
    if (w == 0 || h == 0 || w > 4096 || h > 4096) return std::nullopt;
    return Image(static_cast<int>(w), static_cast<int>(h), 0xFF808080u);
}

}  // namespace

std::optional<Image> decodePngBytes(std::span<const std::uint8_t> b) {
    static constexpr std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 24 || std::memcmp(b.data(), kSig, 8) != 0) return std::nullopt;
    return sized(be32(b.data() + 16), be32(b.data() + 20));
}

std::optional<Image> decodeAnyImage(std::span<const std::uint8_t> b) {
    if (auto png = decodePngBytes(b)) return png;
    if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') return sized(le32(b.data() + 18), le32(b.data() + 22));
    return std::nullopt;
}

}  // namespace orvane::platform
