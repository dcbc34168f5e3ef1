#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "servers/voice/outbound.h"
#include "servers/voice/voice_server_core.h"
#include "tests/unit/servers/recording_outbox.h"

namespace orvane::server {
namespace {

using test::RecordingLog;
using test::RecordingOutbox;
using test::Sent;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kHost = 0x7F000001u;

Bytes voiceHello() { return {'T', '.', 'W', 'I', 'N', 0, 0, 0, 0}; }
Bytes controlHello() {
    Bytes h = voiceHello();
    Bytes twice = h;
    twice.insert(twice.end(), h.begin(), h.end());
    return twice;
}
Bytes keepalive(std::uint16_t account) {
    return {'R', '.', 0, static_cast<std::uint8_t>(account & 255), static_cast<std::uint8_t>(account >> 8),
            0, 0, 0, 0, 'V', '0', '7', '6', 2};
}
Bytes audio(std::uint8_t seq, std::uint16_t account, std::uint8_t fill) {
    Bytes d(1024, fill);
    std::memset(d.data(), 0, 24);
    d[0] = 'A';
    d[1] = seq;
    d[2] = 2;
    d[3] = account & 255;
    d[4] = account >> 8;
    return d;
}

// A simulated client: its voice and control endpoints and the datagrams it would send.
struct FakeClient {
    Endpoint voice;
    Endpoint control;
    std::uint16_t account;
    int channel;
    std::uint8_t seq = 1;
};

class VoiceServerCoreTest : public ::testing::Test {
protected:
    VoiceServerCoreTest() { core = std::make_unique<VoiceServerCore>(out, log, config()); }
    static ServerConfig config() {
        ServerConfig c;
        c.presenceTimeoutMs = 3000;
        c.talkEndMs = 300;
        return c;
    }

    FakeClient start(std::uint16_t account, int channel, std::uint16_t port) {
        FakeClient c{{kHost, port}, {kHost, static_cast<std::uint16_t>(port + 1)}, account, channel};
        voicePort(c.channel, c.voice, voiceHello());
        voicePort(c.channel, c.control, controlHello());
        voicePort(c.channel, c.voice, keepalive(account));
        return c;
    }
    void voicePort(int channel, const Endpoint& from, const Bytes& d) {
        core->onVoicePort(channel, from, d.data(), d.size(), now);
    }
    void controlPort(int channel, const Endpoint& from, const Bytes& d) {
        core->onControlPort(channel, from, d.data(), d.size(), now);
    }
    void talk(FakeClient& c, std::uint8_t fill = 0x11) {
        voicePort(c.channel, c.voice, audio(c.seq, c.account, fill));
        c.seq = c.seq == 255 ? 1 : c.seq + 1;
    }
    Bytes roster(int channel, const FakeClient& asker) {
        out.sent.clear();
        controlPort(channel, asker.control, {'L', 0, 0});
        EXPECT_EQ(out.sent.size(), 1u);
        return out.sent.empty() ? Bytes{} : out.sent.back().bytes;
    }
    std::uint8_t supervisor(const FakeClient& c, std::uint8_t echo = 0) {
        out.sent.clear();
        controlPort(c.channel, c.control, {'A', 1, echo});
        EXPECT_EQ(out.sent.size(), 1u);
        if (out.sent.empty()) return 0xFF;
        EXPECT_EQ(out.sent[0].to, c.control);
        EXPECT_EQ(out.sent[0].bytes.size(), 3u);
        return out.sent[0].bytes[2];
    }
    void order(const char* text) {
        char reply[256];
        core->handleOrder(text, std::strlen(text), reply, sizeof reply);
        ASSERT_STREQ(reply, "ok\n") << text;
    }

