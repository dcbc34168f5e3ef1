#include "device/link_status.h"

#include "platform/ui.h"

namespace orvane::device {

void LinkStatus::set(int value) {
    if (value == status_.load()) return;
    status_.store(value);
    PictureDownload got = fetch_(value);
    if (got.outcome == PictureDownload::Outcome::NoBytes) return;
    std::shared_ptr<const platform::Image> shown;
    if (got.outcome == PictureDownload::Outcome::Picture && got.picture && !got.picture->empty()) {
        shown = std::make_shared<const platform::Image>(std::move(*got.picture));
    }
    {
        std::lock_guard<std::mutex> lock(pictureLock_);
        picture_ = shown;  // the previous picture goes when its last drawer is done with it
    }
    if (!shown) return;
    // Drawn without the picture lock: a repaint holds the surface while it asks for the picture.
    if (platform::Window* w = state_.ui.mainWindow.load()) {
        auto c = w->draw();
        c->blitStretched(*shown, kUsbPictureRect);
    }
}

void LinkStatus::draw(platform::Canvas& c) const {
    std::shared_ptr<const platform::Image> shown;
    {
        std::lock_guard<std::mutex> lock(pictureLock_);
        shown = picture_;
    }
    if (shown) c.blitStretched(*shown, kUsbPictureRect);
}

void LinkStatus::release() {
    std::lock_guard<std::mutex> lock(pictureLock_);
    picture_.reset();
}

bool LinkStatus::hasPicture() const {
    std::lock_guard<std::mutex> lock(pictureLock_);
    return picture_ != nullptr;
}

}  // namespace orvane::device
