#include "net/server_sockets.h"

#include "protocol/datagrams.h"

#ifndef ORVANE_VOICE_SERVER
#define ORVANE_VOICE_SERVER "127.0.0.1"
#endif

namespace orvane::net {

std::uint32_t configuredServerAddress() {
    std::uint32_t address = 0;
    if (!platform::parseIpv4(ORVANE_VOICE_SERVER, address)) return platform::kLoopback;
    return address;
}

namespace {

std::uint16_t toPort(std::int32_t port) { return static_cast<std::uint16_t>(port); }

// Takes a socket-library reference and opens one socket bound to any address, port 0; on
// failure gives the reference back, leaves the socket invalid and shows the lamp red.
platform::SocketHandle openOne(platform::UdpNetwork& udp, Relaxed<std::int32_t>& lamp) {
    if (!udp.startup()) {
        lamp = kLampRed;
        return platform::kInvalidSocket;
    }
    platform::SocketHandle s = udp.openBound(0, 0);
    if (s == platform::kInvalidSocket) {
        udp.cleanup();
        lamp = kLampRed;
    }
    return s;
}

}  // namespace

int openServerSockets(ClientState& state, platform::UdpNetwork& udp) {
    if (state.link.serverAddress == 0u) state.link.serverAddress = configuredServerAddress();
    const std::uint32_t server = state.link.serverAddress;
    std::uint8_t hello[protocol::kControlHelloBytes];

    platform::SocketHandle voice = openOne(udp, state.lamps.lampUdp);
    state.link.voiceSocket = voice;
    if (voice == platform::kInvalidSocket) return -1;
    std::size_t n = protocol::buildVoiceHello(hello);
    udp.sendTo(voice, hello, n, server, toPort(state.channel.channelPort));
    state.lamps.lampUdp = kLampYellow;

    platform::SocketHandle control = openOne(udp, state.lamps.lampSvc);
    state.link.controlSocket = control;
    if (control == platform::kInvalidSocket) return -1;
    n = protocol::buildControlHello(hello);
    udp.sendTo(control, hello, n, server, toPort(state.channel.channelPort));
    state.lamps.lampSvc = kLampYellow;
    return 0;
}

void sendControlRequest(ClientState& state, platform::UdpNetwork& udp, std::int32_t port) {
    std::uint8_t poll[protocol::kRosterPollBytes];
    std::size_t n = protocol::buildRosterPoll(poll);
    int sent = udp.sendTo(state.link.controlSocket, poll, n, state.link.serverAddress,
                          toPort(port + kControlPortOffset));
    if (sent < 0) state.lamps.lampSvc = kLampRed;
}

}  // namespace orvane::net
