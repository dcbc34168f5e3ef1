// Decoding and pixel operations of the image seam: GDI+ through its flat interface (decoders,
// GIF frames, rotation, scaling), LoadImageW for BMP files, ExtractIconW for device icons.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/image.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

namespace gp = Gdiplus;
namespace gdip = Gdiplus::DllExports;

// GDI+ is started once for the process and left running: images are decoded from any thread
// until the process ends, so there is no moment at which shutting it down would be safe.
bool gdiplusReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        gp::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        ready = gp::GdiplusStartup(&token, &input, nullptr) == gp::Ok;
    });
    return ready;
}

// Owns one GDI+ image (or bitmap) handle.
struct GpImageHandle {
    gp::GpImage* image = nullptr;
    GpImageHandle() = default;
    GpImageHandle(const GpImageHandle&) = delete;
    GpImageHandle& operator=(const GpImageHandle&) = delete;
    ~GpImageHandle() {
        if (image) gdip::GdipDisposeImage(image);
    }
    gp::GpBitmap* bitmap() const { return static_cast<gp::GpBitmap*>(image); }
};

struct GraphicsHandle {
    gp::GpGraphics* g = nullptr;
    ~GraphicsHandle() {
        if (g) gdip::GdipDeleteGraphics(g);
    }
};

// A GDI+ bitmap over the pixels of `img` (32-bit ARGB, same memory; `img` must outlive it).
bool wrapPixels(Image& img, GpImageHandle& out) {
    gp::GpBitmap* bmp = nullptr;
    if (gdip::GdipCreateBitmapFromScan0(img.width, img.height, img.width * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE*>(img.pixels.data()), &bmp) != gp::Ok) {
        return false;
    }
    out.image = bmp;
    return true;
}

// The active frame of `bitmap` as opaque pixels: translucent ones blended on black.
std::optional<Image> readFrame(gp::GpBitmap* bitmap) {
    UINT w = 0, h = 0;
    if (gdip::GdipGetImageWidth(bitmap, &w) != gp::Ok || gdip::GdipGetImageHeight(bitmap, &h) != gp::Ok) {
        return std::nullopt;
    }
    // A bound well past any picture the system shows keeps a hostile header from asking for
    // gigabytes.
    if (w == 0 || h == 0 || w > 16384 || h > 16384) return std::nullopt;
    gp::Rect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    gp::BitmapData data{};
    if (gdip::GdipBitmapLockBits(bitmap, &all, gp::ImageLockModeRead, PixelFormat32bppARGB, &data) != gp::Ok) {
        return std::nullopt;
    }
    Image out(static_cast<int>(w), static_cast<int>(h));
    for (UINT y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const BYTE*>(data.Scan0) +
                                                                 static_cast<std::ptrdiff_t>(y) * data.Stride);
        std::uint32_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * w;
        for (UINT x = 0; x < w; ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t a = p >> 24;
            if (a == 0xFF) {
                dst[x] = p;
                continue;
            }
            auto blend = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            dst[x] = 0xFF000000u | (blend((p >> 16) & 0xFF) << 16) | (blend((p >> 8) & 0xFF) << 8) | blend(p & 0xFF);
        }
    }
    gdip::GdipBitmapUnlockBits(bitmap, &data);
    return out;
}

// A stream over a copy of `bytes` (GDI+ may read it lazily, so it owns its memory).
IStream* memoryStream(std::span<const std::uint8_t> bytes) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (mem == nullptr) return nullptr;
    void* p = GlobalLock(mem);
    if (p == nullptr) {
        GlobalFree(mem);
        return nullptr;
    }
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(mem);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(mem, TRUE, &stream) != S_OK) {
        GlobalFree(mem);
        return nullptr;
    }
    return stream;
}

bool loadFromBytes(std::span<const std::uint8_t> bytes, GpImageHandle& out) {
    if (bytes.empty() || !gdiplusReady()) return false;
    IStream* stream = memoryStream(bytes);
    if (stream == nullptr) return false;
    gp::GpBitmap* bmp = nullptr;
    const bool ok = gdip::GdipCreateBitmapFromStream(stream, &bmp) == gp::Ok && bmp != nullptr;
    stream->Release();  // the bitmap keeps its own reference
    if (ok) out.image = bmp;
    return ok;
}

