#include "net/countdown.h"

#include <cstdio>

namespace orvane::net {

bool countdownTick(ClientState& state) {
    std::int32_t left = state.ui.inactivitySeconds - 1;
    const bool expired = left < 0;
    if (expired) left = 0;
    state.ui.inactivitySeconds = left;
    return expired;
}

void formatCountdown(std::int32_t seconds, char (&out)[kCountdownTextBytes]) {
    if (seconds < 0) seconds = 0;
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds % 3600 / 60), static_cast<int>(seconds % 60));
}

}  // namespace orvane::net
