// The client's voice network against a server played by the test on real loopback sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "net/control.h"
#include "protocol/datagrams.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "net/voice_receive.h"
#include "tests/integration/net/loopback_server.h"

namespace orvane::net {
namespace {

using test::LoopbackServer;
using test::Received;
using test::waitFor;
using Clock = std::chrono::steady_clock;

class ThreadSafeUi final : public ControlUi {
public:
    void showWarningBox(const char* text, const char*) override { add(std::string("box:") + text); }
    void openUrl(const char* url) override { add(std::string("url:") + url); }
    void showSupervisorNotice(const char* text) override { add(std::string("notice:") + text); }
    void destroyMainWindow() override { add("destroy"); }
    std::vector<std::string> calls() {
        std::lock_guard<std::mutex> hold(mutex_);
        return calls_;
    }

private:
    void add(std::string s) {
        std::lock_guard<std::mutex> hold(mutex_);
        calls_.push_back(std::move(s));
    }
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

// A running client: both sockets open, hellos received by the server, threads started on
// demand and stopped at the end.
struct VoiceLink : ::testing::Test {
    LoopbackServer server;
    ClientState state;
    platform::UdpNetwork& udp = platform::systemUdp();
    std::atomic<bool> running{true};
    std::vector<std::thread> threads;
    ThreadSafeUi ui;
    Received voiceHello, controlHello;

