#include "speech/speech_socket.h"

#include "speech/speech_datagrams.h"

namespace orvane::speech {

namespace {

// Commands turn the microphone on, so only programs on this machine may send them: a source
// on the loopback network (127.0.0.0/8) can only be local.
bool isLoopback(std::uint32_t address) { return (address >> 24) == 127; }

std::uint32_t speechHost() {
    std::uint32_t address = platform::kLoopback;
    platform::parseIpv4(kSpeechHostText, address);
    return address;
}

}  // namespace

bool openSpeechSocket(ClientState& state, platform::UdpNetwork& udp) {
    if (!udp.startup()) {
        state.link.speechSocket = platform::kInvalidSocket;
        return false;
    }
    platform::SocketHandle s = udp.openBound(0, 0);
    state.link.speechSocket = s;
    return s != platform::kInvalidSocket;
}

void sendSpeakRequest(ClientState& state, platform::UdpNetwork& udp, const char* text,
                      std::size_t count) {
    std::uint8_t datagram[kSpeechDatagramBytes];
    std::size_t n = buildSpeakRequest(datagram, text, count);
    udp.sendTo(state.link.speechSocket, datagram, n, speechHost(), kSpeechPort);
}

void sendStopRequest(ClientState& state, platform::UdpNetwork& udp) {
    std::uint8_t datagram[1];
    std::size_t n = buildStopRequest(datagram);
    udp.sendTo(state.link.speechSocket, datagram, n, speechHost(), kSpeechPort);
}

void speechCommandStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                       CommandBuffer& buffer) {
    const platform::SocketHandle s = state.link.speechSocket;
    const int ready = udp.waitReadable(s, kCommandWaitMs);
    if (ready == 0) return;
    int n = -1;
    std::uint32_t from = 0;
    if (ready > 0) n = udp.receiveFrom(s, buffer.bytes, sizeof buffer.bytes, &from, nullptr);
    if (n >= 1 && n <= static_cast<int>(kSpeechDatagramBytes) && isLoopback(from)) {
        if (buffer.bytes[0] == kTalkCommand) state.setTransmit(true);
        else if (buffer.bytes[0] == kReleaseCommand) state.setTransmit(false);
    }
    clock.sleepMs(kCommandPauseMs);
}

void speechCommandThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                         const std::atomic<bool>& running) {
    CommandBuffer buffer;
    while (running.load(std::memory_order_relaxed)) speechCommandStep(state, udp, clock, buffer);
}

}  // namespace orvane::speech
