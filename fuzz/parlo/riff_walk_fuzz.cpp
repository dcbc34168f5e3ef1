// The walk never reads past the stream and never hands out more bytes than it holds.
#include <cstdint>
#include <cstdlib>

#include "parlo/riff_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const orvane::parlo::RawSamples r = orvane::parlo::findRawSamples(data, size);
    if (r.found) {
        if (r.offset > size || r.length > size - r.offset || (r.length & 1) != 0) std::abort();
        volatile std::uint8_t sum = 0;
        for (std::size_t i = 0; i < r.length; ++i) sum = static_cast<std::uint8_t>(sum + data[r.offset + i]);
    }
    return 0;
}
