#include "servers/voice/outbound.h"

#include "protocol/datagrams.h"

// The bytes themselves come from the client's own datagram builders, so the server can never
// drift from what the client parses.
namespace orvane::server {

void fillVoiceHeader(std::uint8_t* h, const VoiceHeaderFields& f) {
    protocol::VoiceHeader v;
    v.kind = f.kind;
    v.sequence = f.sequence;
    v.echo = static_cast<std::int8_t>(f.echo);
    v.account = f.talkerAccount;
    v.load = static_cast<std::int8_t>(f.loadCode);
    v.content = protocol::kContentAudio;
    protocol::buildVoice(h, v, nullptr);
}

std::size_t buildRosterReply(std::uint8_t* out, int channel, const std::uint16_t* accounts,
                             std::size_t count) {
    if (count > kMaxRosterAccounts) count = kMaxRosterAccounts;
    return protocol::buildRosterReply(out, static_cast<std::int8_t>(channel), static_cast<std::int8_t>(count), accounts);
}

void buildSupervisorReply(std::uint8_t* out3, std::uint8_t code) { protocol::buildSupervisorReply(out3, code); }

}  // namespace orvane::server
