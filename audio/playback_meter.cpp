#include "audio/playback_meter.h"

namespace orvane::audio {

namespace {
constexpr int kPeakFrames = 100;

std::int32_t half(std::int32_t v) { return v / 2; }  // truncates toward zero
}  // namespace

std::int32_t channelPeak(const std::uint8_t* block, int channel) {
    std::int32_t peak = 0;
    for (int f = 0; f < kPeakFrames; ++f) {
        const std::uint8_t* s = block + f * 4 + channel * 2;
        auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(s[0] | (s[1] << 8)));
        if (v == -32768) continue;
        std::int32_t a = v < 0 ? -v : v;
        if (a > peak) peak = a;
    }
    return peak;
}

std::int32_t needleValue(std::int32_t level) { return 218 + level * 102 / 32768; }

void applyPlaybackMeter(ClientState& state, const std::uint8_t* block) {
    AudioShared& a = state.audio;
    std::int32_t peakLeft = channelPeak(block, 0);
    std::int32_t peakRight = channelPeak(block, 1);
    std::int32_t s1 = half(a.smoothedPeak) + half(peakLeft);
    a.leftNeedle = needleValue(s1);
    a.rightNeedle = needleValue(half(s1) + half(peakRight));
    std::int32_t s3 = half(s1) + half(peakLeft);
    a.leftBarLevel = s3;
    a.smoothedPeak = static_cast<std::int16_t>(s3);
    a.rightBarLevel = static_cast<std::int16_t>(half(peakRight) + half(s3));
}

}  // namespace orvane::audio
