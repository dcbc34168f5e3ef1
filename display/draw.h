#pragma once
// Small drawing helpers shared by the panels, meters and windows, and the two fixed
// decorations of the main window (title and close mark).
#include <string_view>

#include "state/client_state.h"
#include "platform/canvas.h"

namespace orvane::display {

using platform::Canvas;
using platform::Colour;
using platform::Image;

inline constexpr Colour kWhite = platform::rgb(255, 255, 255);
inline constexpr Colour kBlack = platform::rgb(0, 0, 0);
inline constexpr Colour kYellow = platform::rgb(255, 255, 0);
inline constexpr Colour kRed = platform::rgb(255, 0, 0);

inline constexpr platform::Font kLabelFont{"Arial", 14, 700};

// The image at its own size, black pixels left out; nothing for a null image.
void transparentBlit(Canvas& c, const Image* img, int x, int y);
// The image stretched (smoothly) to w x h at (x, y); nothing for a null image.
void scaledOpaqueBlit(Canvas& c, const Image* img, int x, int y, int w, int h);
// Single-byte (Windows-1252) text in Arial 14 bold, white on `background`; nothing for null.
void labelText(Canvas& c, const char* cp1252, int x, int y, Colour background);
// UTF-8 text in Arial 20 bold, transparent background.
void utf8Text(Canvas& c, std::string_view utf8, int x, int y, Colour colour);

// The blurred, green-tinted copy of `source`: every pixel at least 2 from the edge becomes the
// mean of its 5 x 5 neighbourhood in red and blue, 127 in green; edge pixels are unchanged.
Image tintedBlur(const Image& source);
// Reads `r` from `from`, blurs it and draws it at r's top-left on `to` (may be the same canvas).
void drawTintedBlur(Canvas& from, Canvas& to, platform::Rect r);

// "ORVANE" in yellow, centred in the title rectangle.
void drawTitle(Canvas& c, Colour background);

// The close mark and its hover look.
class CloseMark {
public:
    static constexpr int kNormal = 1;
    static constexpr int kHighlighted = 2;

    // Draws the mark in its normal colour (only once the close button is shown).
    void draw(Canvas& c, const ClientState& state);
    // Redraws the mark when the pointer enters or leaves it. True when it drew.
    bool hover(Canvas& c, const ClientState& state, platform::Point p);
    int state() const { return state_; }

private:
    void strokes(Canvas& c, Colour colour);
    int state_ = kNormal;
};

}  // namespace orvane::display
