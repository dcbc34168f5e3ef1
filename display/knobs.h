#pragma once
// The three knobs ("PARAMS", "MIC GAIN", "VOLUME"), redrawn every second, and what a click on
// a volume knob means.
#include <vector>

#include "display/skin.h"
#include "platform/canvas.h"

namespace orvane::display {

// Each knob's rectangle as last drawn (empty until drawn).
struct KnobRects {
    platform::Rect params;
    platform::Rect mic;
    platform::Rect volume;
};

inline constexpr int kKnobHitMargin = 14;

// Centres of the dots around a knob of w x h at (x, y): clockwise from straight below.
std::vector<platform::Point> knobDotCentres(int x, int y, int w, int h, int dots, double stepDegrees);

// Draws one knob turned by `angleDegrees` with its dots and name; returns its rectangle.
platform::Rect drawKnob(platform::Canvas& c, const platform::Image& image, int x, int y, double angleDegrees,
                        int dots, double stepDegrees, const char* name, platform::Colour background);

// One knob tick: labels, the three knobs and the two icons. Nothing without the arrow knob's
// image; stops at the first knob that cannot be drawn. Volumes are 0..1.
void drawKnobPanel(platform::Canvas& c, const Skin& skin, float micVolume, float speakerVolume,
                   platform::Colour background, KnobRects& rects);

// A click counts for a knob within its rectangle grown by 14 pixels (never for one not drawn).
bool knobHit(platform::Rect knob, platform::Point p);
// The volume a click sets: 0 straight below the centre, growing clockwise, 1 from 300 degrees.
float knobClickScalar(platform::Rect knob, platform::Point p);

}  // namespace orvane::display
