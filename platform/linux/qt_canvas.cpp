#include "platform/linux/qt_canvas.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <string>
#include <mutex>
#include <tuple>

#include "platform/forwarding_canvas.h"
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

// Opaque text drawn again: labels, the lamps' names and the ticker are drawn on every tick with
// the same words, and shaping them each time is most of what a tick costs. The first drawing
// is remembered as the pixels of the text's area (its cell and a margin for glyphs that reach
// out of it) before and after; when the same text is drawn again where the margin holds the
// same pixels as then, the area after is copied in. The cell itself is filled with the
// background first, so what was under it does not matter. That is exactly what drawing does.
struct TextKey {
    std::string text, family;
    int height, weight;
    Colour fg, bg;
    // Centred text: its rectangle and placement, which decide where the cell goes and the clip.
    bool centred = false, vcentre = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator<(const TextKey& o) const {
        return std::tie(text, family, height, weight, fg, bg, centred, vcentre, left, top, right, bottom) <
               std::tie(o.text, o.family, o.height, o.weight, o.fg, o.bg, o.centred, o.vcentre, o.left, o.top,
                        o.right, o.bottom);
    }
};

namespace {

struct TextMemo {
    QRect cell;    // relative to the text's origin
    QRect area;    // relative to the text's origin: what the drawing may touch
    QImage before, after;
};

// Bounded by the bytes it holds, the least recently used first out. Texts that never come back
// (the countdown draws a new one every second) would otherwise fill it: at 512 entries of about
// 10 kB it took 5 MB of the heap that the program kept for good, and emptying it at once threw
// away the texts that are drawn again and again (lamps, knobs, ticker) with them.
class TextMemos {
public:
    std::optional<TextMemo> find(const TextKey& k) {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = memos_.find(k);
        if (it == memos_.end()) return std::nullopt;
        order_.splice(order_.end(), order_, it->second.position);
        return it->second.memo;  // the images are shared, not copied
    }
    void keep(TextKey k, TextMemo m) {
        std::lock_guard<std::mutex> hold(lock_);
        const std::size_t size = bytesOf(k, m);
        if (size > kBudgetBytes) return;
        if (auto old = memos_.find(k); old != memos_.end()) forget(old);
        auto [it, added] = memos_.emplace(std::move(k), Entry{std::move(m), {}, size});
        it->second.position = order_.insert(order_.end(), it);
        bytes_ += size;
        while (bytes_ > kBudgetBytes) forget(order_.front());
    }
    std::size_t bytes() {
        std::lock_guard<std::mutex> hold(lock_);
        return bytes_;
    }

private:
    struct Entry;
    using Map = std::map<TextKey, Entry>;
    struct Entry {
        TextMemo memo;
        std::list<Map::iterator>::iterator position;
        std::size_t bytes = 0;
    };
    static std::size_t bytesOf(const TextKey& k, const TextMemo& m) {
        return static_cast<std::size_t>(m.before.sizeInBytes() + m.after.sizeInBytes()) + k.text.size() +
               k.family.size() + sizeof(TextKey) + sizeof(Entry) + kNodeBytes;
    }
    void forget(Map::iterator it) {
        bytes_ -= it->second.bytes;
        order_.erase(it->second.position);
        memos_.erase(it);
    }

    static constexpr std::size_t kBudgetBytes = 512 * 1024;  // some fifty texts of a panel
    static constexpr std::size_t kNodeBytes = 128;           // the map's and the list's nodes
    std::mutex lock_;
    Map memos_;
    std::list<Map::iterator> order_;  // least recently used first
    std::size_t bytes_ = 0;
};

TextMemos& textMemos() {
    static TextMemos memos;
    return memos;
}

}  // namespace

std::size_t textMemoBytes() { return textMemos().bytes(); }

namespace {

TextKey textKey(std::string_view utf8, const Font& f, Colour fg, Colour bg) {
    return TextKey{std::string(utf8), std::string(f.family), f.height, f.weight, fg, bg};
}

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;

}  // namespace

