#include "web/canvas_window.h"

#include <algorithm>

#include "web/decoders.h"
#include "web/picture_upload.h"
#include "web/web_client.h"

namespace orvane::web {

namespace {

constexpr platform::Colour kCanvasBackground = 0xFFFFFF;

std::int32_t channelIndex(const WebState& web) { return web.state.channel.channelPort - kFirstChannelPort; }

platform::WindowSpec canvasSpec(platform::Window& main) {
    platform::WindowSpec spec;
    const platform::Rect m = main.screenRect();
    spec.title = kCanvasTitle;
    spec.x = m.left - 200;
    spec.y = m.top + 50;
    spec.width = kCanvasSize;
    spec.height = kCanvasSize;
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

void toggleCanvasWindow(WebState& web) {
    if (web.state.channel.channelPort == kFirstChannelPort || web.ui == nullptr) return;
    if (web.canvasOpen) {
        if (web.canvasWindow != nullptr) web.ui->postDestroy(web.canvasWindow);
        return;
    }
    platform::Window* main = web.state.ui.mainWindow;
    if (main == nullptr) return;
    if (!web.canvasHandler) web.canvasHandler = std::make_unique<CanvasWindow>(web);
    web.canvasOpen = true;
    web.canvasWindow = web.ui->createWindow(canvasSpec(*main), web.canvasHandler.get());
    if (web.canvasWindow == nullptr) {
        web.canvasOpen = false;
        return;
    }
    web.canvasWindow->show();
    // The keyboard (push-to-talk, channel keys) stays with the main window.
    main->setForeground();
}

void CanvasWindow::onPaint(platform::Window& window) {
    if (!web_.sharedPictureLoaded) {
        auto hold = web_.lockRequests();
        const std::int32_t n = webGet(web_, "/echange/", channelIndex(web_), 1);
        if (n != 0) web_.sharedPicture = decodeImage(web_, n);
        web_.sharedPictureLoaded = true;
    }
    const int w = window.clientWidth();
    const int h = window.clientHeight();
    auto canvas = window.draw();
    canvas->fillRect({0, 0, w, h}, kCanvasBackground);
    if (!web_.sharedPicture) return;
    const platform::Image& picture = *web_.sharedPicture;
    window.setScrollRanges(picture.width - kCanvasSize, picture.height - kCanvasSize);
    canvas->blitStretched(picture, fitPicture(w, h, picture.width, picture.height));
}

void CanvasWindow::onCommand(platform::Window& window, int id) {
    if (id == kSendCommand) uploadSharedPicture(web_, channelIndex(web_));
    if (id == kSendCommand || id == kRefreshCommand) {
        web_.sharedPictureLoaded = false;
        window.invalidate();
    }
}

void CanvasWindow::onLeftButtonUp(platform::Window&, platform::Point) {
    if (platform::Window* main = web_.state.ui.mainWindow) main->setForeground();
}

void CanvasWindow::onDestroy(platform::Window&) {
    web_.canvasOpen = false;
    web_.sharedPictureLoaded = false;
    web_.canvasWindow = nullptr;
}

}  // namespace orvane::web
