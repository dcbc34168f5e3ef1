#include "servers/voice/inbound.h"

#include <cstring>

namespace orvane::server {

namespace {

constexpr std::uint8_t kHello[9] = {'T', '.', 'W', 'I', 'N', 0, 0, 0, 0};
constexpr std::size_t kKeepaliveCommonBytes = 9;

std::uint16_t readAccount(const std::uint8_t* d) {
    return static_cast<std::uint16_t>(d[3] | (d[4] << 8));
}

}  // namespace

Inbound parseVoicePortDatagram(const std::uint8_t* data, std::size_t length) {
    Inbound in;
    if (data == nullptr || length == 0) return in;
    if (length == sizeof kHello && std::memcmp(data, kHello, sizeof kHello) == 0) {
        in.kind = InboundKind::VoiceHello;
    } else if (length == 2 * sizeof kHello && std::memcmp(data, kHello, sizeof kHello) == 0 &&
               std::memcmp(data + sizeof kHello, kHello, sizeof kHello) == 0) {
        in.kind = InboundKind::ControlHello;
    } else if (length >= kKeepaliveCommonBytes && data[0] == 'R' && data[1] == '.') {
        in.kind = InboundKind::Keepalive;
        in.account = readAccount(data);
    } else if (length == kAudioDatagramBytes && data[0] == 'A') {
        in.kind = InboundKind::Audio;
        in.sequence = data[1];
        in.account = readAccount(data);
        in.payload = data + kVoiceHeaderBytes;
    }
    return in;
}

Inbound parseControlPortDatagram(const std::uint8_t* data, std::size_t length) {
    Inbound in;
    if (data == nullptr || length < 3) return in;
    if (data[0] == 'L') {
        in.kind = InboundKind::RosterPoll;
    } else if (data[0] == 'A' && data[1] == 1) {
        in.kind = InboundKind::SupervisorQuery;
        in.echo = data[2];
    }
    return in;
}

const char* inboundKindName(InboundKind kind) {
    switch (kind) {
        case InboundKind::VoiceHello: return "voice hello";
        case InboundKind::ControlHello: return "control hello";
        case InboundKind::Keepalive: return "keepalive";
        case InboundKind::Audio: return "audio";
        case InboundKind::RosterPoll: return "roster poll";
        case InboundKind::SupervisorQuery: return "supervisor query";
        case InboundKind::Unknown: break;
    }
    return "unknown";
}

}  // namespace orvane::server