bool QtCanvas::replayText(const TextKey& key, QPoint origin) {
    std::optional<TextMemo> m = textMemos().find(key);
    if (!m) return false;
    const QRect area = m->area.translated(origin);
    const QRect cell = m->cell.translated(origin);
    if (!surface_.rect().contains(area)) return false;
    for (int y = 0; y < area.height(); ++y) {
        const auto* now = reinterpret_cast<const std::uint32_t*>(surface_.constScanLine(area.top() + y)) + area.left();
        const auto* then = reinterpret_cast<const std::uint32_t*>(m->before.constScanLine(y));
        const bool inCellRows = area.top() + y >= cell.top() && area.top() + y <= cell.bottom();
        for (int x = 0; x < area.width(); ++x) {
            if (inCellRows && area.left() + x >= cell.left() && area.left() + x <= cell.right()) {
                x += cell.width() - 1;
                continue;
            }
            if (now[x] != then[x]) return false;
        }
    }
    copyPixels(reinterpret_cast<const std::uint32_t*>(m->after.constBits()), m->after.width(), m->after.height(),
               static_cast<std::size_t>(m->after.bytesPerLine() / 4), area.left(), area.top(), false);
    return true;
}

template <class Draw>
void QtCanvas::drawText(const TextKey* key, QPoint origin, QRect cell, QRect area, QRect ink, Draw&& draw) {
    // Remembered only where the drawing cannot reach past the area and the area is whole.
    const bool memo = key != nullptr && area.contains(ink) && surface_.rect().contains(area);
    QImage before = memo ? surface_.copy(area) : QImage();
    tracked(area, draw);
    if (memo) {
        textMemos().keep(*key, TextMemo{cell.translated(-origin), area.translated(-origin), std::move(before),
                                        surface_.copy(area)});
    }
}

void QtCanvas::text(int x, int y, std::string_view utf8, const Font& f, Colour fg,
                    std::optional<Colour> bg) {
    if (surface_.isNull()) return;
    std::optional<TextKey> key;
    if (bg) {
        key = textKey(utf8, f, fg, *bg);
        if (replayText(*key, QPoint(x, y))) return;
    }
    if (!paintable()) return;
    QFont font = toQFont(f);
    QFontMetrics fm(font);
    QString s = toQString(utf8);
    QRect cell(x, y, fm.horizontalAdvance(s), fm.height());
    const QRect ink = fm.boundingRect(s).translated(x, y + fm.ascent());
    drawText(key ? &*key : nullptr, QPoint(x, y), cell, cell.adjusted(-2, -2, 2, 2), ink, [&] {
        if (bg) painter_.fillRect(cell, toQColor(*bg));
        painter_.save();
        painter_.setFont(font);
        painter_.setPen(toQColor(fg));
        painter_.drawText(cell, kTextFlags, s);
        painter_.restore();
    });
}

void QtCanvas::textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg,
                           std::optional<Colour> bg, bool vcentre) {
    if (surface_.isNull()) return;
    std::optional<TextKey> key;
    if (bg) {
        key = textKey(utf8, f, fg, *bg);
        key->centred = true;
        key->vcentre = vcentre;
        key->left = r.left, key->top = r.top, key->right = r.right, key->bottom = r.bottom;
        if (replayText(*key, QPoint(0, 0))) return;
    }
    if (!paintable()) return;
    QFont font = toQFont(f);
    QFontMetrics fm(font);
    QString s = toQString(utf8);
    int w = fm.horizontalAdvance(s);
    int h = fm.height();
    int x = r.left + (r.width() - w) / 2;
    int y = vcentre ? r.top + (r.height() - h) / 2 : r.top;
    const QRect cell(x, y, w, h);
    // Nothing is drawn outside r; within it, what the glyphs may reach.
    const QRect area = cell.adjusted(-2, -2, 2, 2).intersected(toQRect(r));
    const QRect ink = fm.boundingRect(s).translated(x, y + fm.ascent()).intersected(toQRect(r));
    drawText(key ? &*key : nullptr, QPoint(0, 0), cell.intersected(toQRect(r)), area, ink, [&] {
        painter_.save();
        painter_.setClipRect(toQRect(r));
        if (bg) painter_.fillRect(cell, toQColor(*bg));
        painter_.setFont(font);
        painter_.setPen(toQColor(fg));
        painter_.drawText(cell, kTextFlags, s);
        painter_.restore();
    });
}

