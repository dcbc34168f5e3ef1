#pragma once
// The loopback datagrams between Orvane and Parlo, and the one-byte talk and release commands
// Orvane accepts on its speech socket. Header-only so that Parlo shares it without linking any
// Orvane library.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvane::speech {

// Parlo's endpoint; the destination of every request, never configurable.
inline constexpr char kSpeechHostText[] = "127.0.0.1";
inline constexpr std::uint16_t kSpeechPort = 5555;

inline constexpr std::uint8_t kSpeakRequest = 0x01;
inline constexpr std::uint8_t kStopRequest = 0xFF;
inline constexpr std::uint8_t kTalkCommand = 'T';
inline constexpr std::uint8_t kReleaseCommand = 'R';

// A request datagram is at most this long; a speak request carries at most 1023 text bytes.
inline constexpr std::size_t kSpeechDatagramBytes = 1024;
inline constexpr std::size_t kMaxSpeakTextBytes = kSpeechDatagramBytes - 1;

// Builds a speak request in `out` (kSpeechDatagramBytes long): the kind byte and the
// single-byte text. A text longer than kMaxSpeakTextBytes is cut to fit. Returns the length.
inline std::size_t buildSpeakRequest(std::uint8_t* out, const char* text, std::size_t count) {
    if (text == nullptr) count = 0;
    if (count > kMaxSpeakTextBytes) count = kMaxSpeakTextBytes;
    out[0] = kSpeakRequest;
    if (count > 0) std::memcpy(out + 1, text, count);
    return 1 + count;
}

inline std::size_t buildStopRequest(std::uint8_t* out) {
    out[0] = kStopRequest;
    return 1;
}

}  // namespace orvane::speech
