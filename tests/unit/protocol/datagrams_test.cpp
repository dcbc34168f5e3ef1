#include "protocol/datagrams.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace orvane::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes concat(Bytes head, const std::string& text, Bytes tail = {}) {
    head.insert(head.end(), text.begin(), text.end());
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

TEST(DatagramBuilders, ClientDatagramsMatchTheWireLayout) {
    std::array<std::uint8_t, kDatagramCapacity> buf;
    const std::array<std::uint8_t, kAudioPayloadBytes> frame{};
    const Bytes hello{0x54, 0x2E, 0x57, 0x49, 0x4E, 0, 0, 0, 0};
    const struct {
        const char* name;
        std::size_t (*build)(std::uint8_t*, const std::uint8_t*);
        Bytes expected;
    } cases[] = {
        {"voice hello", [](std::uint8_t* o, const std::uint8_t*) { return buildVoiceHello(o); }, hello},
        {"control hello", [](std::uint8_t* o, const std::uint8_t*) { return buildControlHello(o); },
         concat(hello, "T.WIN", {0, 0, 0, 0})},
        {"keepalive V",
         [](std::uint8_t* o, const std::uint8_t*) {
             return buildKeepalive(o, KeepaliveVariant::V, 19704, "1234567890123456", "0.7.6");
         },
         {0x52, 0x2E, 0x00, 0xF8, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x56, 0x30, 0x37, 0x36, 0x02}},
        {"keepalive N",
         [](std::uint8_t* o, const std::uint8_t*) { return buildKeepalive(o, KeepaliveVariant::N, 0x1234, "", ""); },
         concat({0x52, 0x2E, 0, 0x34, 0x12, 0, 0, 0, 0}, "NWIN.PSEUDO.WIN.", {0})},
        {"keepalive D",
         [](std::uint8_t* o, const std::uint8_t*) {
             return buildKeepalive(o, KeepaliveVariant::D, 19704, "0000000000000042", "0.7.6");
         },
         concat({0x52, 0x2E, 0, 0xF8, 0x4C, 0, 0, 0, 0, 'D'}, "0000000000000042", {0})},
        {"keepalive D, short machine id",
         [](std::uint8_t* o, const std::uint8_t*) { return buildKeepalive(o, KeepaliveVariant::D, 1, "12", ""); },
         concat({0x52, 0x2E, 0, 1, 0, 0, 0, 0, 0, 'D', '1', '2'}, std::string(15, '\0'))},
        {"first audio header",
         [](std::uint8_t* o, const std::uint8_t* f) { return buildAudio(o, 1, 19704, f) - kAudioPayloadBytes; },
         {0x41, 0x01, 0x02, 0xF8, 0x4C, 0x00, 0x4E, 0x44, 0x4F, 0x5A, 0x2D, 0x55,
          0x5A, 0x49, 0x2D, 0x44, 0x6F, 0x64, 0x65, 0x72, 0x00, 0x00, 0x00, 0x00}},
        {"roster poll", [](std::uint8_t* o, const std::uint8_t*) { return buildRosterPoll(o); }, {0x4C, 0, 0}},
        {"supervisor query, negative echo",
         [](std::uint8_t* o, const std::uint8_t*) { return buildSupervisorQuery(o, -3); }, {0x41, 1, 0xFD}},
        {"supervisor query, low byte only",
         [](std::uint8_t* o, const std::uint8_t*) { return buildSupervisorQuery(o, 0x1234); }, {0x41, 1, 0x34}},
    };
    for (const auto& c : cases) {
        buf.fill(0xAA);  // a builder must write every byte it claims
        std::size_t n = c.build(buf.data(), frame.data());
        EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n), c.expected) << c.name;
    }
}

TEST(DatagramParsers, VoiceHeaderSurvivesBuildAndParse) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    std::array<std::uint8_t, kAudioPayloadBytes> payload;
    payload.fill(0x5A);
    VoiceHeader h;
    h.kind = 'B';
    h.sequence = 200;
    h.echo = -7;
    h.account = 0xBEEF;
    h.load = -1;
    ASSERT_EQ(buildVoice(buf.data(), h, payload.data()), 1024u);
    VoiceDatagram v = parseVoice(buf.data(), 1024);
    EXPECT_TRUE(v.isVoice);
    EXPECT_EQ(v.header.kind, 'B');
    EXPECT_EQ(v.header.sequence, 200);
    EXPECT_EQ(v.header.echo, -7);
    EXPECT_EQ(v.header.account, 0xBEEF);
    EXPECT_EQ(v.header.load, -1);
    EXPECT_EQ(v.header.content, 1);
    EXPECT_EQ(buf[24], 0x5A);
    EXPECT_EQ(buildVoice(buf.data(), h, nullptr), 24u);
}

