#include "platform/linux/qt_canvas.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include "platform/linux/qt_convert.h"

namespace orvane::platform::qt {

namespace {
QString toQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
QRect toQRect(Rect r) { return QRect(r.left, r.top, r.width(), r.height()); }
}  // namespace

QColor toQColor(Colour c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

namespace {

QFont baseFont(const Font& f, int pixelSize) {
    QFont font(QString::fromUtf8(f.family.data(), static_cast<qsizetype>(f.family.size())));
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(static_cast<QFont::Weight>(std::clamp(f.weight, 100, 900)));
    return font;
}

int cellHeightAt(const Font& f, int pixelSize) { return QFontMetrics(baseFont(f, pixelSize)).height(); }

// The pixel size whose character cell (ascent + descent, as the font engine rounds them) is
// `cell`: the face's own proportion gives the first guess, the neighbours settle the rounding.
// Where no size gives the cell exactly, the largest whose cell still fits.
int pixelSizeForCell(const Font& f, int cell) {
    constexpr int kReference = 1000;
    const QFontMetricsF big(baseFont(f, kReference));
    const double perPixel = (big.ascent() + big.descent()) / kReference;
    const int guess = std::max(1, static_cast<int>(std::lround(cell / (perPixel > 0 ? perPixel : 1.0))));
    int best = 0;
    for (int px : {guess, guess - 1, guess + 1, guess - 2, guess + 2}) {
        if (px < 1) continue;
        const int h = cellHeightAt(f, px);
        if (h == cell) return px;
        if (h < cell && px > best) best = px;
    }
    return std::max(1, best);
}

}  // namespace

QFont toQFont(const Font& f) {
    if (f.height <= 0) return baseFont(f, -f.height);
    // Every text of every timer tick asks for one of a handful of fonts: measure each once.
    static std::mutex lock;
    static std::map<std::tuple<std::string, int, int>, int> sizes;
    const auto key = std::make_tuple(std::string(f.family), f.weight, f.height);
    {
        std::lock_guard<std::mutex> hold(lock);
        if (auto it = sizes.find(key); it != sizes.end()) return baseFont(f, it->second);
    }
    const int px = pixelSizeForCell(f, f.height);
    std::lock_guard<std::mutex> hold(lock);
    sizes.emplace(key, px);
    return baseFont(f, px);
}

QtCanvas::QtCanvas(QImage& surface, std::unique_lock<std::mutex> lock, std::function<void(const QRect&)> done)
    : surface_(surface), lock_(std::move(lock)), done_(std::move(done)) {}

bool QtCanvas::paintable() {
    if (!painter_.isActive() && !surface_.isNull()) painter_.begin(&surface_);
    return painter_.isActive();
}

QtCanvas::~QtCanvas() {
    if (painter_.isActive()) painter_.end();
    if (lock_.owns_lock()) lock_.unlock();
    if (done_ && !dirty_.isEmpty()) done_(dirty_);
}

void QtCanvas::fillRect(Rect r, Colour c) {
    if (surface_.isNull() || r.width() <= 0 || r.height() <= 0) return;
    // Work a painter may hold back is on the surface already (the raster engine draws at once).
    // A solid fill is plain pixel work; pixels that already hold the colour stay untouched.
    const QRect area = toQRect(r).intersected(surface_.rect());
    const std::uint32_t p = toPixel(c);
    bool changed = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(surface_.scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            if (row[x] == p) continue;
            row[x] = p;
            changed = true;
        }
    }
    if (changed) touch(area);
}

void QtCanvas::frameRect(Rect r, Colour c) {
    if (r.width() <= 0 || r.height() <= 0) return;
    fillRect({r.left, r.top, r.right, r.top + 1}, c);
    fillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
    fillRect({r.left, r.top, r.left + 1, r.bottom}, c);
    fillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}

void QtCanvas::roundRect(Rect r, int cornerW, int cornerH, Colour pen, int penWidth, Colour fill) {
    if (r.width() <= 0 || r.height() <= 0 || !paintable()) return;
    tracked(toQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth), [&] {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setBrush(toQColor(fill));
    if (penWidth > 0) {
        painter_.setPen(QPen(toQColor(pen), penWidth));
    } else {
        painter_.setPen(Qt::NoPen);
    }
    // A GDI pen is centred on the outline and the outline spans right-1 and bottom-1.
    QRectF box(r.left + 0.5, r.top + 0.5, r.width() - 1.0, r.height() - 1.0);
    painter_.drawRoundedRect(box, cornerW / 2.0, cornerH / 2.0);
    painter_.restore();
    });
}

