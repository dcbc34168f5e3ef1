#include "panes/secondary_windows.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace orvane::panes {

SecondaryWindows::SecondaryWindows(ClientState& s, web::WebState& w, platform::Ui& u, platform::AudioEndpoints& e,
                                   audio::AudioUi& a)
    : state(s), web(w), ui(u), endpoints(e), audioUi(a),
      sleepMs([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

SecondaryWindows::~SecondaryWindows() = default;

platform::Point networkCell(int index) {
    return {10 + 71 * (index % 4), 10 + 88 * (index / 4)};
}

int drawableCount(std::int32_t count) {
    if (count < 0) return 0;
    return count > kRosterSize ? kRosterSize : count;
}

std::string inputDeviceCaption(std::int32_t captureDeviceId) {
    char text[64];
    if (captureDeviceId == -1) {
        std::snprintf(text, sizeof text, "INPUT DEVICE (%s)", "Default");
    } else {
        std::snprintf(text, sizeof text, "INPUT DEVICE (%ld)          ", static_cast<long>(captureDeviceId));
    }
    return text;
}

std::string colourText(platform::Colour c) {
    char text[16];
    // Three components of 0..255 always fit the design's 15 characters.
    if (std::snprintf(text, sizeof text, "%ld.%ld.%ld", static_cast<long>(platform::redOf(c)),
                      static_cast<long>(platform::greenOf(c)), static_cast<long>(platform::blueOf(c))) < 0) {
        text[0] = '\0';
    }
    return text;
}

}  // namespace orvane::panes
