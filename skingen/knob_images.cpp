#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

const QColor kAmber(255, 184, 28);
const QColor kAmberLight(255, 226, 120);

// Knobs turn about the image centre, so everything is drawn around the exact middle.
QPointF knobCentre() { return QPointF(kKnobSize / 2.0, kKnobSize / 2.0); }

QPainterPath cogPath(QPointF centre, int teeth, double outer, double inner) {
    QPainterPath path;
    const int steps = teeth * 4;
    for (int i = 0; i < steps; ++i) {
        // Each tooth: two points on the outer circle, two on the inner one.
        const double a = 2.0 * std::numbers::pi * (i + 0.5) / steps - std::numbers::pi / 2.0;
        const double r = (i % 4 == 0 || i % 4 == 1) ? outer : inner;
        const QPointF p = centre + QPointF(std::cos(a), std::sin(a)) * r;
        if (i == 0) {
            path.moveTo(p);
        } else {
            path.lineTo(p);
        }
    }
    path.closeSubpath();
    return path;
}

}  // namespace

QImage drawArrowKnob() {
    QImage image = blackImage(kKnobSize, kKnobSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = knobCentre();
    drawKnobBody(painter, c);

    // A glowing amber arrow from the cap to the skirt, pointing up.
    const QPolygonF head({c + QPointF(0.0, -25.5), c + QPointF(-5.5, -15.5), c + QPointF(5.5, -15.5)});
    painter.setPen(QPen(QColor(255, 170, 20, 90), 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(head);
    painter.drawLine(c + QPointF(0.0, -15.0), c + QPointF(0.0, -4.0));
    painter.setPen(QPen(kAmber.darker(140), 1.0));
    painter.setBrush(kAmber);
    painter.drawPolygon(head);
    painter.setPen(QPen(kAmber, 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(0.0, -15.0), c + QPointF(0.0, -4.5));
    painter.setPen(QPen(kAmberLight, 1.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(c + QPointF(-0.5, -20.5), c + QPointF(-0.5, -5.5));

    // Centre boss.
    QRadialGradient boss(c + QPointF(-1.0, -1.0), 4.5);
    boss.setColorAt(0.0, QColor(240, 240, 244));
    boss.setColorAt(1.0, QColor(70, 72, 80));
    painter.setPen(QPen(QColor(30, 30, 34), 0.8));
    painter.setBrush(boss);
    painter.drawEllipse(c, 3.8, 3.8);
    return image;
}

QImage drawParamsKnob() {
    QImage image = blackImage(kKnobSize, kKnobSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = knobCentre();
    drawKnobBody(painter, c);

    QPainterPath cog = cogPath(c, 8, 12.5, 9.0);
    QPainterPath hole;
    hole.addEllipse(c, 4.0, 4.0);
    cog = cog.subtracted(hole);
    painter.setPen(QPen(QColor(255, 170, 20, 80), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(cog);
    QRadialGradient fill(c, 12.5);
    fill.setColorAt(0.0, kAmberLight);
    fill.setColorAt(1.0, kAmber);
    painter.setPen(QPen(kAmber.darker(150), 0.8));
    painter.setBrush(fill);
    painter.drawPath(cog);
    return image;
}

}  // namespace orvane::skingen
