// The network window: the current channel's members in a 4 x 4 grid, redrawn by its timer when
// their number changes; it closes by itself on channel 0.
#include <algorithm>

#include "display/draw.h"
#include "web/decoders.h"
#include "web/web_client.h"
#include "panes/secondary_windows.h"
#include "panes/unfold.h"

namespace orvane::panes {

namespace {

class NetworkWindow final : public platform::WindowHandler {
public:
    explicit NetworkWindow(SecondaryWindows& w) : w_(w) {}

    void onPaint(platform::Window& win) override {
        if (!w_.networkReady) return;
        {
            auto c = win.draw();
            c->fillRect({0, 0, win.clientWidth(), win.clientHeight()}, kNetworkBackground);
        }
        drawNetworkGrid(w_, true);
    }

    void onDestroy(platform::Window&) override {
        w_.networkOpen = false;
        w_.networkReady = false;
        if (w_.networkTimer != 0) w_.ui.killTimer(w_.networkTimer);
        w_.networkTimer = 0;
        w_.networkWindow = nullptr;
    }

private:
    SecondaryWindows& w_;
};

}  // namespace

void drawNetworkGrid(SecondaryWindows& w, bool full) {
    if (w.networkWindow == nullptr) return;
    const std::int32_t port = w.state.channel.channelPort;
    if (port == kFirstChannelPort) {
        w.ui.postDestroy(w.networkWindow);
        return;
    }
    const int channel = port - kFirstChannelPort;
    if (channel < 0 || channel >= kChannelCount) return;
    const std::int32_t current = w.state.channel.rosterCount[kChannelCount];
    if (!full && current == w.lastDrawnCount) return;
    auto c = w.networkWindow->draw();
    int cell = 0;
    const int count = drawableCount(w.state.channel.rosterCount[channel]);
    for (int i = 0; i < count; ++i) {
        auto hold = w.web.lockRequests();
        const std::int32_t n = web::webGet(w.web, "/users/", w.state.channel.channelRoster[channel][i], 1);
        if (n == 0) continue;  // no picture: the following members move up one cell
        if (n > 1) {
            auto picture = web::decodePng(w.web, n);
            const platform::Point at = networkCell(cell);
            if (picture) display::scaledOpaqueBlit(*c, &*picture, at.x, at.y, 66, 83);
        }
        ++cell;
    }
    for (int j = count; j < kRosterSize; ++j) {
        const platform::Point at = networkCell(cell++);
        c->fillRect({at.x, at.y, at.x + 66, at.y + 83}, kGreen);
    }
    if (!full) w.lastDrawnCount = current;
}

int toggleNetworkWindow(SecondaryWindows& w) {
    if (w.state.channel.channelPort == kFirstChannelPort) return 1;
    if (w.networkOpen) {
        if (w.networkWindow != nullptr) w.ui.postDestroy(w.networkWindow);
        return 1;
    }
    platform::Window* main = w.state.ui.mainWindow;
    if (main == nullptr) return 0;
    w.networkOpen = true;
    w.networkReady = false;
    w.lastDrawnCount = -1;
    const platform::Rect m = main->screenRect();
    const platform::Rect area = main->workArea();
    const int x0 = m.right - 50;
    const int y0 = m.top + 200;
    if (!w.networkHandler) w.networkHandler = std::make_unique<NetworkWindow>(w);
    w.networkWindow =
        w.ui.createWindow(secondarySpec(platform::WindowKind::Network, kNetworkTitle, area, x0, y0, main, kNetworkBackground), w.networkHandler.get());
    if (w.networkWindow == nullptr) {
        w.networkOpen = false;  // a later click tries again
        return 0;
    }
    platform::Window& win = *w.networkWindow;
    win.show();
    for (int k = 0; k <= 200; k += 20) unfoldStep(w, win, area, x0 + k / 4, y0 - k, k, k, 20);
    const platform::Rect p = win.screenRect();
    for (int k = 0; k <= 260; k += 10) {
        unfoldStep(w, win, area, p.left, p.top, std::min(p.width() + k, 315), p.height() + k, 20);
    }
    if (w.networkWindow == nullptr) return 1;
    w.networkReady = true;
    main->setForeground();
    w.networkTimer = w.ui.startTimer(kRefreshPeriodMs, [&w] {
        if (w.networkReady) drawNetworkGrid(w, false);
    });
    win.invalidate();
    return 1;
}

}  // namespace orvane::panes
