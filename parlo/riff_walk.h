#pragma once
// Finding the samples of a WAV stream: the chunks from offset 12 on, each an identifier, a
// little-endian size and the content; the next chunk starts 8 + size bytes further (odd sizes
// are not rounded to even, as the synthesizer's streams never need it).
#include <cstddef>
#include <cstdint>

namespace orvane::parlo {

struct RawSamples {
    bool found = false;       // a usable "data" chunk (size of at least 2 bytes)
    std::size_t offset = 0;   // where its samples start
    std::size_t length = 0;   // bytes to dump: an even count, cut at the end of the stream
};

RawSamples findRawSamples(const std::uint8_t* stream, std::size_t length);

}  // namespace orvane::parlo
