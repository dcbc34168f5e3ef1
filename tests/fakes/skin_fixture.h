#pragma once
// Small skin files written by the tests themselves: solid-colour BMPs, an LED container, and a
// one-frame GIF, in a fresh temporary folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvane::test {

// A 24-bit bottom-up BMP of w x h; `pixel(x, y)` gives 0xRRGGBB.
template <class PixelFn>
std::vector<std::uint8_t> makeBmp(int w, int h, PixelFn pixel) {
    const int rowBytes = (w * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * h);
    std::vector<std::uint8_t> b(54 + dataSize, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    put32(34, dataSize);
    for (int y = 0; y < h; ++y) {
        std::size_t row = 54 + static_cast<std::size_t>(h - 1 - y) * rowBytes;
        for (int x = 0; x < w; ++x) {
            std::uint32_t p = pixel(x, y);
            b[row + x * 3] = p & 0xFF;
            b[row + x * 3 + 1] = (p >> 8) & 0xFF;
            b[row + x * 3 + 2] = (p >> 16) & 0xFF;
        }
    }
    return b;
}

inline std::vector<std::uint8_t> solidBmp(int w, int h, std::uint32_t rgb) {
    return makeBmp(w, h, [rgb](int, int) { return rgb; });
}

// An LED container: `count` is written as given (it may disagree with the entries).
inline std::vector<std::uint8_t> makeLedContainer(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& images,
                                                  std::uint32_t count) {
    std::vector<std::uint8_t> out(4 + 40 * images.size(), 0);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(count >> (8 * i));
    for (std::size_t i = 0; i < images.size(); ++i) {
        std::size_t at = 4 + 40 * i;
        const auto& [name, bytes] = images[i];
        for (std::size_t c = 0; c < name.size() && c < 31; ++c) out[at + c] = static_cast<std::uint8_t>(name[c]);
        const auto offset = static_cast<std::uint32_t>(out.size());
        const auto size = static_cast<std::uint32_t>(bytes.size());
        for (int k = 0; k < 4; ++k) {
            out[at + 32 + k] = static_cast<std::uint8_t>(offset >> (8 * k));
            out[at + 36 + k] = static_cast<std::uint8_t>(size >> (8 * k));
        }
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

inline std::vector<std::pair<std::string, std::vector<std::uint8_t>>> sixLeds() {
    return {{"LedRed.bmp", solidBmp(12, 12, 0xFF0000)},    {"LedDarkRed.bmp", solidBmp(12, 12, 0x800000)},
            {"LedGreen.bmp", solidBmp(12, 12, 0x00FF00)},  {"LedYellow.bmp", solidBmp(12, 12, 0xFFFF00)},
            {"LedBlue.bmp", solidBmp(12, 12, 0x0000FF)},   {"LedDarkBlue.bmp", solidBmp(12, 12, 0x000080)}};
}

// A one-frame 1 x 1 GIF whose frame delay is 10 hundredths.
inline std::vector<std::uint8_t> tinyGif() {
    const unsigned char bytes[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0,
                                   0x21, 0xF9, 4, 0, 10, 0, 0, 0, 0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44,
                                   1, 0, 0x3B};
    return {bytes, bytes + sizeof bytes};
}

inline void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A folder of the system's temporary folder made for this call alone (with a trailing '/'),
// named `prefix` and a random part; empty when none can be made.
inline std::string makeTemporaryFolder(const std::string& prefix) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) return {};
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path dir = base / (prefix + std::to_string(random() % 1000000000000ull));
        // Made here or not at all: a folder that exists already belongs to someone else.
        if (std::filesystem::create_directory(dir, ec) && !ec) {
            std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace, ec);
            return dir.generic_string() + "/";
        }
    }
    return {};
}

// A fresh folder (with a trailing '/') holding every skin file except those in `omit`.
inline std::string makeSkinFolder(const std::set<std::string>& omit = {}) {
    const std::string dir = makeTemporaryFolder("orvane-skin-");
    auto put = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        if (!omit.count(name)) writeFile(dir + name, bytes);
    };
    put("btn-fleche.bmp", makeBmp(60, 60, [](int x, int y) { return (x - 30) * (x - 30) + (y - 30) * (y - 30) < 800 ? 0x8080C0u : 0u; }));
    put("btn-param.bmp", makeBmp(60, 60, [](int x, int y) { return (x - 30) * (x - 30) + (y - 30) * (y - 30) < 800 ? 0xC08080u : 0u; }));
    put("doc_img.bmp", solidBmp(30, 30, 0xEEEEEE));
    put("synthe_1.bmp", solidBmp(32, 32, 0x3366CC));
    put("vu_meter_2.bmp", solidBmp(150, 84, 0xF0E8C8));
    put("0.bmp", solidBmp(180, 110, 0x203040));
    for (int n = 1; n <= 10; ++n) {
        put(std::to_string(n) + ".bmp", makeBmp(80, 60, [](int x, int) { return x < 40 ? 0xFFFFFFu : 0u; }));
    }
    put("mini_leds.bmf", makeLedContainer(sixLeds(), 6));
    put("electron-animation.gif", tinyGif());
    put("chimes.wav", {'R', 'I', 'F', 'F'});
    return dir;
}

inline void removeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace orvane::test
