// Two real clients on one channel of the lab network: what A says, B plays bit for bit; the
// server's rosters hold both; the supervisor closes B on order; a killed client leaves.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "tests/e2e/lab_network.h"

namespace orvane::e2e {
namespace {

constexpr std::size_t kBlock = 1000;

// What was played from `start` on, block by block: the signal block's number, "z" for
// silence, "?" for anything else; for failure messages.
std::string describeBlocks(const std::vector<std::uint8_t>& heard, std::size_t start,
                           const std::vector<std::uint8_t>& signal) {
    std::string out;
    std::size_t blocks = signal.size() / kBlock;
    for (std::size_t off = start; off + kBlock <= heard.size() && out.size() < 2000; off += kBlock) {
        const std::uint8_t* b = heard.data() + off;
        std::string token = "?";
        if (std::all_of(b, b + kBlock, [](std::uint8_t x) { return x == 0; })) token = "z";
        for (std::size_t k = 0; k < blocks; ++k)
            if (std::memcmp(b, signal.data() + k * kBlock, kBlock) == 0) token = std::to_string(k);
        out += token + " ";
    }
    return out;
}

// Writes the signal into the microphone at its real pace, one block per 31.25 ms.
void feedPaced(test::SourceWriter& mic, const std::vector<std::uint8_t>& signal) {
    auto start = std::chrono::steady_clock::now();
    for (std::size_t k = 0; k * kBlock < signal.size(); ++k) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(31250 * k));
        ASSERT_TRUE(mic.write(signal.data() + k * kBlock, kBlock));
    }
}

class TalkingEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        net = new LabNetwork();
        if (!net->startShared(sharedError)) sharedError = "lab set-up failed: " + sharedError;
    }
    static void TearDownTestSuite() {
        delete net;
        net = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(sharedError.empty()) << sharedError;
        std::string error;
        ASSERT_TRUE(net->startNetwork(error)) << error;
    }
    void TearDown() override { net->stopNetwork(); }

    static LabNetwork* net;
    static std::string sharedError;
};

LabNetwork* TalkingEndToEnd::net = nullptr;
std::string TalkingEndToEnd::sharedError;

// B's ring plays four blocks every 125 ms and has no reserve: when a cycle comes before a
// block has arrived it plays a silent block in its place, as the design has it (most often
// at the very start of a talk). So the check is: after the leading silence, every block A
// said, bit for bit, in order, none lost, none repeated, nothing but whole silent blocks
// between them; how many silent blocks were put in is reported, not judged.
TEST_F(TalkingEndToEnd, BPlaysWhatASaysBitExactInOrder) {
    test::SinkRecorder speaker(net->pulse().sinkFifo());
    ASSERT_TRUE(speaker.start());
    test::SourceWriter mic(net->pulse().sourceFifo());
    ASSERT_TRUE(mic.ok());

    // The speech socket opens late in the client's start-up: say it again until A listens.
    int tries = 0;
    ASSERT_TRUE(LabNetwork::waitUntil(
        [&] {
            if (tries++ % 10 == 0) net->command(net->a(), 'T');
            return net->recordingStreams() > 0;
        },
        15000))
        << "A never opened its microphone; A runs: " << net->a().process->running() << "\n"
        << net->diagnostics() << net->clientLog(net->a());
    speaker.clear();
    const std::size_t kBlocks = 160;  // 5 s
    const std::vector<std::uint8_t> signal = e2e::makeNoiseSignal(kBlocks, 0x12345678u);
    feedPaced(mic, signal);
    // Let the last block leave A before it stops talking (a release drops a block in flight).
    ::usleep(400000);
    ASSERT_TRUE(net->command(net->a(), 'R'));

    // Walk what B played, block by block from the signal's first bytes.
    long at = -1;
    std::vector<std::uint8_t> heard;
    std::size_t matched = 0, silent = 0;
    std::string fault;
    LabNetwork::waitUntil(
        [&] {
            heard = speaker.data();
            auto it = std::search(heard.begin(), heard.end(), signal.begin(), signal.begin() + 64);
            at = it == heard.end() ? -1 : static_cast<long>(it - heard.begin());
            if (at < 0) return false;
            matched = silent = 0;
            fault.clear();
            for (std::size_t off = static_cast<std::size_t>(at); off + kBlock <= heard.size() && matched < kBlocks;
                 off += kBlock) {
                const std::uint8_t* b = heard.data() + off;
                if (std::memcmp(b, signal.data() + matched * kBlock, kBlock) == 0) {
                    ++matched;
                } else if (std::all_of(b, b + kBlock, [](std::uint8_t x) { return x == 0; })) {
                    ++silent;
                } else {
                    fault = "block " + std::to_string(matched) + " expected, something else played";
                    return true;
                }
            }
            return matched == kBlocks;
        },
        20000);
    ASSERT_GE(at, 0) << "the signal's start never reached B's speaker (" << heard.size() << " bytes heard)\n"
                     << net->serverLog();
    for (long i = 0; i < at; ++i) ASSERT_EQ(heard[static_cast<std::size_t>(i)], 0) << "noise before the signal at " << i;
    EXPECT_TRUE(fault.empty()) << fault << "; B played, block by block: "
                               << describeBlocks(heard, static_cast<std::size_t>(at), signal);
    EXPECT_EQ(matched, kBlocks) << "B's speaker stopped short of the signal's end; B played: "
                                << describeBlocks(heard, static_cast<std::size_t>(at), signal);
    RecordProperty("silent_blocks_put_in", static_cast<int>(silent));
    std::printf("B played all %zu blocks of A's talk bit-exact, with %zu silent blocks put in: %s\n", matched,
                silent, describeBlocks(heard, static_cast<std::size_t>(at), signal).c_str());
    speaker.stop();
}

