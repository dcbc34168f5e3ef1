#pragma once
// The Opus encoder and decoder made at start-up. They serve only the codec trial pass, which a
// capture runs on a port no channel selects; every channel sends its blocks unchanged.
#include <cstdint>

#include "state/client_state.h"

namespace orvane::audio {

// The port on which captured blocks go through the codec trial pass.
inline constexpr std::int32_t kCodecTrialPort = 30100;

// Encoder 8000 Hz mono VOIP at 16000 bit/s, then decoder 8000 Hz mono, into opusEncoder and
// opusDecoder. Failures are silent: if the decoder fails the encoder is destroyed too, and
// both handles stay null.
void createCodecPair(ClientState& state);
// Destroys the decoder, then the encoder, clearing each handle.
void destroyCodecPair(ClientState& state);

// Work space of the trial pass, kept for the life of the engine (nothing is allocated per
// block).
struct CodecTrialBuffers {
    static constexpr int kMaxPacket = 1500;
    static constexpr int kFrameSamples = 160;
    static constexpr int kFrames = 4;
    std::uint8_t packets[kFrames][kMaxPacket] = {};
    std::int16_t decoded[kFrames][kMaxPacket] = {};
    std::uint8_t work[kFrames * kFrameSamples * 2] = {};  // 1280 bytes
};

// Encodes four 160-sample frames read at byte offsets 0, 160, 320 and 480 of the block (its
// stereo samples taken as mono), decodes them, and lays the four decoded frames end to end
// over a copy of the block in `buffers.work`. False (nothing to send) when a step fails or
// the codec pair does not exist. The first 1000 bytes of `buffers.work` are the block to send.
bool codecTrialPass(ClientState& state, const std::uint8_t* block, CodecTrialBuffers& buffers);

}  // namespace orvane::audio
