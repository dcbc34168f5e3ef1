#pragma once
// The meter values computed from the sound being played.
#include <cstdint>

#include "core/client_state.h"

namespace orvane::audio {

// Largest absolute value of one channel (0 left, 1 right) over the first 100 stereo frames of
// a block; a sample of -32768 does not count (its absolute value does not fit 16 bits).
std::int32_t channelPeak(const std::uint8_t* block, int channel);

// 218 (silence) .. 319 (full scale): the needle angle in degrees for a level 0..32767.
std::int32_t needleValue(std::int32_t level);

// Updates leftNeedle, rightNeedle, leftBarLevel, rightBarLevel and smoothedPeak from the
// first block of the group being played.
void applyPlaybackMeter(ClientState& state, const std::uint8_t* block);

}  // namespace orvane::audio
