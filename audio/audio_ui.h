#pragma once
// What the audio engine needs from the rest of the program when a device fails: modal message
// boxes without owner, and ending the process. The program binds it to its windows; tests
// record the calls.
#include <string_view>

#include "platform/ui.h"

namespace orvane::audio {

class AudioUi {
public:
    virtual ~AudioUi() = default;
    // A modal box with an OK button; returns when the user closed it. Texts are UTF-8.
    virtual void showMessage(std::string_view textUtf8, std::string_view captionUtf8,
                             platform::MessageIcon icon) = 0;
    // Ends the process with `code`. Does not return in the program; a test double may return,
    // and the caller then stops what it was doing.
    virtual void exitProcess(int code) = 0;
};

}  // namespace orvane::audio
