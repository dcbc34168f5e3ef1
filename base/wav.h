#pragma once
// RIFF/WAVE files: the 44-byte header of a canonical file (one "fmt " chunk of 16 bytes, one
// "data" chunk) and whole files of 16-bit signed little-endian PCM.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvane::base {

inline constexpr std::size_t kWavHeaderBytes = 44;
inline constexpr std::uint16_t kWavFormatPcm = 1;

struct WavFormat {
    std::uint16_t formatTag = kWavFormatPcm;
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 8000;
    std::uint16_t bitsPerSample = 16;
};

// Appends the header of a file whose data chunk holds `dataBytes` bytes. The block alignment
// and byte rate follow from the format.
void appendWavHeader(std::vector<std::uint8_t>& out, const WavFormat& format, std::uint32_t dataBytes);

// A whole file; `samples` are interleaved when `channels` > 1.
std::vector<std::uint8_t> encodeWavPcm16(std::span<const std::int16_t> samples, int channels, int sampleRate);

}  // namespace orvane::base
