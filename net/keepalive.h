#pragma once
// The keepalive stream that keeps the client present on its channel: variants N, D, V in turn,
// every 10 to 30 ms depending on the server load.
#include <atomic>

#include "state/client_state.h"
#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::net {

// The pause after a keepalive for a server load code: 0 -> 10 ms, 1 -> 15, 2 -> 20, 3 -> 25,
// anything else (4, 99, ...) -> 30 ms.
int keepalivePeriodMs(std::int32_t serverLoad);

// One keepalive: advances `keepalivePhase`, sends the variant it selects (1 N, 2 D, 0 V) from
// `voiceSocket` to `channelPort` as it is now (the result is ignored), then sleeps the period
// that `serverLoad` gives.
void keepaliveStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock);

// Repeats keepaliveStep while `running` holds.
void keepaliveThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                     const std::atomic<bool>& running);

}  // namespace orvane::net
