#pragma once
// The boxes of a host UI answered without being shown, for tests and unattended runs. Both
// platform sides hold one: a box asks it first and is shown only when it has no answerer.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::platform {

class DialogAnswerer {
public:
    // Gets (text, caption) and returns the box's answer; an about box comes with the caption
    // "about". An empty function shows boxes again.
    using Answer = std::function<int(const std::string& textUtf8, const std::string& captionUtf8)>;

    void set(Answer answer) {
        std::lock_guard<std::mutex> hold(lock_);
        answer_ = std::move(answer);
    }

    // The answer to a box, or nothing when boxes are shown.
    std::optional<int> answer(std::string_view textUtf8, std::string_view captionUtf8) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!answer_) return std::nullopt;
        return answer_(std::string(textUtf8), std::string(captionUtf8));
    }

    // Lab and test runs of the real programs (ORVANE_LAB_ANSWER_BOXES=1): every box is answered
    // with OK at once, its caption and text printed on standard error (docs/ui.md).
    void answerFromEnvironment();

private:
    std::mutex lock_;
    Answer answer_;
};

}  // namespace orvane::platform
