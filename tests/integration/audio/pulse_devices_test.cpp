// The PulseAudio endpoints and device numbering against a private server (the devices'
// sound path is covered through the engine in audio_engine_pulse_test).
#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "platform/audio_endpoints.h"
#include "tests/fakes/pulse_fixture.h"
#include "tests/integration/audio/test_signal.h"

namespace orvane {
namespace {

using platform::EndpointFlow;
using platform::EndpointInfo;

class PulseEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fixture.start(error)) << error;
    }
    void TearDown() override { fixture.stop(); }
    test::PulseFixture fixture;
};

PulseEnvironment* pulseServer = nullptr;

const auto* const environment =
    ::testing::AddGlobalTestEnvironment(pulseServer = new PulseEnvironment);

TEST(PulseEndpoints, ListsTheCaptureSourcesWithoutMonitors) {
    auto& ep = platform::hostAudioEndpoints();
    ASSERT_EQ(ep.captureEndpointCount(), 2);
    ASSERT_EQ(ep.captureDeviceCount(), 2);
    EndpointInfo first, second, none;
    ASSERT_TRUE(ep.captureEndpoint(0, first));
    ASSERT_TRUE(ep.captureEndpoint(1, second));
    EXPECT_FALSE(ep.captureEndpoint(2, none));
    EXPECT_FALSE(ep.captureEndpoint(-1, none));
    EXPECT_EQ(first.id, test::PulseFixture::kSourceName);
    EXPECT_EQ(first.iconLocation, "audio-input-microphone,0");
    EXPECT_EQ(second.id, test::PulseFixture::kHeadsetSourceName);
    EXPECT_EQ(second.friendlyName, "Headset Mic");
    EXPECT_EQ(second.iconLocation, "audio-headset,0");
    std::string name;
    ASSERT_TRUE(ep.captureDeviceName(1, name));
    EXPECT_EQ(name, "Headset Mic");
}

TEST(PulseEndpoints, DefaultEndpointsAreThePipes) {
    auto& ep = platform::hostAudioEndpoints();
    EndpointInfo in, out;
    ASSERT_TRUE(ep.defaultEndpoint(EndpointFlow::Capture, in));
    ASSERT_TRUE(ep.defaultEndpoint(EndpointFlow::Render, out));
    EXPECT_EQ(in.id, test::PulseFixture::kSourceName);
    EXPECT_EQ(out.id, test::PulseFixture::kSinkName);
    EXPECT_FALSE(out.friendlyName.empty());
}

TEST(PulseEndpoints, VolumesReadBackWhatWasSet) {
    auto& ep = platform::hostAudioEndpoints();
    for (EndpointFlow flow : {EndpointFlow::Capture, EndpointFlow::Render}) {
        for (float v : {0.0f, 0.3f, 0.75f, 1.0f}) {
            ASSERT_TRUE(ep.setMasterVolume(flow, v));
            float read = -1;
            ASSERT_TRUE(ep.masterVolume(flow, read));
            EXPECT_NEAR(read, v, 0.001);
        }
        // Out of range is refused and leaves the volume as it was.
        EXPECT_FALSE(ep.setMasterVolume(flow, 1.5f));
        EXPECT_FALSE(ep.setMasterVolume(flow, -0.1f));
        float read = -1;
        ASSERT_TRUE(ep.masterVolume(flow, read));
        EXPECT_NEAR(read, 1.0f, 0.001);
    }
}

TEST(PulseDevices, CaptureOfAnUnknownDeviceFails) {
    int error = 0;
    EXPECT_FALSE(platform::hostAudio().openCapture(7, error));
    EXPECT_EQ(error, platform::kAudioBadDevice);
}

bool waitDone(const platform::AudioBuffer& b, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (b.done.load()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return b.done.load();
}

// An engine that comes late finds nothing lost: while no buffer is queued the recorded sound
// waits in the stream, and the buffers queued afterwards get it in order, byte for byte.
// What comes before the signal is silence (the microphone's lead, and on PipeWire whatever
// its clock-driven source recorded before the first write), what follows it silence too.
TEST(PulseDevices, CaptureKeepsWhatIsRecordedWhileNoBufferIsQueued) {
    int error = 0;
    std::unique_ptr<platform::CaptureDevice> capture =
        platform::hostAudio().openCapture(platform::kDefaultCaptureDevice, error);
    ASSERT_TRUE(capture) << error;
    constexpr std::size_t kBlock = 1000, kSignalBlocks = 10, kSlackBlocks = 8;
    constexpr std::size_t kBlocks = kSignalBlocks + kSlackBlocks;
    std::vector<std::uint8_t> data(kBlocks * kBlock, 0xAA);
    std::vector<platform::AudioBuffer> buffers(kBlocks);
    for (std::size_t i = 0; i < kBlocks; ++i) {
        buffers[i].data = data.data() + i * kBlock;
        buffers[i].length = kBlock;
    }
    ASSERT_EQ(capture->addBuffer(buffers[0]), platform::kAudioOk);
    ASSERT_EQ(capture->start(), platform::kAudioOk);

    // A microphone: one block every 31.25 ms, then silence enough to fill every buffer.
    const std::vector<std::uint8_t> signal = test::makeSignal(0, kSignalBlocks * kBlock / 4);
    test::SourceWriter mic(pulseServer->fixture.sourceFifo());
    ASSERT_TRUE(mic.ok());
    ASSERT_TRUE(mic.writeLead());
    std::thread feeder([&] {
        auto start = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < kSignalBlocks; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(31250 * k));
            mic.write(signal.data() + k * kBlock, kBlock);
        }
        mic.writeLead(kSlackBlocks * kBlock);
    });
    ASSERT_TRUE(waitDone(buffers[0]));
    feeder.join();  // the rest was recorded with no buffer queued
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    for (std::size_t i = 1; i < kBlocks; ++i) {
        ASSERT_EQ(capture->addBuffer(buffers[i]), platform::kAudioOk);
        ASSERT_TRUE(waitDone(buffers[i])) << "buffer " << i << " never filled";
    }
    capture->stop();
    capture->reset();
    capture->close();
    const long at = test::findBytes(data, signal.data(), 4);
    ASSERT_GE(at, 0) << "the signal was not recorded";
    for (long i = 0; i < at; ++i) ASSERT_EQ(data[static_cast<std::size_t>(i)], 0) << "before the signal, byte " << i;
    std::size_t n = 0;
    EXPECT_TRUE(test::recordedInOrder(data, at, signal, test::soundServerClocksSources(), n));
    EXPECT_EQ(n, signal.size()) << "the signal came " << at << " bytes late";
}

}  // namespace
}  // namespace orvane
