#include "base/wav.h"

#include "base/byte_writer.h"

namespace orvane::base {

void appendWavHeader(std::vector<std::uint8_t>& out, const WavFormat& format, std::uint32_t dataBytes) {
    const unsigned blockAlign = static_cast<unsigned>(format.channels) * ((format.bitsPerSample + 7u) / 8u);
    putText(out, "RIFF");
    putU32(out, static_cast<std::uint32_t>(kWavHeaderBytes - 8) + dataBytes);
    putText(out, "WAVE");
    putText(out, "fmt ");
    putU32(out, 16);
    putU16(out, format.formatTag);
    putU16(out, format.channels);
    putU32(out, format.sampleRate);
    putU32(out, format.sampleRate * blockAlign);
    putU16(out, blockAlign);
    putU16(out, format.bitsPerSample);
    putText(out, "data");
    putU32(out, dataBytes);
}

std::vector<std::uint8_t> encodeWavPcm16(std::span<const std::int16_t> samples, int channels, int sampleRate) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(kWavHeaderBytes + dataBytes);
    WavFormat format;
    format.channels = static_cast<std::uint16_t>(channels);
    format.sampleRate = static_cast<std::uint32_t>(sampleRate);
    appendWavHeader(out, format, dataBytes);
    for (std::int16_t s : samples) putU16(out, static_cast<std::uint16_t>(s));
    return out;
}

}  // namespace orvane::base