    RecordingOutbox out;
    RecordingLog log;
    std::unique_ptr<VoiceServerCore> core;
    std::int64_t now = 5000;
};

TEST_F(VoiceServerCoreTest, RelaysToEveryOtherClientOfTheChannelOnly) {
    FakeClient a = start(101, 2, 40000), b = start(102, 2, 40010), c = start(103, 2, 40020);
    FakeClient other = start(104, 3, 40030);
    out.sent.clear();
    talk(a, 0x42);
    ASSERT_EQ(out.sent.size(), 2u);
    for (const Endpoint& e : {b.voice, c.voice}) {
        auto got = out.to(e);
        ASSERT_EQ(got.size(), 1u);
        const Bytes& d = got[0].bytes;
        ASSERT_EQ(d.size(), 1024u);
        EXPECT_EQ(got[0].channel, 2);
        EXPECT_EQ(d[0], 'A');
        EXPECT_EQ(d[3] | (d[4] << 8), 101);
        EXPECT_LE(d[5], 4);
        EXPECT_EQ(d[7], 1);
        EXPECT_EQ(Bytes(d.begin() + 24, d.end()), Bytes(1000, 0x42));
    }
    EXPECT_TRUE(out.to(a.voice).empty());
    EXPECT_TRUE(out.to(other.voice).empty());
}

TEST_F(VoiceServerCoreTest, EachListenerGetsItsOwnSequenceAndEchoByte) {
    FakeClient a = start(1, 0, 40000), b = start(2, 0, 40010), c = start(3, 0, 40020);
    out.sent.clear();
    for (int i = 0; i < 300; ++i) talk(i % 2 ? c : a);  // two talkers taking turns
    std::uint8_t last = 0;
    int count = 0;
    std::uint8_t echo = 0;
    for (const Sent& s : out.to(b.voice)) {
        EXPECT_NE(s.bytes[1], 0);
        EXPECT_NE(s.bytes[1], last) << "the client would drop this as a duplicate";
        EXPECT_EQ(s.bytes[1], last == 255 ? 1 : last + 1) << count;
        last = s.bytes[1];
        echo = s.bytes[2];
        ++count;
    }
    EXPECT_EQ(count, 300);
    EXPECT_NE(echo, 0);
    EXPECT_NE(echo, out.to(a.voice).back().bytes[2]);
}

TEST_F(VoiceServerCoreTest, DropsAudioRepeatingTheTalkersSequence) {
    FakeClient a = start(1, 0, 40000), b = start(2, 0, 40010);
    out.sent.clear();
    Bytes d = audio(9, 1, 0);
    voicePort(0, a.voice, d);
    voicePort(0, a.voice, d);
    EXPECT_EQ(out.to(b.voice).size(), 1u);
    EXPECT_EQ(core->stats().duplicates, 1u);
}

TEST_F(VoiceServerCoreTest, RosterListsDistinctAccountsAtMostSixteen) {
    std::vector<FakeClient> clients;
    for (int i = 0; i < 20; ++i) clients.push_back(start(static_cast<std::uint16_t>(500 + i), 6, static_cast<std::uint16_t>(41000 + 2 * i)));
    start(500, 6, 42000);  // a second client with an account already listed
    start(999, 7, 42010);
    Bytes r = roster(6, clients[0]);
    ASSERT_EQ(r.size(), 3u + 32u);
    EXPECT_EQ(r[0], 'L');
    EXPECT_EQ(r[1], 6);
    EXPECT_EQ(r[2], 16);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r[3 + 2 * i] | (r[4 + 2 * i] << 8), 500 + i);

