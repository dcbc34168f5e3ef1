#pragma once
// The voice datagrams that carry the user's speech, with the transmit-side needles and chaser.
#include <cstdint>

#include "state/client_state.h"
#include "platform/udp.h"

namespace orvane::net {

// Sends one captured 1000-byte block (250 stereo frames, 16-bit little-endian, left first) as
// a 1024-byte audio datagram to `channelPort`, then moves both needles from the block's peaks
// and steps the transmit chaser every third block. Called on the audio engine thread only;
// allocates nothing; the caller may reuse `frame` at once.
void sendAudioFrame(ClientState& state, platform::UdpNetwork& udp, const std::uint8_t* frame);

}  // namespace orvane::net
