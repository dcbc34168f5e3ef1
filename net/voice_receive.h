#pragma once
// The voice receive thread: voice datagrams from the server into the jitter ring, with the
// talker, echo byte and server load they announce.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "state/client_state.h"
#include "protocol/datagrams.h"
#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::net {

// The thread's receive buffer; cleared whenever a wait or receive yields nothing.
struct VoiceReceiveBuffer {
    std::uint8_t bytes[protocol::kDatagramCapacity] = {};
};

// What the thread does once before its first wait: an empty jitter ring, write index 5.
void startVoiceReceive(ClientState& state);

// One wait (up to 500 ms) and at most one datagram from the server. Nothing, a failed wait
// or receive, or an empty datagram: buffer cleared and `serverLoad` 99; after a failure the
// step also pauses 500 ms so that an invalid socket cannot make the thread spin.
void voiceReceiveStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                      VoiceReceiveBuffer& buffer);

// Acts on one received datagram of `length` bytes (1 or more; bytes beyond read as zero):
// kind check, duplicate filter, jitter ring store, chaser mark, published fields, UDP lamp.
void handleVoiceDatagram(ClientState& state, const std::uint8_t* data, std::size_t length);

// startVoiceReceive, then voiceReceiveStep while `running` holds.
void voiceReceiveThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                        const std::atomic<bool>& running);

}  // namespace orvane::net