    // A poll on 31000 + n is about channel n, whoever asks.
    Bytes r7 = roster(7, clients[0]);
    ASSERT_EQ(r7.size(), 5u);
    EXPECT_EQ(r7[1], 7);
    EXPECT_EQ(r7[3] | (r7[4] << 8), 999);
    EXPECT_EQ(roster(0, clients[0]), (Bytes{'L', 0, 0}));
}

TEST_F(VoiceServerCoreTest, SilentClientLeavesAfterTheTimeOut) {
    FakeClient a = start(11, 1, 40000), b = start(12, 1, 40010);
    now += 2000;
    voicePort(1, a.voice, keepalive(11));
    core->tick(now);
    EXPECT_EQ(roster(1, a)[2], 2);
    now += 1500;  // b silent for 3.5 s, a for 1.5 s
    core->tick(now);
    Bytes r = roster(1, a);
    ASSERT_EQ(r[2], 1);
    EXPECT_EQ(r[3] | (r[4] << 8), 11);
    EXPECT_TRUE(log.has("leave channel 1 account 12"));
    out.sent.clear();
    talk(a);
    EXPECT_TRUE(out.to(b.voice).empty());
}

TEST_F(VoiceServerCoreTest, KeepaliveOnAnotherChannelMovesTheClient) {
    FakeClient a = start(21, 4, 40000), b = start(22, 4, 40010), c = start(23, 5, 40020);
    voicePort(5, b.voice, keepalive(22));
    out.sent.clear();
    talk(a);
    EXPECT_TRUE(out.sent.empty());
    a.channel = 5;
    talk(a);
    EXPECT_EQ(out.to(b.voice).size(), 1u);
    EXPECT_EQ(out.to(c.voice).size(), 1u);
    EXPECT_EQ(roster(4, a)[2], 0);
    EXPECT_EQ(roster(5, a)[2], 3);
}

TEST_F(VoiceServerCoreTest, LogsJoinTalkAndLeave) {
    FakeClient a = start(31, 2, 40000);
    start(32, 2, 40010);
    talk(a);
    talk(a);
    now += 200;
    core->tick(now);
    EXPECT_FALSE(log.has("talk stop"));
    now += 200;
    core->tick(now);
    now += 4000;
    core->tick(now);
    EXPECT_TRUE(log.has("join channel 2 account 31"));
    EXPECT_TRUE(log.has("talk start channel 2 account 31"));
    EXPECT_TRUE(log.has("talk stop channel 2 account 31 blocks 2"));
    EXPECT_TRUE(log.has("leave channel 2 account 31"));
    EXPECT_EQ(core->clients().count(), 0);
}

TEST_F(VoiceServerCoreTest, CloseOrderReachesOnlyThatAccountsControlSocket) {
    FakeClient a = start(41, 0, 40000), b = start(42, 0, 40010);
    EXPECT_EQ(supervisor(b), kSupervisorNeutral);
    order("close account 42");
    EXPECT_EQ(supervisor(a), kSupervisorNeutral);
    EXPECT_EQ(supervisor(b), kSupervisorClose);
    EXPECT_EQ(supervisor(b), kSupervisorClose);  // asked again before it closed
    // Once that client is gone the order is over: the user may come back.
    for (int i = 0; i < 8; ++i) {
        now += 500;
        voicePort(0, a.voice, keepalive(41));
        core->tick(now);
    }
    EXPECT_TRUE(log.has("close order for account 42 done"));
    FakeClient again = start(42, 0, 40050);
    EXPECT_EQ(supervisor(again), kSupervisorNeutral);
}

TEST_F(VoiceServerCoreTest, UpdateOrdersForOneAccountOrForEveryone) {
    FakeClient a = start(51, 0, 40000), b = start(52, 3, 40010);
    order("require update account 51");
    EXPECT_EQ(supervisor(a), kSupervisorUpdate);
    EXPECT_EQ(supervisor(b), kSupervisorNeutral);
    order("require update");
    EXPECT_EQ(supervisor(b), kSupervisorUpdate);
    FakeClient stranger{{0x0A000001u, 5000}, {0x0A000001u, 5001}, 0, 0};
    EXPECT_EQ(supervisor(stranger), kSupervisorUpdate);
    order("cancel all");
    EXPECT_EQ(supervisor(a), kSupervisorNeutral);
}

// Two clients on one address whose hellos were not seen (server restarted under them): the
// echo byte each received tells their control sockets apart.
TEST_F(VoiceServerCoreTest, PlacesAControlSocketByItsEchoByte) {
    FakeClient a{{kHost, 40000}, {kHost, 40001}, 61, 0}, b{{kHost, 40010}, {kHost, 40011}, 62, 0};
    voicePort(0, a.voice, keepalive(61));
    voicePort(0, b.voice, keepalive(62));
    order("close account 62");
    EXPECT_EQ(supervisor(b, 0), kSupervisorNeutral);  // no echo byte yet: cannot tell
    out.sent.clear();
    talk(a);
    std::uint8_t echoOfB = out.to(b.voice).at(0).bytes[2];
    EXPECT_EQ(supervisor(b, echoOfB), kSupervisorClose);
    EXPECT_EQ(supervisor(b, 0), kSupervisorClose);  // from now on known by its port
    EXPECT_EQ(supervisor(a, 0), kSupervisorNeutral);
}

TEST_F(VoiceServerCoreTest, PlacesAControlSocketByAddressWhenItIsTheOnlyClientThere) {
    FakeClient a{{0x0A000002u, 40000}, {0x0A000002u, 40001}, 71, 0};
    start(72, 0, 40010);
    voicePort(0, a.voice, keepalive(71));
    order("close account 71");
    EXPECT_EQ(supervisor(a), kSupervisorClose);
}

TEST_F(VoiceServerCoreTest, HelloPairingSurvivesInterleavedStarts) {
    // Two clients of one address start together: voice hellos, then control hellos, each
    // control hello right behind its own voice hello.
    FakeClient a{{kHost, 40000}, {kHost, 40001}, 81, 0}, b{{kHost, 40010}, {kHost, 40011}, 82, 0};
    voicePort(0, a.voice, voiceHello());
    voicePort(0, a.control, controlHello());
    voicePort(0, b.voice, voiceHello());
    voicePort(0, b.control, controlHello());
    voicePort(0, a.voice, keepalive(81));
    voicePort(0, b.voice, keepalive(82));
    order("close account 81");
    EXPECT_EQ(supervisor(a), kSupervisorClose);
    EXPECT_EQ(supervisor(b), kSupervisorNeutral);
}

TEST_F(VoiceServerCoreTest, MarkedTalkerIsKindBOnChannelTenOnly) {
    FakeClient t10 = start(91, 10, 40000), l10 = start(92, 10, 40010);
    FakeClient t9 = start(91, 9, 40020), l9 = start(93, 9, 40030);
    order("mark account 91");
    out.sent.clear();
    talk(t10);
    talk(t9);
    EXPECT_EQ(out.to(l10.voice).at(0).bytes[0], 'B');
    EXPECT_EQ(out.to(l9.voice).at(0).bytes[0], 'A');
    order("unmark account 91");
    out.sent.clear();
    talk(t10);
    EXPECT_EQ(out.to(l10.voice).at(0).bytes[0], 'A');
}

TEST_F(VoiceServerCoreTest, LoadCodeFollowsTheRelayRate) {
    EXPECT_EQ(LoadMeter::codeForRate(0), 0);
    EXPECT_EQ(LoadMeter::codeForRate(1999), 0);
    EXPECT_EQ(LoadMeter::codeForRate(2000), 1);
    EXPECT_EQ(LoadMeter::codeForRate(5280), 2);
    EXPECT_EQ(LoadMeter::codeForRate(8000), 3);
    EXPECT_EQ(LoadMeter::codeForRate(100000), 4);

    std::vector<FakeClient> listeners;
    FakeClient t = start(1, 0, 40000);
    for (int i = 0; i < 15; ++i) listeners.push_back(start(static_cast<std::uint16_t>(2 + i), 0, static_cast<std::uint16_t>(40100 + 2 * i)));
    core->tick(now);
    for (int i = 0; i < 300; ++i) talk(t);  // 4500 relayed within one second
    now += 1000;
    core->tick(now);
    EXPECT_EQ(core->loadCode(), 2);
    out.sent.clear();
    talk(t);
    EXPECT_EQ(out.sent.at(0).bytes[5], 2);
    now += 1000;
    core->tick(now);
    EXPECT_EQ(core->loadCode(), 0);
}

TEST_F(VoiceServerCoreTest, AFullTableRefusesNewcomersButServesThosePresent) {
    FakeClient a = start(1, 0, 1);
    FakeClient b = start(2, 0, 3);
    for (int i = 2; i < kMaxClients; ++i) voicePort(1, {0x0A000000u + static_cast<std::uint32_t>(i), 9}, keepalive(7));
    ASSERT_EQ(core->clients().count(), kMaxClients);
    for (int i = 0; i < 50; ++i) voicePort(0, {0x0B000000u + static_cast<std::uint32_t>(i), 9}, keepalive(8));
    EXPECT_EQ(core->stats().refusedFull, 50u);
    int lines = 0;
    for (const auto& l : log.lines) lines += l.find("table full") != std::string::npos;
    EXPECT_EQ(lines, 1);
    out.sent.clear();
    talk(a);
    EXPECT_EQ(out.to(b.voice).size(), 1u);
}

TEST_F(VoiceServerCoreTest, IgnoresDatagramsOfNoKnownShapeAndBadChannels) {
    FakeClient a = start(1, 0, 40000);
    out.sent.clear();
    Bytes junk(1024, 'Z');
    voicePort(0, a.voice, junk);
    voicePort(-1, a.voice, audio(1, 1, 0));
    voicePort(11, a.voice, audio(1, 1, 0));
    controlPort(11, a.control, {'L', 0, 0});
    controlPort(0, a.control, {'Q'});
    EXPECT_TRUE(out.sent.empty());
    EXPECT_EQ(core->clients().count(), 1);
}

TEST_F(VoiceServerCoreTest, InspectionOrdersDescribeTheChannels) {
    FakeClient a = start(7, 3, 40000);
    FakeClient b = start(8, 3, 40010);
    FakeClient c = start(9, 3, 40020);
    talk(a);
    talk(a);
    const std::uint8_t again = a.seq == 1 ? 255 : a.seq - 1;
    voicePort(a.channel, a.voice, audio(again, a.account, 0x11));  // a duplicate: not relayed
    talk(c);
    roster(3, b);
    roster(5, b);
    char reply[1024];
    core->handleOrder("status", 6, reply, sizeof reply);
    EXPECT_NE(std::strstr(reply, "clients 3"), nullptr) << reply;
    EXPECT_NE(std::strstr(reply, "channel 3: 7* 8 9*"), nullptr) << reply;
    EXPECT_NE(std::strstr(reply, "voice-out 6 control-out 2 send-failed 0\n"), nullptr) << reply;
    core->handleOrder("roster 3", 8, reply, sizeof reply);
    EXPECT_STREQ(reply, "roster 3: 7 8 9\n");
    // Per client: its audio relayed (duplicates left out) and the voice relayed to it.
    core->handleOrder("clients", 7, reply, sizeof reply);
    EXPECT_NE(std::strstr(reply, "account 7 channel 3 voice 127.0.0.1:40000 control 127.0.0.1:40001 rosters 0 "
                                 "audio-in 2 voice-out 1 talking\n"),
              nullptr) << reply;
    EXPECT_NE(std::strstr(reply, "account 8 channel 3 voice 127.0.0.1:40010 control 127.0.0.1:40011 rosters 2 "
                                 "audio-in 0 voice-out 3\n"),
              nullptr) << reply;
    core->handleOrder("status", 6, reply, 8);  // a short buffer is cut, not overrun
    EXPECT_EQ(std::strlen(reply), 7u);
}

}  // namespace
}  // namespace orvane::server