TEST_F(TalkingEndToEnd, RostersSentToBListBothAccounts) {
    std::vector<int> r = net->roster(0);
    EXPECT_EQ(r.size(), 2u);
    EXPECT_NE(std::find(r.begin(), r.end(), net->a().account), r.end());
    EXPECT_NE(std::find(r.begin(), r.end(), net->b().account), r.end());
    // B's own control socket does get those replies: it polls, and the server knows it as B's.
    std::string needle = "account " + std::to_string(net->b().account) + " channel 0";
    ASSERT_TRUE(LabNetwork::waitUntil(
        [&] {
            std::string clients = net->order("clients");
            std::size_t line = clients.find(needle);
            if (line == std::string::npos) return false;
            std::size_t rosters = clients.find("rosters ", line);
            return rosters != std::string::npos && std::atoi(clients.c_str() + rosters + 8) >= 2;
        },
        10000))
        << net->order("clients");
}

TEST_F(TalkingEndToEnd, SupervisorCloseOrderEndsBWithExitCodeZero) {
    auto ordered = std::chrono::steady_clock::now();
    ASSERT_EQ(net->order("close account " + std::to_string(net->b().account)), "ok\n");
    int code = -1;
    // The client asks the supervisor every other control cycle (under 3 s), then shows the
    // notice for its 10 s.
    ASSERT_TRUE(net->b().process->waitExit(25000, code)) << "B still runs\n" << net->clientLog(net->b());
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - ordered);
    EXPECT_EQ(code, 0);
    EXPECT_LE(took.count(), 10000 + 3000 + 5000);
    EXPECT_TRUE(net->a().process->running());
    RecordProperty("close_ms", static_cast<int>(took.count()));
}

TEST_F(TalkingEndToEnd, KilledClientLeavesTheRosterAfterTheTimeOut) {
    net->a().process->signal(SIGKILL);
    int code = -1;
    ASSERT_TRUE(net->a().process->waitExit(5000, code));
    std::vector<int> expected = {net->b().account};
    ASSERT_TRUE(LabNetwork::waitUntil([&] { return net->roster(0) == expected; }, 3000 + 5000))
        << net->order("status");
    EXPECT_NE(net->serverLog().find("leave channel 0 account " + std::to_string(net->a().account)), std::string::npos);
}

}  // namespace
}  // namespace orvane::e2e
