#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

const QColor kAmber(255, 184, 28);

}  // namespace

QImage drawDocumentIcon() {
    QImage image = blackImage(60, 60);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // A sheet with its top right corner folded over.
    constexpr double left = 11.0, top = 5.0, right = 45.0, bottom = 55.0, fold = 11.0;
    QPainterPath sheet;
    sheet.moveTo(left + 2, top);
    sheet.lineTo(right - fold, top);
    sheet.lineTo(right, top + fold);
    sheet.lineTo(right, bottom - 2);
    sheet.quadTo(right, bottom, right - 2, bottom);
    sheet.lineTo(left + 2, bottom);
    sheet.quadTo(left, bottom, left, bottom - 2);
    sheet.lineTo(left, top + 2);
    sheet.quadTo(left, top, left + 2, top);
    QLinearGradient paper(QPointF(left, top), QPointF(right, bottom));
    paper.setColorAt(0.0, QColor(246, 242, 230));
    paper.setColorAt(1.0, QColor(196, 190, 172));
    painter.setPen(QPen(QColor(120, 116, 104), 1.2));
    painter.setBrush(paper);
    painter.drawPath(sheet);

    QPainterPath corner;
    corner.moveTo(right - fold, top);
    corner.lineTo(right - fold, top + fold);
    corner.lineTo(right, top + fold);
    corner.closeSubpath();
    painter.setBrush(QColor(170, 164, 148));
    painter.drawPath(corner);

    // Lines of text.
    painter.setPen(QPen(QColor(92, 96, 110), 2.0, Qt::SolidLine, Qt::RoundCap));
    const double widths[] = {16, 26, 22, 26, 14};
    for (int i = 0; i < 5; ++i) {
        const double y = top + 12 + i * 6.0;
        painter.drawLine(QPointF(left + 6, y), QPointF(left + 6 + widths[i], y));
    }

    // A help badge over the bottom right corner.
    const QPointF badge(43.0, 44.0);
    QRadialGradient disc(badge + QPointF(-3.0, -3.0), 12.0);
    disc.setColorAt(0.0, QColor(255, 226, 120));
    disc.setColorAt(1.0, QColor(214, 140, 10));
    painter.setPen(QPen(QColor(90, 56, 0), 1.2));
    painter.setBrush(disc);
    painter.drawEllipse(badge, 11.0, 11.0);
    QFont font("Liberation Sans");
    font.setPixelSize(17);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(50, 30, 0));
    painter.drawText(QRectF(badge.x() - 11, badge.y() - 11, 22, 22), Qt::AlignCenter, "?");
    return image;
}

QImage drawSpeechIcon() {
    QImage image = blackImage(64, 64);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);

    // Loudspeaker: magnet box and cone in brushed steel.
    QPainterPath speaker;
    speaker.moveTo(7, 24);
    speaker.lineTo(18, 24);
    speaker.lineTo(31, 11);
    speaker.lineTo(31, 53);
    speaker.lineTo(18, 40);
    speaker.lineTo(7, 40);
    speaker.closeSubpath();
    QLinearGradient steel(QPointF(0, 10), QPointF(0, 54));
    steel.setColorAt(0.0, QColor(222, 224, 230));
    steel.setColorAt(0.5, QColor(150, 153, 162));
    steel.setColorAt(1.0, QColor(90, 92, 100));
    painter.setPen(QPen(QColor(40, 40, 46), 1.5, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter.setBrush(steel);
    painter.drawPath(speaker);
    painter.setPen(QPen(QColor(60, 62, 70), 1.2));
    painter.drawLine(QPointF(18, 24.5), QPointF(18, 39.5));

    // Sound waves, fading outward.
    for (int i = 0; i < 3; ++i) {
        const double r = 9.0 + 8.5 * i;
        const QRectF arc(31 - r, 32 - r, 2 * r, 2 * r);
        QColor glow = kAmber;
        glow.setAlpha(70);
        painter.setPen(QPen(glow, 6.0, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(arc, -42 * 16, 84 * 16);
        QColor wave = kAmber.lighter(100 + 12 * (2 - i));
        wave.setAlpha(255 - 45 * i);
        painter.setPen(QPen(wave, 3.2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(arc, -42 * 16, 84 * 16);
    }
    return image;
}

}  // namespace orvane::skingen
