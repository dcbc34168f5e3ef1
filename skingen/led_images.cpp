#include <QPainter>
#include <QRadialGradient>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {

QImage drawLed(const LedLook& look) {
    QImage image = blackImage(kLedSize, kLedSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c(kLedSize / 2.0, kLedSize / 2.0);

    // Chrome bezel, lit from the top left.
    QRadialGradient bezel(c + QPointF(-2.5, -2.5), 8.5);
    bezel.setColorAt(0.0, QColor(200, 202, 210));
    bezel.setColorAt(1.0, QColor(44, 44, 50));
    painter.setPen(Qt::NoPen);
    painter.setBrush(bezel);
    painter.drawEllipse(c, 6.8, 6.8);

    const QColor edge = look.dimmed ? look.lit.darker(450) : look.lit.darker(160);
    const QColor middle = look.dimmed ? look.lit.darker(280) : look.lit;
    const QColor hot = look.dimmed ? look.lit.darker(170) : look.lit.lighter(150);
    QRadialGradient lens(c + QPointF(0.6, 0.8), 5.4, c + QPointF(-0.8, -0.6));
    lens.setColorAt(0.0, hot);
    lens.setColorAt(0.55, middle);
    lens.setColorAt(1.0, edge);
    painter.setPen(QPen(QColor(24, 24, 28), 0.8));
    painter.setBrush(lens);
    painter.drawEllipse(c, 5.2, 5.2);

    // Gloss.
    QRadialGradient gloss(c + QPointF(-1.6, -2.0), 2.6);
    gloss.setColorAt(0.0, QColor(255, 255, 255, look.dimmed ? 120 : 220));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gloss);
    painter.drawEllipse(c + QPointF(-1.6, -2.0), 2.6, 2.0);
    return image;
}

}  // namespace orvane::skingen
