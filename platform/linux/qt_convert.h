#pragma once
// Conversions between the seam's plain images and Qt's. Image pixels (0xAARRGGBB, rows top to
// bottom, no padding) have the memory layout of QImage::Format_ARGB32 / Format_RGB32.
#include <QImage>

#include "platform/image.h"

namespace orvane::platform::qt {

// A QImage that draws straight into `img` (no copy); `img` must outlive it.
inline QImage wrapImage(Image& img) {
    return QImage(reinterpret_cast<uchar*>(img.pixels.data()), img.width, img.height,
                  img.width * 4, QImage::Format_RGB32);
}
inline QImage wrapImage(const Image& img) {
    return QImage(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                  img.width * 4, QImage::Format_RGB32);
}

// Any QImage composited on opaque black, as an Image.
Image toImage(const QImage& source);

}  // namespace orvane::platform::qt