void QtCanvas::copyPixels(const Image& img, int x, int y, bool skipBlack) {
    if (img.empty()) return;
    copyPixels(img.pixels.data(), img.width, img.height, static_cast<std::size_t>(img.width), x, y, skipBlack);
}

namespace {

// One pixel of a copy: opaque, or (with skipBlack) the surface's own where the source is black.
template <bool SkipBlack>
inline std::uint32_t copiedPixel(std::uint32_t from, std::uint32_t onSurface) {
    if constexpr (SkipBlack) {
        return (from & 0x00FFFFFFu) != 0 ? (from | 0xFF000000u) : onSurface;
    } else {
        return from | 0xFF000000u;
    }
}

// Copies `n` pixels of a row and tells whether any changed (non-zero). Eight at a time in
// straight-line code the compiler turns into vector instructions, then the rest one by one.
template <bool SkipBlack>
std::uint32_t copyRow(std::uint32_t* __restrict row, const std::uint32_t* __restrict src, int n) {
    std::uint32_t diff = 0;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint32_t v[8];
        for (int j = 0; j < 8; ++j) v[j] = copiedPixel<SkipBlack>(src[i + j], row[i + j]);
        for (int j = 0; j < 8; ++j) diff |= row[i + j] ^ v[j];
        for (int j = 0; j < 8; ++j) row[i + j] = v[j];
    }
    for (; i < n; ++i) {
        const std::uint32_t v = copiedPixel<SkipBlack>(src[i], row[i]);
        diff |= row[i] ^ v;
        row[i] = v;
    }
    return diff;
}

}  // namespace

void QtCanvas::copyPixels(const std::uint32_t* pixels, int width, int height, std::size_t srcStride, int x, int y,
                          bool skipBlack) {
    if (width <= 0 || height <= 0 || surface_.isNull()) return;
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(surface_.width(), x + width);
    const int y1 = std::min(surface_.height(), y + height);
    if (x0 >= x1 || y0 >= y1) return;
    // The painter's pending work is already on the surface (the raster engine draws at once).
    // Branch-free inner loops (the compiler vectorises them); `diff` tells whether anything
    // on the surface changed.
    std::uint32_t diff = 0;
    const std::size_t stride = static_cast<std::size_t>(surface_.bytesPerLine() / 4);
    auto* base = reinterpret_cast<std::uint32_t*>(surface_.bits());
    const int n = x1 - x0;
    for (int sy = y0; sy < y1; ++sy) {
        std::uint32_t* __restrict row = base + static_cast<std::size_t>(sy) * stride + x0;
        const std::uint32_t* __restrict src = pixels + static_cast<std::size_t>(sy - y) * srcStride + (x0 - x);
        diff |= skipBlack ? copyRow<true>(row, src, n) : copyRow<false>(row, src, n);
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
class ImageCanvas final : public ForwardingCanvas {
public:
    explicit ImageCanvas(Image& target) : image_(qt::wrapImage(target)), inner_(image_, {}, {}) {}

protected:
    Canvas& inner() override { return inner_; }

private:
    QImage image_;
    qt::QtCanvas inner_;
};
}  // namespace

std::unique_ptr<Canvas> createImageCanvas(Image& target) {
    return std::make_unique<ImageCanvas>(target);
}

}  // namespace orvane::platform
