// The engine thread on a real sound server: what the microphone records reaches the frame sink
// unchanged, and what lands in the jitter ring reaches the speaker unchanged.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/endpoint_volume.h"
#include "net/audio_sender.h"
#include "protocol/datagrams.h"
#include "platform/udp.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/pulse_fixture.h"
#include "tests/integration/audio/test_signal.h"

namespace orvane::audio {
namespace {

test::PulseFixture* server = nullptr;

class PulseEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        server = &fixture;
        std::string error;
        ASSERT_TRUE(fixture.start(error)) << error;
    }
    void TearDown() override { fixture.stop(); }
    test::PulseFixture fixture;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

bool waitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    for (double until = test::steadyNowMs() + timeoutMs; test::steadyNowMs() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// The engine on its own thread, listening.
struct LiveEngine {
    using OnFrame = std::function<void(ClientState&, const std::uint8_t*)>;
    explicit LiveEngine(OnFrame onFrame = nullptr) : onFrame(std::move(onFrame)) {
        thread = startAudioEngine(state, [this](const std::uint8_t* f) {
            if (this->onFrame) this->onFrame(state, f);
        }, ui);
    }
    ~LiveEngine() {
        state.audio.audioRunFlag = 0;
        if (thread.joinable()) thread.join();
        if (state.link.voiceSocket != platform::kInvalidSocket) platform::systemUdp().close(state.link.voiceSocket);
    }
    // What the voice receive thread does with one arriving block.
    void receive(const std::uint8_t* block) {
        std::lock_guard<std::mutex> hold(state.audio.ringLock);
        std::int32_t i = state.audio.ringWriteIndex;
        std::memcpy(state.audio.jitterRing + i * kAudioBlockBytes, block, kAudioBlockBytes);
        state.audio.ringWriteIndex = i < kJitterSlots - 1 ? i + 1 : kJitterSlots - 1;
    }

    ClientState state;
    test::FakeAudioUi ui;
    OnFrame onFrame;
    std::thread thread;
};

TEST(AudioEnginePulse, TransmittingSendsTheRecordedSignalBitExactInConsecutiveDatagrams) {
    setMicVolume(1.0f);
    platform::UdpNetwork& udp = platform::systemUdp();
    platform::SocketHandle voiceServer = udp.openBound(platform::kLoopback, 0);  // stands in for it
    ASSERT_NE(voiceServer, platform::kInvalidSocket);
    LiveEngine engine([&](ClientState& s, const std::uint8_t* f) { net::sendAudioFrame(s, udp, f); });
    ClientState& state = engine.state;
    state.link.voiceSocket = udp.openBound(platform::kLoopback, 0);
    state.link.serverAddress = platform::kLoopback;
    state.channel.channelPort = udp.localPort(voiceServer);
    ASSERT_TRUE(waitFor([&] { return state.audio.audioRunFlag == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // listening first
    state.setTransmit(true);
    ASSERT_TRUE(waitFor([&] { return state.lamps.lampTxRx == kLampRed; }));

    test::SourceWriter mic(server->sourceFifo());
    ASSERT_TRUE(mic.ok());
    ASSERT_TRUE(mic.writeLead());
    const std::size_t blocks = 48;  // 1.5 s
    std::vector<std::uint8_t> signal = test::makeSignal(0, blocks * 250);
    double start = test::steadyNowMs();
    for (std::size_t b = 0; b < blocks; ++b) {
        ASSERT_TRUE(mic.write(signal.data() + b * kAudioBlockBytes, kAudioBlockBytes));
        double due = start + static_cast<double>(b + 1) * 31.25;
        while (test::steadyNowMs() < due) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The datagrams wait in the socket; take them as they come.
    std::vector<std::uint8_t> sent, sequences;
    std::uint8_t d[2048];
    // Until the signal is there (after the microphone's lead and whatever silence the sound
    // server recorded before it) with all but its last two blocks.
    const auto heardEnough = [&] {
        const long at = test::findBytes(sent, signal.data(), 4);
        return at >= 0 && sent.size() - static_cast<std::size_t>(at) >= (blocks - 2) * kAudioBlockBytes;
    };
    while (!heardEnough() && udp.waitReadable(voiceServer, 10000) == 1) {
        int n = udp.receiveFrom(voiceServer, d, sizeof d, nullptr, nullptr);
        ASSERT_EQ(n, static_cast<int>(protocol::kAudioDatagramBytes));
        sequences.push_back(d[1]);
        sent.insert(sent.end(), d + protocol::kAudioHeaderBytes, d + n);
    }
    state.setTransmit(false);
    ASSERT_TRUE(waitFor([&] { return state.lamps.lampTxRx == kLampBlue; }));
    udp.close(voiceServer);

    // One datagram per block, numbered 1, 2, 3, ...
    for (std::size_t i = 0; i < sequences.size(); ++i)
        ASSERT_EQ(sequences[i], static_cast<std::uint8_t>(i % 255 + 1)) << i;
    // Whole blocks, back to back, exactly the recorded samples from the first one on.
    ASSERT_TRUE(heardEnough());
    long at = test::findBytes(sent, signal.data(), 4);
    ASSERT_GE(at, 0);
    for (long i = 0; i < at; ++i) ASSERT_EQ(sent[static_cast<std::size_t>(i)], 0) << "before the signal";
    std::size_t n = 0;
    EXPECT_TRUE(test::recordedInOrder(sent, at, signal, test::soundServerClocksSources(), n));
    EXPECT_GE(n, (blocks - 2) * kAudioBlockBytes);
}

TEST(AudioEnginePulse, RingBlocksArePlayedBitExactInOrderWithSilenceAround) {
    test::SinkRecorder speaker(server->sinkFifo());
    ASSERT_TRUE(speaker.start());
    LiveEngine engine;
    engine.state.audio.ringWriteIndex = 4;
    ASSERT_TRUE(waitFor([&] { return engine.state.audio.audioRunFlag == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // silence first

    const std::size_t blocks = 40;
    std::vector<std::uint8_t> signal = test::makeSignal(0, blocks * 250);
    double start = test::steadyNowMs();
    for (std::size_t b = 0; b < blocks; ++b) {
        engine.receive(signal.data() + b * kAudioBlockBytes);
        double due = start + (b + 1) * 31.25;
        while (test::steadyNowMs() < due) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Nothing more arrives: the last block and then silence.
    ASSERT_TRUE(waitFor([&] {
        std::vector<std::uint8_t> heard = speaker.data();
        return test::findBytes(heard, signal.data() + signal.size() - 8, 8) >= 0;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<std::uint8_t> heard = speaker.data();
    speaker.stop();

    long at = test::findBytes(heard, signal.data(), 4);
    ASSERT_GE(at, 0);
    for (long i = 0; i < at; ++i) ASSERT_EQ(heard[static_cast<std::size_t>(i)], 0) << "before the signal";
    std::vector<std::uint8_t> after(heard.begin() + at, heard.end());
    std::vector<std::uint8_t> content = test::withoutSilentFrames(after);
    ASSERT_EQ(content.size(), signal.size()) << "the signal, nothing more";
    EXPECT_TRUE(std::equal(signal.begin(), signal.end(), content.begin()));
    long end = test::findBytes(heard, signal.data() + signal.size() - 4, 4);
    EXPECT_GT(heard.size() - static_cast<std::size_t>(end), 4000u) << "silence after the signal";
    EXPECT_EQ(engine.state.audio.ringWriteIndex, 4);
}

}  // namespace
}  // namespace orvane::audio
