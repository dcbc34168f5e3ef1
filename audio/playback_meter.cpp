#include "audio/playback_meter.h"

namespace orvane::audio {

namespace {
std::int32_t half(std::int32_t v) { return v / 2; }  // truncates toward zero
}  // namespace

void applyPlaybackMeter(ClientState& state, const std::uint8_t* block) {
    AudioShared& a = state.audio;
    const std::int32_t peakLeft = blockPeak(block, 0);
    const std::int32_t peakRight = blockPeak(block, 1);
    std::int32_t s1 = half(a.smoothedPeak) + half(peakLeft);
    a.leftNeedle = needleValue(s1);
    a.rightNeedle = needleValue(half(s1) + half(peakRight));
    std::int32_t s3 = half(s1) + half(peakLeft);
    a.leftBarLevel = s3;
    a.smoothedPeak = static_cast<std::int16_t>(s3);
    a.rightBarLevel = static_cast<std::int16_t>(half(peakRight) + half(s3));
}

}  // namespace orvane::audio
