#pragma once
// Every ClientState field the voice network writes must stay in its range whatever arrives.
#include <cstdlib>

#include "state/client_state.h"

namespace orvane::fuzz {

inline void require(bool ok) {
    if (!ok) std::abort();
}

inline bool isLamp(std::int32_t v) { return v >= kLampOff && v <= kLampDarkBlue; }

inline void checkNetworkRanges(const ClientState& s) {
    require(s.audio.ringWriteIndex >= 0 && s.audio.ringWriteIndex < kJitterSlots);
    require(s.link.udpBlinkCounter >= 0 && s.link.udpBlinkCounter <= 9);
    require(s.link.rosterPollIndex >= 0 && s.link.rosterPollIndex < kChannelCount);
    require(s.link.audioSequence != 0);
    require((s.channel.serverLoad >= -128 && s.channel.serverLoad <= 127) || s.channel.serverLoad == 99);
    require(s.channel.echoByte >= -128 && s.channel.echoByte <= 127);
    require(s.channel.talkerAccount >= 0 && s.channel.talkerAccount <= 0xFFFF);
    for (const auto& c : s.channel.rosterCount) require(c >= -128 && c <= 127);
    for (const auto& row : s.channel.channelRoster)
        for (const auto& e : row) require(e >= 0 && e <= 0xFFFF);
    require(isLamp(s.lamps.lampTst) && isLamp(s.lamps.lampUdp) && isLamp(s.lamps.lampSvc));
    for (const auto& led : s.lamps.chaserLeds) require(isLamp(led));
}

}  // namespace orvane::fuzz
