#pragma once
// A recognisable test signal: every stereo frame differs from its neighbours and no sample is
// zero, so it can be found in a recording that starts and ends with silence.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orvane::test {

inline std::int16_t signalLeft(std::size_t frame) {
    return static_cast<std::int16_t>(1 + (frame * 37) % 30000);
}

// `frames` stereo frames starting at frame `first`, s16le.
inline std::vector<std::uint8_t> makeSignal(std::size_t first, std::size_t frames) {
    std::vector<std::uint8_t> out(frames * 4);
    for (std::size_t i = 0; i < frames; ++i) {
        std::int16_t l = signalLeft(first + i);
        auto r = static_cast<std::int16_t>(-l);
        std::memcpy(&out[i * 4], &l, 2);
        std::memcpy(&out[i * 4 + 2], &r, 2);
    }
    return out;
}

// Offset of `needle` in `hay`, or -1.
inline long findBytes(const std::vector<std::uint8_t>& hay, const std::uint8_t* needle, std::size_t n) {
    auto it = std::search(hay.begin(), hay.end(), needle, needle + n);
    return it == hay.end() ? -1 : static_cast<long>(it - hay.begin());
}

// The recording with every all-zero stereo frame left out (gaps the sound server may insert
// when a client is late).
inline std::vector<std::uint8_t> withoutSilentFrames(const std::vector<std::uint8_t>& pcm) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        if (pcm[i] | pcm[i + 1] | pcm[i + 2] | pcm[i + 3])
            out.insert(out.end(), pcm.begin() + static_cast<long>(i), pcm.begin() + static_cast<long>(i) + 4);
    }
    return out;
}

// What `recording` holds of `signal` from offset `at` on: `bytes` is how much of it could be
// compared (all that was recorded after `at`, at most the signal), the result whether those
// bytes are the signal's, in order, nothing lost or changed. Where the sound server runs its
// sources on its own clock (`sourcesClocked`: PipeWire), the silent frames it recorded
// wherever the test's microphone writer was late are left out first (the signal has none).
inline bool recordedInOrder(const std::vector<std::uint8_t>& recording, long at, const std::vector<std::uint8_t>& signal,
                            bool sourcesClocked, std::size_t& bytes) {
    std::vector<std::uint8_t> after(recording.begin() + at, recording.end());
    if (sourcesClocked) after = withoutSilentFrames(after);
    bytes = std::min(after.size(), signal.size());
    return std::equal(signal.begin(), signal.begin() + static_cast<long>(bytes), after.begin());
}

}  // namespace orvane::test
