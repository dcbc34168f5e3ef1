#pragma once
// The start-up chime: three struck bell tones, synthesized so the skin needs no recorded sound.
#include <cstdint>
#include <vector>

namespace orvane::skingen {

inline constexpr int kChimeSampleRate = 22050;

// Mono samples, under one second, starting and ending in silence.
std::vector<std::int16_t> synthesizeChime();

}  // namespace orvane::skingen