    void SetUp() override {
        ASSERT_TRUE(server.ok()) << "no free loopback address for the test server";
        state.link.serverAddress = server.address();
        copyText(state.identity.machineId, sizeof state.identity.machineId, "0000123456789012");
        ASSERT_EQ(openServerSockets(state, udp), 0);
        voiceHello = server.receive(server.channel(0));
        controlHello = server.receive(server.channel(0));
    }
    void TearDown() override {
        running = false;
        for (auto& t : threads) t.join();
        udp.close(state.link.voiceSocket);
        udp.close(state.link.controlSocket);
    }
    void startKeepalive() {
        threads.emplace_back([this] { keepaliveThread(state, udp, platform::systemClock(), running); });
    }
    void startVoiceReceive() {
        threads.emplace_back([this] { voiceReceiveThread(state, udp, platform::systemClock(), running); });
    }
    void startControl() {
        threads.emplace_back([this] { controlThread(state, udp, platform::systemClock(), ui, running); });
    }
    void sendVoice(std::uint8_t sequence, std::int8_t load, std::uint16_t account = 100, std::int8_t echo = 0,
                   std::int16_t sample = 0) {
        std::uint8_t payload[protocol::kAudioPayloadBytes];
        for (std::size_t i = 0; i < sizeof payload; i += 2) {
            payload[i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) & 0xFF);
            payload[i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8);
        }
        protocol::VoiceHeader h;
        h.sequence = sequence;
        h.load = load;
        h.account = account;
        h.echo = echo;
        std::uint8_t d[protocol::kVoiceDatagramBytes];
        std::size_t n = protocol::buildVoice(d, h, payload);
        server.send(server.channel(0), d, n, voiceHello.address, voiceHello.port);
    }
};

TEST_F(VoiceLink, HellosComeFromTwoSocketsThenKeepalivesNDVInOrder) {
    ASSERT_EQ(voiceHello.bytes, (std::vector<std::uint8_t>{'T', '.', 'W', 'I', 'N', 0, 0, 0, 0}));
    ASSERT_EQ(controlHello.bytes.size(), 18u);
    EXPECT_EQ(0, std::memcmp(controlHello.bytes.data(), voiceHello.bytes.data(), 9));
    EXPECT_EQ(0, std::memcmp(controlHello.bytes.data() + 9, voiceHello.bytes.data(), 9));
    EXPECT_NE(voiceHello.port, controlHello.port);
    EXPECT_EQ(voiceHello.port, udp.localPort(state.link.voiceSocket));
    EXPECT_EQ(controlHello.port, udp.localPort(state.link.controlSocket));

    startKeepalive();
    const char tags[] = {'N', 'D', 'V'};
    const std::size_t lengths[] = {26, 27, 14};
    for (int i = 0; i < 9; ++i) {
        Received k = server.receive(server.channel(0));
        ASSERT_EQ(k.bytes.size(), lengths[i % 3]) << i;
        EXPECT_EQ(k.port, voiceHello.port);
        protocol::Keepalive parsed = protocol::parseKeepalive(k.bytes.data(), k.bytes.size());
        ASSERT_TRUE(parsed.valid);
        EXPECT_EQ(k.bytes[9], tags[i % 3]);
        EXPECT_EQ(parsed.account, 19704);
        if (i % 3 == 1) {
            EXPECT_STREQ(parsed.machineId, "0000123456789012");
        }
        if (i % 3 == 2) {
            EXPECT_STREQ(parsed.version, "076");
        }
    }

    // A channel change moves the stream to the new port without a new hello.
    state.channel.channelPort = 30007;
    ASSERT_TRUE(waitFor([&] { return !server.receive(server.channel(7), 100).bytes.empty(); }));
    EXPECT_TRUE(server.receive(server.channel(7)).bytes[0] == 'R');
}

// Mean keepalive interval over `samples` keepalives on channel 0, while voice datagrams with
// load code `load` (unless it is 99) keep the server heard.
double meanKeepaliveInterval(VoiceLink& t, std::int8_t load, std::uint8_t& sequence, int samples) {
    auto sendOne = [&] { t.sendVoice(sequence = static_cast<std::uint8_t>(sequence % 255 + 1), load); };
    if (load != 99) {
        sendOne();
        EXPECT_TRUE(waitFor([&] { return t.state.channel.serverLoad == load; }));
    } else {
        EXPECT_TRUE(waitFor([&] { return t.state.channel.serverLoad == 99; }));
    }
    t.server.drain(t.server.channel(0));
    auto lastVoice = Clock::now();
    std::vector<Clock::time_point> arrivals;
    while (static_cast<int>(arrivals.size()) < samples) {
        Received k = t.server.receive(t.server.channel(0));
        if (k.bytes.empty()) break;
        arrivals.push_back(k.at);
        if (load != 99 && Clock::now() - lastVoice > std::chrono::milliseconds(100)) {
            sendOne();
            lastVoice = Clock::now();
        }
    }
    if (arrivals.size() < 2) return 0;
    auto span = std::chrono::duration<double, std::milli>(arrivals.back() - arrivals.front()).count();
    return span / static_cast<double>(arrivals.size() - 1);
}

TEST_F(VoiceLink, KeepalivePeriodFollowsTheLoadCodeOfTheVoice) {
    startVoiceReceive();
    startKeepalive();
    std::uint8_t sequence = 0;
    const struct {
        std::int8_t load;
        double period;
    } cases[] = {{0, 10}, {1, 15}, {2, 20}, {3, 25}, {4, 30}, {99, 30}};
    double means[6];
    for (int i = 0; i < 6; ++i) {
        means[i] = meanKeepaliveInterval(*this, cases[i].load, sequence, 25);
        // A sleep is never shorter than asked; allow for timestamp jitter only.
        EXPECT_GE(means[i], cases[i].period * 0.9) << "load " << int(cases[i].load);
        std::printf("load %d: mean keepalive interval %.2f ms\n", cases[i].load, means[i]);
    }
    EXPECT_LT(means[0], means[4]);  // 10 ms against 30 ms: far apart even on a loaded machine
    EXPECT_LT(means[0], means[5]);
}

TEST_F(VoiceLink, VoiceDatagramsFillTheRingAndPublishTheTalker) {
    startVoiceReceive();
    ASSERT_TRUE(waitFor([&] { return state.channel.serverLoad == 99; }));
    sendVoice(1, 2, 4242, -3, 1234);
    ASSERT_TRUE(waitFor([&] { return state.channel.talkerAccount == 4242; }));
    EXPECT_EQ(state.channel.echoByte, -3);
    EXPECT_EQ(state.channel.serverLoad, 2);
    EXPECT_EQ(state.lamps.lampTst, kLampGreen);
    {
        std::lock_guard<std::mutex> hold(state.audio.ringLock);
        EXPECT_EQ(state.audio.ringWriteIndex, 6);
        EXPECT_EQ(state.audio.jitterRing[5 * 1000], 1234 & 0xFF);
        EXPECT_EQ(state.audio.jitterRing[5 * 1000 + 999], 1234 >> 8);
    }
    // Half a second of silence: the server counts as unheard again.
    ASSERT_TRUE(waitFor([&] { return state.channel.serverLoad == 99; }));
}

TEST_F(VoiceLink, ForeignSourcesAreIgnoredOnBothSockets) {
    startVoiceReceive();
    const std::uint32_t foreignAddress = 0x7F000002;  // 127.0.0.2: loopback, but not the server
    platform::SocketHandle foreign = udp.openBound(foreignAddress, 0);
    ASSERT_NE(foreign, platform::kInvalidSocket);

    std::uint8_t d[protocol::kVoiceDatagramBytes];
    protocol::VoiceHeader h;
    h.sequence = 9;
    h.account = 666;
    std::size_t n = protocol::buildVoice(d, h, nullptr);
    udp.sendTo(foreign, d, n, voiceHello.address, voiceHello.port);
    sendVoice(10, 1, 200);
    ASSERT_TRUE(waitFor([&] { return state.channel.talkerAccount == 200; }));
    EXPECT_EQ(state.channel.lastVoiceSequence, 10);

    // A closing order from a stranger does nothing; the same from the server closes.
    startControl();
    std::size_t r = protocol::buildSupervisorReply(d, protocol::kSupervisorClosing);
    udp.sendTo(foreign, d, r, controlHello.address, controlHello.port);
    Received poll = server.receive(server.control(0));
    ASSERT_FALSE(poll.bytes.empty());
    EXPECT_TRUE(waitFor([&] { return state.lamps.lampSvc == kLampRed; }));
    EXPECT_TRUE(ui.calls().empty());
    server.send(server.control(0), d, r, controlHello.address, controlHello.port);
    EXPECT_TRUE(waitFor([&] { return ui.calls().size() == 2; }));
    EXPECT_EQ(ui.calls().back(), "destroy");
    udp.close(foreign);
}

TEST_F(VoiceLink, ControlRotationEchoRostersAndSupervisor) {
    state.channel.channelPort = 30005;
    startVoiceReceive();
    sendVoice(1, 0, 100, -3);  // echo byte -3 goes back in the supervisor query
    ASSERT_TRUE(waitFor([&] { return state.channel.echoByte == -3; }));
    startControl();

    std::vector<platform::SocketHandle> controls;
    for (int i = 0; i < 11; ++i) controls.push_back(server.control(i));
    // Per cycle: the control ports asked (in port order) and the request bytes seen.
    std::vector<std::vector<int>> ports(4);
    for (int cycle = 0; cycle < 4; ++cycle) {
        const bool rosterCycle = cycle % 2 == 0;
        for (int i = 0; i < (rosterCycle ? 2 : 1); ++i) {
            int which = -1;
            Received q = server.receiveAny(controls, which);
            ASSERT_GE(which, 0) << "cycle " << cycle;
            EXPECT_EQ(q.port, controlHello.port);
            ports[cycle].push_back(31000 + which);
            const std::vector<std::uint8_t> request =
                rosterCycle ? std::vector<std::uint8_t>{'L', 0, 0} : std::vector<std::uint8_t>{'A', 1, 0xFD};
            EXPECT_EQ(q.bytes, request);
        }
        std::sort(ports[cycle].begin(), ports[cycle].end());
        // Answer every cycle so that it stays short: a roster of the current channel.
        const std::uint16_t accounts[] = {static_cast<std::uint16_t>(500 + cycle), 19704};
        std::uint8_t d[16];
        std::size_t n = protocol::buildRosterReply(d, 5, 2, accounts);
        server.send(server.control(5), d, n, controlHello.address, controlHello.port);
    }
    const std::vector<std::vector<int>> expected{{31000, 31005}, {31005}, {31001, 31005}, {31005}};
    EXPECT_EQ(ports, expected);
    ASSERT_TRUE(waitFor([&] { return state.channel.channelRoster[5][0] == 503; }));
    EXPECT_EQ(state.channel.rosterCount[5], 2);
    EXPECT_EQ(state.channel.rosterCount[11], 2);
    EXPECT_EQ(state.channel.channelRoster[5][1], 19704);

    // An update order: box, installer page, main window destroyed.
    std::uint8_t d[3];
    std::size_t n = protocol::buildSupervisorReply(d, protocol::kSupervisorUpdateRequired);
    server.send(server.control(0), d, n, controlHello.address, controlHello.port);
    ASSERT_TRUE(waitFor([&] { return ui.calls().size() == 3; }));
    EXPECT_EQ(ui.calls()[0], std::string("box:") + kUpdateRequiredText);
    EXPECT_EQ(ui.calls()[1], std::string("url:") + configuredInstallerUrl());
    EXPECT_EQ(ui.calls()[2], "destroy");
}

}  // namespace
}  // namespace orvane::net
