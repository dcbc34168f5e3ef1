#include "web/tinted_blur.h"

namespace orvane::web {

platform::Image tintedBlur(const platform::Image& source) {
    platform::Image out = source;
    for (int y = 2; y <= source.height - 3; ++y) {
        for (int x = 2; x <= source.width - 3; ++x) {
            unsigned red = 0;
            unsigned blue = 0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const std::uint32_t p = source.at(x + dx, y + dy);
                    red += (p >> 16) & 0xFF;
                    blue += p & 0xFF;
                }
            }
            out.at(x, y) = 0xFF000000u | ((red / 25) << 16) | (0x7Fu << 8) | (blue / 25);
        }
    }
    return out;
}

}  // namespace orvane::web
