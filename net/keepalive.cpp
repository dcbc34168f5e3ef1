#include "net/keepalive.h"

#include "protocol/datagrams.h"

namespace orvane::net {

int keepalivePeriodMs(std::int32_t serverLoad) {
    switch (serverLoad) {
    case 0: return 10;
    case 1: return 15;
    case 2: return 20;
    case 3: return 25;
    default: return 30;
    }
}

void keepaliveStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock) {
    std::int32_t phase = state.link.keepalivePhase + 1;
    if (phase >= 3 || phase < 0) phase = 0;
    state.link.keepalivePhase = phase;
    const protocol::KeepaliveVariant variant =
        phase == 1 ? protocol::KeepaliveVariant::N : phase == 2 ? protocol::KeepaliveVariant::D : protocol::KeepaliveVariant::V;

    std::uint8_t buffer[protocol::kDatagramCapacity];
    std::size_t n = protocol::buildKeepalive(buffer, variant, state.identity.accountNumber,
                                   state.identity.machineId, state.identity.versionText);
    udp.sendTo(state.link.voiceSocket, buffer, n, state.link.serverAddress,
               static_cast<std::uint16_t>(state.channel.channelPort.load()));
    clock.sleepMs(keepalivePeriodMs(state.channel.serverLoad));
}

void keepaliveThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                     const std::atomic<bool>& running) {
    while (running.load(std::memory_order_relaxed)) keepaliveStep(state, udp, clock);
}

}  // namespace orvane::net
