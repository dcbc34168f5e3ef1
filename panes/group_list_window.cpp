// The group list: one row per channel 1..10 with its members' pictures, one row refreshed per
// second, the row refreshed last marked with a red square.
#include <algorithm>
#include <cstdio>

#include "display/draw.h"
#include "web/decoders.h"
#include "web/web_client.h"
#include "panes/secondary_windows.h"
#include "panes/unfold.h"

namespace orvane::panes {

namespace {

void advanceRow(SecondaryWindows& w) { w.rowCounter = w.rowCounter >= 10 ? 1 : w.rowCounter + 1; }

class GroupWindow final : public platform::WindowHandler {
public:
    explicit GroupWindow(SecondaryWindows& w) : w_(w) {}

    void onPaint(platform::Window& win) override {
        if (!w_.groupReady) return;
        auto c = win.draw();
        c->fillRect({0, 0, win.clientWidth(), win.clientHeight()}, kGroupBackground);
        for (int r = 1; r <= 10; ++r) drawGroupRow(w_, *c, r);
        advanceRow(w_);
        drawWarningLines(w_, *c);
    }

    void onDestroy(platform::Window&) override {
        w_.groupOpen = false;
        w_.groupReady = false;
        if (w_.groupTimer != 0) w_.ui.killTimer(w_.groupTimer);
        w_.groupTimer = 0;
        w_.groupWindow = nullptr;
    }

private:
    SecondaryWindows& w_;
};

}  // namespace

void drawGroupRow(SecondaryWindows& w, platform::Canvas& c, int r) {
    if (r < 1 || r > 10) return;
    const int y = rowTop(r);
    char label[8];
    std::snprintf(label, sizeof label, "%02d", r);
    display::labelText(c, label, 5, y + 10, w.state.ui.backgroundColour);
    for (int i = 0; i < kRosterSize; ++i) c.fillRect(rowCell(r, i), kCyan);
    int x = 20;
    const int count = drawableCount(w.state.channel.rosterCount[r]);
    for (int i = 0; i < count; ++i) {
        auto hold = w.web.lockRequests();
        const std::int32_t n = web::webGet(w.web, "/users/", w.state.channel.channelRoster[r][i], 1);
        if (n == 0) continue;  // no picture on the server: the next member takes this cell
        if (n > 1) {
            auto picture = web::decodePng(w.web, n);
            if (picture) display::scaledOpaqueBlit(c, &*picture, x, y, 33, 41);
        }
        x += 38;
    }
}

void drawWarningLines(SecondaryWindows& w, platform::Canvas& c) {
    display::labelText(c, kWarningLine1, 200, 550, w.state.ui.backgroundColour);
    display::labelText(c, kWarningLine2, 186, 570, w.state.ui.backgroundColour);
}

void refreshGroupRow(SecondaryWindows& w) {
    if (w.groupWindow == nullptr) return;
    const int r = w.rowCounter;
    const int outerWidth = w.groupWindow->screenRect().width();
    auto c = w.groupWindow->draw();
    drawGroupRow(w, *c, r);
    c->fillRect(markerSquare(r, outerWidth), kMarkerRed);
    const platform::Rect previous = markerSquare(r == 1 ? 10 : r - 1, outerWidth);
    c->fillRect(previous, kCyan);
    advanceRow(w);
    drawWarningLines(w, *c);
}

int toggleGroupListWindow(SecondaryWindows& w) {
    if (w.groupOpen) {
        if (w.groupWindow != nullptr) w.ui.postDestroy(w.groupWindow);
        return 1;
    }
    platform::Window* main = w.state.ui.mainWindow;
    if (main == nullptr) return 0;
    w.groupOpen = true;
    w.groupReady = false;
    const platform::Rect m = main->screenRect();
    const platform::Rect area = main->workArea();
    const int x0 = m.left + 100;
    const int y0 = m.top + 135;
    if (!w.groupHandler) w.groupHandler = std::make_unique<GroupWindow>(w);
    w.groupWindow = w.ui.createWindow(secondarySpec(platform::WindowKind::GroupList, kGroupTitle, area, x0, y0, main, kGroupBackground), w.groupHandler.get());
    if (w.groupWindow == nullptr) {
        w.groupOpen = false;  // a later click tries again
        return 0;
    }
    platform::Window& win = *w.groupWindow;
    win.show();
    for (int k = 0; k <= 200; k += 20) unfoldStep(w, win, area, x0 + k / 4, y0 - k, k, k, 20);
    const platform::Rect p = win.screenRect();
    for (int k = 0; k <= 600; k += 10) {
        unfoldStep(w, win, area, p.left, p.top, std::min(p.width() + k, 646) + 20, std::min(p.height() + k, 650), 10);
    }
    if (w.groupWindow == nullptr) return 1;  // closed while unfolding
    w.groupReady = true;
    main->setForeground();
    w.groupTimer = w.ui.startTimer(kRefreshPeriodMs, [&w] {
        if (w.groupReady) refreshGroupRow(w);
    });
    win.invalidate();
    return 1;
}

}  // namespace orvane::panes
