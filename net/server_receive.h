#pragma once
// Waiting for one datagram from the voice server on a socket. Datagrams from any other address
// are read and dropped without ending the wait: only the server may speak to the client's
// voice and control sockets.
#include <cstddef>
#include <cstdint>

#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::net {

// How long the receive threads wait for a datagram, and pause after a failed wait.
inline constexpr int kPollMs = 500;

enum class ReceiveOutcome { Datagram, TimedOut, Failed };

struct ServerReceive {
    ReceiveOutcome outcome = ReceiveOutcome::TimedOut;
    std::size_t length = 0;  // bytes stored when outcome is Datagram (may be 0)
};

// Waits up to `timeoutMs` in all for a datagram whose source address is `server` (any port)
// and stores at most `capacity` bytes of it in `buffer`.
ServerReceive receiveFromServer(platform::UdpNetwork& udp, platform::Clock& clock,
                                platform::SocketHandle socket, std::uint32_t server,
                                std::uint8_t* buffer, std::size_t capacity, int timeoutMs);

}  // namespace orvane::net
