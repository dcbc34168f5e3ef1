#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "state/client_state.h"

namespace orvane {
namespace {

TEST(ClientState, StartsWithTheDesignsInitialValues) {
    static ClientState s;  // large: keep it off the test's stack
    EXPECT_EQ(s.identity.accountNumber, 19704);
    EXPECT_STREQ(s.identity.versionText, "0.7.6");
    EXPECT_EQ(s.identity.machineId[0], '\0');
    EXPECT_EQ(s.channel.channelPort, 30000);
    EXPECT_EQ(s.channel.serverLoad, 99);
    EXPECT_EQ(s.link.voiceSocket, platform::kInvalidSocket);
    EXPECT_EQ(s.link.controlSocket, platform::kInvalidSocket);
    EXPECT_EQ(s.link.speechSocket, platform::kInvalidSocket);
    EXPECT_EQ(s.link.audioSequence, 1);
    EXPECT_EQ(s.audio.captureDeviceId, -1);
    EXPECT_EQ(s.lamps.txChaserIndex, 15);
    EXPECT_EQ(s.ui.inactivitySeconds, 4500);
    EXPECT_EQ(s.ui.backgroundColour, 0u);
    EXPECT_STREQ(s.ui.tickerText, "Bienvenue sur le r\xE9seau Orvane de t\xE9l\xE9phonie de loisir");
    for (int c = 0; c < 12; ++c) EXPECT_EQ(s.channel.rosterCount[c], 0);
    EXPECT_FALSE(s.isTransmitting());
}

TEST(ClientState, FieldsHaveTheirStatedWidths) {
    ClientState* s = nullptr;
    EXPECT_EQ(sizeof s->identity.machineId, 20u);
    EXPECT_EQ(sizeof s->identity.accountNumber, 2u);
    EXPECT_EQ(sizeof s->channel.lastVoiceSequence, 1u);
    EXPECT_EQ(sizeof s->channel.channelRoster, 11u * 16u * 4u);
    EXPECT_EQ(sizeof s->channel.rosterCount, 12u * 4u);
    EXPECT_EQ(sizeof s->audio.jitterRing, 16000u);
    EXPECT_EQ(sizeof s->audio.smoothedPeak, 2u);
    EXPECT_EQ(sizeof s->ui.tickerText, 200u);
    EXPECT_EQ(sizeof s->lamps.chaserLeds, 64u);
}

TEST(ClientState, CaptureDeviceTablePreparedAsAtStartUp) {
    static ClientState s;
    s.audio.captureDeviceId = 3;
    resetCaptureDeviceTable(s);
    EXPECT_EQ(s.audio.captureDeviceId, -1);
    for (const CaptureDeviceEntry& e : s.audio.captureDeviceTable) {
        EXPECT_EQ(e.deviceNumber, -1);
        EXPECT_EQ(e.endpointIndex, -1);
        EXPECT_EQ(e.iconPath[0], u'\0');
        EXPECT_EQ(std::u16string(e.displayName), u"Windows Driver");
        EXPECT_EQ(std::u16string(e.deviceName), u"Windows Driver");
    }
}

TEST(ClientState, TransmitFlagSurvivesConcurrentWriters) {
    static ClientState s;
    std::thread a([&] { for (int i = 0; i < 10000; ++i) s.setTransmit(i % 2 == 0); });
    std::thread b([&] { for (int i = 0; i < 10000; ++i) (void)s.isTransmitting(); });
    a.join();
    b.join();
    s.setTransmit(true);
    EXPECT_TRUE(s.isTransmitting());
    s.setTransmit(false);
    EXPECT_FALSE(s.isTransmitting());
}

TEST(CopyText, CutsAndAlwaysTerminates) {
    char field[6];
    copyText(field, sizeof field, "abcdefgh");
    EXPECT_STREQ(field, "abcde");
    copyText(field, sizeof field, "ab");
    EXPECT_STREQ(field, "ab");
}

}  // namespace
}  // namespace orvane
