// The program's own icon, for menus and the desktop's icon theme: a push-to-talk microphone
// between radio waves on the skin's dark metal, amber outline. Drawn on a 256-unit square,
// as pixels at any size and as a scalable drawing with the same shapes.
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

constexpr double kUnits = 256.0;
// The waves' centre, their radii and the half-angle of each arc.
constexpr double kWaveX = 128.0, kWaveY = 104.0;
constexpr double kWaveRadii[] = {72.0, 100.0};
constexpr double kWaveOpacity[] = {1.0, 0.55};
constexpr double kWaveHalfAngle = 38.0;

const QColor kAmber(255, 184, 28);
const QColor kOutline(40, 40, 46);

}  // namespace

QImage drawAppIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / kUnits, size / kUnits);

    QLinearGradient metal(QPointF(0, 16), QPointF(0, 240));
    metal.setColorAt(0.0, QColor(0x47, 0x4a, 0x53));
    metal.setColorAt(1.0, QColor(0x17, 0x18, 0x1c));
    p.setPen(QPen(kAmber, 8.0));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 44, 44);

    for (int i = 0; i < 2; ++i) {
        const double r = kWaveRadii[i];
        QColor wave = kAmber;
        wave.setAlphaF(static_cast<float>(kWaveOpacity[i]));
        p.setPen(QPen(wave, 12.0, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        const QRectF circle(kWaveX - r, kWaveY - r, 2 * r, 2 * r);
        const int half = static_cast<int>(kWaveHalfAngle * 16);
        p.drawArc(circle, -half, 2 * half);
        p.drawArc(circle, 180 * 16 - half, 2 * half);
    }

    // The stand: a cradle under the capsule, a stem and a foot.
    p.setPen(QPen(QColor(0xc8, 0xca, 0xd0), 9.0, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(84, 84, 88, 88), 180 * 16, 180 * 16);
    p.drawLine(QPointF(128, 172), QPointF(128, 200));
    p.drawLine(QPointF(96, 204), QPointF(160, 204));

    QLinearGradient steel(QPointF(100, 0), QPointF(156, 0));
    steel.setColorAt(0.0, QColor(0xe0, 0xe2, 0xe8));
    steel.setColorAt(1.0, QColor(0x5a, 0x5c, 0x64));
    p.setPen(QPen(kOutline, 4.0));
    p.setBrush(steel);
    p.drawRoundedRect(QRectF(100, 44, 56, 104), 28, 28);
    p.setPen(QPen(kOutline, 5.0, Qt::SolidLine, Qt::RoundCap));
    for (double y : {76.0, 96.0, 116.0}) p.drawLine(QPointF(112, y), QPointF(144, y));
    return image;
}

std::string appIconSvg() {
    const double c = std::cos(kWaveHalfAngle * std::numbers::pi / 180.0);
    const double s = std::sin(kWaveHalfAngle * std::numbers::pi / 180.0);
    std::string waves;
    char line[512];
    for (int i = 0; i < 2; ++i) {
        const double r = kWaveRadii[i];
        std::snprintf(line, sizeof line,
                      "  <g stroke=\"#ffb81c\" stroke-opacity=\"%.2f\" stroke-width=\"12\" stroke-linecap=\"round\" fill=\"none\">\n"
                      "    <path d=\"M %.2f %.2f A %.0f %.0f 0 0 1 %.2f %.2f\"/>\n"
                      "    <path d=\"M %.2f %.2f A %.0f %.0f 0 0 1 %.2f %.2f\"/>\n"
                      "  </g>\n",
                      kWaveOpacity[i], kWaveX + r * c, kWaveY - r * s, r, r, kWaveX + r * c, kWaveY + r * s,
                      kWaveX - r * c, kWaveY + r * s, r, r, kWaveX - r * c, kWaveY - r * s);
        waves += line;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
           "  <defs>\n"
           "    <linearGradient id=\"metal\" x1=\"0\" y1=\"16\" x2=\"0\" y2=\"240\" gradientUnits=\"userSpaceOnUse\">\n"
           "      <stop offset=\"0\" stop-color=\"#474a53\"/><stop offset=\"1\" stop-color=\"#17181c\"/>\n"
           "    </linearGradient>\n"
           "    <linearGradient id=\"steel\" x1=\"100\" y1=\"0\" x2=\"156\" y2=\"0\" gradientUnits=\"userSpaceOnUse\">\n"
           "      <stop offset=\"0\" stop-color=\"#e0e2e8\"/><stop offset=\"1\" stop-color=\"#5a5c64\"/>\n"
           "    </linearGradient>\n"
           "  </defs>\n"
           "  <rect x=\"16\" y=\"16\" width=\"224\" height=\"224\" rx=\"44\" fill=\"url(#metal)\" stroke=\"#ffb81c\" stroke-width=\"8\"/>\n" +
           waves +
           "  <g stroke=\"#c8cad0\" stroke-width=\"9\" stroke-linecap=\"round\" fill=\"none\">\n"
           "    <path d=\"M 84 128 A 44 44 0 0 0 172 128\"/>\n"
           "    <path d=\"M 128 172 L 128 200\"/>\n"
           "    <path d=\"M 96 204 L 160 204\"/>\n"
           "  </g>\n"
           "  <rect x=\"100\" y=\"44\" width=\"56\" height=\"104\" rx=\"28\" fill=\"url(#steel)\" stroke=\"#28282e\" stroke-width=\"4\"/>\n"
           "  <g stroke=\"#28282e\" stroke-width=\"5\" stroke-linecap=\"round\">\n"
           "    <path d=\"M 112 76 L 144 76\"/><path d=\"M 112 96 L 144 96\"/><path d=\"M 112 116 L 144 116\"/>\n"
           "  </g>\n"
           "</svg>\n";
}

}  // namespace orvane::skingen
