#include "audio/jitter_drain.h"

#include <cstring>

namespace orvane::audio {

void drainJitterRing(ClientState& state, std::uint8_t* group) {
    std::lock_guard<std::mutex> hold(state.audio.ringLock);
    std::uint8_t* ring = state.audio.jitterRing;
    constexpr std::size_t kKept = (kJitterSlots - kPlayGroupBlocks) * kAudioBlockBytes;
    std::memmove(ring, ring + kPlayGroupBytes, kKept);
    std::memset(ring + kKept, 0, kPlayGroupBytes);
    std::int32_t index = state.audio.ringWriteIndex - kPlayGroupBlocks;
    state.audio.ringWriteIndex = index < kLowestWriteIndex ? kLowestWriteIndex : index;
    std::memcpy(group, ring, kPlayGroupBytes);
}

}  // namespace orvane::audio
