#pragma once
// The meter values computed from the sound being played.
#include <cstdint>

#include "state/client_state.h"
#include "state/levels.h"

namespace orvane::audio {

// The block peak and the needle value are those of the transmit form (core/levels.h).

// Updates leftNeedle, rightNeedle, leftBarLevel, rightBarLevel and smoothedPeak from the
// first block of the group being played.
void applyPlaybackMeter(ClientState& state, const std::uint8_t* block);

}  // namespace orvane::audio