void QtCanvas::line(Point a, Point b, Colour c, int width) {
    if (!paintable()) return;
    const int m = std::max(1, width) + 1;
    const QRect area = QRect(QPoint(std::min(a.x, b.x), std::min(a.y, b.y)), QPoint(std::max(a.x, b.x), std::max(a.y, b.y)))
                           .adjusted(-m, -m, m, m);
    tracked(area, [&] {
        painter_.save();
        QPen pen(toQColor(c), std::max(1, width));
        pen.setCapStyle(width > 1 ? Qt::RoundCap : Qt::FlatCap);
        painter_.setPen(pen);
        painter_.drawLine(QPointF(a.x + 0.5, a.y + 0.5), QPointF(b.x + 0.5, b.y + 0.5));
        painter_.restore();
    });
}

void QtCanvas::ellipse(Rect r, Colour pen, int penWidth, Colour fill) {
    if (r.width() <= 0 || r.height() <= 0 || !paintable()) return;
    tracked(toQRect(r).adjusted(-penWidth, -penWidth, penWidth, penWidth), [&] {
        painter_.save();
        painter_.setBrush(toQColor(fill));
        painter_.setPen(penWidth > 0 ? QPen(toQColor(pen), penWidth) : QPen(Qt::NoPen));
        painter_.drawEllipse(toQRect(r).adjusted(0, 0, -1, -1));
        painter_.restore();
    });
}

void QtCanvas::text(int x, int y, std::string_view utf8, const Font& f, Colour fg,
                    std::optional<Colour> bg) {
    if (!paintable()) return;
    QFont font = toQFont(f);
    QFontMetrics fm(font);
    QString s = toQString(utf8);
    QRect cell(x, y, fm.horizontalAdvance(s), fm.height());
    tracked(cell.adjusted(-2, -2, 2, 2), [&] {
        if (bg) painter_.fillRect(cell, toQColor(*bg));
        painter_.save();
        painter_.setFont(font);
        painter_.setPen(toQColor(fg));
        painter_.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, s);
        painter_.restore();
    });
}

void QtCanvas::textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg,
                           std::optional<Colour> bg, bool vcentre) {
    if (!paintable()) return;
    QFont font = toQFont(f);
    QFontMetrics fm(font);
    QString s = toQString(utf8);
    int w = fm.horizontalAdvance(s);
    int h = fm.height();
    int x = r.left + (r.width() - w) / 2;
    int y = vcentre ? r.top + (r.height() - h) / 2 : r.top;
    tracked(toQRect(r), [&] {
        painter_.save();
        painter_.setClipRect(toQRect(r));
        if (bg) painter_.fillRect(QRect(x, y, w, h), toQColor(*bg));
        painter_.setFont(font);
        painter_.setPen(toQColor(fg));
        painter_.drawText(QRect(x, y, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, s);
        painter_.restore();
    });
}

void QtCanvas::copyPixels(const Image& img, int x, int y, bool skipBlack) {
    if (img.empty() || surface_.isNull()) return;
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(surface_.width(), x + img.width);
    const int y1 = std::min(surface_.height(), y + img.height);
    if (x0 >= x1 || y0 >= y1) return;
    // The painter's pending work is already on the surface (the raster engine draws at once).
    // Branch-free inner loops (the compiler vectorises them); `diff` tells whether anything
    // on the surface changed.
    std::uint32_t diff = 0;
    const std::size_t stride = static_cast<std::size_t>(surface_.bytesPerLine() / 4);
    auto* base = reinterpret_cast<std::uint32_t*>(surface_.bits());
    const int n = x1 - x0;
    for (int sy = y0; sy < y1; ++sy) {
        std::uint32_t* row = base + static_cast<std::size_t>(sy) * stride + x0;
        const std::uint32_t* src = img.pixels.data() + static_cast<std::size_t>(sy - y) * img.width + (x0 - x);
        if (skipBlack) {
            for (int i = 0; i < n; ++i) {
                const std::uint32_t p = src[i];
                const std::uint32_t v = (p & 0x00FFFFFFu) != 0 ? (p | 0xFF000000u) : row[i];
                diff |= row[i] ^ v;
                row[i] = v;
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const std::uint32_t v = src[i] | 0xFF000000u;
                diff |= row[i] ^ v;
                row[i] = v;
            }
        }
    }
    if (diff != 0) touch(QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)));
}

