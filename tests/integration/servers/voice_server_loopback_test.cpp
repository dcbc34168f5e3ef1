// The server program over real loopback sockets: batched relay, garbage, signals, operator
// orders. (Rosters, orders and time-outs with real clients: tests/e2e.)
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "tests/integration/servers/voice_server_fixture.h"

namespace orvane::server::test {
namespace {

constexpr int kLast = 41;  // 127.0.0.41

class VoiceServerLoopback : public VoiceServerFixture {
protected:
    void SetUp() override { startServer(kLast); }
};

std::vector<std::uint8_t> block(int k) {
    std::vector<std::uint8_t> b(1000);
    for (int i = 0; i < 1000; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k * 7 + i);
    return b;
}

TEST_F(VoiceServerLoopback, RelaysEveryBlockInOrderToTheChannelOnly) {
    SimClient a, b, other;
    ASSERT_TRUE(a.start(address, 1, 1001));
    ASSERT_TRUE(b.start(address, 1, 1002));
    ASSERT_TRUE(other.start(address, 2, 1003));
    keepPresent({&a, &b, &other}, 100);
    b.drain();
    other.drain();
    constexpr int kBlocks = 64;
    for (int k = 0; k < kBlocks; ++k) {
        a.sendAudio(block(k).data());
        ::usleep(2000);
    }
    std::uint8_t buf[1100];
    std::uint8_t lastSeq = 0;
    for (int k = 0; k < kBlocks; ++k) {
        int n = b.receiveVoice(buf, sizeof buf, 3000);
        ASSERT_EQ(n, 1024) << "block " << k;
        EXPECT_EQ(buf[0], 'A');
        EXPECT_NE(buf[1], lastSeq);
        lastSeq = buf[1];
        EXPECT_EQ(buf[3] | (buf[4] << 8), 1001);
        EXPECT_EQ(buf[7], 1);
        ASSERT_EQ(0, std::memcmp(buf + 24, block(k).data(), 1000)) << "block " << k;
    }
    EXPECT_EQ(other.receiveVoice(buf, sizeof buf, 200), -1);
    EXPECT_EQ(a.receiveVoice(buf, sizeof buf, 0), -1);
}

TEST_F(VoiceServerLoopback, EndsCleanlyOnSigterm) {
    server.signal(SIGTERM);
    int code = -1;
    ASSERT_TRUE(server.waitExit(5000, code));
    EXPECT_EQ(code, 0);
    EXPECT_NE(lab::readFile(logPath).find("stop:"), std::string::npos);
}

// Garbage of every size on every port, from many sockets, must neither stop the server nor
// leak voice to another channel.
TEST_F(VoiceServerLoopback, SurvivesAFloodOfGarbage) {
    SimClient a, b, other;
    ASSERT_TRUE(a.start(address, 10, 4001));
    ASSERT_TRUE(b.start(address, 10, 4002));
    ASSERT_TRUE(other.start(address, 9, 4003));
    std::mt19937 rng(7);
    std::vector<std::uint8_t> junk(1600);
    SimClient flooders[8];
    for (auto& f : flooders) ASSERT_TRUE(f.start(address, static_cast<int>(rng() % 11), 0));
    for (int i = 0; i < 30000; ++i) {
        std::size_t n = rng() % junk.size();
        for (std::size_t k = 0; k < n; ++k) junk[k] = static_cast<std::uint8_t>(rng());
        if (n > 0 && rng() % 4 == 0) junk[0] = "ARLT"[rng() % 4];
        auto port = static_cast<std::uint16_t>((rng() % 2 ? 30000 : 31000) + rng() % 12);
        flooders[i % 8].sendRawToChannel(junk.data(), n, port);
        if (i % 500 == 0) {
            for (auto& f : flooders) f.drain();
            ::usleep(1000);
        }
    }
    keepPresent({&a, &b, &other}, 300);
    b.drain();
    other.drain();
    a.sendAudio(block(3).data());
    std::uint8_t buf[1100];
    int n = b.receiveVoice(buf, sizeof buf, 3000);
    ASSERT_EQ(n, 1024);
    EXPECT_EQ(0, std::memcmp(buf + 24, block(3).data(), 1000));
    EXPECT_EQ(other.receiveVoice(buf, sizeof buf, 300), -1);
    EXPECT_TRUE(server.running());
    // Rosters never list more than 16, whatever the flood made present.
    for (int ch = 0; ch < 11; ++ch) EXPECT_LE(roster(a, ch).size(), 16u);
}

}  // namespace
}  // namespace orvane::server::test
