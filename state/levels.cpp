#include "state/levels.h"

namespace orvane {

std::int32_t blockPeak(const std::uint8_t* block, int channel) {
    std::int32_t peak = 0;
    for (int f = 0; f < kPeakFrames; ++f) {
        const std::uint8_t* s = block + f * 4 + channel * 2;
        const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(s[0] | (s[1] << 8)));
        if (v == -32768) continue;
        const std::int32_t a = v < 0 ? -v : v;
        if (a > peak) peak = a;
    }
    return peak;
}

}  // namespace orvane
