// The PulseAudio endpoints and device numbering against a private server (the devices'
// sound path is covered through the engine in audio_engine_pulse_test).
#include <gtest/gtest.h>

#include "platform/audio_device.h"
#include "platform/audio_endpoints.h"
#include "tests/fakes/pulse_fixture.h"

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

const auto* const environment = ::testing::AddGlobalTestEnvironment(new PulseEnvironment);

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

}  // namespace
}  // namespace orvane
