// The capture device table, the endpoint descriptions and the volume operations, on fake
// endpoints.
#include "audio/capture_devices.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "audio/endpoint_volume.h"
#include "base/text.h"
#include "tests/fakes/fake_audio.h"

namespace orvane::audio {
namespace {

using test::FakeAudioUi;
using test::FakeEndpoints;

std::string u8(const char16_t* s) { return base::utf16ToUtf8({s, base::u16Length(s, 260)}); }

FakeEndpoints twoEndpoints() {
    FakeEndpoints ep;
    // The short names are cut at 31 characters, as older capture interfaces report them.
    ep.deviceNames = {"Microphone (USB Audio Device) D", "Line In", "Ghost"};
    ep.endpoints = {{"id-line", "Line In (High Definition Audio)", "hdaudio.dll,-5"},
                    {"id-usb", "Microphone (USB Audio Device) Deluxe", "usbaudio.dll,3"}};
    ep.defaultInput = ep.endpoints[1];
    ep.defaultOutput = {"id-out", "Haut-parleurs", "speakers.dll,-17"};
    return ep;
}

TEST(CaptureDeviceTable, MatchesDeviceNamesToEndpointsByPrefix) {
    ClientState s;
    resetCaptureDeviceTable(s);
    FakeEndpoints ep = twoEndpoints();
    fillCaptureDeviceTable(s, ep);
    const auto& t = s.audio.captureDeviceTable;

    EXPECT_EQ(t[0].deviceNumber, 0);
    EXPECT_EQ(t[0].endpointIndex, 1);
    EXPECT_EQ(u8(t[0].displayName), "Microphone (USB Audio Device) Deluxe");
    EXPECT_EQ(u8(t[0].deviceName), "Microphone (USB Audio Device) D");
    EXPECT_EQ(u8(t[0].iconPath), "usbaudio.dll");

    EXPECT_EQ(t[1].endpointIndex, 0);
    EXPECT_EQ(u8(t[1].iconPath), "hdaudio.dll");

    EXPECT_EQ(t[2].deviceNumber, 2);
    EXPECT_EQ(t[2].endpointIndex, -1);
    EXPECT_EQ(u8(t[2].displayName), "Non trouv\u00e9e");

    EXPECT_EQ(t[3].deviceNumber, -1);
    EXPECT_EQ(u8(t[3].displayName), "Windows Driver");

    chooseCaptureDevice(s, 1);
    EXPECT_EQ(s.audio.captureDeviceId, 1);
    chooseCaptureDevice(s, 15);  // beyond the table: ignored
    EXPECT_EQ(s.audio.captureDeviceId, 1);
    chooseCaptureDevice(s, 9);  // an entry without a device: the default device
    EXPECT_EQ(s.audio.captureDeviceId, -1);
}

TEST(CaptureDeviceTable, DevicesThatWentAwayAreNoLongerOffered) {
    ClientState s;
    resetCaptureDeviceTable(s);
    FakeEndpoints ep = twoEndpoints();
    fillCaptureDeviceTable(s, ep);
    ep.deviceNames.pop_back();
    fillCaptureDeviceTable(s, ep);
    EXPECT_EQ(s.audio.captureDeviceTable[1].deviceNumber, 1);
    EXPECT_EQ(s.audio.captureDeviceTable[2].deviceNumber, -1);
    EXPECT_EQ(u8(s.audio.captureDeviceTable[2].displayName), "Windows Driver");
    ep.broken = true;  // cannot list: the table stays as it was
    fillCaptureDeviceTable(s, ep);
    EXPECT_EQ(s.audio.captureDeviceTable[1].deviceNumber, 1);
}

TEST(CaptureDeviceTable, EmptyNamesNeverMatch) {
    ClientState s;
    resetCaptureDeviceTable(s);
    FakeEndpoints ep;
    ep.deviceNames = {"USB Mic", ""};
    ep.endpoints = {{"id", "", "x.dll,1"}};  // an endpoint without a name
    fillCaptureDeviceTable(s, ep);
    EXPECT_EQ(s.audio.captureDeviceTable[0].endpointIndex, -1);
    EXPECT_EQ(s.audio.captureDeviceTable[1].endpointIndex, -1);
    EXPECT_FALSE(deviceNamesMatch(u"", u"USB Mic"));
    EXPECT_FALSE(deviceNamesMatch(u"USB Mic", u""));
    EXPECT_TRUE(deviceNamesMatch(u"USB Mic Pro", u"USB Mic"));
    EXPECT_FALSE(deviceNamesMatch(u"USB Mac Pro", u"USB Mic"));
}

// The table has room for 15 entries and the state goes on right after it: a 16th device must be
// neither asked for nor written anywhere.
TEST(CaptureDeviceTable, ListsAtMostFifteenDevices) {
    for (const int devices : {15, 16, 20}) {
        ClientState s;
        resetCaptureDeviceTable(s);
        // What follows the table in the state, marked so that a write past its end shows.
        auto* const encoder = reinterpret_cast<OpusEncoder*>(std::uintptr_t{0x5EC0DE});
        auto* const decoder = reinterpret_cast<OpusDecoder*>(std::uintptr_t{0xDEC0DE});
        s.audio.opusEncoder = encoder;
        s.audio.opusDecoder = decoder;
        s.audio.micVolumeAtStart = 0.625f;
        s.audio.micVolumeAtStartRead = true;
        FakeEndpoints ep;
        for (int i = 0; i < devices; ++i) {
            ep.deviceNames.push_back("Mic " + std::string(1, static_cast<char>('A' + i)));
            ep.endpoints.push_back({"id" + std::to_string(i), ep.deviceNames.back() + " (USB)", "usb.dll,1"});
        }
        fillCaptureDeviceTable(s, ep);
        EXPECT_EQ(s.audio.captureDeviceTable[14].deviceNumber, 14) << devices;
        EXPECT_EQ(u8(s.audio.captureDeviceTable[14].displayName), "Mic O (USB)") << devices;
        EXPECT_EQ(ep.highestDeviceAsked, 14) << devices << " devices: a device beyond the table was read";
        EXPECT_EQ(s.audio.opusEncoder, encoder) << devices << " devices: written past the table";
        EXPECT_EQ(s.audio.opusDecoder, decoder) << devices;
        EXPECT_EQ(s.audio.micVolumeAtStart, 0.625f) << devices;
        EXPECT_TRUE(s.audio.micVolumeAtStartRead) << devices;
    }
}

TEST(EndpointQueries, CaptureEndpointOutOfRangeLeavesTheDescriptionAlone) {
    FakeEndpoints ep = twoEndpoints();
    EndpointDescription d;
    EXPECT_EQ(describeCaptureEndpoint(ep, 0, d), 0);
    EXPECT_EQ(u8(d.friendlyName), "Line In (High Definition Audio)");
    EXPECT_EQ(d.iconNumber, -5);
    EXPECT_EQ(describeCaptureEndpoint(ep, 7, d), 7);
    EXPECT_EQ(u8(d.friendlyName), "Line In (High Definition Audio)");
}

TEST(EndpointQueries, DefaultInputIsFoundByIdentifier) {
    FakeEndpoints ep = twoEndpoints();
    FakeAudioUi ui;
    EndpointDescription d;
    EXPECT_EQ(describeDefaultInput(ep, ui, d), 1);
    EXPECT_EQ(u8(d.iconPath), "usbaudio.dll");
    EXPECT_EQ(d.iconNumber, 3);
    EXPECT_TRUE(ui.messages.empty());

    ep.defaultInput.id = "id-unplugged";
    EndpointDescription untouched;
    EXPECT_EQ(describeDefaultInput(ep, ui, untouched), -1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Impossible de trouver l'index du p\u00e9riph\u00e9rique !");
    EXPECT_EQ(ui.messages[0].caption, "Error");
    EXPECT_EQ(ui.messages[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(untouched.friendlyName[0], u'\0');
}

TEST(EndpointQueries, DefaultOutputSplitsTheIconLocation) {
    FakeEndpoints ep = twoEndpoints();
    EndpointDescription d;
    EXPECT_EQ(describeDefaultOutput(ep, d), kStatusOk);
    EXPECT_EQ(u8(d.friendlyName), "Haut-parleurs");
    EXPECT_EQ(u8(d.iconPath), "speakers.dll");
    EXPECT_EQ(d.iconNumber, -17);

    // Both lines it writes are UTF-8, as everything else on the program's standard output.
    ep.defaultOutput.friendlyName = "Haut-parleurs (R\xC3\xA9" "altek)";
    ep.defaultOutput.iconLocation = "no-comma-here";
    EndpointDescription e;
    e.iconNumber = 42;
    testing::internal::CaptureStdout();
    EXPECT_EQ(describeDefaultOutput(ep, e), kStatusFail);
    const std::string lines = testing::internal::GetCapturedStdout();
    EXPECT_NE(lines.find("Endpoint friendly name: Haut-parleurs (R\xC3\xA9" "altek)"), std::string::npos) << lines;
    EXPECT_NE(lines.find("Virgule non trouv\xC3\xA9" "e dans la cha\xC3\xAEne."), std::string::npos) << lines;
    EXPECT_EQ(e.iconNumber, 0);
    EXPECT_EQ(e.iconPath[0], u'\0');

    ep.broken = true;
    EXPECT_EQ(describeDefaultOutput(ep, e), kStatusFail);
}

TEST(EndpointVolume, ReadsSetsAndFailsQuietly) {
    FakeEndpoints ep;
    setMicVolume(ep, 0.3f);
    setSpeakerVolume(ep, 0.9f);
    EXPECT_FLOAT_EQ(readMicVolume(ep), 0.3f);
    EXPECT_FLOAT_EQ(readSpeakerVolume(ep), 0.9f);
    setSpeakerVolume(ep, 1.2f);  // refused
    EXPECT_FLOAT_EQ(readSpeakerVolume(ep), 0.9f);
    ep.broken = true;
    EXPECT_FLOAT_EQ(readMicVolume(ep), 0.0f);
    EXPECT_FLOAT_EQ(readSpeakerVolume(ep), 0.0f);
    setMicVolume(ep, 0.5f);  // no effect, no crash
}

}  // namespace
}  // namespace orvane::audio
