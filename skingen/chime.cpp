#include "skingen/chime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace orvane::skingen {
namespace {

constexpr double kDurationSeconds = 0.92;
constexpr double kFadeOutSeconds = 0.12;
constexpr double kPeak = 0.7 * 32767.0;

struct Partial {
    double ratio;      // frequency relative to the struck note
    double amplitude;
    double decayRate;  // per second
};

// Tubular bells ring with inharmonic overtones that die faster than the fundamental.
constexpr std::array<Partial, 5> kBellPartials{{
    {1.0, 1.0, 4.0},
    {2.0, 0.55, 6.0},
    {2.76, 0.35, 9.0},
    {5.40, 0.18, 16.0},
    {8.93, 0.08, 24.0},
}};

struct Strike {
    double startSeconds;
    double frequency;
    double loudness;
};

// A falling major arpeggio: G6, E6, C6.
constexpr std::array<Strike, 3> kStrikes{{
    {0.00, 1567.98, 0.8},
    {0.16, 1318.51, 0.9},
    {0.32, 1046.50, 1.0},
}};

double bell(double t, double frequency) {
    constexpr double kAttackSeconds = 0.002;
    double v = 0.0;
    for (const Partial& p : kBellPartials) {
        v += p.amplitude * std::exp(-p.decayRate * t) * std::sin(2.0 * std::numbers::pi * frequency * p.ratio * t);
    }
    return v * std::min(1.0, t / kAttackSeconds);
}

}  // namespace

std::vector<std::int16_t> synthesizeChime() {
    const int count = static_cast<int>(kDurationSeconds * kChimeSampleRate);
    const int fadeCount = static_cast<int>(kFadeOutSeconds * kChimeSampleRate);
    std::vector<double> mix(static_cast<std::size_t>(count), 0.0);
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kChimeSampleRate;
        for (const Strike& s : kStrikes) {
            if (t >= s.startSeconds) mix[static_cast<std::size_t>(i)] += s.loudness * bell(t - s.startSeconds, s.frequency);
        }
        if (i >= count - fadeCount) mix[static_cast<std::size_t>(i)] *= static_cast<double>(count - 1 - i) / fadeCount;
    }
    double peak = 0.0;
    for (double v : mix) peak = std::max(peak, std::abs(v));
    const double gain = peak > 0.0 ? kPeak / peak : 0.0;

    std::vector<std::int16_t> samples(mix.size());
    std::transform(mix.begin(), mix.end(), samples.begin(),
                   [gain](double v) { return static_cast<std::int16_t>(std::lround(v * gain)); });
    return samples;
}

}  // namespace orvane::skingen
