#include "net/server_receive.h"

namespace orvane::net {

ServerReceive receiveFromServer(platform::UdpNetwork& udp, platform::Clock& clock,
                                platform::SocketHandle socket, std::uint32_t server,
                                std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    const std::int64_t deadline = clock.nowMs() + timeoutMs;
    int remaining = timeoutMs;
    for (;;) {
        int ready = udp.waitReadable(socket, remaining);
        if (ready < 0) return {ReceiveOutcome::Failed, 0};
        if (ready == 0) return {ReceiveOutcome::TimedOut, 0};
        std::uint32_t from = 0;
        int n = udp.receiveFrom(socket, buffer, capacity, &from, nullptr);
        if (n < 0) return {ReceiveOutcome::Failed, 0};
        if (from == server) return {ReceiveOutcome::Datagram, static_cast<std::size_t>(n)};
        std::int64_t left = deadline - clock.nowMs();
        if (left <= 0) return {ReceiveOutcome::TimedOut, 0};
        remaining = static_cast<int>(left);
    }
}

}  // namespace orvane::net
