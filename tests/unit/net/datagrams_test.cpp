#include "net/datagrams.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace orvane::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::uint8_t* p, std::size_t n) { return Bytes(p, p + n); }

TEST(DatagramBuilders, ClientDatagramsMatchTheWireLayout) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    buf.fill(0xAA);  // builders must write every byte they claim

    struct Case {
        const char* name;
        std::size_t length;
        Bytes expected;
    };
    std::vector<Case> cases;

    std::size_t n = buildVoiceHello(buf.data());
    cases.push_back({"voice hello", n, {0x54, 0x2E, 0x57, 0x49, 0x4E, 0, 0, 0, 0}});
    EXPECT_EQ(bytesOf(buf.data(), n), cases.back().expected);

    n = buildControlHello(buf.data());
    EXPECT_EQ(bytesOf(buf.data(), n),
              (Bytes{0x54, 0x2E, 0x57, 0x49, 0x4E, 0, 0, 0, 0, 0x54, 0x2E, 0x57, 0x49, 0x4E, 0, 0, 0, 0}));

    buf.fill(0xAA);
    n = buildKeepalive(buf.data(), KeepaliveVariant::V, 19704, "1234567890123456", "0.7.6");
    EXPECT_EQ(bytesOf(buf.data(), n),
              (Bytes{0x52, 0x2E, 0x00, 0xF8, 0x4C, 0x00, 0x00, 0x00, 0x00, 0x56, 0x30, 0x37, 0x36, 0x02}));

    buf.fill(0xAA);
    n = buildKeepalive(buf.data(), KeepaliveVariant::N, 0x1234, "", "0.7.6");
    Bytes expectN{0x52, 0x2E, 0x00, 0x34, 0x12, 0, 0, 0, 0};
    for (char c : std::string("NWIN.PSEUDO.WIN.")) expectN.push_back(static_cast<std::uint8_t>(c));
    expectN.push_back(0);
    EXPECT_EQ(bytesOf(buf.data(), n), expectN);

    buf.fill(0xAA);
    n = buildKeepalive(buf.data(), KeepaliveVariant::D, 19704, "0000000000000042", "0.7.6");
    Bytes expectD{0x52, 0x2E, 0x00, 0xF8, 0x4C, 0, 0, 0, 0, 'D'};
    for (char c : std::string("0000000000000042")) expectD.push_back(static_cast<std::uint8_t>(c));
    expectD.push_back(0);
    EXPECT_EQ(bytesOf(buf.data(), n), expectD);

    n = buildRosterPoll(buf.data());
    EXPECT_EQ(bytesOf(buf.data(), n), (Bytes{0x4C, 0, 0}));
    n = buildSupervisorQuery(buf.data(), -3);
    EXPECT_EQ(bytesOf(buf.data(), n), (Bytes{0x41, 1, 0xFD}));
    n = buildSupervisorQuery(buf.data(), 0x1234);
    EXPECT_EQ(bytesOf(buf.data(), n), (Bytes{0x41, 1, 0x34}));
}

TEST(DatagramBuilders, KeepaliveDWithShortMachineIdPadsWithZeros) {
    std::array<std::uint8_t, kDatagramCapacity> buf;
    buf.fill(0xAA);
    std::size_t n = buildKeepalive(buf.data(), KeepaliveVariant::D, 1, "12", "0.7.6");
    ASSERT_EQ(n, kKeepaliveDBytes);
    EXPECT_EQ(buf[10], '1');
    EXPECT_EQ(buf[11], '2');
    for (std::size_t i = 12; i < n; ++i) EXPECT_EQ(buf[i], 0) << i;
}

TEST(DatagramBuilders, FirstAudioDatagramHeaderAndPayload) {
    std::array<std::uint8_t, kAudioPayloadBytes> frame;
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
    std::array<std::uint8_t, kDatagramCapacity> buf;
    buf.fill(0xAA);
    ASSERT_EQ(buildAudio(buf.data(), 1, 19704, frame.data()), 1024u);
    const Bytes header{0x41, 0x01, 0x02, 0xF8, 0x4C, 0x00, 0x4E, 0x44, 0x4F, 0x5A, 0x2D, 0x55,
                       0x5A, 0x49, 0x2D, 0x44, 0x6F, 0x64, 0x65, 0x72, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(bytesOf(buf.data(), 24), header);
    EXPECT_EQ(0, std::memcmp(buf.data() + 24, frame.data(), frame.size()));
}

TEST(DatagramRoundTrip, VoiceHeaderSurvivesBuildAndParse) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    std::array<std::uint8_t, kAudioPayloadBytes> payload;
    payload.fill(0x5A);
    VoiceHeader h;
    h.kind = 'B';
    h.sequence = 200;
    h.echo = -7;
    h.account = 0xBEEF;
    h.load = -1;
    h.content = 1;
    ASSERT_EQ(buildVoice(buf.data(), h, payload.data()), 1024u);
    VoiceDatagram v = parseVoice(buf.data(), 1024);
    EXPECT_TRUE(v.isVoice);
    EXPECT_EQ(v.header.kind, 'B');
    EXPECT_EQ(v.header.sequence, 200);
    EXPECT_EQ(v.header.echo, -7);
    EXPECT_EQ(v.header.account, 0xBEEF);
    EXPECT_EQ(v.header.load, -1);
    EXPECT_EQ(v.header.content, 1);
    EXPECT_EQ(buildVoice(buf.data(), h, nullptr), 24u);
}

