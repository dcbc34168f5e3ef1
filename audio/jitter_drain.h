#pragma once
// Playback's side of the jitter ring.
#include <cstdint>

#include "state/client_state.h"

namespace orvane::audio {

inline constexpr int kPlayGroupBlocks = 4;
inline constexpr int kPlayGroupBytes = kPlayGroupBlocks * kAudioBlockBytes;  // 125 ms
// The receive thread never writes below this slot once playback has run.
inline constexpr std::int32_t kLowestWriteIndex = 4;

// Under ringLock: moves slots 4..15 down to 0..11, clears slots 12..15, lowers ringWriteIndex
// by 4 (not below 4), and copies the new slots 0..3 (the group to play) into `group`
// (kPlayGroupBytes).
void drainJitterRing(ClientState& state, std::uint8_t* group);

}  // namespace orvane::audio
