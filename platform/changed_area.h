#pragma once
// What a window must show again after a drawing: the part of the drawn area whose pixels differ
// from what the screen was last given. A panel redrawn to the same look (most timer ticks) or
// a frame that changed a few pixels then costs the screen nothing or only those pixels.
#include <cstdint>

#include "platform/canvas.h"

namespace orvane::platform {

// `now` and `shown` are `width` x `height` pixels, rows top-down, 0x??RRGGBB (the top byte is
// not looked at). Returns the smallest rectangle of `area` (clipped to the picture) holding
// every pixel of `area` that differs, after copying those rows of that rectangle from `now`
// into `shown`; an empty rectangle when nothing differs.
Rect takeChangedArea(const std::uint32_t* now, std::uint32_t* shown, int width, int height, Rect area);

}  // namespace orvane::platform
