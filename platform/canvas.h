#pragma once
// Drawing on a window's persistent surface, from any thread. A Canvas is obtained from
// Window::draw() and holds the surface locked until it is destroyed; the UI thread then
// presents what was drawn.
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/image.h"

namespace orvane::platform {

// Colours are COLORREF values, 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour rgb(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(Colour c) { return c & 0xFF; }
constexpr int greenOf(Colour c) { return (c >> 8) & 0xFF; }
constexpr int blueOf(Colour c) { return (c >> 16) & 0xFF; }
// Image pixel (0xAARRGGBB) <-> Colour.
constexpr std::uint32_t toPixel(Colour c) {
    return 0xFF000000u | (static_cast<std::uint32_t>(redOf(c)) << 16) |
           (static_cast<std::uint32_t>(greenOf(c)) << 8) | static_cast<std::uint32_t>(blueOf(c));
}
constexpr Colour fromPixel(std::uint32_t p) { return rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

struct Point {
    int x = 0;
    int y = 0;
};

// Left, top, right, bottom; right and bottom are exclusive, as GDI rectangles.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Rect grown(int d) const { return {left - d, top - d, right + d, bottom + d}; }
};

struct Font {
    std::string_view family = "Arial";
    // As a GDI font height: positive is the whole character cell (ascent + descent), negative
    // the glyph (em) height in pixels. Arial 14 is a 14-pixel cell, glyphs of about 12 pixels.
    int height = 14;
    int weight = 400;  // 400 normal, 700 bold
};

class Canvas {
public:
    virtual ~Canvas() = default;  // unlocks the surface and asks the UI thread to present it

    virtual void fillRect(Rect r, Colour c) = 0;
    // One-pixel frame on the inside of r (FrameRect).
    virtual void frameRect(Rect r, Colour c) = 0;
    // Rounded rectangle filled with `fill` and outlined with a pen of `penWidth`.
    virtual void roundRect(Rect r, int cornerW, int cornerH, Colour pen, int penWidth, Colour fill) = 0;
    // A line from a to b, the end pixel excluded (LineTo).
    virtual void line(Point a, Point b, Colour c, int width) = 0;
    // An ellipse inscribed in r, outlined with `pen` and filled with `fill`.
    virtual void ellipse(Rect r, Colour pen, int penWidth, Colour fill) = 0;

    // UTF-8 text whose top-left corner is (x, y). With a background colour the text cell is
    // filled (opaque mode); without, only the glyphs are drawn.
    virtual void text(int x, int y, std::string_view utf8, const Font& f, Colour fg,
                      std::optional<Colour> bg) = 0;
    // UTF-8 text centred on one line in r (horizontally, and vertically when `vcentre`).
    virtual void textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg,
                             std::optional<Colour> bg, bool vcentre) = 0;

    // The whole image at its own size at (x, y).
    virtual void blit(const Image& img, int x, int y) = 0;
    // The image stretched into r.
    virtual void blitStretched(const Image& img, Rect r) = 0;
    // The image at its own size, its black (RGB 0) pixels left out.
    virtual void blitTransparent(const Image& img, int x, int y) = 0;

    // What the surface holds in r (outside the surface reads as opaque black).
    virtual Image readRegion(Rect r) = 0;
};

// A canvas drawing straight into `target` (which must outlive it), for off-screen work and
// pixel tests. Text needs the host UI to exist (createHostUi) in this process.
std::unique_ptr<Canvas> createImageCanvas(Image& target);

}  // namespace orvane::platform
