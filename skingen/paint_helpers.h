#pragma once
// Small painting tools shared by the skin drawings.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRect>
#include <cstdint>

#include "skingen/raster.h"

namespace orvane::skingen {

// Deterministic pseudo-random numbers, so the skin comes out identical on every build.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform in [-1, 1].
    double signedUnit() { return static_cast<double>(next() % 20001u) / 10000.0 - 1.0; }

private:
    std::uint32_t state_;
};

QImage blackImage(int width, int height);
Raster toRaster(const QImage& image);

// Horizontal brushed-metal texture over `area`, lighter toward the top.
void fillBrushedMetal(QImage& image, const QRect& area, int baseGrey, std::uint32_t seed);

// A raised edge: light along the top and left, dark along the bottom and right.
void drawBevel(QPainter& painter, const QRect& area, const QColor& light, const QColor& dark);
// A sunken window: the opposite of a raised edge.
void drawInset(QPainter& painter, const QRect& area, int radius);

// The ridged metal skirt and the turned-metal cap shared by both knobs.
void drawKnobBody(QPainter& painter, QPointF centre);

}  // namespace orvane::skingen
