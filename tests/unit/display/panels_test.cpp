#include <gtest/gtest.h>

#include "display/panels.h"
#include "tests/fakes/recording_canvas.h"

namespace orvane::display {
namespace {

using platform::Image;

LedImages allLeds() {
    LedImages leds;
    for (int code = 1; code <= 6; ++code) leds.byCode[code] = Image(12, 12, 0xFF000000u | (0x20u * code));
    return leds;
}

TEST(LoadGauge, OneLampShowsTheLoadAndNothingReceivedIsAllRed) {
    using L = std::array<std::int32_t, 5>;
    struct Case {
        std::int32_t load;
        L lamps;
    } cases[] = {
        {0, {3, 6, 6, 6, 6}}, {1, {6, 3, 6, 6, 6}}, {2, {6, 6, 3, 6, 6}}, {3, {6, 6, 6, 4, 6}},
        {4, {6, 6, 6, 6, 1}}, {99, {1, 1, 1, 1, 1}}, {5, {6, 6, 6, 6, 6}}, {-1, {6, 6, 6, 6, 6}},
    };
    for (const Case& c : cases) EXPECT_EQ(loadLampsFor(c.load), c.lamps) << c.load;
}

TEST(StatusLamps, EachLampAtItsPlaceThenGaugeAndForegroundLamps) {
    ClientState state;
    LedImages leds = allLeds();
    prepareLampsAndLeds(state, leds, "/nonexistent/mini_leds.bmf");
    leds = allLeds();
    state.lamps.lampSvc.store(0);  // not drawn, its label still is
    state.channel.serverLoad.store(99);
    test::RecordingCanvas c;
    drawStatusLamps(c, state, leds, false);
    const std::vector<std::string> expected = {
        "blitTransparent 420 270 12x12", "text 417 293 TST",   "blitTransparent 310 270 12x12",
        "text 300 293 HTTPS",            "blitTransparent 370 270 12x12", "text 361 293 TX-RX",
        "blitTransparent 310 220 12x12", "text 307 243 UDP",   "text 337 243 SVC",
        "blitTransparent 370 220 12x12", "text 367 243 TCP",   "blitTransparent 420 220 12x12",
        "blitTransparent 438 220 12x12", "blitTransparent 456 220 12x12", "blitTransparent 474 220 12x12",
        "blitTransparent 492 220 12x12", "text 423 243 SERVER LOAD", "blitTransparent 125 18 12x12",
        "blitTransparent 409 18 12x12"};
    EXPECT_EQ(c.ops(), expected);
    for (auto& lamp : state.lamps.loadLamps) EXPECT_EQ(lamp.load(), kLampRed);
}

TEST(StatusLamps, WithoutLedImagesOnlyLabelsAreDrawn) {
    ClientState state;
    test::RecordingCanvas c;
    drawStatusLamps(c, state, LedImages{}, true);
    EXPECT_EQ(c.count("blit"), 0);
    EXPECT_EQ(c.count("text"), 7);
}

TEST(LedRing, SixteenPlacesClockwiseFromStraightBelow) {
    EXPECT_EQ(ledRingPosition(0).x, 420);
    EXPECT_EQ(ledRingPosition(0).y, 420);
    EXPECT_EQ(ledRingPosition(4).x, 380);  // a quarter turn: left of the centre
    EXPECT_EQ(ledRingPosition(4).y, 380);
    EXPECT_EQ(ledRingPosition(8).x, 420);
    EXPECT_EQ(ledRingPosition(8).y, 340);
    EXPECT_EQ(ledRingPosition(12).x, 460);
    ClientState state;
    for (auto& led : state.lamps.chaserLeds) led.store(kLampBlue);
    state.lamps.chaserLeds[5].store(0);
    test::RecordingCanvas c;
    drawLedRing(c, state, allLeds());
    EXPECT_EQ(c.count("blitTransparent"), 15);
    EXPECT_EQ(c.ops().back(), "text 402 380 NETWORK");
}

TEST(ChannelPanel, NumberImageOnlyAwayFromChannelZero) {
    ClientState state;
    Skin skin;
    for (auto& img : skin.channelImages) img = Image(80, 60);
    test::RecordingCanvas before;
    drawChannelPanel(before, state, skin);
    EXPECT_TRUE(before.ops().empty());  // images not ready yet

    state.ui.channelImagesReady.store(true);
    test::RecordingCanvas zero;
    drawChannelPanel(zero, state, skin);
    EXPECT_EQ(zero.count("blitTransparent"), 0);
    EXPECT_EQ(zero.count("textCentred 20 85 180 105 Bienvenue"), 1);

    state.channel.channelPort.store(30010);
    state.channel.rosterCount[kChannelCount].store(-1);
    test::RecordingCanvas ten;
    drawChannelPanel(ten, state, skin);
    const std::vector<std::string> expected = {"blit 10 80 80x60", "blitTransparent 50 100 80x60",
                                               "frameRect 10 80 190 190", "textCentred 20 85 180 105 Tests divers",
                                               "text 160 168 -1", "text 18 182 CHANNEL"};
    EXPECT_EQ(ten.ops(), expected);
}

TEST(ChannelNames, ByPort) {
    EXPECT_STREQ(channelNameUtf8(30001), "Accueil G\xC3\xA9n\xC3\xA9ral");
    EXPECT_STREQ(channelNameUtf8(30009), "Musique en st\xC3\xA9r\xC3\xA9o");
    EXPECT_EQ(channelNameUtf8(29999), nullptr);
    EXPECT_EQ(channelNameUtf8(30011), nullptr);
}

TEST(TickerBox, ShowsTheSingleByteTextDecoded) {
    ClientState state;
    copyText(state.ui.tickerText, sizeof state.ui.tickerText, kWelcomeText);
    test::RecordingCanvas c;
    drawTickerBox(c, state);
    ASSERT_EQ(c.ops().size(), 3u);
    EXPECT_EQ(c.ops()[0], "frameRect 8 43 542 67");
    EXPECT_EQ(c.ops()[1], "fillRect 10 45 540 65");
    EXPECT_EQ(c.ops()[2],
              "textCentred 10 45 540 65 Bienvenue sur le r\xC3\xA9seau Orvane de t\xC3\xA9l\xC3\xA9phonie de loisir");
}

TEST(Countdown, TextInItsZoneWithTheLabelUnder) {
    test::RecordingCanvas c;
    drawCountdown(c, "01:02:04", 0);
    const std::vector<std::string> expected = {"fillRect 455 270 510 285", "text 455 270 01:02:04",
                                               "text 455 293 TIME LEFT"};
    EXPECT_EQ(c.ops(), expected);
}

}  // namespace
}  // namespace orvane::display
