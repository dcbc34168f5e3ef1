#include "display/knobs.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "display/draw.h"
#include "display/layout.h"

namespace orvane::display {

namespace {
constexpr int kDotRadius = 30;
constexpr platform::Colour kDotOutline = platform::rgb(255, 0, 0);
constexpr platform::Colour kFirstDot = platform::rgb(0, 0, 255);
constexpr platform::Colour kOtherDot = platform::rgb(0, 255, 0);
constexpr double kSevenths = 360.0 / 7.0;
}  // namespace

std::vector<platform::Point> knobDotCentres(int x, int y, int w, int h, int dots, double stepDegrees) {
    std::vector<platform::Point> centres;
    const double step = stepDegrees * std::numbers::pi / 180.0;
    for (int k = 0; k < dots; ++k) {
        const double phi = 2.0 * std::numbers::pi - k * step;
        if (phi <= 0.0) break;
        centres.push_back({x + w / 2 + static_cast<int>(kDotRadius * std::sin(phi)),
                           y + h / 2 + static_cast<int>(kDotRadius * std::cos(phi))});
    }
    return centres;
}

platform::Rect drawKnob(platform::Canvas& c, const platform::Image& image, int x, int y, double angleDegrees,
                        int dots, double stepDegrees, const char* name, platform::Colour background) {
    platform::Image turned = platform::rotateImage(image, angleDegrees);
    transparentBlit(c, &turned, x, y);
    auto centres = knobDotCentres(x, y, image.width, image.height, dots, stepDegrees);
    for (std::size_t k = 0; k < centres.size(); ++k) {
        const auto& p = centres[k];
        c.ellipse({p.x - 4, p.y - 4, p.x + 4, p.y + 4}, kDotOutline, 1, k == 0 ? kFirstDot : kOtherDot);
    }
    labelText(c, name, x + 8, y + 70, background);
    return {x, y, x + image.width, y + image.height};
}

void drawKnobPanel(platform::Canvas& c, const Skin& skin, float micVolume, float speakerVolume,
                   platform::Colour background, KnobRects& rects) {
    if (!skin.knobArrow) return;
    labelText(c, "AUDIO LEFT", kAudioLeftLabelPos.x, kAudioLeftLabelPos.y, background);
    labelText(c, "AUDIO RIGHT", kAudioRightLabelPos.x, kAudioRightLabelPos.y, background);
    if (!skin.knobParams) return;
    rects.params = drawKnob(c, *skin.knobParams, kParamsKnobPos.x, kParamsKnobPos.y, 180.0, 8, 45.0, "PARAMS",
                            background);
    rects.mic = drawKnob(c, *skin.knobArrow, kMicKnobPos.x, kMicKnobPos.y, 180.0 + 300.0 * micVolume, 7,
                         kSevenths, "MIC GAIN", background);
    rects.volume = drawKnob(c, *skin.knobArrow, kVolumeKnobPos.x, kVolumeKnobPos.y, 180.0 + 300.0 * speakerVolume,
                            7, kSevenths, "VOLUME", background);
    scaledOpaqueBlit(c, skin.docIcon ? &*skin.docIcon : nullptr, kDocIconRect.left, kDocIconRect.top, 30, 30);
    scaledOpaqueBlit(c, skin.speechIcon ? &*skin.speechIcon : nullptr, kSpeechIconRect.left, kSpeechIconRect.top,
                     32, 32);
}

bool knobHit(platform::Rect knob, platform::Point p) {
    if (knob.width() <= 0 || knob.height() <= 0) return false;
    return knob.grown(kKnobHitMargin).contains(p);
}

float knobClickScalar(platform::Rect knob, platform::Point p) {
    const double cx = knob.left + knob.width() / 2;
    const double cy = knob.top + knob.height() / 2;
    double t = std::atan2(p.y - cy, p.x - cx) * 180.0 / std::numbers::pi;
    if (t < 0) t += 360.0;
    double u = t - 90.0;
    if (u < 0) u += 360.0;
    return static_cast<float>(std::min(u, 300.0) / 300.0);
}

}  // namespace orvane::display
