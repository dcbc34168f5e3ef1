#include "display/draw.h"

#include <string>

#include "base/text.h"
#include "display/layout.h"

namespace orvane::display {

void transparentBlit(Canvas& c, const Image* img, int x, int y) {
    if (img != nullptr) c.blitTransparent(*img, x, y);
}

void scaledOpaqueBlit(Canvas& c, const Image* img, int x, int y, int w, int h) {
    if (img != nullptr) c.blitStretched(*img, {x, y, x + w, y + h});
}

void labelText(Canvas& c, const char* cp1252, int x, int y, Colour background) {
    if (cp1252 == nullptr) return;
    c.text(x, y, base::cp1252ToUtf8(cp1252), kLabelFont, kWhite, background);
}

void utf8Text(Canvas& c, std::string_view utf8, int x, int y, Colour colour) {
    c.text(x, y, utf8, platform::Font{"Arial", 20, 700}, colour, std::nullopt);
}

Image tintedBlur(const Image& source) {
    Image out = source;
    for (int y = 2; y <= source.height - 3; ++y) {
        for (int x = 2; x <= source.width - 3; ++x) {
            int red = 0, blue = 0;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    std::uint32_t p = source.at(x + dx, y + dy);
                    red += (p >> 16) & 0xFF;
                    blue += p & 0xFF;
                }
            }
            out.at(x, y) = 0xFF000000u | (static_cast<std::uint32_t>(red / 25) << 16) | (0x7Fu << 8) |
                           static_cast<std::uint32_t>(blue / 25);
        }
    }
    return out;
}

void drawTintedBlur(Canvas& from, Canvas& to, platform::Rect r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    Image blurred = tintedBlur(from.readRegion(r));
    to.blit(blurred, r.left, r.top);
}

void drawTitle(Canvas& c, Colour background) {
    c.textCentred(kTitleRect, "ORVANE", platform::Font{"Arial", 30, 700}, kYellow, background, true);
}

void CloseMark::strokes(Canvas& c, Colour colour) {
    c.line({520, 20}, {530, 30}, colour, 4);
    c.line({530, 20}, {520, 30}, colour, 4);
}

void CloseMark::draw(Canvas& c, const ClientState& state) {
    if (state.ui.closeButtonShown.load() == 0) return;
    strokes(c, kRed);
}

bool CloseMark::hover(Canvas& c, const ClientState& state, platform::Point p) {
    if (state.ui.closeButtonShown.load() == 0) return false;
    bool inside = kCloseRect.contains(p);
    if (inside && state_ != kHighlighted) {
        strokes(c, kYellow);
        state_ = kHighlighted;
        return true;
    }
    if (!inside && state_ != kNormal) {
        strokes(c, kRed);
        state_ = kNormal;
        return true;
    }
    return false;
}

}  // namespace orvane::display
