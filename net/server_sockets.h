#pragma once
// The two sockets to the voice server and the hellos that announce the client on them.
#include <cstdint>

#include "state/client_state.h"
#include "platform/udp.h"

namespace orvane::net {

// The voice server's IPv4 address (host byte order) as configured in the build; loopback when
// the configured text is not an IPv4 address.
std::uint32_t configuredServerAddress();

// Creates `voiceSocket` and sends the voice hello, then `controlSocket` and the control hello,
// both to `serverAddress` at `channelPort`; an unset (zero) `serverAddress` is first filled from
// the build configuration. Lamps: UDP 4 / SVC 4 after each hello, 1 on that socket's failure.
// Returns 0 when both sockets exist, -1 otherwise (a failed socket stays invalid for the run).
int openServerSockets(ClientState& state, platform::UdpNetwork& udp);

// The roster poll ("L", 0, 0) from `controlSocket` to `serverAddress` at `port` + 1000; a send
// error shows on the SVC lamp (1).
void sendControlRequest(ClientState& state, platform::UdpNetwork& udp, std::int32_t port);

}  // namespace orvane::net
