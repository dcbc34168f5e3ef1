#include "display/animation.h"

#include <filesystem>

#include "display/layout.h"

namespace orvane::display {

namespace {
constexpr char kMissingGifText[] =
    "Il manque un fichier *.gif dans\nl\xE2\x80\x99installation de Orvane\nL\xE2\x80\x99"
    "application Orvane va\n\xC3\xAAtre stopper. Cliquez sur OK\n";
constexpr char kMissingGifCaption[] = "Orvane System";
}  // namespace

void Animation::prepare(const platform::AnimationFile& file) {
    frames_.clear();
    delays_.clear();
    next_ = 0;
    for (std::size_t i = 0; i < file.frames.size(); ++i) {
        const platform::Image& f = file.frames[i];
        if (f.empty()) {
            frames_.emplace_back();  // a frame that cannot be made stays an empty entry
        } else {
            frames_.emplace_back(platform::scaleImage(f, kPictureSize, kPictureSize));
        }
        int delay = kDefaultFrameDelayMs;
        if (file.hasDelays && i < file.delaysMs.size()) delay = file.delaysMs[i];
        delays_.push_back(delay);
    }
}

int Animation::periodMs() const {
    if (frames_.empty()) return 0;
    // A zero delay would spin the timer; show such a picture at the default pace.
    return delays_[0] > 0 ? delays_[0] : kDefaultFrameDelayMs;
}

void Animation::showNext(platform::Canvas& c) {
    if (frames_.empty() || next_ >= frames_.size()) return;
    if (frames_[next_]) c.blit(*frames_[next_], kPictureRect.left, kPictureRect.top);
    next_ = (next_ + 1) % frames_.size();
}

bool loadAnimation(platform::Ui& ui, platform::Window* mainWindow, const std::string& path, Animation& animation) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        ui.messageBox(nullptr, kMissingGifText, kMissingGifCaption, platform::MessageIcon::Error);
        if (mainWindow) ui.postDestroy(mainWindow);
        return false;
    }
    if (auto file = platform::loadAnimationFile(path)) animation.prepare(*file);
    return true;
}

}  // namespace orvane::display
