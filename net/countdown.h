#pragma once
// The inactivity countdown's arithmetic and text; the main window's one-second timer calls
// countdownTick and draws formatCountdown's text.
#include <cstddef>
#include <cstdint>

#include "state/client_state.h"

namespace orvane::net {

inline constexpr std::size_t kCountdownTextBytes = 16;

// Takes one second off `inactivitySeconds`. True when that went below zero: the value is then
// 0 and the caller closes the client (kill the timer, disable the main window, show
// kInactivityEndedText in the supervisor notice, enable and destroy the main window).
bool countdownTick(ClientState& state);

// "%02d:%02d:%02d" of hours, minutes and seconds (a negative value shows as 0).
void formatCountdown(std::int32_t seconds, char (&out)[kCountdownTextBytes]);

}  // namespace orvane::net