void QtCanvas::blit(const Image& img, int x, int y) { copyPixels(img, x, y, false); }

void QtCanvas::blitTransparent(const Image& img, int x, int y) { copyPixels(img, x, y, true); }

void QtCanvas::blitStretched(const Image& img, Rect r) {
    if (!paintable() || img.empty() || r.width() <= 0 || r.height() <= 0) return;
    tracked(toQRect(r), [&] {
        painter_.save();
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter_.drawImage(toQRect(r), wrapImage(img));
        painter_.restore();
    });
}

Image QtCanvas::readRegion(Rect r) {
    Image out(std::max(0, r.width()), std::max(0, r.height()));
    for (int y = 0; y < out.height; ++y) {
        int sy = r.top + y;
        if (sy < 0 || sy >= surface_.height()) continue;
        const auto* row = reinterpret_cast<const std::uint32_t*>(surface_.constScanLine(sy));
        for (int x = 0; x < out.width; ++x) {
            int sx = r.left + x;
            if (sx >= 0 && sx < surface_.width()) out.at(x, y) = row[sx] | 0xFF000000u;
        }
    }
    return out;
}

}  // namespace orvane::platform::qt

namespace orvane::platform {

namespace {
// Keeps the wrapping QImage alive next to the canvas that paints on it.
class ImageCanvas final : public Canvas {
public:
    explicit ImageCanvas(Image& target)
        : image_(qt::wrapImage(target)), inner_(image_, {}, {}) {}
    void fillRect(Rect r, Colour c) override { inner_.fillRect(r, c); }
    void frameRect(Rect r, Colour c) override { inner_.frameRect(r, c); }
    void roundRect(Rect r, int cw, int ch, Colour pen, int pw, Colour fill) override {
        inner_.roundRect(r, cw, ch, pen, pw, fill);
    }
    void line(Point a, Point b, Colour c, int w) override { inner_.line(a, b, c, w); }
    void ellipse(Rect r, Colour pen, int pw, Colour fill) override { inner_.ellipse(r, pen, pw, fill); }
    void text(int x, int y, std::string_view s, const Font& f, Colour fg, std::optional<Colour> bg) override {
        inner_.text(x, y, s, f, fg, bg);
    }
    void textCentred(Rect r, std::string_view s, const Font& f, Colour fg, std::optional<Colour> bg,
                     bool v) override {
        inner_.textCentred(r, s, f, fg, bg, v);
    }
    void blit(const Image& img, int x, int y) override { inner_.blit(img, x, y); }
    void blitStretched(const Image& img, Rect r) override { inner_.blitStretched(img, r); }
    void blitTransparent(const Image& img, int x, int y) override { inner_.blitTransparent(img, x, y); }
    Image readRegion(Rect r) override { return inner_.readRegion(r); }

private:
    QImage image_;
    qt::QtCanvas inner_;
};
}  // namespace

std::unique_ptr<Canvas> createImageCanvas(Image& target) {
    return std::make_unique<ImageCanvas>(target);
}

}  // namespace orvane::platform
