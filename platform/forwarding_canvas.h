#pragma once
// A canvas that hands every call to another one. Each platform side paints an Image through
// it: its own canvas on a surface wrapped around (or copied from) the image, kept alive by the
// forwarder for as long as the caller draws.
#include "platform/canvas.h"

namespace orvane::platform {

class ForwardingCanvas : public Canvas {
public:
    void fillRect(Rect r, Colour c) override { inner().fillRect(r, c); }
    void frameRect(Rect r, Colour c) override { inner().frameRect(r, c); }
    void roundRect(Rect r, int cw, int ch, Colour pen, int pw, Colour fill) override {
        inner().roundRect(r, cw, ch, pen, pw, fill);
    }
    void line(Point a, Point b, Colour c, int w) override { inner().line(a, b, c, w); }
    void ellipse(Rect r, Colour pen, int pw, Colour fill) override { inner().ellipse(r, pen, pw, fill); }
    void text(int x, int y, std::string_view s, const Font& f, Colour fg, std::optional<Colour> bg) override {
        inner().text(x, y, s, f, fg, bg);
    }
    void textCentred(Rect r, std::string_view s, const Font& f, Colour fg, std::optional<Colour> bg,
                     bool vertical) override {
        inner().textCentred(r, s, f, fg, bg, vertical);
    }
    void blit(const Image& img, int x, int y) override { inner().blit(img, x, y); }
    void blitStretched(const Image& img, Rect r) override { inner().blitStretched(img, r); }
    void blitTransparent(const Image& img, int x, int y) override { inner().blitTransparent(img, x, y); }
    Image readRegion(Rect r) override { return inner().readRegion(r); }

protected:
    virtual Canvas& inner() = 0;
};

}  // namespace orvane::platform
