#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>
#include <string>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

// The needle pivots on the middle of the bottom edge and sweeps these screen angles (x = cos,
// y = sin, y downward) as the level goes from silence to full scale.
constexpr double kPivotX = kMeterWidth / 2.0;
constexpr double kPivotY = kMeterHeight;
constexpr double kSweepStart = 218.0;
constexpr double kSweepEnd = 319.0;
// Reference level (0 VU) at -3 dB below full scale, so the red zone is the top 30 % of the
// sweep, as on the bar meters below.
constexpr double kReferenceFraction = 0.7079;

double angleOfDecibels(double db) {
    const double fraction = kReferenceFraction * std::pow(10.0, db / 20.0);
    return kSweepStart + (kSweepEnd - kSweepStart) * fraction;
}

QPointF onDial(double degrees, double radius) {
    const double a = degrees * std::numbers::pi / 180.0;
    return QPointF(kPivotX + radius * std::cos(a), kPivotY + radius * std::sin(a));
}

QPainterPath arcPath(double fromDegrees, double toDegrees, double radius) {
    QPainterPath path(onDial(fromDegrees, radius));
    const int steps = 64;
    for (int i = 1; i <= steps; ++i) path.lineTo(onDial(fromDegrees + (toDegrees - fromDegrees) * i / steps, radius));
    return path;
}

void drawFace(QPainter& painter, const QRectF& window) {
    // Warm backlight, brightest behind the scale.
    QRadialGradient light(QPointF(kPivotX, kPivotY - 34), 90);
    light.setColorAt(0.0, QColor(255, 236, 176));
    light.setColorAt(0.6, QColor(244, 206, 122));
    light.setColorAt(1.0, QColor(196, 146, 60));
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.drawRoundedRect(window, 4, 4);
}

void drawScale(QPainter& painter) {
    constexpr double kScaleRadius = 60.0;
    const QColor ink(40, 30, 20);
    const QColor red(206, 22, 16);
    const double zeroAngle = angleOfDecibels(0.0);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(ink, 1.2));
    painter.drawPath(arcPath(kSweepStart, zeroAngle, kScaleRadius));
    painter.setPen(QPen(red, 4.0, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(arcPath(zeroAngle, kSweepEnd, kScaleRadius + 2.0));

    // A fine percentage scale inside the main one.
    painter.setPen(QPen(QColor(90, 70, 40), 0.8));
    painter.drawPath(arcPath(kSweepStart, kSweepEnd, 48.0));
    for (int i = 0; i <= 10; ++i) {
        const double a = kSweepStart + (kSweepEnd - kSweepStart) * i / 10.0;
        painter.drawLine(onDial(a, 48.0), onDial(a, i % 5 == 0 ? 44.0 : 45.5));
    }

    struct Mark {
        double db;
        const char* label;  // nothing for a minor tick
    };
    const Mark marks[] = {{-20, "20"}, {-15, nullptr}, {-10, "10"}, {-7, "7"}, {-5, "5"}, {-4, nullptr},
                          {-3, "3"},   {-2, nullptr},  {-1, nullptr}, {0, "0"}, {1, nullptr}, {2, nullptr},
                          {3, "3"}};
    QFont font("Liberation Sans");
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    for (const Mark& m : marks) {
        const double a = angleOfDecibels(m.db);
        const QColor colour = m.db > 0 ? red : ink;
        painter.setPen(QPen(colour, m.label ? 1.6 : 1.0, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(onDial(a, kScaleRadius), onDial(a, kScaleRadius + (m.label ? 7.0 : 4.5)));
        if (m.label) {
            const QPointF at = onDial(a, kScaleRadius + 13.0);
            painter.setPen(colour);
            painter.drawText(QRectF(at.x() - 8, at.y() - 6, 16, 12), Qt::AlignCenter, m.label);
        }
    }

    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(8, 44, 16, 12), Qt::AlignCenter, QString::fromUtf8("\u2212"));
    painter.setPen(red);
    painter.drawText(QRectF(kMeterWidth - 24, 44, 16, 12), Qt::AlignCenter, "+");

    QFont vu("Liberation Serif");
    vu.setPixelSize(15);
    vu.setBold(true);
    painter.setFont(vu);
    painter.setPen(ink);
    painter.drawText(QRectF(kPivotX - 20, 52, 40, 16), Qt::AlignCenter, "VU");
}

void drawPivotHousing(QPainter& painter) {
    QRadialGradient housing(QPointF(kPivotX - 3, kPivotY - 6), 16);
    housing.setColorAt(0.0, QColor(150, 152, 160));
    housing.setColorAt(1.0, QColor(36, 36, 40));
    painter.setPen(QPen(QColor(20, 20, 22), 1.0));
    painter.setBrush(housing);
    painter.drawEllipse(QPointF(kPivotX, kPivotY), 13.0, 13.0);
}

void drawGlass(QPainter& painter, const QRectF& window) {
    QLinearGradient sheen(window.topLeft(), QPointF(window.left() + 60, window.bottom()));
    sheen.setColorAt(0.0, QColor(255, 255, 255, 70));
    sheen.setColorAt(0.45, QColor(255, 255, 255, 10));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(sheen);
    painter.drawRoundedRect(window, 4, 4);
}

}  // namespace

QImage drawMeterFace() {
    QImage image = blackImage(kMeterWidth, kMeterHeight);
    fillBrushedMetal(image, image.rect(), 62, 0x5EEDu);
    QPainter painter(&image);
    drawBevel(painter, image.rect(), QColor(150, 152, 158), QColor(16, 16, 18));

    // The face sits in a window cut through the bezel; its bottom edge runs under the pivot.
    const QRectF window(4.0, 4.0, kMeterWidth - 8.0, kMeterHeight - 4.0);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    drawFace(painter, window);
    painter.setPen(QPen(QColor(20, 18, 16), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(window.adjusted(-0.5, -0.5, 0.5, 4.0), 4, 4);
    drawScale(painter);
    drawPivotHousing(painter);
    drawGlass(painter, window);
    return image;
}

}  // namespace orvane::skingen
