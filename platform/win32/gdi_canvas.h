#pragma once
// The canvas on a GDI memory device context holding a 32-bit top-down DIB section. The window
// keeps one such surface for its whole life; every thread draws on it under its lock. Shapes,
// texts and stretched pictures are drawn by GDI; straight and black-keyed copies of pictures
// are written into the section's pixels directly.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/canvas.h"
#include "platform/image.h"

namespace orvane::platform::win32 {

// A DIB section selected into its own memory DC. Pixels are 0x00RRGGBB in memory order, the
// same layout as an Image's 0xAARRGGBB (GDI leaves the top byte alone or clears it).
class Surface {
public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface() { release(); }

    // A new surface of w x h filled with `fill`; the old contents are kept where they overlap.
    bool resize(int w, int h, Colour fill);
    void release();

    HDC dc() const { return dc_; }
    std::uint32_t* bits() const { return bits_; }

    // Selects the font into the surface's DC unless it is selected already (it stays selected:
    // each selection costs the system a font lookup, and texts come many per tick).
    void selectFont(HFONT font);
    // A DC holding `img` at (0, 0), for a copy from it onto this surface: the surface's own
    // scratch DIB (made once, grown as needed) for pictures up to kScratchMaxPixels, so that a
    // blit allocates nothing; null when the picture is larger (the caller makes its own).
    HDC sourceFor(const Image& img);
    static constexpr int kScratchMaxPixels = 512 * 512;
    int width() const { return width_; }
    int height() const { return height_; }
    bool valid() const { return dc_ != nullptr && bits_ != nullptr; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    HFONT font_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    // The scratch DIB for blit sources.
    HDC scratchDc_ = nullptr;
    HBITMAP scratch_ = nullptr;
    HGDIOBJ oldScratch_ = nullptr;
    std::uint32_t* scratchBits_ = nullptr;
    int scratchWidth_ = 0;
    int scratchHeight_ = 0;
};

class GdiCanvas final : public Canvas {
public:
    // `lock` (may be empty) is held for the canvas's life; `done` runs after it is released,
    // with the part of the surface that was drawn on.
    GdiCanvas(Surface& surface, std::unique_lock<std::mutex> lock, std::function<void(const RECT&)> done);
    ~GdiCanvas() override;

    void fillRect(Rect r, Colour c) override;
    void frameRect(Rect r, Colour c) override;
    void roundRect(Rect r, int cornerW, int cornerH, Colour pen, int penWidth, Colour fill) override;
    void line(Point a, Point b, Colour c, int width) override;
    void ellipse(Rect r, Colour pen, int penWidth, Colour fill) override;
    void text(int x, int y, std::string_view utf8, const Font& f, Colour fg, std::optional<Colour> bg) override;
    void textCentred(Rect r, std::string_view utf8, const Font& f, Colour fg, std::optional<Colour> bg,
                     bool vcentre) override;
    void blit(const Image& img, int x, int y) override;
    void blitStretched(const Image& img, Rect r) override;
    void blitTransparent(const Image& img, int x, int y) override;
    Image readRegion(Rect r) override;

private:
    void touch(Rect r);
    void copyPixels(const Image& img, int x, int y, bool blackIsTransparent);
    bool usable() const { return surface_.valid(); }

    Surface& surface_;
    std::unique_lock<std::mutex> lock_;
    std::function<void(const RECT&)> done_;
    RECT dirty_{0, 0, 0, 0};
};

// The GDI font for a seam font (cached for the process: fonts are shared by every surface).
HFONT fontFor(const Font& f);

}  // namespace orvane::platform::win32
