#pragma once
// Levels of an audio block, shared by both forms of the meters: the transmit form (the audio
// sender, on every captured block) and the playback form (on the first block of each group).
#include <cstdint>

namespace orvane {

inline constexpr int kPeakFrames = 100;  // the meters look at the first 100 of 250 frames

// Largest absolute sample of one channel (0 left, 1 right) over the first 100 stereo frames
// of a block (16-bit little-endian, left first), starting from 0; a sample of -32768 is left
// out, so that one clipped sample cannot overflow the 16-bit meter arithmetic.
std::int32_t blockPeak(const std::uint8_t* block, int channel);

// 218 (silence) .. 319 (full scale): the needle angle in degrees for a level 0..32767.
constexpr std::int32_t needleValue(std::int32_t level) { return 218 + level * 102 / 32768; }

}  // namespace orvane
