// A machine without a microphone: its sound server's only source is the monitor of its one
// sink (a null sink, no pipe source), which the server then makes its default source. The
// capture list leaves monitors out, and so does the default input: there is no input device,
// quietly, rather than a default that no list holds, which the parameters window would warn
// about ("Impossible de trouver l'index du périphérique !") on every paint.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "audio/capture_devices.h"
#include "panes/secondary_windows.h"
#include "platform/audio_endpoints.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/fake_https.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/pulse_fixture.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

using platform::EndpointFlow;
using platform::EndpointInfo;

class MonitorOnly : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new PulseFixture;
        std::string error;
        if (!server->start(error, {"null-sink", "speakers", "default-sink", "speakers"})) startError = error;
        // The server chose its default source by itself: the speakers' monitor.
        else if (server->pactl({"get-default-source"}) != 0) startError = "pactl cannot ask the server";
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(startError.empty()) << startError; }

    static inline PulseFixture* server = nullptr;
    static inline std::string startError;
    platform::AudioEndpoints& endpoints = platform::hostAudioEndpoints();
};

TEST_F(MonitorOnly, NoInputDeviceIsOfferedAndNoneIsTheDefault) {
    EXPECT_EQ(endpoints.captureDeviceCount(), 0);
    EXPECT_EQ(endpoints.captureEndpointCount(), 0);
    EndpointInfo input, output;
    EXPECT_FALSE(endpoints.defaultEndpoint(EndpointFlow::Capture, input)) << "the default input is " << input.id;
    ASSERT_TRUE(endpoints.defaultEndpoint(EndpointFlow::Render, output));
    EXPECT_EQ(output.id, "speakers");
    float volume = -1.0f;
    EXPECT_FALSE(endpoints.masterVolume(EndpointFlow::Capture, volume)) << "a monitor's volume taken for the microphone's";
    EXPECT_FALSE(endpoints.setMasterVolume(EndpointFlow::Capture, 0.5f));
    EXPECT_TRUE(endpoints.masterVolume(EndpointFlow::Render, volume));

    FakeAudioUi ui;
    audio::EndpointDescription description;
    EXPECT_EQ(audio::describeDefaultInput(endpoints, ui, description), -1);
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    EXPECT_EQ(description.friendlyName[0], u'\0');
}

// The user's view: the parameters window painted again and again, showing the default input.
TEST_F(MonitorOnly, TheParametersWindowPaintsWithoutAWarning) {
    ClientState state;
    FakeHttps https;
    auto web = std::make_unique<web::WebState>(state, https);
    FakeUi ui;
    web->ui = &ui;
    platform::WindowSpec spec;
    spec.width = 550;
    spec.height = 730;
    state.ui.mainWindow = ui.createWindow(spec, nullptr);
    FakeAudioUi audioUi;
    panes::SecondaryWindows windows(state, *web, ui, endpoints, audioUi);
    windows.sleepMs = [](int) {};
    audio::fillCaptureDeviceTable(state, endpoints);
    EXPECT_EQ(state.audio.captureDeviceTable[0].deviceNumber, -1);  // nothing to choose
    ASSERT_EQ(panes::toggleParametersWindow(windows), 1);
    platform::Window* params = windows.paramsWindow;
    ASSERT_NE(params, nullptr);
    for (int paint = 0; paint < 3; ++paint) params->handler()->onPaint(*params);
    EXPECT_TRUE(audioUi.messages.empty()) << audioUi.messages.size() << " warnings, the first: "
                                          << audioUi.messages.front().text;
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace orvane::test
