#pragma once
// The canvas on a QImage: QPainter for shapes and text, direct pixel access for the blits (so a
// copy is exact and the black key of the transparent blit is exact).
#include <QImage>
#include <QFontMetrics>
#include <QPainter>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/canvas.h"

namespace orvane::platform::qt {

struct TextKey;

class QtCanvas final : public Canvas {
public:
    // `lock` (may be empty) is held for the canvas's life; `done` runs after it is released,
    // with the part of the surface that was drawn on.
    QtCanvas(QImage& surface, std::unique_lock<std::mutex> lock, std::function<void(const QRect&)> done);
    ~QtCanvas() override;

    void fillRect(Rect r, Colour c) override;
    void frameRect(Rect r, Colour c) override;
    void roundRect(Rect r, int cornerW, int cornerH, Colour pen, int penWidth, Colour fill) override;
    void line(Point a, Point b, Colour c, int width) override;
    void ellipse(Rect r, Colour pen, int penWidth, Colour fill) override;
    void text(int x, int y, std::string_view utf8, const Font& f, Colour fg,
              std::optional<Colour> bg) override;
    void textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg,
                     std::optional<Colour> bg, bool vcentre) override;
    void blit(const Image& img, int x, int y) override;
    void blitStretched(const Image& img, Rect r) override;
    void blitTransparent(const Image& img, int x, int y) override;
    Image readRegion(Rect r) override;

private:
    // Opaque text drawn again replays its first drawing (see qt_canvas.cpp).
    bool replayText(const TextKey& key, QPoint origin);
    template <class Draw>
    void drawText(const TextKey* key, QPoint origin, QRect cell, QRect area, QRect ink, Draw&& draw);

    void copyPixels(const Image& img, int x, int y, bool skipBlack);
    void copyPixels(const std::uint32_t* pixels, int width, int height, std::size_t srcStride, int x, int y,
                    bool skipBlack);
    void touch(const QRect& r) { dirty_ |= r; }
    // The painter, begun on first use: pixel copies need none.
    bool paintable();
    // Runs `draw` and marks `area` as drawn on only when its pixels changed, so that redrawing
    // what is already there (most timer ticks) puts nothing new on the screen.
    template <class Draw>
    void tracked(QRect area, Draw&& draw) {
        area = area.intersected(surface_.rect());
        // Nothing to find out where the canvas has already changed pixels: that part is
        // compared with the screen when it is presented anyway.
        if (area.isEmpty() || dirty_.contains(area)) {
            draw();
            return;
        }
        const QImage before = surface_.copy(area);
        draw();
        if (surface_.copy(area) != before) touch(area);
    }

    QImage& surface_;
    std::unique_lock<std::mutex> lock_;
    std::function<void(const QRect&)> done_;
    QRect dirty_;
    QPainter painter_;
};

// The bytes that the remembered drawings of opaque texts take (they are bounded; for tests and
// measurements).
std::size_t textMemoBytes();

// The Qt font for a seam font: a positive height is the cell, a negative one the pixel size.
QFont toQFont(const Font& f);
QColor toQColor(Colour c);

}  // namespace orvane::platform::qt
