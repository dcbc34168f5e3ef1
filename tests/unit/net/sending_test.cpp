// Server sockets, keepalives, control requests and the audio sender.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "net/audio_sender.h"
#include "state/levels.h"
#include "protocol/datagrams.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "tests/fakes/fake_udp.h"
#include "tests/fakes/manual_clock.h"

namespace orvane::net {
namespace {

using test::FakeUdp;
using test::ManualClock;
constexpr std::uint32_t kServer = 0x0A000001;  // 10.0.0.1

TEST(OpenServerSockets, SendsBothHellosToTheChannelPortAndLightsBothLamps) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.channel.channelPort = 30004;
    FakeUdp udp;
    ASSERT_EQ(openServerSockets(state, udp), 0);
    EXPECT_NE(state.link.voiceSocket.load(), platform::kInvalidSocket);
    EXPECT_NE(state.link.controlSocket.load(), platform::kInvalidSocket);
    EXPECT_NE(state.link.voiceSocket.load(), state.link.controlSocket.load());
    EXPECT_EQ(state.lamps.lampUdp, kLampYellow);
    EXPECT_EQ(state.lamps.lampSvc, kLampYellow);
    EXPECT_EQ(udp.startups, 2);

    auto sent = udp.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].socket, state.link.voiceSocket.load());
    EXPECT_EQ(sent[0].bytes.size(), 9u);
    EXPECT_EQ(sent[1].socket, state.link.controlSocket.load());
    EXPECT_EQ(sent[1].bytes.size(), 18u);
    for (const auto& s : sent) {
        EXPECT_EQ(s.address, kServer);
        EXPECT_EQ(s.port, 30004);
    }
}

TEST(OpenServerSockets, UnsetServerAddressComesFromTheBuild) {
    ClientState state;
    FakeUdp udp;
    ASSERT_EQ(openServerSockets(state, udp), 0);
    EXPECT_EQ(state.link.serverAddress.load(), configuredServerAddress());
    EXPECT_NE(configuredServerAddress(), 0u);
}

TEST(OpenServerSockets, EachFailureLeavesItsSocketInvalidAndItsLampRed) {
    struct Case {
        const char* name;
        std::set<int> failStartup, failOpen;
        bool voiceOk, controlOk;
        std::int32_t lampUdp, lampSvc;
        int cleanups;
        std::size_t hellos;
    } cases[] = {
        {"voice startup", {0}, {}, false, false, kLampRed, kLampOff, 0, 0},
        {"voice bind", {}, {0}, false, false, kLampRed, kLampOff, 1, 0},
        {"control startup", {1}, {}, true, false, kLampYellow, kLampRed, 0, 1},
        {"control bind", {}, {1}, true, false, kLampYellow, kLampRed, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientState state;
        state.link.serverAddress = kServer;
        FakeUdp udp;
        udp.failStartupCalls = c.failStartup;
        udp.failOpenCalls = c.failOpen;
        EXPECT_EQ(openServerSockets(state, udp), -1);
        EXPECT_EQ(state.link.voiceSocket.load() != platform::kInvalidSocket, c.voiceOk);
        EXPECT_EQ(state.link.controlSocket.load() != platform::kInvalidSocket, c.controlOk);
        EXPECT_EQ(state.lamps.lampUdp, c.lampUdp);
        EXPECT_EQ(state.lamps.lampSvc, c.lampSvc);
        EXPECT_EQ(udp.cleanups, c.cleanups);
        EXPECT_EQ(udp.sent().size(), c.hellos);
    }
}

TEST(SendControlRequest, PollsThePortPlusOneThousandAndShowsSendErrors) {
    ClientState state;
    state.link.serverAddress = kServer;
    FakeUdp udp;
    state.link.controlSocket = 7;
    state.lamps.lampSvc = kLampBlue;
    sendControlRequest(state, udp, 30006);
    auto sent = udp.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].port, 31006);
    EXPECT_EQ(sent[0].bytes, (std::vector<std::uint8_t>{'L', 0, 0}));
    EXPECT_EQ(state.lamps.lampSvc, kLampBlue);

    udp.failSends = true;
    sendControlRequest(state, udp, 30006);
    EXPECT_EQ(state.lamps.lampSvc, kLampRed);
}

