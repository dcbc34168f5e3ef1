#pragma once
// The animated picture in the 150 x 150 frame: every frame prepared once at start-up, then one
// frame per timer tick.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas.h"
#include "platform/image.h"
#include "platform/ui.h"

namespace orvane::display {

inline constexpr int kDefaultFrameDelayMs = 100;

class Animation {
public:
    // Prepares the frames of a decoded picture (each scaled to 150 x 150) and their delays.
    void prepare(const platform::AnimationFile& file);

    // The timer period: the first frame's delay, used for every frame. 0 without frames (no
    // timer then).
    int periodMs() const;
    // Draws the next frame at the picture frame's corner and moves on.
    void showNext(platform::Canvas& c);

    std::size_t frameCount() const { return frames_.size(); }
    std::size_t nextIndex() const { return next_; }
    const std::vector<int>& delaysMs() const { return delays_; }

private:
    std::vector<std::optional<platform::Image>> frames_;
    std::vector<int> delays_;
    std::size_t next_ = 0;
};

// Start-up: loads "electron-animation.gif" from `path`. When the file is missing, says so and
// posts the main window's destruction (the program ends); false then.
bool loadAnimation(platform::Ui& ui, platform::Window* mainWindow, const std::string& path, Animation& animation);

}  // namespace orvane::display
