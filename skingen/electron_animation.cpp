#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"

namespace orvane::skingen {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCentre = kAnimationSize / 2.0;
constexpr double kOrbitLong = 62.0;
constexpr double kOrbitShort = 19.0;

struct Orbit {
    double tiltDegrees;
    int turnsPerLoop;  // whole turns (negative: the other way), so the loop has no seam
    double phase;      // fraction of a turn
};
constexpr std::array<Orbit, 3> kOrbits{{{0.0, 1, 0.0}, {60.0, -1, 1.0 / 3.0}, {120.0, 1, 2.0 / 3.0}}};

// A point of an orbit seen at an angle: `depth` > 0 is in front of the nucleus.
struct OrbitPoint {
    QPointF at;
    double depth;
};

OrbitPoint orbitPoint(const Orbit& orbit, double angle) {
    const double x = kOrbitLong * std::cos(angle);
    const double y = kOrbitShort * std::sin(angle);
    const double tilt = orbit.tiltDegrees * kPi / 180.0;
    return {QPointF(kCentre + x * std::cos(tilt) - y * std::sin(tilt), kCentre + x * std::sin(tilt) + y * std::cos(tilt)),
            std::sin(angle)};
}

void drawBackground(QPainter& painter) {
    QRadialGradient space(QPointF(kCentre, kCentre), kAnimationSize * 0.75);
    space.setColorAt(0.0, QColor(30, 34, 58));
    space.setColorAt(1.0, QColor(6, 7, 14));
    painter.fillRect(QRectF(0, 0, kAnimationSize, kAnimationSize), space);
    Noise noise(0xA70Au);
    for (int i = 0; i < 40; ++i) {
        const double x = noise.next() % kAnimationSize;
        const double y = noise.next() % kAnimationSize;
        const int v = 60 + static_cast<int>(noise.next() % 90);
        painter.fillRect(QRectF(x, y, 1, 1), QColor(v, v, std::min(255, v + 30)));
    }
}

// The half of an orbit in front of the nucleus (`front`) or behind it.
void drawOrbitHalf(QPainter& painter, const Orbit& orbit, bool front) {
    QPainterPath path;
    const int steps = 60;
    for (int i = 0; i <= steps; ++i) {
        const double a = (front ? 0.0 : kPi) + kPi * i / steps;
        const QPointF p = orbitPoint(orbit, a).at;
        if (i == 0) {
            path.moveTo(p);
        } else {
            path.lineTo(p);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 180, 40, front ? 50 : 30), 3.5));
    painter.drawPath(path);
    painter.setPen(QPen(QColor(255, 200, 80, front ? 200 : 110), 1.1));
    painter.drawPath(path);
}

void drawElectron(QPainter& painter, const Orbit& orbit, double angle) {
    // A fading tail behind the electron, then its glow and core.
    for (int j = 6; j >= 1; --j) {
        const OrbitPoint p = orbitPoint(orbit, angle - (orbit.turnsPerLoop < 0 ? -0.08 : 0.08) * j);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(110, 210, 255, 170 - 22 * j));
        const double r = 3.0 - 0.3 * j;
        painter.drawEllipse(p.at, r, r);
    }
    const OrbitPoint p = orbitPoint(orbit, angle);
    const double size = 1.0 + 0.18 * p.depth;  // nearer looks bigger
    QRadialGradient glow(p.at, 9.5 * size);
    glow.setColorAt(0.0, QColor(160, 230, 255, 220));
    glow.setColorAt(0.4, QColor(80, 180, 255, 90));
    glow.setColorAt(1.0, QColor(40, 120, 255, 0));
    painter.setBrush(glow);
    painter.drawEllipse(p.at, 9.5 * size, 9.5 * size);
    QRadialGradient core(p.at + QPointF(-0.8, -0.8), 3.8 * size);
    core.setColorAt(0.0, QColor(255, 255, 255));
    core.setColorAt(1.0, QColor(120, 210, 255));
    painter.setBrush(core);
    painter.drawEllipse(p.at, 3.6 * size, 3.6 * size);
}

void drawNucleus(QPainter& painter, double pulse) {
    const double haloRadius = 17.0 + 3.0 * pulse;
    QRadialGradient halo(QPointF(kCentre, kCentre), haloRadius);
    halo.setColorAt(0.0, QColor(255, 226, 150, 170 + static_cast<int>(60 * pulse)));
    halo.setColorAt(0.6, QColor(255, 170, 60, 70));
    halo.setColorAt(1.0, QColor(255, 140, 40, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(halo);
    painter.drawEllipse(QPointF(kCentre, kCentre), haloRadius, haloRadius);

    // Protons (red) and neutrons (steel), back ones first.
    struct Ball {
        double dx, dy;
        bool proton;
    };
    constexpr std::array<Ball, 9> balls{{{-5, -4, false}, {4, -5, true}, {6, 3, false}, {-6, 4, true}, {0, 0, true},
                                         {-1, -7, true}, {7, -2, false}, {-4, 7, false}, {3, 6, true}}};
    for (const Ball& b : balls) {
        const QPointF c(kCentre + b.dx, kCentre + b.dy);
        QRadialGradient shade(c + QPointF(-1.8, -1.8), 6.0);
        if (b.proton) {
            shade.setColorAt(0.0, QColor(255, 170, 140));
            shade.setColorAt(0.5, QColor(214, 52, 34));
            shade.setColorAt(1.0, QColor(96, 14, 10));
        } else {
            shade.setColorAt(0.0, QColor(230, 236, 250));
            shade.setColorAt(0.5, QColor(128, 140, 166));
            shade.setColorAt(1.0, QColor(46, 52, 70));
        }
        painter.setBrush(shade);
        painter.drawEllipse(c, 5.2, 5.2);
    }
}

}  // namespace

QImage drawElectronFrame(int index, int count) {
    QImage image = blackImage(kAnimationSize, kAnimationSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const double loop = static_cast<double>(index) / std::max(1, count);
    drawBackground(painter);

    std::array<double, kOrbits.size()> angles{};
    for (std::size_t i = 0; i < kOrbits.size(); ++i) {
        angles[i] = 2.0 * kPi * (kOrbits[i].phase + kOrbits[i].turnsPerLoop * loop);
        drawOrbitHalf(painter, kOrbits[i], false);
    }
    for (std::size_t i = 0; i < kOrbits.size(); ++i) {
        if (orbitPoint(kOrbits[i], angles[i]).depth < 0) drawElectron(painter, kOrbits[i], angles[i]);
    }
    drawNucleus(painter, 0.5 + 0.5 * std::sin(2.0 * kPi * loop * 2.0));
    for (const Orbit& orbit : kOrbits) drawOrbitHalf(painter, orbit, true);
    for (std::size_t i = 0; i < kOrbits.size(); ++i) {
        if (orbitPoint(kOrbits[i], angles[i]).depth >= 0) drawElectron(painter, kOrbits[i], angles[i]);
    }
    return image;
}

}  // namespace orvane::skingen