TEST(DatagramParsers, BytesBeyondTheReceivedLengthReadAsZero) {
    // A buffer full of stale bytes from an earlier datagram; only the first bytes are new.
    std::array<std::uint8_t, kDatagramCapacity> buf;
    buf.fill(0x77);
    buf[0] = 'A';
    buf[1] = 9;
    buf[2] = 0x80;
    VoiceDatagram v = parseVoice(buf.data(), 3);
    EXPECT_TRUE(v.isVoice);
    EXPECT_EQ(v.header.echo, -128);
    EXPECT_EQ(v.header.account, 0);
    EXPECT_EQ(v.header.load, 0);
    EXPECT_EQ(v.header.content, 0);
    EXPECT_FALSE(parseVoice(buf.data(), 0).isVoice);
    EXPECT_EQ(parseSupervisorReply(buf.data(), 2).code, 0);

    buf[0] = 'L';
    RosterReply r = parseRosterReply(buf.data(), 2);
    EXPECT_TRUE(r.isRoster);
    EXPECT_EQ(r.channel, 9);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(rosterEntry(buf.data(), 4, 0), 0x0077);  // one of its two bytes arrived
    EXPECT_EQ(rosterEntry(buf.data(), 5, 1), 0);

    std::array<std::uint8_t, kAudioPayloadBytes> slot;
    slot.fill(0xEE);
    copyVoicePayload(buf.data(), 30, slot.data());
    for (std::size_t i = 0; i < slot.size(); ++i) ASSERT_EQ(slot[i], i < 6 ? 0x77 : 0) << i;
}

TEST(DatagramParsers, ServerSideReadsWhatTheClientBuilds) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    std::array<std::uint8_t, kAudioPayloadBytes> frame{};

    EXPECT_EQ(classifyChannelDatagram(buf.data(), buildVoiceHello(buf.data())), ClientDatagramKind::Hello);
    EXPECT_EQ(classifyChannelDatagram(buf.data(), buildControlHello(buf.data())), ClientDatagramKind::Hello);
    std::size_t n = buildAudio(buf.data(), 77, 4242, frame.data());
    EXPECT_EQ(classifyChannelDatagram(buf.data(), n), ClientDatagramKind::Audio);
    AudioDatagram a = parseAudio(buf.data(), n);
    EXPECT_EQ(a.sequence, 77);
    EXPECT_EQ(a.account, 4242);

    const struct {
        KeepaliveVariant variant;
        const char* machineId;
        const char* version;
    } keepalives[] = {{KeepaliveVariant::N, "", ""},
                      {KeepaliveVariant::D, "9999999999999999", ""},
                      {KeepaliveVariant::V, "", "076"}};
    for (const auto& c : keepalives) {
        n = buildKeepalive(buf.data(), c.variant, 555, "9999999999999999", "0.7.6");
        EXPECT_EQ(classifyChannelDatagram(buf.data(), n), ClientDatagramKind::Keepalive);
        Keepalive k = parseKeepalive(buf.data(), n);
        EXPECT_TRUE(k.valid);
        EXPECT_EQ(k.variant, c.variant);
        EXPECT_EQ(k.account, 555);
        EXPECT_STREQ(k.machineId, c.machineId);
        EXPECT_STREQ(k.version, c.version);
    }

    EXPECT_EQ(classifyControlDatagram(buf.data(), buildRosterPoll(buf.data())), ClientDatagramKind::RosterPoll);
    n = buildSupervisorQuery(buf.data(), 200);
    EXPECT_EQ(classifyControlDatagram(buf.data(), n), ClientDatagramKind::SupervisorQuery);
    EXPECT_EQ(parseSupervisorQuery(buf.data(), n).echo, 200);

    const std::uint16_t accounts[] = {19704, 0x0102};
    n = buildRosterReply(buf.data(), -1, 2, accounts);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + n), (Bytes{0x4C, 0xFF, 2, 0xF8, 0x4C, 0x02, 0x01}));
    EXPECT_EQ(buildRosterReply(buf.data(), 3, -5, accounts), 3u);

    const std::uint8_t junk[] = {'Z', 1, 2};
    EXPECT_EQ(classifyChannelDatagram(junk, 3), ClientDatagramKind::Unknown);
    EXPECT_EQ(classifyControlDatagram(junk, 3), ClientDatagramKind::Unknown);
    EXPECT_EQ(classifyChannelDatagram(junk, 0), ClientDatagramKind::Unknown);
    EXPECT_FALSE(parseKeepalive(junk, 3).valid);
}

}  // namespace
}  // namespace orvane::protocol
