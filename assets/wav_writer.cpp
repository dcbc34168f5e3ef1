#include "assets/wav_writer.h"

#include "assets/byte_writer.h"

namespace orvane::assets {

std::vector<std::uint8_t> encodeWavPcm16(std::span<const std::int16_t> samples, int channels, int sampleRate) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    const unsigned blockAlign = static_cast<unsigned>(channels) * 2u;
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    putText(out, "RIFF");
    putU32(out, 36 + dataBytes);
    putText(out, "WAVE");
    putText(out, "fmt ");
    putU32(out, 16);
    putU16(out, 1);  // PCM
    putU16(out, static_cast<unsigned>(channels));
    putU32(out, static_cast<std::uint32_t>(sampleRate));
    putU32(out, static_cast<std::uint32_t>(sampleRate) * blockAlign);
    putU16(out, blockAlign);
    putU16(out, 16);
    putText(out, "data");
    putU32(out, dataBytes);
    for (std::int16_t s : samples) putU16(out, static_cast<std::uint16_t>(s));
    return out;
}

}  // namespace orvane::assets
