#include "servers/web/demo_seed.h"

#include <cmath>
#include <string>

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

// A round face of the user's colour on a light background.
Bytes portrait(std::uint32_t colour) {
    constexpr int kSize = 64;
    std::vector<std::uint32_t> px(kSize * kSize, 0xE8E8E8);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double head = std::hypot(x - 32.0, y - 26.0), body = std::hypot(x - 32.0, y - 70.0);
            if (head < 14 || body < 28) px[static_cast<std::size_t>(y) * kSize + x] = colour;
        }
    }
    return encodePng(kSize, kSize, px);
}

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
            !store.setPicture(u.number, portrait(u.colour))) {
            return false;
        }
    }
    return store.setSharedPicture(1, {"bienvenue.png", landscape()});
}

}  // namespace orvane::webserver