TEST(Keepalive, VariantsRotateNDVAndFollowTheChannelAtEachSend) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = 5;
    copyText(state.identity.machineId, sizeof state.identity.machineId, "0123456789012345");
    FakeUdp udp;
    ManualClock clock;
    const std::int32_t ports[] = {30000, 30003, 30010, 30001, 30002, 30002, 30009};
    for (std::int32_t port : ports) {
        state.channel.channelPort = port;
        keepaliveStep(state, udp, clock);
    }
    auto sent = udp.sent();
    ASSERT_EQ(sent.size(), 7u);
    const std::size_t lengths[] = {26, 27, 14};
    const std::uint8_t tags[] = {'N', 'D', 'V'};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].bytes.size(), lengths[i % 3]) << i;
        EXPECT_EQ(sent[i].bytes[9], tags[i % 3]) << i;
        EXPECT_EQ(sent[i].port, ports[i]) << i;
        EXPECT_EQ(sent[i].socket, 5);
        EXPECT_EQ(sent[i].address, kServer);
    }
    EXPECT_EQ(std::string(sent[1].bytes.begin() + 10, sent[1].bytes.begin() + 26), "0123456789012345");
    EXPECT_EQ(state.link.keepalivePhase, 1);
}

TEST(Keepalive, PeriodFollowsTheServerLoad) {
    const struct {
        std::int32_t load;
        int ms;
    } cases[] = {{0, 10}, {1, 15}, {2, 20}, {3, 25}, {4, 30}, {99, 30}, {-1, 30}, {5, 30}};
    for (const auto& c : cases) {
        ClientState state;
        FakeUdp udp;
        ManualClock clock;
        state.channel.serverLoad = c.load;
        keepaliveStep(state, udp, clock);
        ASSERT_EQ(clock.sleeps.size(), 1u);
        EXPECT_EQ(clock.sleeps[0], c.ms) << "load " << c.load;
    }
}

TEST(Keepalive, FailedSendsAreIgnoredAndTheStreamGoesOn) {
    ClientState state;  // voice socket invalid
    FakeUdp udp;
    ManualClock clock;
    for (int i = 0; i < 4; ++i) keepaliveStep(state, udp, clock);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{30, 30, 30, 30}));
    EXPECT_EQ(state.link.keepalivePhase, 1);
}

// A frame whose left samples are `left` and right samples `right` (all 250 frames).
std::array<std::uint8_t, 1000> frameOf(std::int16_t left, std::int16_t right) {
    std::array<std::uint8_t, 1000> f{};
    for (int i = 0; i < 250; ++i) {
        auto l = static_cast<std::uint16_t>(left), r = static_cast<std::uint16_t>(right);
        f[4 * i] = l & 0xFF;
        f[4 * i + 1] = l >> 8;
        f[4 * i + 2] = r & 0xFF;
        f[4 * i + 3] = r >> 8;
    }
    return f;
}

void setSample(std::array<std::uint8_t, 1000>& f, int index, std::int16_t v) {
    auto u = static_cast<std::uint16_t>(v);
    f[2 * index] = u & 0xFF;
    f[2 * index + 1] = u >> 8;
}

TEST(AudioSender, FramesGoToTheChannelWithSequenceOneTo255NeverZero) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = 4;
    FakeUdp udp;
    auto frame = frameOf(1234, -42);
    for (int i = 0; i < 600; ++i) {
        state.channel.channelPort = 30000 + i % 11;
        sendAudioFrame(state, udp, frame.data());
    }
    auto sent = udp.sent();
    ASSERT_EQ(sent.size(), 600u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_EQ(sent[i].bytes.size(), 1024u);
        ASSERT_EQ(sent[i].bytes[1], static_cast<std::uint8_t>(i % 255 + 1)) << i;
        ASSERT_EQ(sent[i].port, 30000 + i % 11);
        ASSERT_EQ(sent[i].address, kServer);
        ASSERT_TRUE(std::equal(frame.begin(), frame.end(), sent[i].bytes.begin() + 24));
    }
}

