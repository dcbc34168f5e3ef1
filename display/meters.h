#pragma once
// The two needle meters (child windows, redrawn every 50 ms) and the two bar meters under them.
#include "state/client_state.h"
#include "platform/canvas.h"

namespace orvane::display {

// Colour of column i of a bar of `width` columns filled to `fill`: white past the fill, else
// green to yellow up to 70 %, yellow to red up to 90 %, red beyond.
platform::Colour barColour(int column, int fill, int width = 150);
// The fill of a bar level: level / 64, within 0..width.
int barFill(std::int32_t level, int width = 150);
// Both bars on the main window.
void drawBarMeters(platform::Canvas& main, const ClientState& state);
// Both bars from levels already read.
void drawBarMeters(platform::Canvas& main, std::int32_t leftLevel, std::int32_t rightLevel);

// The needle's angle in degrees: the value itself when within 218..320, else 218.
int needleAngle(std::int32_t value);
// The needle's far end for a face of w x h (pivot at the middle of the bottom edge).
platform::Point needleTip(std::int32_t value, int w, int h);
// The face at (0, 0) and the needle over it; a missing face leaves the window as it is.
void drawNeedleMeter(platform::Canvas& meter, const platform::Image* face, std::int32_t value);

}  // namespace orvane::display
