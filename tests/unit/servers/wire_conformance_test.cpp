// The server against the client's own datagram code: what the client builds, the server
// recognises; what the server sends, the client reads as meant.
#include <gtest/gtest.h>

#include <cstring>

#include "protocol/datagrams.h"
#include "servers/voice/inbound.h"
#include "servers/voice/outbound.h"

namespace orvane::server {
namespace {

TEST(WireConformance, ServerRecognisesEveryClientDatagram) {
    std::uint8_t b[1024];
    std::size_t n = protocol::buildVoiceHello(b);
    EXPECT_EQ(parseVoicePortDatagram(b, n).kind, InboundKind::VoiceHello);
    n = protocol::buildControlHello(b);
    EXPECT_EQ(parseVoicePortDatagram(b, n).kind, InboundKind::ControlHello);
    for (auto v : {protocol::KeepaliveVariant::N, protocol::KeepaliveVariant::D, protocol::KeepaliveVariant::V}) {
        n = protocol::buildKeepalive(b, v, 0xBEEF, "1234567890123456", "0.7.6");
        Inbound in = parseVoicePortDatagram(b, n);
        EXPECT_EQ(in.kind, InboundKind::Keepalive);
        EXPECT_EQ(in.account, 0xBEEF);
    }
    std::uint8_t frame[1000];
    std::memset(frame, 0x33, sizeof frame);
    n = protocol::buildAudio(b, 200, 19704, frame);
    Inbound audio = parseVoicePortDatagram(b, n);
    EXPECT_EQ(audio.kind, InboundKind::Audio);
    EXPECT_EQ(audio.sequence, 200);
    EXPECT_EQ(audio.account, 19704);
    EXPECT_EQ(0, std::memcmp(audio.payload, frame, 1000));
    n = protocol::buildRosterPoll(b);
    EXPECT_EQ(parseControlPortDatagram(b, n).kind, InboundKind::RosterPoll);
    n = protocol::buildSupervisorQuery(b, -3);
    Inbound q = parseControlPortDatagram(b, n);
    EXPECT_EQ(q.kind, InboundKind::SupervisorQuery);
    EXPECT_EQ(q.echo, 0xFD);
}

TEST(WireConformance, ClientReadsWhatTheServerSends) {
    std::uint8_t d[1024];
    fillVoiceHeader(d, VoiceHeaderFields{'B', 77, 0xF0, 4321, 3});
    std::memset(d + 24, 0x5C, 1000);
    protocol::VoiceDatagram v = protocol::parseVoice(d, sizeof d);
    EXPECT_TRUE(v.isVoice);
    EXPECT_EQ(v.header.kind, 'B');
    EXPECT_EQ(v.header.sequence, 77);
    EXPECT_EQ(static_cast<std::uint8_t>(v.header.echo), 0xF0);
    EXPECT_EQ(v.header.account, 4321);
    EXPECT_EQ(v.header.load, 3);
    EXPECT_EQ(v.header.content, protocol::kContentAudio);

    std::uint16_t accounts[17];
    for (int i = 0; i < 17; ++i) accounts[i] = static_cast<std::uint16_t>(1000 + i);
    std::uint8_t r[kMaxRosterReplyBytes];
    std::size_t n = buildRosterReply(r, 10, accounts, 17);
    protocol::RosterReply rr = protocol::parseRosterReply(r, n);
    EXPECT_TRUE(rr.isRoster);
    EXPECT_EQ(rr.channel, 10);
    EXPECT_EQ(rr.count, 16);
    EXPECT_EQ(protocol::rosterEntry(r, n, 15), 1015);

    std::uint8_t s[3];
    buildSupervisorReply(s, kSupervisorClose);
    protocol::SupervisorReply sr = protocol::parseSupervisorReply(s, 3);
    EXPECT_TRUE(sr.isSupervisor);
    EXPECT_EQ(sr.code, protocol::kSupervisorClosing);
}

}  // namespace
}  // namespace orvane::server
