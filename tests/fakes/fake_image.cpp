// Pictures for tests without a toolkit: a PNG gives a grey picture of the size in its header
// (any format is read as PNG), anything else nothing. Icons: "audio-input-microphone" (one
// icon, on the background) and the icon file "devices.dll" with two icons, 0 red and 1 blue,
// each with a one-pixel border of the background.
#include <cstring>

#include "platform/image.h"

namespace orvane::platform {

std::optional<Image> decodePngBytes(std::span<const std::uint8_t> b) {
    static constexpr std::uint8_t kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 24 || std::memcmp(b.data(), kSig, 8) != 0) return std::nullopt;
    auto be32 = [&](std::size_t at) {
        return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
    };
    const std::uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 4096 || h > 4096) return std::nullopt;
    return Image(static_cast<int>(w), static_cast<int>(h), 0xFF808080u);
}
std::optional<Image> decodeAnyImage(std::span<const std::uint8_t> b) { return decodePngBytes(b); }
std::optional<Image> loadBmpFile(const std::string&) { return std::nullopt; }
std::optional<Image> loadIconImage(const std::string& file, int number, int size, std::uint32_t background) {
    if (file == "audio-input-microphone" && number == 0) return Image(size, size, background);
    if (file != "devices.dll" || number < 0 || number > 1) return std::nullopt;
    Image icon(size, size, background);
    for (int y = 1; y + 1 < size; ++y)
        for (int x = 1; x + 1 < size; ++x) icon.at(x, y) = number == 0 ? 0xFFFF0000u : 0xFF0000FFu;
    return icon;
}

}  // namespace orvane::platform
