#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "protocol/datagrams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvane::protocol;
    const VoiceDatagram v = parseVoice(data, size);
    const std::uint8_t kind = size > 0 ? data[0] : 0;
    if (v.isVoice != (kind == 'A' || kind == 'B')) std::abort();
    if (size < 8 && v.header.content != 0) std::abort();

    std::uint8_t slot[kAudioPayloadBytes];
    copyVoicePayload(data, size, slot);
    for (std::size_t i = 0; i < kAudioPayloadBytes; ++i) {
        const std::uint8_t expected = 24 + i < size ? data[24 + i] : 0;
        if (slot[i] != expected) std::abort();
    }
    return 0;
}
