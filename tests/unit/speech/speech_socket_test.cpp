#include "speech/speech_socket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "speech/speech_datagrams.h"
#include "tests/fakes/fake_udp.h"
#include "tests/fakes/manual_clock.h"

namespace orvane::speech {
namespace {

using test::FakeUdp;
using test::ManualClock;

TEST(SpeechSocket, OpensOnceAndStaysInvalidOnFailure) {
    {
        ClientState state;
        FakeUdp udp;
        EXPECT_TRUE(openSpeechSocket(state, udp));
        EXPECT_NE(state.link.speechSocket.load(), platform::kInvalidSocket);
    }
    for (bool failStartup : {true, false}) {
        ClientState state;
        FakeUdp udp;
        if (failStartup) udp.failStartupCalls = {0};
        else udp.failOpenCalls = {0};
        EXPECT_FALSE(openSpeechSocket(state, udp));
        EXPECT_EQ(state.link.speechSocket.load(), platform::kInvalidSocket);
        sendStopRequest(state, udp);  // fails silently
        EXPECT_TRUE(udp.sent().empty());
    }
}

TEST(SpeechSocket, RequestsGoToParloOnLoopback5555) {
    ClientState state;
    FakeUdp udp;
    ASSERT_TRUE(openSpeechSocket(state, udp));
    const std::string text = "Bonjour \xE0 vous";
    const std::string longText(1500, 'x');
    sendSpeakRequest(state, udp, text.data(), text.size());
    sendSpeakRequest(state, udp, nullptr, 0);
    sendSpeakRequest(state, udp, longText.data(), longText.size());
    sendStopRequest(state, udp);

    auto sent = udp.sent();
    ASSERT_EQ(sent.size(), 4u);
    for (const auto& s : sent) {
        EXPECT_EQ(s.socket, state.link.speechSocket.load());
        EXPECT_EQ(s.address, platform::kLoopback);
        EXPECT_EQ(s.port, 5555);
    }
    EXPECT_EQ(std::string(sent[0].bytes.begin(), sent[0].bytes.end()), "\x01" + text);
    ASSERT_EQ(sent[1].bytes.size(), 1u);
    EXPECT_EQ(sent[1].bytes[0], 0x01);
    ASSERT_EQ(sent[2].bytes.size(), 1024u);  // cut to 1023 text bytes, never past the buffer
    EXPECT_EQ(sent[2].bytes[0], 0x01);
    EXPECT_EQ(sent[2].bytes[1023], 'x');
    ASSERT_EQ(sent[3].bytes.size(), 1u);
    EXPECT_EQ(sent[3].bytes[0], 0xFF);
}

struct Reader : ::testing::Test {
    ClientState state;
    ManualClock clock;
    FakeUdp udp{&clock};
    CommandBuffer buffer;
    void SetUp() override { ASSERT_TRUE(openSpeechSocket(state, udp)); }
    void command(std::vector<std::uint8_t> d, std::uint32_t from = platform::kLoopback) {
        udp.queue(state.link.speechSocket, std::move(d), from, 45000);
        speechCommandStep(state, udp, clock, buffer);
    }
};

TEST_F(Reader, TalkAndReleaseCommandsDriveTheTransmitFlag) {
    const struct {
        std::vector<std::uint8_t> datagram;
        bool before, after;
    } cases[] = {
        {{'T'}, false, true},
        {{'R'}, true, false},
        {{'T', 'R'}, false, true},
        {{'R', 'T'}, true, false},
        {std::vector<std::uint8_t>(1024, 'T'), false, true},
        {{'X'}, true, true},
        {{'X'}, false, false},
        {{'t'}, false, false},
        {{}, true, true},
        {std::vector<std::uint8_t>(1025, 'T'), false, false},  // longer than 1024: ignored
        {std::vector<std::uint8_t>(5000, 'R'), true, true},
    };
    for (const auto& c : cases) {
        state.setTransmit(c.before);
        clock.sleeps.clear();
        command(c.datagram);
        EXPECT_EQ(state.isTransmitting(), c.after) << c.datagram.size() << " bytes";
        EXPECT_EQ(clock.sleeps, std::vector<int>{100});
    }
}

TEST_F(Reader, CommandsFromOtherMachinesAreIgnored) {
    command({'T'}, 0xC0A80105);  // 192.168.1.5
    EXPECT_FALSE(state.isTransmitting());
    command({'T'}, 0x7F000002);  // any loopback address is this machine
    EXPECT_TRUE(state.isTransmitting());
}

TEST_F(Reader, QuietWaitsEndTheStepAndFailuresPause) {
    speechCommandStep(state, udp, clock, buffer);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(udp.waitTimeouts.back(), kCommandWaitMs);

    state.link.speechSocket = platform::kInvalidSocket;
    for (int i = 0; i < 3; ++i) speechCommandStep(state, udp, clock, buffer);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{100, 100, 100}));
}

}  // namespace
}  // namespace orvane::speech
