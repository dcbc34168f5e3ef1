#pragma once
// The small self-closing window titled "Info du Superviseur".
#include <string_view>

#include "state/client_state.h"
#include "platform/ui.h"

namespace orvane::display {

inline constexpr int kNoticeLifetimeMs = 10000;
inline constexpr int kNoticeWidth = 400;
inline constexpr int kNoticeHeight = 200;

// Shows `textUtf8` in the notice, 20 pixels below and right of the main window's corner, and
// returns when it has closed: after 10 s, or sooner when the user closes it. Any thread.
void showSupervisorNotice(platform::Ui& ui, const ClientState& state, std::string_view textUtf8);

}  // namespace orvane::display
