#pragma once
// The opening animation shared by the secondary windows: each step places the window, paints
// it at once and pauses, on the user-interface thread.
#include <algorithm>

#include "platform/ui.h"
#include "panes/secondary_windows.h"

namespace orvane::panes {

// Where a window of width x height asked for at (x, y) goes so that it lies inside `area`, the
// work area of the monitor that holds the main window: a main window near an edge would
// otherwise unfold its windows out of reach (the group list rises 200 pixels above its start,
// the input device window opens 300 pixels left of the main window) or onto another monitor
// (a monitor left of or above the primary one has negative coordinates). A window larger than
// the area keeps its top-left corner, with its close box's row, inside it.
inline platform::Point insideWorkArea(platform::Rect area, int x, int y, int width, int height) {
    if (area.width() <= 0 || area.height() <= 0) return {x, y};  // no monitor known: as asked
    x = std::max(std::min(x, area.right - width), area.left);
    y = std::max(std::min(y, area.bottom - height), area.top);
    return {x, y};
}

inline void unfoldStep(SecondaryWindows& w, platform::Window& win, platform::Rect area, int x, int y, int width,
                       int height, int pauseMs) {
    const platform::Point at = insideWorkArea(area, x, y, width, height);
    win.setGeometry(at.x, at.y, width, height);
    win.updateNow();
    w.sleepMs(pauseMs);
}

// A window made at (x, y), 10 x 10, kept inside `area` like every step of its unfolding.
inline platform::WindowSpec secondarySpec(platform::WindowKind kind, const char* title, platform::Rect area, int x,
                                          int y, platform::Window* owner, platform::Colour background) {
    platform::WindowSpec spec;
    spec.kind = kind;
    spec.title = title;
    spec.width = 10;
    spec.height = 10;
    const platform::Point at = insideWorkArea(area, x, y, spec.width, spec.height);
    spec.x = at.x;
    spec.y = at.y;
    spec.resizable = false;  // a system menu and a close box, no sizing frame
    spec.owner = owner;
    spec.background = background;
    spec.visible = false;
    return spec;
}

}  // namespace orvane::panes
