#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <algorithm>
#include <array>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

// Where the number images land on the panel (the program draws them at this offset).
constexpr int kNumberLeft = 40;
constexpr int kNumberTop = 20;

constexpr double kSegment = 6.0;     // stroke of a display segment
constexpr double kSegmentGap = 1.0;  // dark gap between two segments
constexpr double kDigitWidth = 30.0;
constexpr double kDigitHeight = 44.0;
constexpr double kDigitTop = 12.0;
constexpr double kDigitLefts[2] = {4.0, 42.0};
constexpr double kSlant = 0.10;
constexpr int kBlank = -1;

const QColor kGhost(58, 38, 10);

// Segments a..g of the digits 0..9, one bit each (bit 0 = a).
constexpr std::array<unsigned, 10> kDigitSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

QPolygonF horizontalSegment(double left, double right, double y) {
    const double h = kSegment / 2.0;
    return QPolygonF({{left, y}, {left + h, y - h}, {right - h, y - h}, {right, y}, {right - h, y + h}, {left + h, y + h}});
}

QPolygonF verticalSegment(double x, double top, double bottom) {
    const double h = kSegment / 2.0;
    return QPolygonF({{x, top}, {x + h, top + h}, {x + h, bottom - h}, {x, bottom}, {x - h, bottom - h}, {x - h, top + h}});
}

std::array<QPolygonF, 7> segmentShapes(double x0, double y0) {
    const double h = kSegment / 2.0;
    const double g = kSegmentGap;
    const double x1 = x0 + kDigitWidth;
    const double y1 = y0 + kDigitHeight;
    const double ym = y0 + kDigitHeight / 2.0;
    return {
        horizontalSegment(x0 + h + g, x1 - h - g, y0 + h),  // a
        verticalSegment(x1 - h, y0 + h + g, ym - g),        // b
        verticalSegment(x1 - h, ym + g, y1 - h - g),        // c
        horizontalSegment(x0 + h + g, x1 - h - g, y1 - h),  // d
        verticalSegment(x0 + h, ym + g, y1 - h - g),        // e
        verticalSegment(x0 + h, y0 + h + g, ym - g),        // f
        horizontalSegment(x0 + h + g, x1 - h - g, ym),      // g
    };
}

// Two display digits: unlit segments glow faintly, lit ones bright amber. The panel and the
// number images share this drawing, so a number image laid over the panel covers every
// segment of the panel's own digit exactly.
void drawDigits(QPainter& painter, QPointF origin, int leftDigit, int rightDigit) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double base = origin.y() + kDigitTop + kDigitHeight;
    painter.setTransform(QTransform(1.0, 0.0, -kSlant, 1.0, kSlant * base, 0.0));
    QLinearGradient lit(QPointF(0, origin.y() + kDigitTop), QPointF(0, base));
    lit.setColorAt(0.0, QColor(255, 236, 130));
    lit.setColorAt(1.0, QColor(255, 170, 24));
    const int digits[2] = {leftDigit, rightDigit};
    painter.setPen(Qt::NoPen);
    for (int d = 0; d < 2; ++d) {
        const unsigned on = digits[d] == kBlank ? 0u : kDigitSegments[static_cast<std::size_t>(digits[d])];
        const auto shapes = segmentShapes(origin.x() + kDigitLefts[d], origin.y() + kDigitTop);
        for (std::size_t s = 0; s < shapes.size(); ++s) {
            painter.setBrush((on >> s) & 1u ? QBrush(lit) : QBrush(kGhost));
            painter.drawPolygon(shapes[s]);
        }
    }
    painter.restore();
}

void drawGrille(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QPointF c(13.5 + 7.0 * col, 36.5 + 7.5 * row);
            painter.setPen(QPen(QColor(130, 132, 138), 1.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(c + QPointF(0.0, 0.6), 2.2, 2.2);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(12, 12, 14));
            painter.drawEllipse(c, 2.2, 2.2);
        }
    }
    painter.restore();
}

void drawSignalBars(QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < 5; ++i) {
        const int height = 8 + 6 * i;
        const QRect bar(132 + 8 * i, 77 - height, 5, height);
        painter.fillRect(bar.adjusted(0, 1, 0, 1), QColor(140, 142, 148));
        painter.fillRect(bar, QColor(16, 16, 18));
        painter.fillRect(bar.adjusted(1, 1, -1, 0), QColor(92 + 14 * i, 60 + 9 * i, 10));
    }
    painter.restore();
}

}  // namespace

QImage drawChannelPanel() {
    QImage image = blackImage(kPanelWidth, kPanelHeight);
    fillBrushedMetal(image, image.rect(), 66, 0xC4A77E1u);
    QPainter painter(&image);
    drawBevel(painter, image.rect().adjusted(1, 1, -1, -1), QColor(150, 152, 160), QColor(22, 22, 26));

    // The name strip along the top: a calm dark recess for the yellow channel name.
    const QRect nameStrip(6, 3, 168, 22);
    painter.fillRect(nameStrip, QColor(20, 20, 23));
    drawInset(painter, nameStrip, 3);

    // The display window the channel number shows in.
    const QRect display(37, 27, 86, 55);
    QLinearGradient glass(display.topLeft(), display.bottomLeft());
    glass.setColorAt(0.0, QColor(30, 26, 20));
    glass.setColorAt(0.4, QColor(16, 14, 11));
    glass.setColorAt(1.0, QColor(12, 10, 8));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(glass);
    painter.drawRoundedRect(display, 5, 5);
    drawInset(painter, display, 5);
    drawDigits(painter, QPointF(kNumberLeft, kNumberTop), kBlank, 0);

    drawGrille(painter);
    drawSignalBars(painter);

    // The bottom band holds the member count and the caption: kept plain and dark.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(6, 84, 168, 1), QColor(214, 150, 20));
    const QRect band(4, 87, 172, 20);
    painter.fillRect(band, QColor(22, 22, 25));
    drawInset(painter, band, 2);
    return image;
}

QImage drawChannelNumber(int number) {
    number = std::clamp(number, 0, 99);
    QImage image = blackImage(kNumberWidth, kNumberHeight);
    QPainter painter(&image);
    drawDigits(painter, QPointF(0, 0), number >= 10 ? number / 10 % 10 : kBlank, number % 10);
    return image;
}

}  // namespace orvane::skingen
