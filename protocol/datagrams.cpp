#include "protocol/datagrams.h"

#include <cstring>

namespace orvane::protocol {

namespace {

void putAccount(std::uint8_t* out, std::uint16_t account) {
    out[0] = static_cast<std::uint8_t>(account & 0xFF);
    out[1] = static_cast<std::uint8_t>(account >> 8);
}

bool startsWith(const std::uint8_t* data, std::size_t length, const char* tag) {
    std::size_t n = std::strlen(tag);
    return length >= n && std::memcmp(data, tag, n) == 0;
}

}  // namespace

std::size_t buildVoiceHello(std::uint8_t* out) {
    std::memcpy(out, kHelloTag, 5);
    std::memset(out + 5, 0, 4);
    return kVoiceHelloBytes;
}

std::size_t buildControlHello(std::uint8_t* out) {
    buildVoiceHello(out);
    buildVoiceHello(out + kVoiceHelloBytes);
    return kControlHelloBytes;
}

std::size_t buildKeepalive(std::uint8_t* out, KeepaliveVariant variant, std::uint16_t account,
                           const char* machineId, const char* versionText) {
    out[0] = 'R';
    out[1] = '.';
    out[2] = 0;
    putAccount(out + 3, account);
    std::memset(out + 5, 0, 4);
    switch (variant) {
    case KeepaliveVariant::N:
        std::memcpy(out + 9, kPseudoTag, 16);
        out[25] = 0;
        return kKeepaliveNBytes;
    case KeepaliveVariant::D: {
        out[9] = 'D';
        std::memset(out + 10, 0, 17);
        std::size_t n = machineId ? strnlen(machineId, 16) : 0;
        if (n > 0) std::memcpy(out + 10, machineId, n);
        return kKeepaliveDBytes;
    }
    case KeepaliveVariant::V:
    default: {
        out[9] = 'V';
        std::size_t n = versionText ? strnlen(versionText, 5) : 0;
        out[10] = n > 0 ? static_cast<std::uint8_t>(versionText[0]) : 0;
        out[11] = n > 2 ? static_cast<std::uint8_t>(versionText[2]) : 0;
        out[12] = n > 4 ? static_cast<std::uint8_t>(versionText[4]) : 0;
        out[13] = 2;
        return kKeepaliveVBytes;
    }
    }
}

void writeAudioHeader(std::uint8_t* out, std::uint8_t sequence, std::uint16_t account) {
    out[0] = kKindAudio;
    out[1] = sequence;
    out[2] = 2;
    putAccount(out + 3, account);
    out[5] = 0;
    out[6] = 'N';
    std::memcpy(out + 7, kAudioTag, 13);
    std::memset(out + 20, 0, 4);
}

std::size_t buildAudio(std::uint8_t* out, std::uint8_t sequence, std::uint16_t account,
                       const std::uint8_t* frame) {
    writeAudioHeader(out, sequence, account);
    std::memcpy(out + kAudioHeaderBytes, frame, kAudioPayloadBytes);
    return kAudioDatagramBytes;
}

std::size_t buildRosterPoll(std::uint8_t* out) {
    out[0] = kKindRoster;
    out[1] = 0;
    out[2] = 0;
    return kRosterPollBytes;
}

std::size_t buildSupervisorQuery(std::uint8_t* out, std::int32_t echo) {
    out[0] = kKindAudio;
    out[1] = 1;
    out[2] = static_cast<std::uint8_t>(echo & 0xFF);
    return kSupervisorQueryBytes;
}

std::size_t buildVoice(std::uint8_t* out, const VoiceHeader& header, const std::uint8_t* payload) {
    std::memset(out, 0, kAudioHeaderBytes);
    out[0] = header.kind;
    out[1] = header.sequence;
    out[2] = static_cast<std::uint8_t>(header.echo);
    putAccount(out + 3, header.account);
    out[5] = static_cast<std::uint8_t>(header.load);
    out[7] = header.content;
    if (payload == nullptr) return kAudioHeaderBytes;
    std::memcpy(out + kAudioHeaderBytes, payload, kAudioPayloadBytes);
    return kVoiceDatagramBytes;
}

std::size_t buildRosterReply(std::uint8_t* out, std::int8_t channel, std::int8_t count,
                             const std::uint16_t* accounts) {
    out[0] = kKindRoster;
    out[1] = static_cast<std::uint8_t>(channel);
    out[2] = static_cast<std::uint8_t>(count);
    int n = count < 0 ? 0 : count;
    if (n > kMaxRosterReplyEntries) n = kMaxRosterReplyEntries;
    if (accounts == nullptr) n = 0;
    for (int i = 0; i < n; ++i) putAccount(out + kRosterReplyHeaderBytes + 2 * i, accounts[i]);
    return kRosterReplyHeaderBytes + 2 * static_cast<std::size_t>(n);
}

std::size_t buildSupervisorReply(std::uint8_t* out, std::uint8_t code) {
    out[0] = kKindAudio;
    out[1] = 0;
    out[2] = code;
    return kSupervisorReplyBytes;
}

VoiceDatagram parseVoice(const std::uint8_t* data, std::size_t length) {
    VoiceDatagram v;
    std::uint8_t kind = byteAt(data, length, 0);
    v.isVoice = kind == kKindAudio || kind == kKindVoiceB;
    v.header.kind = kind;
    v.header.sequence = byteAt(data, length, 1);
    v.header.echo = static_cast<std::int8_t>(byteAt(data, length, 2));
    v.header.account = wordAt(data, length, 3);
    v.header.load = static_cast<std::int8_t>(byteAt(data, length, 5));
    v.header.content = byteAt(data, length, 7);
    return v;
}

void copyVoicePayload(const std::uint8_t* data, std::size_t length, std::uint8_t* slot) {
    std::size_t have = length > kAudioHeaderBytes ? length - kAudioHeaderBytes : 0;
    if (have > kAudioPayloadBytes) have = kAudioPayloadBytes;
    if (have > 0) std::memcpy(slot, data + kAudioHeaderBytes, have);
    std::memset(slot + have, 0, kAudioPayloadBytes - have);
}

RosterReply parseRosterReply(const std::uint8_t* data, std::size_t length) {
    RosterReply r;
    r.isRoster = byteAt(data, length, 0) == kKindRoster;
    r.channel = static_cast<std::int8_t>(byteAt(data, length, 1));
    r.count = static_cast<std::int8_t>(byteAt(data, length, 2));
    return r;
}

SupervisorReply parseSupervisorReply(const std::uint8_t* data, std::size_t length) {
    SupervisorReply r;
    r.isSupervisor = byteAt(data, length, 0) == kKindAudio;
    r.code = byteAt(data, length, 2);
    return r;
}

ClientDatagramKind classifyChannelDatagram(const std::uint8_t* data, std::size_t length) {
    if (startsWith(data, length, kHelloTag)) return ClientDatagramKind::Hello;
    if (startsWith(data, length, "R.")) return ClientDatagramKind::Keepalive;
    if (length > 0 && data[0] == kKindAudio) return ClientDatagramKind::Audio;
    return ClientDatagramKind::Unknown;
}

ClientDatagramKind classifyControlDatagram(const std::uint8_t* data, std::size_t length) {
    if (length == 0) return ClientDatagramKind::Unknown;
    if (data[0] == kKindRoster) return ClientDatagramKind::RosterPoll;
    if (data[0] == kKindAudio) return ClientDatagramKind::SupervisorQuery;
    return ClientDatagramKind::Unknown;
}

Keepalive parseKeepalive(const std::uint8_t* data, std::size_t length) {
    Keepalive k;
    if (!startsWith(data, length, "R.")) return k;
    k.account = wordAt(data, length, 3);
    std::uint8_t tag = byteAt(data, length, 9);
    if (tag == 'D') {
        k.variant = KeepaliveVariant::D;
        for (std::size_t i = 0; i < 16; ++i) k.machineId[i] = static_cast<char>(byteAt(data, length, 10 + i));
    } else if (tag == 'V') {
        k.variant = KeepaliveVariant::V;
        for (std::size_t i = 0; i < 3; ++i) k.version[i] = static_cast<char>(byteAt(data, length, 10 + i));
    } else if (tag == 'N') {
        k.variant = KeepaliveVariant::N;
    } else {
        return k;
    }
    k.valid = true;
    return k;
}

AudioDatagram parseAudio(const std::uint8_t* data, std::size_t length) {
    AudioDatagram a;
    a.valid = byteAt(data, length, 0) == kKindAudio;
    a.sequence = byteAt(data, length, 1);
    a.account = wordAt(data, length, 3);
    return a;
}

SupervisorQuery parseSupervisorQuery(const std::uint8_t* data, std::size_t length) {
    SupervisorQuery q;
    q.valid = byteAt(data, length, 0) == kKindAudio;
    q.echo = byteAt(data, length, 2);
    return q;
}

}  // namespace orvane::protocol
