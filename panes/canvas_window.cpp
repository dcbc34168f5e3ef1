#include "panes/canvas_window.h"

#include <algorithm>

#include "panes/unfold.h"
#include "web/decoders.h"
#include "web/picture_upload.h"
#include "web/web_client.h"

namespace orvane::panes {

namespace {

constexpr platform::Colour kCanvasBackground = 0xFFFFFF;

std::int32_t channelIndex(const web::WebState& web) { return web.state.channel.channelPort - kFirstChannelPort; }

platform::WindowSpec canvasSpec(platform::Window& main) {
    platform::WindowSpec spec;
    const platform::Rect m = main.screenRect();
    spec.kind = platform::WindowKind::Canvas;
    spec.title = kCanvasTitle;
    spec.width = kCanvasSize;
    spec.height = kCanvasSize;
    const platform::Point at = insideWorkArea(main.workArea(), m.left - 200, m.top + 50, spec.width, spec.height);
    spec.x = at.x;
    spec.y = at.y;
    spec.resizable = true;
    spec.owner = &main;
    spec.background = kCanvasBackground;
    spec.menus = {{"Fichier", {{"Actualiser", kRefreshCommand}, {"Envoyer", kSendCommand}}}};
    return spec;
}

}  // namespace

platform::Rect fitPicture(int w, int h, int pw, int ph) {
    if (pw <= 0 || ph <= 0) return {};
    const float s = std::min(static_cast<float>(w) / static_cast<float>(pw), static_cast<float>(h) / static_cast<float>(ph));
    const int dw = static_cast<int>(s * static_cast<float>(pw));
    const int dh = static_cast<int>(s * static_cast<float>(ph));
    const int x = (w - dw) / 2;
    const int y = (h - dh) / 2;
    return {x, y, x + dw, y + dh};
}

void CanvasWindow::toggle() {
    if (web_.state.channel.channelPort == kFirstChannelPort || web_.ui == nullptr) return;
    if (open_) {
        if (window_ != nullptr) web_.ui->postDestroy(window_);
        return;
    }
    platform::Window* main = web_.state.ui.mainWindow;
    if (main == nullptr) return;
    open_ = true;
    window_ = web_.ui->createWindow(canvasSpec(*main), this);
    if (window_ == nullptr) {
        open_ = false;
        return;
    }
    window_->show();
    // The keyboard (push-to-talk, channel keys) stays with the main window.
    main->setForeground();
}

void CanvasWindow::onPaint(platform::Window& window) {
    if (!pictureLoaded_) {
        auto hold = web_.lockRequests();
        const std::int32_t n = web::webGet(web_, "/echange/", channelIndex(web_), 1);
        if (n != 0) picture_ = web::decodeImage(web_, n);
        pictureLoaded_ = true;
    }
    // The scroll bars of a picture larger than the window come first: the client area they
    // leave is where the picture goes, rather than under them.
    if (picture_) window.setScrollRanges(picture_->width - kCanvasSize, picture_->height - kCanvasSize);
    const int w = window.clientWidth();
    const int h = window.clientHeight();
    auto canvas = window.draw();
    canvas->fillRect({0, 0, w, h}, kCanvasBackground);
    if (!picture_) return;
    const platform::Image& picture = *picture_;
    canvas->blitStretched(picture, fitPicture(w, h, picture.width, picture.height));
}

void CanvasWindow::onCommand(platform::Window& window, int id) {
    if (id == kSendCommand) web::uploadSharedPicture(web_, channelIndex(web_));
    if (id == kSendCommand || id == kRefreshCommand) {
        pictureLoaded_ = false;
        window.invalidate();
    }
}

void CanvasWindow::onLeftButtonUp(platform::Window&, platform::Point) {
    if (platform::Window* main = web_.state.ui.mainWindow) main->setForeground();
}

void CanvasWindow::onDestroy(platform::Window&) {
    open_ = false;
    pictureLoaded_ = false;
    window_ = nullptr;
}

}  // namespace orvane::panes
