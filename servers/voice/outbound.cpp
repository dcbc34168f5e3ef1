#include "servers/voice/outbound.h"

#include <cstring>

namespace orvane::server {

void fillVoiceHeader(std::uint8_t* h, const VoiceHeaderFields& f) {
    std::memset(h, 0, kVoiceHeaderBytes);
    h[0] = f.kind;
    h[1] = f.sequence;
    h[2] = f.echo;
    h[3] = static_cast<std::uint8_t>(f.talkerAccount & 0xFF);
    h[4] = static_cast<std::uint8_t>(f.talkerAccount >> 8);
    h[5] = f.loadCode;
    h[7] = 1;
}

std::size_t buildRosterReply(std::uint8_t* out, int channel, const std::uint16_t* accounts,
                             std::size_t count) {
    if (count > kMaxRosterAccounts) count = kMaxRosterAccounts;
    out[0] = 'L';
    out[1] = static_cast<std::uint8_t>(channel);
    out[2] = static_cast<std::uint8_t>(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[3 + 2 * i] = static_cast<std::uint8_t>(accounts[i] & 0xFF);
        out[4 + 2 * i] = static_cast<std::uint8_t>(accounts[i] >> 8);
    }
    return 3 + 2 * count;
}

void buildSupervisorReply(std::uint8_t* out3, std::uint8_t code) {
    out3[0] = 'A';
    out3[1] = 0;
    out3[2] = code;
}

}  // namespace orvane::server
