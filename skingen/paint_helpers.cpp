#include "skingen/paint_helpers.h"

#include <QConicalGradient>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace orvane::skingen {

QImage blackImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

Raster toRaster(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    Raster out(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) out.at(x, y) = row[x] & 0xFFFFFFu;
    }
    return out;
}

void fillBrushedMetal(QImage& image, const QRect& area, int baseGrey, std::uint32_t seed) {
    Noise noise(seed);
    const QRect r = area.intersected(image.rect());
    std::vector<double> streak(static_cast<std::size_t>(r.width()), 0.0);
    double rowShade = 0.0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        // Each row is one brush stroke: a slowly drifting shade plus fine grain.
        rowShade = 0.6 * rowShade + 0.4 * noise.signedUnit() * 7.0;
        double drift = noise.signedUnit() * 4.0;
        const double light = 10.0 * (1.0 - static_cast<double>(y - r.top()) / std::max(1, r.height()));
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            drift = 0.93 * drift + 0.07 * noise.signedUnit() * 9.0;
            double& s = streak[static_cast<std::size_t>(x - r.left())];
            s = 0.7 * s + 0.3 * drift;
            const double grain = noise.signedUnit() * 2.0;
            const int g = std::clamp(static_cast<int>(baseGrey + light + rowShade + s + grain), 8, 250);
            // A faint cool cast, like anodised steel.
            row[x] = qRgb(g, g + 1, std::min(255, g + 4));
        }
    }
}

void drawBevel(QPainter& painter, const QRect& area, const QColor& light, const QColor& dark) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(light);
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.setPen(dark);
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.topRight(), area.bottomRight());
    painter.restore();
}

void drawInset(QPainter& painter, const QRect& area, int radius) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    const QRectF outer = QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(150, 152, 158), 1.0));
    painter.drawRoundedRect(outer.translated(0.0, 1.0), radius, radius);
    painter.setPen(QPen(QColor(14, 14, 16), 1.0));
    painter.drawRoundedRect(outer, radius, radius);
    painter.restore();
}

void drawKnobBody(QPainter& painter, QPointF centre) {
    constexpr double kSkirtRadius = 25.0;
    constexpr double kCapRadius = 19.5;
    constexpr int kRidges = 36;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);

    QRadialGradient skirt(centre, kSkirtRadius);
    skirt.setColorAt(0.70, QColor(70, 71, 76));
    skirt.setColorAt(1.00, QColor(34, 34, 38));
    painter.setPen(Qt::NoPen);
    painter.setBrush(skirt);
    painter.drawEllipse(centre, kSkirtRadius, kSkirtRadius);

    // Grip ridges around the skirt.
    for (int i = 0; i < kRidges; ++i) {
        const double a = 2.0 * std::numbers::pi * i / kRidges;
        const QPointF dir(std::cos(a), std::sin(a));
        painter.setPen(QPen(i % 2 ? QColor(112, 114, 120) : QColor(26, 26, 30), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre + dir * (kCapRadius + 1.5), centre + dir * (kSkirtRadius - 1.0));
    }

    // Turned metal: the light catches the machining rings at two opposite places.
    QConicalGradient turned(centre, 60.0);
    const int tones[] = {196, 92, 150, 70, 190, 88, 146, 72};
    for (int i = 0; i < 8; ++i) turned.setColorAt(i / 8.0, QColor(tones[i], tones[i] + 2, tones[i] + 8));
    turned.setColorAt(1.0, QColor(tones[0], tones[0] + 2, tones[0] + 8));
    painter.setPen(QPen(QColor(20, 20, 24), 1.0));
    painter.setBrush(turned);
    painter.drawEllipse(centre, kCapRadius, kCapRadius);

    QRadialGradient depth(centre, kCapRadius);
    depth.setColorAt(0.0, QColor(0, 0, 0, 0));
    depth.setColorAt(0.80, QColor(0, 0, 0, 30));
    depth.setColorAt(1.0, QColor(0, 0, 0, 110));
    painter.setPen(Qt::NoPen);
    painter.setBrush(depth);
    painter.drawEllipse(centre, kCapRadius, kCapRadius);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(230, 232, 240, 90), 1.0));
    painter.drawEllipse(centre, kCapRadius - 1.5, kCapRadius - 1.5);
    painter.restore();
}

}  // namespace orvane::skingen