TEST(DatagramParsers, BytesBeyondTheReceivedLengthReadAsZero) {
    // A buffer full of stale bytes from an earlier datagram; only 3 bytes were received now.
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
    SupervisorReply s = parseSupervisorReply(buf.data(), 2);
    EXPECT_TRUE(s.isSupervisor);
    EXPECT_EQ(s.code, 0);

    buf[0] = 'L';
    RosterReply r = parseRosterReply(buf.data(), 2);
    EXPECT_TRUE(r.isRoster);
    EXPECT_EQ(r.channel, 9);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(rosterEntry(buf.data(), 4, 0), 0x0077);  // one of the two bytes arrived
    EXPECT_EQ(rosterEntry(buf.data(), 5, 0), 0x7777);
    EXPECT_EQ(rosterEntry(buf.data(), 5, 1), 0);
}

TEST(DatagramParsers, ShortVoicePayloadIsZeroFilled) {
    std::array<std::uint8_t, kDatagramCapacity> buf;
    buf.fill(0x11);
    std::array<std::uint8_t, kAudioPayloadBytes> slot;
    for (std::size_t length : {std::size_t{0}, std::size_t{24}, std::size_t{30}, std::size_t{1024}}) {
        slot.fill(0xEE);
        copyVoicePayload(buf.data(), length, slot.data());
        std::size_t have = length > 24 ? length - 24 : 0;
        for (std::size_t i = 0; i < slot.size(); ++i)
            ASSERT_EQ(slot[i], i < have ? 0x11 : 0) << "length " << length << " byte " << i;
    }
}

TEST(DatagramParsers, RosterReplyRoundTripSignedFields) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    const std::uint16_t accounts[] = {19704, 0x0102};
    std::size_t n = buildRosterReply(buf.data(), 3, 2, accounts);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(bytesOf(buf.data(), n), (Bytes{0x4C, 3, 2, 0xF8, 0x4C, 0x02, 0x01}));
    RosterReply r = parseRosterReply(buf.data(), n);
    EXPECT_EQ(r.channel, 3);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(rosterEntry(buf.data(), n, 0), 19704);
    EXPECT_EQ(rosterEntry(buf.data(), n, 1), 0x0102);

    n = buildRosterReply(buf.data(), -1, -5, accounts);
    EXPECT_EQ(n, 3u);
    r = parseRosterReply(buf.data(), n);
    EXPECT_EQ(r.channel, -1);
    EXPECT_EQ(r.count, -5);
}

TEST(DatagramParsers, ServerSideClassifiesAndReadsClientDatagrams) {
    std::array<std::uint8_t, kDatagramCapacity> buf{};
    std::array<std::uint8_t, kAudioPayloadBytes> frame{};

    std::size_t n = buildVoiceHello(buf.data());
    EXPECT_EQ(classifyChannelDatagram(buf.data(), n), ClientDatagramKind::Hello);
    n = buildControlHello(buf.data());
    EXPECT_EQ(classifyChannelDatagram(buf.data(), n), ClientDatagramKind::Hello);

    n = buildAudio(buf.data(), 77, 4242, frame.data());
    EXPECT_EQ(classifyChannelDatagram(buf.data(), n), ClientDatagramKind::Audio);
    AudioDatagram a = parseAudio(buf.data(), n);
    EXPECT_TRUE(a.valid);
    EXPECT_EQ(a.sequence, 77);
    EXPECT_EQ(a.account, 4242);

    struct KeepaliveCase {
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

    n = buildRosterPoll(buf.data());
    EXPECT_EQ(classifyControlDatagram(buf.data(), n), ClientDatagramKind::RosterPoll);
    n = buildSupervisorQuery(buf.data(), 200);
    EXPECT_EQ(classifyControlDatagram(buf.data(), n), ClientDatagramKind::SupervisorQuery);
    EXPECT_EQ(parseSupervisorQuery(buf.data(), n).echo, 200);

    const std::uint8_t junk[] = {'Z', 1, 2};
    EXPECT_EQ(classifyChannelDatagram(junk, 3), ClientDatagramKind::Unknown);
    EXPECT_EQ(classifyControlDatagram(junk, 3), ClientDatagramKind::Unknown);
    EXPECT_EQ(classifyChannelDatagram(junk, 0), ClientDatagramKind::Unknown);
    EXPECT_FALSE(parseKeepalive(junk, 3).valid);
}

}  // namespace
}  // namespace orvane::net
