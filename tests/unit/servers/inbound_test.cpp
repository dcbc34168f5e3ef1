#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "servers/voice/inbound.h"
#include "servers/voice/outbound.h"

namespace orvane::server {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hello() { return {'T', '.', 'W', 'I', 'N', 0, 0, 0, 0}; }
Bytes keepaliveCommon(std::uint16_t account) {
    return {'R', '.', 0, static_cast<std::uint8_t>(account & 255), static_cast<std::uint8_t>(account >> 8), 0, 0, 0, 0};
}
Bytes append(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes audio(std::uint8_t seq, std::uint16_t account) {
    Bytes d(1024, 0);
    const char head[] = "A\x00\x02\x00\x00\x00NDOZ-UZI-Doder";
    std::memcpy(d.data(), head, 20);
    d[1] = seq;
    d[3] = account & 255;
    d[4] = account >> 8;
    d[24] = 0x5A;
    return d;
}

struct VoiceCase {
    const char* name;
    Bytes data;
    InboundKind kind;
    std::uint16_t account;
};

TEST(InboundParsing, VoicePortShapes) {
    Bytes kaN = append(keepaliveCommon(19704), Bytes{'N', 'W', 'I', 'N', '.', 'P', 'S', 'E', 'U', 'D', 'O', '.', 'W', 'I', 'N', '.', 0});
    Bytes kaV = append(keepaliveCommon(19704), Bytes{'V', '0', '7', '6', 2});
    Bytes badHello = hello();
    badHello[8] = 1;
    Bytes longAudio = audio(1, 1);
    longAudio.push_back(0);
    const VoiceCase cases[] = {
        {"voice hello", hello(), InboundKind::VoiceHello, 0},
        {"control hello", append(hello(), hello()), InboundKind::ControlHello, 0},
        {"hello with noise", badHello, InboundKind::Unknown, 0},
        {"keepalive N", kaN, InboundKind::Keepalive, 19704},
        {"keepalive V", kaV, InboundKind::Keepalive, 19704},
        {"keepalive account high byte", keepaliveCommon(0x1234), InboundKind::Keepalive, 0x1234},
        {"keepalive cut short", Bytes{'R', '.', 0, 1}, InboundKind::Unknown, 0},
        {"audio", audio(7, 513), InboundKind::Audio, 513},
        {"audio one byte long", longAudio, InboundKind::Unknown, 0},
        {"audio one byte short", Bytes(1023, 'A'), InboundKind::Unknown, 0},
        {"empty", Bytes{}, InboundKind::Unknown, 0},
        {"other kind", Bytes(1024, 'Z'), InboundKind::Unknown, 0},
    };
    for (const auto& c : cases) {
        Inbound in = parseVoicePortDatagram(c.data.data(), c.data.size());
        EXPECT_EQ(in.kind, c.kind) << c.name;
        EXPECT_EQ(in.account, c.account) << c.name;
    }
    Bytes a = audio(7, 513);
    Inbound in = parseVoicePortDatagram(a.data(), a.size());
    EXPECT_EQ(in.sequence, 7);
    EXPECT_EQ(in.payload, a.data() + 24);
}

TEST(InboundParsing, ControlPortShapes) {
    struct Case {
        Bytes data;
        InboundKind kind;
        std::uint8_t echo;
    } cases[] = {
        {{'L', 0, 0}, InboundKind::RosterPoll, 0},
        {{'A', 1, 0xC8}, InboundKind::SupervisorQuery, 0xC8},
        {{'A', 2, 5}, InboundKind::Unknown, 0},
        {{'A', 1}, InboundKind::Unknown, 0},
        {{'L'}, InboundKind::Unknown, 0},
        {{'X', 0, 0}, InboundKind::Unknown, 0},
    };
    for (const auto& c : cases) {
        Inbound in = parseControlPortDatagram(c.data.data(), c.data.size());
        EXPECT_EQ(in.kind, c.kind) << c.data.size();
        EXPECT_EQ(in.echo, c.echo);
    }
    EXPECT_EQ(parseControlPortDatagram(nullptr, 3).kind, InboundKind::Unknown);
}

TEST(Outbound, RosterReplyNeverListsMoreThanSixteen) {
    std::uint16_t accounts[20];
    for (int i = 0; i < 20; ++i) accounts[i] = static_cast<std::uint16_t>(0x0100 + i);
    std::uint8_t out[kMaxRosterReplyBytes + 8];
    std::memset(out, 0xEE, sizeof out);
    std::size_t n = buildRosterReply(out, 3, accounts, 20);
    EXPECT_EQ(n, 3u + 32u);
    EXPECT_EQ(out[0], 'L');
    EXPECT_EQ(out[1], 3);
    EXPECT_EQ(out[2], 16);
    EXPECT_EQ(out[3], 0x00);
    EXPECT_EQ(out[4], 0x01);
    EXPECT_EQ(out[3 + 2 * 15], 15);
    EXPECT_EQ(out[n], 0xEE);  // nothing written past the reply
}

}  // namespace
}  // namespace orvane::server