TEST(AudioSender, NeedlesFollowThePeaksOfTheFirstHundredFrames) {
    struct Case {
        const char* name;
        std::int16_t left, right;
        std::int16_t smoothedBefore;
        std::int16_t smoothedAfter;
        std::int32_t leftNeedle, rightNeedle;
    } cases[] = {
        {"silence", 0, 0, 0, 0, 218, 218},
        {"full scale", 32767, 32767, 32766, 32766, 218 + 32766 * 102 / 32768,
         218 + (16383 + 16383) * 102 / 32768},
        {"negative peaks count by size", -20000, -10000, 0, 10000, 218 + 10000 * 102 / 32768,
         218 + (5000 + 5000) * 102 / 32768},
        {"halves truncate", 3, 5, 3, 2, 218, 218},
        {"silence halves the average", 0, 0, 10001, 5000, 218 + 5000 * 102 / 32768,
         218 + 2500 * 102 / 32768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientState state;
        FakeUdp udp;
        state.audio.smoothedPeak = c.smoothedBefore;
        auto frame = frameOf(c.left, c.right);
        sendAudioFrame(state, udp, frame.data());
        EXPECT_EQ(state.audio.smoothedPeak, c.smoothedAfter);
        EXPECT_EQ(state.audio.leftNeedle, c.leftNeedle);
        EXPECT_EQ(state.audio.rightNeedle, c.rightNeedle);
    }
}

// The one block peak of both meter forms (core/levels.h).
TEST(AudioSender, PeakIgnoresMinus32768AndFramesAfterTheHundredth) {
    auto frame = frameOf(0, 0);
    setSample(frame, 0, -32768);    // left, frame 0: does not count
    setSample(frame, 10, 700);      // left, frame 5
    setSample(frame, 199, -900);    // right, frame 99: the last metered one
    setSample(frame, 200, 30000);   // left, frame 100: not metered
    setSample(frame, 201, 30000);   // right, frame 100: not metered
    EXPECT_EQ(blockPeak(frame.data(), 0), 700);
    EXPECT_EQ(blockPeak(frame.data(), 1), 900);

    auto clipped = frameOf(-32768, -32768);
    EXPECT_EQ(blockPeak(clipped.data(), 0), 0);
    EXPECT_EQ(blockPeak(clipped.data(), 1), 0);
}

TEST(AudioSender, SilenceDrivesTheLeftNeedleBackToRest) {
    ClientState state;
    FakeUdp udp;
    auto loud = frameOf(32767, 0);
    for (int i = 0; i < 20; ++i) sendAudioFrame(state, udp, loud.data());
    EXPECT_GT(state.audio.leftNeedle, 300);
    auto quiet = frameOf(0, 0);
    std::int32_t previous = state.audio.smoothedPeak;
    for (int i = 0; i < 20; ++i) {
        sendAudioFrame(state, udp, quiet.data());
        EXPECT_EQ(state.audio.smoothedPeak, previous / 2);
        previous = state.audio.smoothedPeak;
    }
    EXPECT_EQ(state.audio.leftNeedle, 218);
}

TEST(AudioSender, ChaserStepsEveryThirdDatagramFrom15DownAndWraps) {
    ClientState state;
    FakeUdp udp;
    auto frame = frameOf(0, 0);
    int lit = 15;
    for (int datagram = 1; datagram <= 3 * 20; ++datagram) {
        sendAudioFrame(state, udp, frame.data());
        if (datagram % 3 != 0) {
            EXPECT_EQ(state.link.levelDecimator, datagram % 3);
            continue;
        }
        EXPECT_EQ(state.link.levelDecimator, 0);
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(state.lamps.chaserLeds[i], i == lit ? kLampGreen : kLampDarkRed)
                << "datagram " << datagram << " led " << i;
        lit = lit == 0 ? 15 : lit - 1;
        EXPECT_EQ(state.lamps.txChaserIndex, lit);
    }
}

}  // namespace
}  // namespace orvane::net
