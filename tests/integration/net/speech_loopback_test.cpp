// The speech socket on real loopback sockets: talk and release commands from a local program,
// and the requests that reach Parlo's endpoint.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "speech/speech_datagrams.h"
#include "speech/speech_socket.h"
#include "tests/integration/net/loopback_server.h"

namespace orvane::speech {
namespace {

using test::waitFor;

struct SpeechLoopback : ::testing::Test {
    ClientState state;
    platform::UdpNetwork& udp = platform::systemUdp();
    std::atomic<bool> running{true};
    std::thread reader;
    platform::SocketHandle sender = platform::kInvalidSocket;
    std::uint16_t speechPort = 0;

    void SetUp() override {
        ASSERT_TRUE(openSpeechSocket(state, udp));
        speechPort = udp.localPort(state.link.speechSocket);
        ASSERT_NE(speechPort, 0);
        sender = udp.openBound(platform::kLoopback, 0);
        ASSERT_NE(sender, platform::kInvalidSocket);
        reader = std::thread([this] { speechCommandThread(state, udp, platform::systemClock(), running); });
    }
    void TearDown() override {
        running = false;
        if (reader.joinable()) reader.join();
        udp.close(sender);
        udp.close(state.link.speechSocket);
    }
    void command(const std::string& bytes) {
        udp.sendTo(sender, bytes.data(), bytes.size(), platform::kLoopback, speechPort);
    }
};

TEST_F(SpeechLoopback, TalkAndReleaseFromALocalProgram) {
    command("T");
    ASSERT_TRUE(waitFor([&] { return state.isTransmitting(); }));
    command("R");
    ASSERT_TRUE(waitFor([&] { return !state.isTransmitting(); }));
    command("TR");  // first byte counts
    ASSERT_TRUE(waitFor([&] { return state.isTransmitting(); }));
}

// One datagram per step, read by the test itself, so that each command's effect is seen alone
// (with the reader thread, a later command would hide an ignored one's effect).
TEST(SpeechCommandSteps, TooLongACommandIsIgnoredTheLongestAcceptedIsNot) {
    ClientState state;
    platform::UdpNetwork& udp = platform::systemUdp();
    ASSERT_TRUE(openSpeechSocket(state, udp));
    const std::uint16_t port = udp.localPort(state.link.speechSocket);
    const platform::SocketHandle sender = udp.openBound(platform::kLoopback, 0);
    ASSERT_NE(sender, platform::kInvalidSocket);
    CommandBuffer buffer;
    const struct {
        std::string bytes;
        bool transmitting;
    } steps[] = {
        {std::string(1025, 'T'), false},  // one byte too long: ignored
        {std::string(1024, 'T'), true},   // the longest command
        {std::string(1025, 'R'), true},
        {std::string(1024, 'R'), false},
    };
    for (const auto& step : steps) {
        udp.sendTo(sender, step.bytes.data(), step.bytes.size(), platform::kLoopback, port);
        ASSERT_EQ(udp.waitReadable(state.link.speechSocket, 10000), 1);
        speechCommandStep(state, udp, platform::systemClock(), buffer);
        EXPECT_EQ(state.isTransmitting(), step.transmitting) << step.bytes.size() << " x " << step.bytes[0];
    }
    udp.close(sender);
    udp.close(state.link.speechSocket);
}

TEST_F(SpeechLoopback, RequestsReachTheSpeechEndpoint) {
    platform::SocketHandle parlo = udp.openBound(platform::kLoopback, kSpeechPort);
    if (parlo == platform::kInvalidSocket) GTEST_SKIP() << "port 5555 is in use on this machine";
    const std::string text = "Bonjour \xE0 tous";
    sendSpeakRequest(state, udp, text.data(), text.size());
    sendStopRequest(state, udp);
    std::uint8_t buffer[2048];
    std::uint16_t fromPort = 0;
    ASSERT_EQ(udp.waitReadable(parlo, 3000), 1);
    int n = udp.receiveFrom(parlo, buffer, sizeof buffer, nullptr, &fromPort);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), n), "\x01" + text);
    EXPECT_EQ(fromPort, speechPort);
    ASSERT_EQ(udp.waitReadable(parlo, 3000), 1);
    n = udp.receiveFrom(parlo, buffer, sizeof buffer, nullptr, nullptr);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(buffer[0], 0xFF);
    udp.close(parlo);
}

}  // namespace
}  // namespace orvane::speech
