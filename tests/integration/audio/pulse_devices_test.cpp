// The PulseAudio devices and endpoints against a private server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/audio_device.h"
#include "platform/audio_endpoints.h"
#include "tests/fakes/pulse_fixture.h"
#include "tests/integration/audio/test_signal.h"

namespace orvane {
namespace {

using platform::AudioBuffer;
using platform::EndpointFlow;
using platform::EndpointInfo;

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

bool waitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    for (double until = test::steadyNowMs() + timeoutMs; test::steadyNowMs() < until;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

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

TEST(PulseDevices, CaptureFillsQueuedBuffersBitExactInOrder) {
    int error = -1;
    auto capture = platform::hostAudio().openCapture(platform::kDefaultCaptureDevice, error);
    ASSERT_EQ(error, platform::kAudioOk);
    ASSERT_TRUE(capture);
    std::uint8_t store[3][1000];
    AudioBuffer buffers[3];
    for (int i = 0; i < 3; ++i) {
        buffers[i].data = store[i];
        buffers[i].length = 1000;
        ASSERT_EQ(capture->addBuffer(buffers[i]), platform::kAudioOk);
    }
    ASSERT_EQ(capture->start(), platform::kAudioOk);

    test::SourceWriter writer(server->sourceFifo());
    ASSERT_TRUE(writer.ok());
    std::vector<std::uint8_t> signal = test::makeSignal(0, 8000);  // one second
    std::thread feeder([&] {
        for (std::size_t off = 0; off < signal.size(); off += 1000) {
            writer.write(signal.data() + off, 1000);
            std::this_thread::sleep_for(std::chrono::microseconds(31250));
        }
    });
    std::vector<std::uint8_t> got;
    int next = 0;
    while (got.size() < 12000) {
        ASSERT_TRUE(waitFor([&] { return buffers[next].done.load(); })) << "block " << got.size() / 1000;
        got.insert(got.end(), store[next], store[next] + 1000);
        buffers[next].done = false;
        capture->addBuffer(buffers[next]);
        next = (next + 1) % 3;
    }
    feeder.join();
    capture->reset();
    capture->close();

    // The recording may begin before the first written byte (silence); from the signal's
    // first frame on it must be the signal, unbroken.
    std::vector<std::uint8_t> content = test::withoutSilentFrames(got);
    ASSERT_GE(content.size(), 4000u);
    long at = test::findBytes(signal, content.data(), 4000);
    ASSERT_GE(at, 0);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), signal.begin() + at));
    long start = test::findBytes(got, content.data(), 4);
    EXPECT_TRUE(std::equal(got.begin() + start, got.end(), signal.begin() + at));
}

TEST(PulseDevices, CaptureOfAnUnknownDeviceFails) {
    int error = 0;
    EXPECT_FALSE(platform::hostAudio().openCapture(7, error));
    EXPECT_EQ(error, platform::kAudioBadDevice);
}

TEST(PulseDevices, PlaybackPlaysQueuedBuffersBitExactAndReturnsEach) {
    test::SinkRecorder recorder(server->sinkFifo());
    ASSERT_TRUE(recorder.start());
    std::atomic<int> returned{0};
    int error = -1;
    auto playback = platform::hostAudio().openPlayback([&] { ++returned; }, error);
    ASSERT_EQ(error, platform::kAudioOk);
    std::vector<std::uint8_t> signal = test::makeSignal(0, 3000);  // 3 buffers of 125 ms
    AudioBuffer buffers[2];
    std::uint8_t store[2][4000];
    for (int i = 0; i < 3; ++i) {
        AudioBuffer& b = buffers[i % 2];
        if (i >= 2) {
            ASSERT_TRUE(waitFor([&] { return returned.load() >= i - 1; }));
        }
        std::memcpy(store[i % 2], signal.data() + i * 4000, 4000);
        b.data = store[i % 2];
        b.length = 4000;
        b.done = false;
        ASSERT_EQ(playback->write(b), platform::kAudioOk);
    }
    ASSERT_TRUE(waitFor([&] { return returned.load() == 3; }));
    playback->close();
    ASSERT_TRUE(waitFor([&] {
        std::vector<std::uint8_t> heard = recorder.data();
        return test::findBytes(heard, signal.data() + signal.size() - 8, 8) >= 0;
    }));
    std::vector<std::uint8_t> heard = recorder.data();
    long at = test::findBytes(heard, signal.data(), 4);
    ASSERT_GE(at, 0);
    std::vector<std::uint8_t> tail(heard.begin() + at, heard.end());
    std::vector<std::uint8_t> content = test::withoutSilentFrames(tail);
    ASSERT_GE(content.size(), signal.size());
    EXPECT_TRUE(std::equal(signal.begin(), signal.end(), content.begin()));
}

}  // namespace
}  // namespace orvane
