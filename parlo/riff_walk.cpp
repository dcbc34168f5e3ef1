#include "parlo/riff_walk.h"

#include <cstring>

namespace orvane::parlo {

namespace {
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
}  // namespace

RawSamples findRawSamples(const std::uint8_t* stream, std::size_t length) {
    RawSamples r;
    if (stream == nullptr) return r;
    std::size_t offset = 12;
    // Sizes are 32-bit, so offset + 8 + size cannot wrap a 64-bit size_t.
    while (offset <= length && length - offset >= 8) {
        const std::uint8_t* chunk = stream + offset;
        const std::uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) != 0) {
            offset += 8 + static_cast<std::size_t>(size);
            continue;
        }
        if (size < 2) return r;
        std::size_t take = size & ~static_cast<std::size_t>(1);
        // A chunk that claims more than the stream holds is cut at its end.
        const std::size_t available = length - offset - 8;
        if (take > available) take = available & ~static_cast<std::size_t>(1);
        r.found = true;
        r.offset = offset + 8;
        r.length = take;
        return r;
    }
    return r;
}

}  // namespace orvane::parlo