std::optional<Image> decodeWithGdiplus(std::span<const std::uint8_t> bytes) {
    GpImageHandle img;
    if (!loadFromBytes(bytes, img)) return std::nullopt;
    return readFrame(img.bitmap());
}

// The pixels of a GDI bitmap, top row first.
std::optional<Image> readHBitmap(HBITMAP bitmap) {
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight == 0) return std::nullopt;
    const int w = info.bmWidth;
    const int h = std::abs(info.bmHeight);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    Image out(w, h);
    HDC dc = GetDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(h), out.pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != h) return std::nullopt;
    for (auto& p : out.pixels) p |= 0xFF000000u;
    return out;
}

}  // namespace

std::optional<Image> loadBmpFile(const std::string& path) {
    const std::wstring wide = win32::widen(path);
    if (wide.empty()) return std::nullopt;
    auto* bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (bitmap == nullptr) return std::nullopt;
    std::optional<Image> img = readHBitmap(bitmap);
    DeleteObject(bitmap);
    return img;
}

std::optional<Image> decodeBmpBytes(std::span<const std::uint8_t> bytes) {
    // A BMP file header is 14 bytes and the info header at least 12 more.
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    return decodeWithGdiplus(bytes);
}

std::optional<Image> decodePngBytes(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return std::nullopt;
    return decodeWithGdiplus(bytes);
}

std::optional<Image> decodeAnyImage(std::span<const std::uint8_t> bytes) { return decodeWithGdiplus(bytes); }

std::optional<AnimationFile> loadAnimationFile(const std::string& path) {
    if (!gdiplusReady()) return std::nullopt;
    const std::wstring wide = win32::widen(path);
    GpImageHandle img;
    gp::GpBitmap* bmp = nullptr;
    if (wide.empty() || gdip::GdipCreateBitmapFromFile(wide.c_str(), &bmp) != gp::Ok || bmp == nullptr) {
        return std::nullopt;
    }
    img.image = bmp;

    AnimationFile file;
    UINT dimensions = 0;
    GUID dimension = gp::FrameDimensionTime;
    UINT frames = 1;
    if (gdip::GdipImageGetFrameDimensionsCount(img.image, &dimensions) == gp::Ok && dimensions > 0) {
        std::vector<GUID> ids(dimensions);
        if (gdip::GdipImageGetFrameDimensionsList(img.image, ids.data(), dimensions) == gp::Ok) dimension = ids[0];
        if (gdip::GdipImageGetFrameCount(img.image, &dimension, &frames) != gp::Ok || frames == 0) frames = 1;
    }
    // Delays in hundredths of a second, one per frame, in the frame-delay property.
    std::vector<int> delays;
    UINT size = 0;
    if (gdip::GdipGetPropertyItemSize(img.image, PropertyTagFrameDelay, &size) == gp::Ok && size >= sizeof(gp::PropertyItem)) {
        std::vector<std::uint8_t> buffer(size);
        auto* item = reinterpret_cast<gp::PropertyItem*>(buffer.data());
        if (gdip::GdipGetPropertyItem(img.image, PropertyTagFrameDelay, size, item) == gp::Ok && item->value) {
            const auto* values = static_cast<const std::int32_t*>(item->value);
            const std::size_t n = item->length / sizeof(std::int32_t);
            for (std::size_t i = 0; i < n; ++i) delays.push_back(values[i] * 10);
        }
    }
    bool anyDelay = false;
    for (UINT i = 0; i < frames; ++i) {
        if (frames > 1 && gdip::GdipImageSelectActiveFrame(img.image, &dimension, i) != gp::Ok) break;
        std::optional<Image> frame = readFrame(img.bitmap());
        if (!frame) break;
        const int delay = i < delays.size() ? delays[i] : 0;
        anyDelay = anyDelay || delay > 0;
        file.frames.push_back(std::move(*frame));
        file.delaysMs.push_back(delay);
    }
    if (file.frames.empty()) return std::nullopt;
    file.hasDelays = anyDelay;
    if (!anyDelay) file.delaysMs.clear();
    return file;
}

