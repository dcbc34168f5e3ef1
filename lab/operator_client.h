#pragma once
// Asks a running orvane-voice-server through its operator socket (orders, status, rosters).
#include <string>

namespace orvane::lab {

// Sends one order line and waits for the answer; false when none came within `timeoutMs`.
bool askVoiceServer(const std::string& operatorPath, const std::string& order, std::string& reply,
                    int timeoutMs = 3000);

}  // namespace orvane::lab
