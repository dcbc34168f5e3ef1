// GDI drawing on a window's persistent surface (or an image): shapes with pens and brushes,
// text with CreateFontW fonts, copies with BitBlt, TransparentBlt (black key) and a HALFTONE
// StretchBlt.
#include "platform/win32/gdi_canvas.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "platform/forwarding_canvas.h"
#include "platform/win32/wide.h"

namespace orvane::platform::win32 {

namespace {

BITMAPINFO dibInfo(int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down, as Image rows are
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

RECT toRECT(Rect r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// An image as a DIB section in its own memory DC, for the GDI copies. The top byte is cleared:
// GDI's colour key and stretching look at RGB only, and an opaque black must match the key.
class ImageDc {
public:
    explicit ImageDc(const Image& img) {
        if (img.empty()) return;
        const BITMAPINFO bi = dibInfo(img.width, img.height);
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = dc_ ? CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
        if (bitmap_ == nullptr || bits == nullptr) return;
        auto* dst = static_cast<std::uint32_t*>(bits);
        for (std::size_t i = 0; i < img.pixels.size(); ++i) dst[i] = img.pixels[i] & 0x00FFFFFFu;
        old_ = SelectObject(dc_, bitmap_);
        ok_ = true;
    }
    ImageDc(const ImageDc&) = delete;
    ImageDc& operator=(const ImageDc&) = delete;
    ~ImageDc() {
        if (old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    bool ok() const { return ok_; }
    HDC dc() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    bool ok_ = false;
};

// A pen and a brush selected into a DC for one shape, put back and deleted afterwards.
class ShapeTools {
public:
    ShapeTools(HDC dc, Colour pen, int penWidth, std::optional<Colour> fill) : dc_(dc) {
        pen_ = penWidth > 0 ? CreatePen(PS_SOLID, penWidth, pen) : nullptr;
        brush_ = fill ? CreateSolidBrush(*fill) : nullptr;
        oldPen_ = SelectObject(dc, pen_ ? static_cast<HGDIOBJ>(pen_) : GetStockObject(NULL_PEN));
        oldBrush_ = SelectObject(dc, brush_ ? static_cast<HGDIOBJ>(brush_) : GetStockObject(NULL_BRUSH));
    }
    ShapeTools(const ShapeTools&) = delete;
    ShapeTools& operator=(const ShapeTools&) = delete;
    ~ShapeTools() {
        SelectObject(dc_, oldPen_);
        SelectObject(dc_, oldBrush_);
        if (pen_) DeleteObject(pen_);
        if (brush_) DeleteObject(brush_);
    }

private:
    HDC dc_;
    HPEN pen_ = nullptr;
    HBRUSH brush_ = nullptr;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
};


}  // namespace

// ---- Surface -------------------------------------------------------------------------------

bool Surface::resize(int w, int h, Colour fill) {
    w = std::max(1, w);
    h = std::max(1, h);
    const BITMAPINFO bi = dibInfo(w, h);
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) return false;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(dc);
        return false;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    auto* px = static_cast<std::uint32_t*>(bits);
    std::fill(px, px + static_cast<std::size_t>(w) * h, toPixel(fill) & 0x00FFFFFFu);
    if (valid()) {
        GdiFlush();
        const int cw = std::min(w, width_), ch = std::min(h, height_);
        for (int y = 0; y < ch; ++y) {
            std::memcpy(px + static_cast<std::size_t>(y) * w, bits_ + static_cast<std::size_t>(y) * width_,
                        static_cast<std::size_t>(cw) * 4);
        }
    }
    release();
    dc_ = dc;
    bitmap_ = bitmap;
    oldBitmap_ = old;
    bits_ = px;
    width_ = w;
    height_ = h;
    return true;
}

void Surface::release() {
    if (dc_ && oldFont_) SelectObject(dc_, oldFont_);
    if (dc_ && oldBitmap_) SelectObject(dc_, oldBitmap_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    oldBitmap_ = nullptr;
    oldFont_ = nullptr;
    font_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
    if (scratchDc_ && oldScratch_) SelectObject(scratchDc_, oldScratch_);
    if (scratch_) DeleteObject(scratch_);
    if (scratchDc_) DeleteDC(scratchDc_);
    scratchDc_ = nullptr;
    scratch_ = nullptr;
    oldScratch_ = nullptr;
    scratchBits_ = nullptr;
    scratchWidth_ = scratchHeight_ = 0;
}

void Surface::selectFont(HFONT font) {
    if (dc_ == nullptr || font == font_) return;
    HGDIOBJ old = SelectObject(dc_, font);
    if (oldFont_ == nullptr) oldFont_ = old;  // the DC's own, put back before it goes
    font_ = font;
}

HDC Surface::sourceFor(const Image& img) {
    if (img.empty() || static_cast<long long>(img.width) * img.height > kScratchMaxPixels) return nullptr;
    if (img.width > scratchWidth_ || img.height > scratchHeight_) {
        const int w = std::max(img.width, scratchWidth_);
        const int h = std::max(img.height, scratchHeight_);
        if (scratchDc_ == nullptr) scratchDc_ = CreateCompatibleDC(nullptr);
        if (scratchDc_ == nullptr) return nullptr;
        const BITMAPINFO bi = dibInfo(w, h);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(scratchDc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap == nullptr || bits == nullptr) {
            if (bitmap) DeleteObject(bitmap);
            return nullptr;
        }
        HGDIOBJ old = SelectObject(scratchDc_, bitmap);
        if (scratch_ != nullptr) {
            DeleteObject(scratch_);
        } else {
            oldScratch_ = old;
        }
        scratch_ = bitmap;
        scratchBits_ = static_cast<std::uint32_t*>(bits);
        scratchWidth_ = w;
        scratchHeight_ = h;
    }
    GdiFlush();  // no copy of GDI's from the scratch is still under way
    // The top byte cleared: GDI's colour key and stretching look at RGB only, and an opaque
    // black must match the key.
    for (int y = 0; y < img.height; ++y) {
        const std::uint32_t* from = img.pixels.data() + static_cast<std::size_t>(y) * img.width;
        std::uint32_t* to = scratchBits_ + static_cast<std::size_t>(y) * scratchWidth_;
        for (int x = 0; x < img.width; ++x) to[x] = from[x] & 0x00FFFFFFu;
    }
    return scratchDc_;
}

// ---- Fonts ---------------------------------------------------------------------------------

// A positive height is the character cell and a negative one the em height, exactly as
// CreateFontW reads them: the callers pass the design's heights through unchanged. Every text
// of every timer tick asks for one of a handful of fonts, so each is made once.
HFONT fontFor(const Font& f) {
    static std::mutex lock;
    static std::map<std::tuple<std::string, int, int>, HFONT> fonts;
    const auto key = std::make_tuple(std::string(f.family), f.height, f.weight);
    std::lock_guard<std::mutex> hold(lock);
    if (auto it = fonts.find(key); it != fonts.end()) return it->second;
    const std::wstring family = widen(f.family);
    HFONT font = CreateFontW(f.height, 0, 0, 0, std::clamp(f.weight, 0, 1000), FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             family.c_str());
    if (font == nullptr) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts.emplace(key, font);
    return font;
}

// ---- Canvas --------------------------------------------------------------------------------

GdiCanvas::GdiCanvas(Surface& surface, std::unique_lock<std::mutex> lock, std::function<void(const RECT&)> done)
    : surface_(surface), lock_(std::move(lock)), done_(std::move(done)) {}

GdiCanvas::~GdiCanvas() {
    if (surface_.valid()) GdiFlush();
    if (lock_.owns_lock()) lock_.unlock();
    if (done_ && !IsRectEmpty(&dirty_)) done_(dirty_);
}

void GdiCanvas::touch(Rect r) {
    RECT area = toRECT(r);
    const RECT all{0, 0, surface_.width(), surface_.height()};
    if (!IntersectRect(&area, &area, &all)) return;
    UnionRect(&dirty_, &dirty_, &area);
}

void GdiCanvas::fillRect(Rect r, Colour c) {
    if (!usable() || r.width() <= 0 || r.height() <= 0) return;
    const RECT area = toRECT(r);
    HBRUSH brush = CreateSolidBrush(c);
    ::FillRect(surface_.dc(), &area, brush);
    DeleteObject(brush);
    touch(r);
}

void GdiCanvas::frameRect(Rect r, Colour c) {
    if (!usable() || r.width() <= 0 || r.height() <= 0) return;
    const RECT area = toRECT(r);
    HBRUSH brush = CreateSolidBrush(c);
    ::FrameRect(surface_.dc(), &area, brush);
    DeleteObject(brush);
    touch(r);
}

void GdiCanvas::roundRect(Rect r, int cornerW, int cornerH, Colour pen, int penWidth, Colour fill) {
    if (!usable() || r.width() <= 0 || r.height() <= 0) return;
    {
        ShapeTools tools(surface_.dc(), pen, penWidth, fill);
        ::RoundRect(surface_.dc(), r.left, r.top, r.right, r.bottom, cornerW, cornerH);
    }
    touch(r.grown(penWidth));
}

void GdiCanvas::line(Point a, Point b, Colour c, int width) {
    if (!usable()) return;
    {
        ShapeTools tools(surface_.dc(), c, std::max(1, width), std::nullopt);
        MoveToEx(surface_.dc(), a.x, a.y, nullptr);
        LineTo(surface_.dc(), b.x, b.y);
    }
    touch(Rect{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1}.grown(
        std::max(1, width)));
}

void GdiCanvas::ellipse(Rect r, Colour pen, int penWidth, Colour fill) {
    if (!usable() || r.width() <= 0 || r.height() <= 0) return;
    {
        ShapeTools tools(surface_.dc(), pen, penWidth, fill);
        ::Ellipse(surface_.dc(), r.left, r.top, r.right, r.bottom);
    }
    touch(r.grown(penWidth));
}

void GdiCanvas::text(int x, int y, std::string_view utf8, const Font& f, Colour fg, std::optional<Colour> bg) {
    if (!usable() || utf8.empty()) return;
    const std::wstring s = widen(utf8);
    HDC dc = surface_.dc();
    surface_.selectFont(fontFor(f));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetTextColor(dc, fg);
    SetBkMode(dc, bg ? OPAQUE : TRANSPARENT);
    if (bg) SetBkColor(dc, *bg);
    TextOutW(dc, x, y, s.c_str(), static_cast<int>(s.size()));
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    // Italic overhangs and accents may reach a little past the cell.
    touch(Rect{x, y, x + size.cx, y + size.cy}.grown(2));
}

void GdiCanvas::textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg, std::optional<Colour> bg,
                            bool vcentre) {
    if (!usable() || utf8.empty() || r.width() <= 0 || r.height() <= 0) return;
    std::wstring s = widen(utf8);
    HDC dc = surface_.dc();
    surface_.selectFont(fontFor(f));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetTextColor(dc, fg);
    SetBkMode(dc, bg ? OPAQUE : TRANSPARENT);
    if (bg) SetBkColor(dc, *bg);
    RECT area = toRECT(r);
    DrawTextW(dc, s.data(), static_cast<int>(s.size()), &area,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | (vcentre ? DT_VCENTER : DT_TOP));
    touch(r);
}

namespace {

// The picture's DC: the surface's scratch, or one of its own for a very large picture.
class BlitSource {
public:
    BlitSource(Surface& surface, const Image& img) : dc_(surface.sourceFor(img)) {
        if (dc_ == nullptr && !img.empty()) {
            own_ = std::make_unique<ImageDc>(img);
            if (own_->ok()) dc_ = own_->dc();
        }
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    std::unique_ptr<ImageDc> own_;
};

}  // namespace

// Straight and black-keyed copies are written into the surface's own pixels: the same result
// as BitBlt and TransparentBlt with the black key, without the temporary bitmap and DCs that a
// TransparentBlt makes for every call (the LED ring alone does sixteen per tick).
void GdiCanvas::copyPixels(const Image& img, int x, int y, bool blackIsTransparent) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + img.width, surface_.width());
    const int bottom = std::min(y + img.height, surface_.height());
    if (left >= right || top >= bottom) return;
    GdiFlush();  // what GDI drew before is in the pixels
    for (int row = top; row < bottom; ++row) {
        const std::uint32_t* from = img.pixels.data() + static_cast<std::size_t>(row - y) * img.width + (left - x);
        std::uint32_t* to = surface_.bits() + static_cast<std::size_t>(row) * surface_.width() + left;
        for (int i = 0; i < right - left; ++i) {
            const std::uint32_t colour = from[i] & 0x00FFFFFFu;
            if (colour != 0 || !blackIsTransparent) to[i] = colour;
        }
    }
    touch(Rect{x, y, x + img.width, y + img.height});
}

void GdiCanvas::blit(const Image& img, int x, int y) {
    if (!usable() || img.empty()) return;
    copyPixels(img, x, y, false);
}

void GdiCanvas::blitStretched(const Image& img, Rect r) {
    if (!usable() || img.empty() || r.width() <= 0 || r.height() <= 0) return;
    BlitSource source(surface_, img);
    if (source.dc() == nullptr) return;
    HDC dc = surface_.dc();
    const int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin{};
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);  // HALFTONE needs the brush origin set after it
    StretchBlt(dc, r.left, r.top, r.width(), r.height(), source.dc(), 0, 0, img.width, img.height, SRCCOPY);
    SetStretchBltMode(dc, oldMode);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    touch(r);
}

void GdiCanvas::blitTransparent(const Image& img, int x, int y) {
    if (!usable() || img.empty()) return;
    copyPixels(img, x, y, true);
}

Image GdiCanvas::readRegion(Rect r) {
    Image out(std::max(0, r.width()), std::max(0, r.height()));
    if (!usable()) return out;
    GdiFlush();
    const std::uint32_t* bits = surface_.bits();
    for (int y = 0; y < out.height; ++y) {
        const int sy = r.top + y;
        if (sy < 0 || sy >= surface_.height()) continue;
        const std::uint32_t* row = bits + static_cast<std::size_t>(sy) * surface_.width();
        for (int x = 0; x < out.width; ++x) {
            const int sx = r.left + x;
            if (sx >= 0 && sx < surface_.width()) out.at(x, y) = row[sx] | 0xFF000000u;
        }
    }
    return out;
}

}  // namespace orvane::platform::win32

namespace orvane::platform {

namespace {

// A surface holding a copy of the target image, written back when the canvas goes.
class ImageCanvas final : public ForwardingCanvas {
public:
    explicit ImageCanvas(Image& target) : target_(target), inner_(surface_, {}, {}) {
        if (target.empty() || !surface_.resize(target.width, target.height, 0)) return;
        std::uint32_t* bits = surface_.bits();
        for (std::size_t i = 0; i < target.pixels.size(); ++i) bits[i] = target.pixels[i] & 0x00FFFFFFu;
    }
    ~ImageCanvas() override {
        if (!surface_.valid()) return;
        GdiFlush();
        const std::uint32_t* bits = surface_.bits();
        for (std::size_t i = 0; i < target_.pixels.size(); ++i) target_.pixels[i] = bits[i] | 0xFF000000u;
    }

protected:
    Canvas& inner() override { return inner_; }

private:
    Image& target_;
    win32::Surface surface_;
    win32::GdiCanvas inner_;
};

}  // namespace

std::unique_ptr<Canvas> createImageCanvas(Image& target) { return std::make_unique<ImageCanvas>(target); }

}  // namespace orvane::platform
