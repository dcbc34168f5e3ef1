#pragma once
// RIFF/WAVE files holding 16-bit signed little-endian PCM.
#include <cstdint>
#include <span>
#include <vector>

namespace orvane::assets {

// `samples` are interleaved when `channels` > 1.
std::vector<std::uint8_t> encodeWavPcm16(std::span<const std::int16_t> samples, int channels, int sampleRate);

}  // namespace orvane::assets