Image rotateImage(const Image& source, double degrees) {
    if (source.empty() || !gdiplusReady()) return source;
    Image in = source;
    for (auto& p : in.pixels) p |= 0xFF000000u;
    Image out(source.width, source.height);  // opaque black: what the turn leaves uncovered
    GpImageHandle from, to;
    if (!wrapPixels(in, from) || !wrapPixels(out, to)) return out;
    {
        GraphicsHandle g;
        if (gdip::GdipGetImageGraphicsContext(to.image, &g.g) != gp::Ok) return out;
        gdip::GdipSetInterpolationMode(g.g, gp::InterpolationModeHighQualityBilinear);
        gdip::GdipSetPixelOffsetMode(g.g, gp::PixelOffsetModeHalf);
        gdip::GdipTranslateWorldTransform(g.g, source.width / 2.0f, source.height / 2.0f, gp::MatrixOrderPrepend);
        gdip::GdipRotateWorldTransform(g.g, static_cast<gp::REAL>(degrees), gp::MatrixOrderPrepend);
        gdip::GdipTranslateWorldTransform(g.g, -source.width / 2.0f, -source.height / 2.0f, gp::MatrixOrderPrepend);
        gdip::GdipDrawImageRectI(g.g, from.image, 0, 0, source.width, source.height);
    }
    for (auto& p : out.pixels) p |= 0xFF000000u;
    return out;
}

Image scaleImage(const Image& source, int w, int h) {
    if (source.empty() || w <= 0 || h <= 0 || !gdiplusReady()) return Image(std::max(w, 0), std::max(h, 0));
    Image in = source;
    for (auto& p : in.pixels) p |= 0xFF000000u;
    Image out(w, h);
    GpImageHandle from, to;
    if (!wrapPixels(in, from) || !wrapPixels(out, to)) return out;
    {
        GraphicsHandle g;
        if (gdip::GdipGetImageGraphicsContext(to.image, &g.g) != gp::Ok) return out;
        gdip::GdipSetInterpolationMode(g.g, gp::InterpolationModeHighQualityBilinear);
        gdip::GdipSetPixelOffsetMode(g.g, gp::PixelOffsetModeHalf);
        // Edge pixels sample their mirror rather than transparency, so the borders stay solid.
        gp::GpImageAttributes* attributes = nullptr;
        gdip::GdipCreateImageAttributes(&attributes);
        if (attributes) gdip::GdipSetImageAttributesWrapMode(attributes, gp::WrapModeTileFlipXY, 0, FALSE);
        gdip::GdipDrawImageRectRectI(g.g, from.image, 0, 0, w, h, 0, 0, source.width, source.height, gp::UnitPixel,
                                     attributes, nullptr, nullptr);
        if (attributes) gdip::GdipDisposeImageAttributes(attributes);
    }
    for (auto& p : out.pixels) p |= 0xFF000000u;
    return out;
}

// A sound device's icon location: "<file>,<index>" (a negative index is a resource id), as the
// device property store gives it, with environment variables in the file name.
std::optional<Image> loadIconImage(const std::string& file, int number, int size, std::uint32_t background) {
    if (file.empty() || size <= 0 || size > 1024) return std::nullopt;
    const std::wstring wide = win32::widen(file);
    // Endpoint icon files are given as "%windir%\system32\mmres.dll" and the like.
    wchar_t expanded[MAX_PATH];
    const DWORD n = ExpandEnvironmentStringsW(wide.c_str(), expanded, MAX_PATH);
    if (n == 0 || n > MAX_PATH) return std::nullopt;
    // A negative number is a resource number (ExtractIcon takes it as the unsigned value).
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), expanded, static_cast<UINT>(number));
    if (icon == nullptr || icon == reinterpret_cast<HICON>(1)) return std::nullopt;

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::optional<Image> out;
    if (dib != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(dc, dib);
        auto* px = static_cast<std::uint32_t*>(bits);
        std::fill(px, px + static_cast<std::size_t>(size) * size, background | 0xFF000000u);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        Image img(size, size);
        for (std::size_t i = 0; i < img.pixels.size(); ++i) img.pixels[i] = px[i] | 0xFF000000u;
        out = std::move(img);
        SelectObject(dc, old);
    }
    if (dib) DeleteObject(dib);
    DeleteDC(dc);
    DestroyIcon(icon);
    return out;
}

}  // namespace orvane::platform
