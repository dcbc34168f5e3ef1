#pragma once
// The opening animation shared by the secondary windows: each step places the window, paints
// it at once and pauses, on the user-interface thread.
#include "platform/ui.h"
#include "panes/secondary_windows.h"

namespace orvane::panes {

// A window's top-left corner kept on the screen: a main window near the top or left edge would
// otherwise unfold its windows out of reach (the group list rises 200 pixels above its start,
// the input device window opens 300 pixels left of the main window), hiding their close box and
// their first row or buttons.
inline int onScreen(int coordinate) { return coordinate < 0 ? 0 : coordinate; }

inline void unfoldStep(SecondaryWindows& w, platform::Window& win, int x, int y, int width, int height, int pauseMs) {
    win.setGeometry(onScreen(x), onScreen(y), width, height);
    win.updateNow();
    w.sleepMs(pauseMs);
}

inline platform::WindowSpec secondarySpec(platform::WindowKind kind, const char* title, int x, int y,
                                          platform::Window* owner, platform::Colour background) {
    platform::WindowSpec spec;
    spec.kind = kind;
    spec.title = title;
    spec.x = x;
    spec.y = y;
    spec.width = 10;
    spec.height = 10;
    spec.resizable = false;  // a system menu and a close box, no sizing frame
    spec.owner = owner;
    spec.background = background;
    spec.visible = false;
    return spec;
}

}  // namespace orvane::panes
