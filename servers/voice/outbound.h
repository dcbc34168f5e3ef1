#pragma once
// What the voice server sends: voice datagrams to a client's voice socket, roster and
// supervisor replies to its control socket.
#include <cstddef>
#include <cstdint>

#include "servers/voice/inbound.h"

namespace orvane::server {

inline constexpr std::uint8_t kSupervisorNeutral = 0;
inline constexpr std::uint8_t kSupervisorUpdate = 220;
inline constexpr std::uint8_t kSupervisorClose = 240;
inline constexpr std::size_t kMaxRosterReplyBytes = 3 + 2 * kMaxRosterAccounts;

struct VoiceHeaderFields {
    std::uint8_t kind = 'A';  // 'A', or 'B' for a talker played at a tenth of its level on channel 10
    std::uint8_t sequence = 1;
    std::uint8_t echo = 0;
    std::uint16_t talkerAccount = 0;
    std::uint8_t loadCode = 0;
};

// The 24 bytes before the payload; the content byte is always 1 (audio follows).
void fillVoiceHeader(std::uint8_t* header24, const VoiceHeaderFields& f);

// Patches only the per-recipient bytes (sequence and echo) of a header made by fillVoiceHeader.
inline void setRecipientBytes(std::uint8_t* header24, std::uint8_t sequence, std::uint8_t echo) {
    header24[1] = sequence;
    header24[2] = echo;
}

// "L", channel, count, accounts low byte first. Never more than 16 accounts, whatever is
// passed. Returns the length written (the buffer must hold kMaxRosterReplyBytes).
std::size_t buildRosterReply(std::uint8_t* out, int channel, const std::uint16_t* accounts,
                             std::size_t count);

// "A", 0, code.
inline constexpr std::size_t kSupervisorReplyBytes = 3;
void buildSupervisorReply(std::uint8_t* out3, std::uint8_t code);

}  // namespace orvane::server
