// The sound server goes away under a running engine: the engine keeps answering the transmit
// key instead of waiting forever for its output buffers, and the endpoint queries fail quietly.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "audio/audio_engine.h"
#include "audio/capture_devices.h"
#include "audio/endpoint_volume.h"
#include "tests/fakes/pulse_fixture.h"

namespace orvane::audio {
namespace {

class LockedUi final : public AudioUi {
public:
    void showMessage(std::string_view text, std::string_view caption, platform::MessageIcon) override {
        std::lock_guard<std::mutex> hold(lock);
        messages.emplace_back(std::string(text), std::string(caption));
    }
    void exitProcess(int code) override {
        std::lock_guard<std::mutex> hold(lock);
        exitCodes.push_back(code);
    }
    std::mutex lock;
    std::vector<std::pair<std::string, std::string>> messages;
    std::vector<int> exitCodes;
};

bool waitFor(const std::function<bool()>& done, int timeoutMs = 15000) {
    for (double until = test::steadyNowMs() + timeoutMs; test::steadyNowMs() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

TEST(AudioServerLoss, EngineStillAnswersAndTheCaptureFailureEndsTheProgram) {
    test::PulseFixture server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;

    ClientState state;
    LockedUi ui;
    std::thread engine = startAudioEngine(state, [](const std::uint8_t*) {}, ui);
    // The run flag is raised before the thread starts, so it says nothing about the device:
    // wait for the first playback cycle (it lights the ring's red LED) on a busy machine too.
    ASSERT_TRUE(waitFor([&] {
        for (const auto& led : state.lamps.chaserLeds) {
            if (led.load() == kLampRed) return true;
        }
        return false;
    }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    server.stop();
    EXPECT_EQ(readMicVolume(), 0.0f);
    EXPECT_EQ(readSpeakerVolume(), 0.0f);
    EndpointDescription d;
    EXPECT_EQ(describeDefaultOutput(d), kStatusFail);

    state.setTransmit(true);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> hold(ui.lock);
        return !ui.exitCodes.empty();
    }));
    engine.join();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].first, kCaptureFailureText);
    EXPECT_EQ(ui.exitCodes, std::vector<int>{1});
}

}  // namespace
}  // namespace orvane::audio
