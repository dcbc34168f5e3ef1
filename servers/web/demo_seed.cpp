#include "servers/web/demo_seed.h"

#include <cmath>
#include <string>
#include <vector>

#include "servers/web/png_writer.h"

namespace orvane::webserver {

namespace {

struct DemoUser {
    int number;
    const char* firstName;
    const char* town;
    const char* phrase;
    std::uint32_t colour;  // 0xRRGGBB of the picture
};

// UTF-8 texts, as an operator would type them.
constexpr DemoUser kUsers[] = {
    {3001, "Am\xC3\xA9lie", "Lyon", "Salut \xC3\xA0 tous !", 0xD04040},
    {3002, "J\xC3\xA9r\xC3\xB4me", "Brest", "Bonne journ\xC3\xA9" "e", 0x4060D0},
    {3010, "H\xC3\xA9l\xC3\xA8ne", "S\xC3\xA8te", "Essai, un, deux", 0x40A040},
};

// Digits 0-9 in a 3 x 5 grid, one row per 3 bits (high bit on the left).
constexpr std::uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

}  // namespace

Bytes portrait(int number, std::uint32_t colour) {
    constexpr int kSize = 64;
    std::vector<std::uint32_t> px(kSize * kSize, 0xE8E8E8);
    auto at = [&](int x, int y) -> std::uint32_t& { return px[static_cast<std::size_t>(y) * kSize + x]; };
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double head = std::hypot(x - 32.0, y - 24.0), body = std::hypot(x - 32.0, y - 76.0);
            if (head < 16 || body < 30) at(x, y) = colour;
            const bool eye = std::hypot(x - 26.0, y - 20.0) < 2.5 || std::hypot(x - 38.0, y - 20.0) < 2.5;
            const double mouth = std::hypot(x - 32.0, y - 24.0);
            if (eye || (y > 27 && mouth > 7 && mouth < 9)) at(x, y) = 0x202020;
        }
    }
    // The account number in white on the chest, two pixels per grid cell.
    const std::string digits = std::to_string(number);
    const int width = static_cast<int>(digits.size()) * 8 - 2;
    int x0 = (kSize - width) / 2;
    for (const char d : digits) {
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (!((kDigits[d - '0'][row] >> (2 - col)) & 1)) continue;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) at(x0 + col * 2 + dx, 50 + row * 2 + dy) = 0xFFFFFF;
            }
        }
        x0 += 8;
    }
    return encodePng(kSize, kSize, px);
}

std::uint32_t portraitColour(int number) {
    // Distinct hues for neighbouring numbers: steps of the golden angle around the colour wheel.
    const double hue = std::fmod(number * 137.508, 360.0) / 60.0;
    const double f = hue - std::floor(hue);
    const int v = 200, p = 60, q = static_cast<int>(200 - 140 * f), t = static_cast<int>(60 + 140 * f);
    int r = v, g = t, b = p;
    switch (static_cast<int>(hue)) {
        case 1: r = q, g = v, b = p; break;
        case 2: r = p, g = v, b = t; break;
        case 3: r = p, g = q, b = v; break;
        case 4: r = t, g = p, b = v; break;
        case 5: r = v, g = p, b = q; break;
        default: break;
    }
    return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
}

namespace {

Bytes landscape() {
    constexpr int kW = 320, kH = 200;
    std::vector<std::uint32_t> px(kW * kH);
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool sea = y > 120, sun = std::hypot(x - 240.0, y - 60.0) < 25;
            const auto shade = static_cast<std::uint32_t>(255 - y / 2);
            px[static_cast<std::size_t>(y) * kW + x] = sun ? 0xFFD020 : sea ? (0x2050A0 + static_cast<std::uint32_t>(x % 7)) : (((shade / 2) << 16) | ((shade * 4 / 5) << 8) | 0xFF);
        }
    }
    return encodePng(kW, kH, px);
}

}  // namespace

bool seedDemo(Store& store) {
    for (const DemoUser& u : kUsers) {
        if (!store.createAccount("DEMO-" + std::to_string(u.number), u.number)) return false;
        if (!store.setCard(u.number, {std::string(u.firstName), std::string(u.town), std::string(u.phrase),
                                      std::nullopt, std::nullopt}) ||
            !store.setPicture(u.number, portrait(u.number, u.colour))) {
            return false;
        }
    }
    return store.setSharedPicture(1, {"bienvenue.png", landscape()});
}

}  // namespace orvane::webserver
