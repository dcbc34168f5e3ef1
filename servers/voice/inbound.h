#pragma once
// What a client may send the voice server, told apart by the port it arrived on, its first
// bytes and its length. The client puts no length or version field in its datagrams, so the
// shape is all there is to go by; anything that fits none of the shapes is ignored.
#include <cstddef>
#include <cstdint>

#include "protocol/datagrams.h"

namespace orvane::server {

inline constexpr int kServerChannels = 11;
inline constexpr std::uint16_t kFirstVoicePort = 30000;
inline constexpr std::uint16_t kFirstControlPort = 31000;
inline constexpr std::size_t kAudioDatagramBytes = protocol::kAudioDatagramBytes;
inline constexpr std::size_t kVoiceHeaderBytes = protocol::kAudioHeaderBytes;
inline constexpr std::size_t kAudioPayloadBytes = protocol::kAudioPayloadBytes;
inline constexpr std::size_t kMaxRosterAccounts = 16;

enum class InboundKind {
    Unknown,
    VoiceHello,       // "T.WIN" + 4 zeros, from a client's voice socket
    ControlHello,     // the voice hello twice, from a client's control socket
    Keepalive,        // "R." + 0 + account, from the voice socket
    Audio,            // "A" + sequence + 2 + account + ... + 1000 bytes of sound
    RosterPoll,       // "L" 0 0 on a control port
    SupervisorQuery,  // "A" 1 echo on a control port
};

struct Inbound {
    InboundKind kind = InboundKind::Unknown;
    std::uint16_t account = 0;        // keepalive and audio
    std::uint8_t sequence = 0;        // audio
    std::uint8_t echo = 0;            // supervisor query
    const std::uint8_t* payload = nullptr;  // audio: the 1000 bytes of sound
};

// A datagram that arrived on a channel port (30000 + n).
Inbound parseVoicePortDatagram(const std::uint8_t* data, std::size_t length);
// A datagram that arrived on a control port (31000 + n).
Inbound parseControlPortDatagram(const std::uint8_t* data, std::size_t length);

const char* inboundKindName(InboundKind kind);

}  // namespace orvane::server
