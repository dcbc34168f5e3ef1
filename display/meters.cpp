#include "display/meters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "display/layout.h"

namespace orvane::display {

namespace {
constexpr platform::Colour kNeedleColour = platform::rgb(80, 80, 255);
constexpr int kNeedleLength = 70;
constexpr int kNeedleLow = 218;
constexpr int kNeedleHigh = 320;

void drawBar(platform::Canvas& c, int startX, std::int32_t level) {
    const int fill = barFill(level, kBarWidth);
    for (int i = 0; i < kBarWidth; ++i) {
        c.fillRect({startX + i, kBarTop, startX + i + 1, kBarBottom}, barColour(i, fill, kBarWidth));
    }
}
}  // namespace

int barFill(std::int32_t level, int width) {
    return std::clamp(level / 64, 0, width);
}

platform::Colour barColour(int column, int fill, int width) {
    if (column >= fill) return platform::rgb(255, 255, 255);
    const double x = static_cast<double>(column) / width;
    if (x < 0.7) return platform::rgb(static_cast<int>(x / 0.7 * 255), 255, 0);
    if (x < 0.9) return platform::rgb(255, 255 - static_cast<int>((x - 0.7) / 0.2 * 255), 0);
    return platform::rgb(255, 0, 0);
}

void drawBarMeters(platform::Canvas& main, const ClientState& state) {
    drawBarMeters(main, state.audio.leftBarLevel.load(), state.audio.rightBarLevel.load());
}

void drawBarMeters(platform::Canvas& main, std::int32_t leftLevel, std::int32_t rightLevel) {
    drawBar(main, kLeftBarX, leftLevel);
    drawBar(main, kRightBarX, rightLevel);
}

int needleAngle(std::int32_t value) {
    return (value < kNeedleLow || value > kNeedleHigh) ? kNeedleLow : value;
}

platform::Point needleTip(std::int32_t value, int w, int h) {
    const double theta = needleAngle(value) * std::numbers::pi / 180.0;
    return {w / 2 + static_cast<int>(kNeedleLength * std::cos(theta)),
            h + static_cast<int>(kNeedleLength * std::sin(theta))};
}

void drawNeedleMeter(platform::Canvas& meter, const platform::Image* face, std::int32_t value) {
    const int w = face ? face->width : 0;
    const int h = face ? face->height : 0;
    if (face) meter.blit(*face, 0, 0);
    meter.line({w / 2, h}, needleTip(value, w, h), kNeedleColour, 3);
}

}  // namespace orvane::display
