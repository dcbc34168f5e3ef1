#pragma once
// Every datagram exchanged between the client and the voice server, in both directions, byte
// for byte. Builders write into a caller's buffer (never allocate) and return the length to
// send. Parsers take the received bytes and their count; any byte at or beyond the count reads
// as zero, so a short datagram can never expose bytes of an earlier one.
//
// Both the client and the reference voice server use this file.
#include <cstddef>
#include <cstdint>

namespace orvane::protocol {

// Receive buffers hold this many bytes; longer datagrams are cut by the socket.
inline constexpr std::size_t kDatagramCapacity = 1024;

inline constexpr std::size_t kVoiceHelloBytes = 9;
inline constexpr std::size_t kControlHelloBytes = 18;
inline constexpr std::size_t kKeepaliveCommonBytes = 9;
inline constexpr std::size_t kKeepaliveNBytes = 26;
inline constexpr std::size_t kKeepaliveDBytes = 27;
inline constexpr std::size_t kKeepaliveVBytes = 14;
inline constexpr std::size_t kAudioHeaderBytes = 24;
inline constexpr std::size_t kAudioPayloadBytes = 1000;
inline constexpr std::size_t kAudioDatagramBytes = kAudioHeaderBytes + kAudioPayloadBytes;
inline constexpr std::size_t kVoiceDatagramBytes = kAudioDatagramBytes;
inline constexpr std::size_t kRosterPollBytes = 3;
inline constexpr std::size_t kSupervisorQueryBytes = 3;
inline constexpr std::size_t kSupervisorReplyBytes = 3;
inline constexpr std::size_t kRosterReplyHeaderBytes = 3;
// The most account numbers a roster reply can carry in a 1024-byte read.
inline constexpr int kMaxRosterReplyEntries = (kDatagramCapacity - kRosterReplyHeaderBytes) / 2;

inline constexpr std::uint8_t kKindAudio = 'A';       // client audio, server voice, supervisor
inline constexpr std::uint8_t kKindVoiceB = 'B';      // server voice, attenuated on channel 10
inline constexpr std::uint8_t kKindRoster = 'L';      // roster poll and reply
inline constexpr std::uint8_t kKindKeepalive = 'R';   // "R." keepalive
inline constexpr std::uint8_t kKindHello = 'T';       // "T.WIN" hello

// Voice content codes (byte 7 of a server voice datagram).
inline constexpr std::uint8_t kContentSilence = 0;
inline constexpr std::uint8_t kContentAudio = 1;

// Supervisor reply codes.
inline constexpr std::uint8_t kSupervisorUpdateRequired = 220;
inline constexpr std::uint8_t kSupervisorClosing = 240;

// The tag every client audio datagram carries at offsets 7..19.
inline constexpr char kAudioTag[] = "DOZ-UZI-Doder";
inline constexpr char kHelloTag[] = "T.WIN";
inline constexpr char kPseudoTag[] = "NWIN.PSEUDO.WIN.";

enum class KeepaliveVariant : std::uint8_t { N, D, V };

// ---------------------------------------------------------------------------------------------
// Client -> server builders.

// "T.WIN" and four zeros (9 bytes).
std::size_t buildVoiceHello(std::uint8_t* out);
// The voice hello twice (18 bytes).
std::size_t buildControlHello(std::uint8_t* out);
// One keepalive variant (26, 27 or 14 bytes). `machineId` supplies up to 16 characters (fewer
// leave zeros); `versionText` its characters at positions 0, 2 and 4 (NUL-terminated text).
std::size_t buildKeepalive(std::uint8_t* out, KeepaliveVariant variant, std::uint16_t account,
                           const char* machineId, const char* versionText);
// The 24-byte audio header.
void writeAudioHeader(std::uint8_t* out, std::uint8_t sequence, std::uint16_t account);
// Header plus the 1000-byte frame (1024 bytes).
std::size_t buildAudio(std::uint8_t* out, std::uint8_t sequence, std::uint16_t account,
                       const std::uint8_t* frame);
// "L", 0, 0.
std::size_t buildRosterPoll(std::uint8_t* out);
// "A", 1, low byte of the echo value.
std::size_t buildSupervisorQuery(std::uint8_t* out, std::int32_t echo);

// ---------------------------------------------------------------------------------------------
// Server -> client builders (used by the reference server and by tests playing the server).

struct VoiceHeader {
    std::uint8_t kind = kKindAudio;  // 'A' or 'B'
    std::uint8_t sequence = 0;
    std::int8_t echo = 0;
    std::uint16_t account = 0;
    std::int8_t load = 0;
    std::uint8_t content = kContentAudio;
};

// The 24-byte voice header followed by `payload` (1000 bytes) when it is not null, giving 1024
// bytes; with a null payload only the header is written and 24 is returned.
std::size_t buildVoice(std::uint8_t* out, const VoiceHeader& header, const std::uint8_t* payload);
// "L", channel, count, then `count` account numbers low byte first. `count` is clipped to
// 0..kMaxRosterReplyEntries for the bytes written; the count byte carries the value given.
std::size_t buildRosterReply(std::uint8_t* out, std::int8_t channel, std::int8_t count,
                             const std::uint16_t* accounts);
// "A", 0, code.
std::size_t buildSupervisorReply(std::uint8_t* out, std::uint8_t code);

// ---------------------------------------------------------------------------------------------
// Parsers. All take the received bytes and their count and never read past the count.

// Byte i of a received datagram, zero at or beyond its length.
inline std::uint8_t byteAt(const std::uint8_t* data, std::size_t length, std::size_t i) {
    return i < length ? data[i] : 0;
}
// 16-bit value, low byte first, at offset i.
inline std::uint16_t wordAt(const std::uint8_t* data, std::size_t length, std::size_t i) {
    return static_cast<std::uint16_t>(byteAt(data, length, i) | (byteAt(data, length, i + 1) << 8));
}

// Server -> client voice datagram.
struct VoiceDatagram {
    bool isVoice = false;  // kind is 'A' or 'B'
    VoiceHeader header;
};
VoiceDatagram parseVoice(const std::uint8_t* data, std::size_t length);
// Copies the 1000-byte payload of a voice datagram into `slot`; bytes the datagram did not
// carry are written as zero.
void copyVoicePayload(const std::uint8_t* data, std::size_t length, std::uint8_t* slot);

// Server -> client roster reply: channel and count bytes as sent (both signed). The caller
// bounds them to its tables; entries beyond the received bytes read as zero (rosterEntry).
struct RosterReply {
    bool isRoster = false;
    std::int8_t channel = 0;
    std::int8_t count = 0;
};
RosterReply parseRosterReply(const std::uint8_t* data, std::size_t length);
// Account number i of a roster reply (zero when the datagram is too short to hold it).
inline std::uint16_t rosterEntry(const std::uint8_t* data, std::size_t length, int i) {
    return wordAt(data, length, kRosterReplyHeaderBytes + 2 * static_cast<std::size_t>(i));
}

// Server -> client supervisor reply.
struct SupervisorReply {
    bool isSupervisor = false;
    std::uint8_t code = 0;
};
SupervisorReply parseSupervisorReply(const std::uint8_t* data, std::size_t length);

// Client -> server datagrams, as the server sees them. The kind cannot tell an audio datagram
// from a supervisor query (both start with "A"); the server knows by the port it arrived on:
// hellos, keepalives and audio come to a channel port, roster polls and supervisor queries to
// a control port.
enum class ClientDatagramKind : std::uint8_t {
    Unknown,
    Hello,       // "T.WIN" (voice hello 9 bytes, control hello 18)
    Keepalive,   // "R."
    Audio,       // "A" on a channel port
    RosterPoll,  // "L" on a control port
    SupervisorQuery,  // "A" on a control port
};
ClientDatagramKind classifyChannelDatagram(const std::uint8_t* data, std::size_t length);
ClientDatagramKind classifyControlDatagram(const std::uint8_t* data, std::size_t length);

struct Keepalive {
    bool valid = false;
    KeepaliveVariant variant = KeepaliveVariant::N;
    std::uint16_t account = 0;
    char machineId[17] = {};   // variant D: the 16 characters, NUL-terminated
    char version[4] = {};      // variant V: the three version characters, NUL-terminated
};
Keepalive parseKeepalive(const std::uint8_t* data, std::size_t length);

struct AudioDatagram {
    bool valid = false;  // starts with "A"
    std::uint8_t sequence = 0;
    std::uint16_t account = 0;
};
// The header fields; the payload is copied with copyVoicePayload (same offsets).
AudioDatagram parseAudio(const std::uint8_t* data, std::size_t length);

struct SupervisorQuery {
    bool valid = false;
    std::uint8_t echo = 0;
};
SupervisorQuery parseSupervisorQuery(const std::uint8_t* data, std::size_t length);

}  // namespace orvane::protocol
