// The engine thread in simulated time: mode switches, pacing, capture hand-off, shutdown and
// failure paths.
#include "audio/audio_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/fakes/fake_audio.h"

namespace orvane::audio {
namespace {

using test::FakeAudioSystem;
using test::FakeAudioUi;
using test::SimClock;

std::int16_t sampleAt(const std::vector<std::uint8_t>& f, std::size_t i) {
    std::int16_t v;
    std::memcpy(&v, &f[i * 2], 2);
    return v;
}

struct Rig {
    Rig() {
        // A safety net: no test may run forever.
        clock.at(60'000, [this] { state.audio.audioRunFlag = 0; });
    }
    void pressAt(std::int64_t t) {
        clock.at(t, [this] { state.setTransmit(true); });
    }
    void releaseAt(std::int64_t t) {
        clock.at(t, [this] { state.setTransmit(false); });
    }
    void shutdownAt(std::int64_t t) {
        clock.at(t, [this] { state.audio.audioRunFlag = 0; });
    }
    int run() {
        state.audio.audioRunFlag = 1;  // as startAudioEngine raises it before the thread
        return engine.run();
    }

    ClientState state;
    SimClock clock;
    FakeAudioSystem devices{clock};
    FakeAudioUi ui;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::int64_t> frameTimes;
    AudioEngine engine{state, devices, clock, ui, [this](const std::uint8_t* f) {
                           frames.emplace_back(f, f + kAudioBlockBytes);
                           frameTimes.push_back(clock.nowMs());
                       }};
};

// Every frame continues the microphone's ramp where the one before it stopped.
void expectConsecutive(const std::vector<std::vector<std::uint8_t>>& frames, std::size_t from,
                       std::size_t to) {
    for (std::size_t k = from; k + 1 < to; ++k) {
        std::int16_t last = sampleAt(frames[k], 499);
        std::int16_t next = sampleAt(frames[k + 1], 0);
        EXPECT_EQ(next, static_cast<std::int16_t>(last % 30000 + 1)) << "between frames " << k << " and " << k + 1;
    }
}

TEST(AudioEngine, ListeningPlaysSilenceEvery125MsAndShutdownOpensCaptureOnce) {
    Rig rig;
    rig.shutdownAt(2500);  // more than 16 cycles: the chaser wraps
    EXPECT_EQ(rig.run(), 0);

    EXPECT_EQ(rig.state.audio.audioRunFlag, 99);
    EXPECT_EQ(rig.devices.count("playback.open"), 1);
    EXPECT_EQ(rig.devices.count("playback.close"), 1);
    EXPECT_EQ(rig.devices.count("capture.open"), 1);
    EXPECT_EQ(rig.devices.count("capture.close"), 1);
    EXPECT_LE(rig.devices.timeOf("playback.close"), rig.devices.timeOf("capture.open"));
    EXPECT_EQ(rig.devices.events[1].what, "playback.close");
    EXPECT_EQ(rig.devices.events[2].what, "capture.open");
    EXPECT_TRUE(rig.frames.empty());
    EXPECT_EQ(rig.state.lamps.lampTxRx, kLampBlue);
    EXPECT_EQ(rig.state.audio.ringWriteIndex, 4);

    // Two buffers at once, then one per returned buffer: one group every 125 ms.
    const auto& writes = rig.devices.playbackWrites;
    ASSERT_GT(writes.size(), 16u);
    EXPECT_EQ(writes[0], 0);
    EXPECT_EQ(writes[1], 0);
    for (std::size_t i = 2; i < writes.size(); ++i) EXPECT_NEAR(writes[i], 125 * (i - 1), 10) << i;
    for (std::uint8_t b : rig.devices.played) ASSERT_EQ(b, 0);
    // Both buffers came back before the device closed.
    EXPECT_EQ(rig.devices.playbackReturns.size(), writes.size());

    // The chaser moved one position per cycle (wrapping): red ahead, blue just left.
    int pos = rig.engine.playbackChaserPos();
    EXPECT_EQ(pos, static_cast<int>(writes.size()) % 16);
    EXPECT_EQ(rig.state.lamps.chaserLeds[pos], kLampRed);
    EXPECT_EQ(rig.state.lamps.rxChaserIndex, (pos + 15) % 16);
    EXPECT_EQ(rig.state.lamps.chaserLeds[(pos + 15) % 16], kLampBlue);
}

TEST(AudioEngine, ListeningWakesOncePerReturnedBufferAndAtOnce) {
    Rig rig;
    rig.shutdownAt(2500);
    rig.run();

    // Each buffer after the first two goes out in the very millisecond one came back: the
    // done notification ends the wait, nothing looks at the count every few milliseconds.
    const auto& writes = rig.devices.playbackWrites;
    const auto& returns = rig.devices.playbackReturns;
    ASSERT_GT(writes.size(), 16u);
    for (std::size_t i = 2; i < writes.size(); ++i) EXPECT_EQ(writes[i], returns[i - 2]) << i;
    // About one wake-up per cycle (and two to drain at the end, plus the capture open and
    // close); a 10 ms poll would take some 250.
    EXPECT_LE(rig.clock.sleeps, static_cast<long>(writes.size()) + 6);
}

TEST(AudioEngine, TalkingWaitsForBothOutputBuffersThenSendsEveryBlockInOrder) {
    Rig rig;
    std::int32_t lampWhileTalking = -1;
    rig.pressAt(300);
    rig.clock.at(900, [&] { lampWhileTalking = rig.state.lamps.lampTxRx; });
    rig.releaseAt(1300);
    rig.shutdownAt(2000);
    rig.run();

    std::int64_t open = rig.devices.timeOf("capture.open");
    std::int64_t closed = rig.devices.timeOf("playback.close");
    EXPECT_LE(closed, open);
    EXPECT_GE(open, 300);
    EXPECT_LE(open, 300 + 260);  // at most the two queued buffers of 125 ms, plus a poll
    for (std::int64_t t : rig.devices.playbackWrites)
        if (t <= closed) {
            EXPECT_LE(t + 125, closed + 10);
        }
    EXPECT_EQ(lampWhileTalking, kLampRed);
    EXPECT_EQ(rig.state.lamps.lampTxRx, kLampBlue);

    // About one block per 31.25 ms of capture, each handed on within a poll of completing.
    double talkMs = static_cast<double>(rig.devices.timeOf("capture.close") - rig.devices.timeOf("capture.start"));
    EXPECT_NEAR(static_cast<double>(rig.frames.size()), talkMs / 31.25, 1.5);
    for (std::size_t i = 0; i < rig.frames.size(); ++i)
        EXPECT_LE(rig.frameTimes[i] - rig.devices.captureDone[i], kPollMs) << i;
    expectConsecutive(rig.frames, 0, rig.frames.size());
    EXPECT_EQ(sampleAt(rig.frames[0], 0), 1);  // nothing recorded before the first block is lost

    // Playback resumed after the release.
    EXPECT_EQ(rig.devices.count("playback.open"), 2);
    EXPECT_EQ(rig.state.audio.audioRunFlag, 99);
}

TEST(AudioEngine, RingIndexCarriesOverBetweenPressesWithoutReordering) {
    Rig rig;
    rig.pressAt(300);
    // Released after four blocks, so the second press starts at ring index 1.
    rig.clock.listeners.push_back([&] {
        if (rig.frames.size() == 4 && rig.clock.nowMs() < 1500) rig.state.setTransmit(false);
    });
    rig.pressAt(1500);
    rig.releaseAt(2200);
    rig.shutdownAt(3000);
    rig.run();

    ASSERT_EQ(rig.devices.count("capture.open"), 3);  // two presses and the shutdown
    std::int64_t secondOpen = rig.devices.timeOf("capture.open", 1);
    std::size_t firstPress = 0;
    while (firstPress < rig.frames.size() && rig.frameTimes[firstPress] < secondOpen) ++firstPress;
    ASSERT_EQ(firstPress, 4u);
    EXPECT_EQ(static_cast<std::size_t>(rig.engine.captureRingIndex()), rig.frames.size() % 3);
    // Each press's blocks go out in recording order, also when the second press starts at a
    // ring index other than 0.
    expectConsecutive(rig.frames, 0, firstPress);
    expectConsecutive(rig.frames, firstPress, rig.frames.size());
    EXPECT_GT(rig.frames.size() - firstPress, 15u);
}

TEST(AudioEngine, PressShorterThanOneBlockSendsNothing) {
    Rig rig;
    rig.pressAt(300);
    bool scheduled = false;
    rig.clock.listeners.push_back([&] {
        if (!scheduled && rig.devices.count("capture.start") == 1) {
            scheduled = true;
            rig.releaseAt(rig.clock.nowMs() + 20);
        }
    });
    rig.shutdownAt(1500);
    rig.run();
    EXPECT_TRUE(scheduled);
    EXPECT_TRUE(rig.frames.empty());
    EXPECT_EQ(rig.state.audio.audioRunFlag, 99);
}

TEST(AudioEngine, ShutdownWhileTalkingClosesCaptureWithinAPoll) {
    Rig rig;
    rig.pressAt(100);
    rig.shutdownAt(1000);
    rig.run();
    EXPECT_EQ(rig.state.audio.audioRunFlag, 99);
    EXPECT_EQ(rig.devices.count("capture.open"), 1);
    EXPECT_LE(rig.devices.timeOf("capture.close") - 1000, kPollMs);
    EXPECT_EQ(rig.devices.count("playback.open"), 1);
    EXPECT_FALSE(rig.frames.empty());
}

TEST(AudioEngine, ReceivedBlocksArePlayedInOrderInTheNextCycle) {
    Rig rig;
    auto store = [&](std::uint8_t fill) {
        std::lock_guard<std::mutex> hold(rig.state.audio.ringLock);
        std::int32_t i = rig.state.audio.ringWriteIndex;
        std::memset(rig.state.audio.jitterRing + i * kAudioBlockBytes, fill, kAudioBlockBytes);
        rig.state.audio.ringWriteIndex = i < 15 ? i + 1 : 15;
    };
    rig.state.audio.ringWriteIndex = 4;
    store(1);
    store(2);
    store(3);
    // Stored at index 4 between the cycles at 125 and 250: played by the cycle at 250.
    rig.clock.at(200, [&] { store(9); });
    rig.shutdownAt(600);
    rig.run();

    const auto& played = rig.devices.played;
    auto blockFill = [&](std::size_t block) { return played[block * kAudioBlockBytes + 500]; };
    EXPECT_EQ(blockFill(0), 1);
    EXPECT_EQ(blockFill(1), 2);
    EXPECT_EQ(blockFill(2), 3);
    EXPECT_EQ(blockFill(3), 0);
    // Groups 1 (t=0) and 2 (t=125) are silent, group 3 (t=250) starts with the late block.
    for (std::size_t b = 4; b < 12; ++b) EXPECT_EQ(blockFill(b), 0) << b;
    EXPECT_EQ(blockFill(12), 9);
    EXPECT_EQ(rig.state.audio.ringWriteIndex, 4);
}

TEST(AudioEngine, CodecTrialPassRunsOnlyOnItsOwnPort) {
    for (std::int32_t port : {kLastChannelPort, kCodecTrialPort}) {
        Rig rig;
        createCodecPair(rig.state);
        rig.state.channel.channelPort = port;
        rig.pressAt(100);
        rig.releaseAt(600);
        rig.shutdownAt(900);
        rig.run();
        ASSERT_FALSE(rig.frames.empty()) << port;
        if (port == kCodecTrialPort) {
            // Decoded speech, not the recorded ramp.
            EXPECT_NE(sampleAt(rig.frames[2], 1) - sampleAt(rig.frames[2], 0), 1);
        } else {
            expectConsecutive(rig.frames, 0, rig.frames.size());
        }
        destroyCodecPair(rig.state);
    }
}

// ---- failures ----

std::size_t failSize = 0;  // allocations of this size fail, and any of at least 8000 bytes when 0
void* failingAllocate(std::size_t bytes) {
    bool fail = failSize == 0 ? bytes >= 2 * kPlayGroupBytes : bytes == failSize;
    return fail ? nullptr : std::calloc(1, bytes);
}

TEST(AudioEngine, DeviceThatCannotOpenShowsTwoMessagesAndExitsWithCode1) {
    struct Case {
        bool capture;
        int error;
        const char* expectedFirst;
        const char* expectedSecond;
    };
    const Case cases[] = {
        {false, 2, "Windows semble avoir un probl\u00e8me syst\u00e8me !\nCode d'erreur : 2", kPlaybackFailureText},
        {true, 32, "Windows semble avoir un probl\u00e8me syst\u00e8me !\nCode d'erreur : 32", kCaptureFailureText},
    };
    for (const Case& c : cases) {
        Rig rig;
        (c.capture ? rig.devices.captureOpenError : rig.devices.playbackOpenError) = c.error;
        rig.pressAt(200);  // the capture device is first opened when the user talks
        rig.shutdownAt(5000);
        rig.run();
        ASSERT_EQ(rig.ui.messages.size(), 2u);
        EXPECT_EQ(rig.ui.messages[0].text, c.expectedFirst);
        EXPECT_EQ(rig.ui.messages[0].caption, "Erreur Syst\u00e8me Windows");
        EXPECT_EQ(rig.ui.messages[1].text, c.expectedSecond);
        EXPECT_EQ(rig.ui.messages[1].caption, "Identification du probl\u00e8me");
        EXPECT_EQ(rig.ui.exitCodes, std::vector<int>{1});
        EXPECT_LT(rig.clock.nowMs(), 1000) << "the failure ends the thread at once";
        if (!c.capture) {
            EXPECT_EQ(rig.devices.count("capture.open"), 0);
        }
    }
    EXPECT_NE(std::string(kCaptureFailureText).find("fonctionner qu'en mode \u00e9coute"), std::string::npos);
}

// Shutdown's own device opens never end the process: no microphone (or a sound server gone
// by then) still gives the close's exit code, and a shutdown before the thread's first look
// is seen.
TEST(AudioEngine, DevicesThatFailOnceShutdownBeganEndTheThreadQuietly) {
    struct Case {
        const char* what;
        bool noMicrophone, noSpeaker, shutdownFirst;
        int captureOpens;
    } cases[] = {
        {"no microphone, close while listening", true, false, false, 1},
        {"no microphone, shutdown before the thread ran", true, false, true, 1},
        {"no devices at all, shutdown before the thread ran", true, true, true, 1},
        {"working devices, shutdown before the thread ran", false, false, true, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        if (c.noMicrophone) rig.devices.captureOpenError = 32;
        if (c.noSpeaker) rig.devices.playbackOpenError = 2;
        rig.state.audio.audioRunFlag = 1;
        if (c.shutdownFirst) {
            rig.state.audio.audioRunFlag = 0;
            EXPECT_EQ(rig.engine.run(), 0) << c.what;
        } else {
            rig.shutdownAt(700);
            EXPECT_EQ(rig.run(), 0) << c.what;
        }
        EXPECT_EQ(rig.state.audio.audioRunFlag, 99) << c.what;
        EXPECT_TRUE(rig.ui.messages.empty()) << c.what;
        EXPECT_TRUE(rig.ui.exitCodes.empty()) << c.what;
        EXPECT_EQ(rig.devices.count("capture.open"), c.captureOpens) << c.what;
        EXPECT_LT(rig.clock.nowMs(), c.shutdownFirst ? 300 : 1200) << c.what;
    }
}

TEST(AudioEngine, OutputBlockThatCannotBeAllocatedExitsWithoutMessage) {
    Rig rig;
    failSize = 0;
    rig.engine.setMemory({failingAllocate, std::free});
    rig.shutdownAt(1000);
    rig.run();
    EXPECT_TRUE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.exitCodes, std::vector<int>{1});
    EXPECT_EQ(rig.devices.count("playback.open"), 0);
}

TEST(AudioEngine, CaptureBufferThatCannotBeAllocatedSendsNothingAndListensAgain) {
    Rig rig;
    failSize = kAudioBlockBytes;
    rig.engine.setMemory({failingAllocate, std::free});
    rig.pressAt(100);
    rig.releaseAt(800);
    rig.shutdownAt(1500);
    rig.run();
    EXPECT_TRUE(rig.frames.empty());
    EXPECT_EQ(rig.devices.count("capture.start"), 0);
    EXPECT_EQ(rig.devices.count("capture.close"), 2);
    EXPECT_EQ(rig.devices.count("playback.open"), 2);
    EXPECT_TRUE(rig.ui.exitCodes.empty());
    EXPECT_EQ(rig.state.audio.audioRunFlag, 99);
}

TEST(AudioEngine, CaptureOpensTheChosenDevice) {
    Rig rig;
    rig.state.audio.captureDeviceId = 1;
    rig.pressAt(100);
    rig.clock.at(400, [&] { rig.state.audio.captureDeviceId = -1; });  // takes effect next time
    rig.releaseAt(700);
    rig.shutdownAt(1200);
    rig.run();
    EXPECT_EQ(rig.devices.captureDevicesAsked, (std::vector<int>{1, -1}));
}

}  // namespace
}  // namespace orvane::audio
