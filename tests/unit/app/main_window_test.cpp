// The main window procedure with fakes: keys, hover help, clicks in zone order, hit test.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "display/layout.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/recording_services.h"

namespace orvane {
namespace {

namespace vk = platform::vk;
using platform::Point;

class MainWindowInput : public ::testing::Test {
protected:
    void SetUp() override {
        handler = std::make_unique<MainWindowProc>(*state, ui, system, services, skin, "https://docs.example/FR-Orvane.php");
        platform::WindowSpec spec;
        spec.title = "ORVANE";
        spec.width = 550;
        spec.height = 730;
        window = static_cast<test::FakeWindow*>(ui.createWindow(spec, handler.get()));
        state->ui.mainWindow.store(window);
        MainZones& z = handler->zones;
        z.drag = {50, 0, 500, 100};
        z.close = display::kCloseRect;
        z.speech = display::kSpeechIconRect;
        z.channel = display::kChannelPanelRect;
        z.countdown = display::kCountdownRect;
        z.network = display::kNetworkZone;
        z.picture = display::kPictureRect;
        z.documentation = display::kDocIconRect;
        z.designer = {390, 610, 535, 650};
        z.message = display::kMessageZone;
    }
    void keyDown(int key, bool repeat = false) { handler->onKeyDown(*window, key, repeat); }
    void click(Point p) { handler->onLeftButtonDown(*window, p); }

    test::FakeUi ui;
    test::FakeSystem system;
    test::RecordingServices services;
    display::Skin skin;
    std::unique_ptr<ClientState> state = std::make_unique<ClientState>();
    std::unique_ptr<MainWindowProc> handler;
    test::FakeWindow* window = nullptr;
};

TEST_F(MainWindowInput, DigitKeysChooseTheChannel) {
    struct Case {
        int key;
        std::int32_t port;
    } cases[] = {
        {vk::kDigit0 + 3, 30003}, {vk::kDigit0, 30000}, {vk::kDigit0 + 9, 30009},
        {vk::kNumpad0 + 7, 30007}, {vk::kAdd, 30010},   {vk::kNumpad0, 30000},
    };
    for (const Case& c : cases) {
        state->channel.rosterCount[kChannelCount].store(4);
        keyDown(c.key);
        EXPECT_EQ(state->channel.channelPort.load(), c.port) << c.key;
        EXPECT_EQ(state->channel.rosterCount[kChannelCount].load(), -1);
    }
    keyDown(vk::kNumpad0 + 7);
    keyDown(vk::kAdd);
    EXPECT_EQ(state->channel.channelPort.load(), 30010);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MainWindowInput, InactiveKeysAnswerWithInfoClavierAndChangeNothing) {
    state->channel.channelPort.store(30004);
    for (int key : {vk::kLetterA, 0x0D, 0x10, vk::kF1 + 1}) keyDown(key);
    EXPECT_EQ(ui.boxesWithCaption("Info Clavier"), 4);
    EXPECT_EQ(ui.boxes[0].text, "D\xC3\xA9sol\xC3\xA9.\nCette touche est inactive !");
    EXPECT_EQ(ui.boxes[0].owner, window);
    EXPECT_EQ(state->channel.channelPort.load(), 30004);
}

// Keys sorted the way the platform sorts them: system keys keep the default handling.
TEST_F(MainWindowInput, SystemKeysShowNoBoxAndLeaveTheChannel) {
    struct Case {
        const char* what;
        int key;
        bool alt, control, system;
    } cases[] = {
        {"Alt", vk::kMenu, true, false, true},
        {"F10", vk::kF10, false, false, true},
        {"Alt+1", vk::kDigit0 + 1, true, false, true},
        {"Alt+Tab", 0x09, true, false, true},
        {"Alt+F1", vk::kF1, true, false, true},
        {"Alt+Escape", vk::kEscape, true, false, true},
        {"Ctrl+Alt+2 (AltGr) is an ordinary key", vk::kDigit0 + 2, true, true, false},
        {"1", vk::kDigit0 + 1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state->channel.channelPort.store(30004);
        state->ui.inactivitySeconds.store(77);
        ui.boxes.clear();
        const bool system = platform::isSystemKey(c.key, c.alt, c.control);
        EXPECT_EQ(system, c.system);
        platform::deliverKey(*handler, *window, true, c.key, system, false);
        platform::deliverKey(*handler, *window, false, c.key, system, false);
        if (c.system) {
            EXPECT_EQ(state->channel.channelPort.load(), 30004);
            EXPECT_TRUE(ui.boxes.empty());
            EXPECT_FALSE(window->destroyed);
            EXPECT_EQ(state->ui.inactivitySeconds.load(), 77);
        } else {
            EXPECT_EQ(state->channel.channelPort.load(), kFirstChannelPort + c.key - vk::kDigit0);
            EXPECT_EQ(state->ui.inactivitySeconds.load(), kInactivityStartSeconds);
        }
    }
}

TEST_F(MainWindowInput, SpaceReleasedWithAltHeldStillEndsTransmission) {
    platform::deliverKey(*handler, *window, true, vk::kSpace, false, false);
    ASSERT_TRUE(state->isTransmitting());
    platform::deliverKey(*handler, *window, true, vk::kMenu, true, false);
    platform::deliverKey(*handler, *window, true, vk::kSpace, true, true);  // repeats with Alt held
    EXPECT_TRUE(state->isTransmitting());
    platform::deliverKey(*handler, *window, false, vk::kSpace, true, false);
    EXPECT_FALSE(state->isTransmitting());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MainWindowInput, SpaceIsPushToTalkAndEveryReleaseResetsTheCountdown) {
    keyDown(vk::kSpace);
    keyDown(vk::kSpace, true);
    keyDown(vk::kSpace, true);
    EXPECT_TRUE(state->isTransmitting());
    state->ui.inactivitySeconds.store(12);
    handler->onKeyUp(*window, vk::kDigit0 + 1);
    EXPECT_TRUE(state->isTransmitting());
    EXPECT_EQ(state->ui.inactivitySeconds.load(), kInactivityStartSeconds);
    state->ui.inactivitySeconds.store(12);
    handler->onKeyUp(*window, vk::kSpace);
    EXPECT_FALSE(state->isTransmitting());
    EXPECT_EQ(state->ui.inactivitySeconds.load(), kInactivityStartSeconds);
}

TEST_F(MainWindowInput, F1OpensTheAboutBoxAndEscapeEndsTheProgram) {
    keyDown(vk::kF1);
    ASSERT_EQ(ui.abouts.size(), 1u);
    EXPECT_NE(ui.abouts[0].find("Orvane, R\xC3\xA9seau social d'\xC3\xA9" "change"), std::string::npos);
    keyDown(vk::kEscape);
    EXPECT_FALSE(window->destroyed);  // posted, as a message would be
    ui.runPosted();
    EXPECT_TRUE(window->destroyed);
    EXPECT_TRUE(ui.quitRequested);
    EXPECT_EQ(state->ui.mainWindow.load(), nullptr);
}

TEST_F(MainWindowInput, HoverHelpOfTheFirstZoneUnderThePointer) {
    struct Case {
        Point p;
        const char* help;
    } cases[] = {
        {{400, 400}, "Cliquez sur NETWORK pour voir les correspondants"},
        {{100, 150}, "Cliquez dans ce cadre pour voir tous les groupes"},
        {{330, 620}, "Cliquez sur cette icon pour ouvrir la documentation"},
        {{400, 500}, "Cliquez sur cette animation pour ouvrir l'image partag\xE9" "e"},
        {{450, 630}, "Cliquez ici pour plus d'information sur le concepteur"},
        {{20, 20}, "Cliquez ici pour activer le synth\xE9tiseur vocal"},
        {{300, 700}, kWelcomeText},
        {{480, 440}, kWelcomeText},  // right and bottom edges are outside a zone
    };
    for (const Case& c : cases) {
        handler->onMouseMove(*window, c.p);
        EXPECT_STREQ(state->ui.tickerText, c.help) << c.p.x << "," << c.p.y;
    }
}

TEST_F(MainWindowInput, DragBandAnswersAsCaption) {
    EXPECT_EQ(handler->onHitTest(*window, {100, 90}), platform::HitTest::Caption);  // channel zone, in the band
    EXPECT_EQ(handler->onHitTest(*window, {100, 100}), platform::HitTest::Client);
    EXPECT_EQ(handler->onHitTest(*window, {49, 50}), platform::HitTest::Client);
    EXPECT_EQ(handler->onHitTest(*window, {525, 25}), platform::HitTest::Client);  // the close mark
}

TEST_F(MainWindowInput, ClicksActOnTheFirstZoneHit) {
    handler->knobRects.params = {25, 220, 85, 280};
    handler->knobRects.mic = {115, 220, 175, 280};
    handler->knobRects.volume = {180, 220, 240, 280};  // grown areas overlap the microphone's
    state->channel.channelPort.store(30002);
    struct Case {
        Point p;
        const char* call;
    } cases[] = {
        {{180, 250}, "setSpeakerVolume"},  // in both grown knob areas: volume first
        {{150, 293}, "setMicVolume"},
        {{12, 250}, "openParametersWindow"},
        {{400, 400}, "openNetworkWindow"},
        {{100, 150}, "openGroupListWindow"},
        {{400, 500}, "pictureZoneClicked"},
        {{30, 30}, "toggleSpeechProgram"},
    };
    for (const Case& c : cases) {
        services.calls.clear();
        click(c.p);
        EXPECT_EQ(services.snapshot(), std::vector<std::string>{c.call}) << c.p.x << "," << c.p.y;
    }
    EXPECT_NEAR(services.speakerSets.at(0), 0.3f, 0.01f);  // left of the volume knob's centre
    services.calls.clear();
    click({330, 620});
    EXPECT_EQ(system.urls, std::vector<std::string>{"https://docs.example/FR-Orvane.php"});
    click({450, 630});
    EXPECT_EQ(ui.abouts.size(), 1u);
    click({300, 700});  // the message zone does nothing
    EXPECT_TRUE(services.snapshot().empty());
    click({525, 25});
    ui.runPosted();
    EXPECT_TRUE(window->destroyed);
}

TEST_F(MainWindowInput, PictureZoneDoesNothingOnChannelZero) {
    click({400, 500});
    EXPECT_EQ(services.count("pictureZoneClicked"), 0);
    keyDown(vk::kDigit0 + 1);
    click({400, 500});
    EXPECT_EQ(services.count("pictureZoneClicked"), 1);
}

TEST_F(MainWindowInput, PaintDrawsTheFrameFirstAndAsksForTheTalkerCard) {
    state->ui.closeButtonShown.store(1);
    window->show();
    ASSERT_GE(window->ops.size(), 4u);
    EXPECT_EQ(window->ops[0], "roundRect 0 0 550 730");
    EXPECT_EQ(window->ops[1], "roundRect 10 650 540 720");
    EXPECT_NE(std::find(window->ops.begin(), window->ops.end(), "text 480 605 0.7.6"), window->ops.end());
    EXPECT_TRUE(state->ui.talkerRedrawPending.load());
}

TEST_F(MainWindowInput, RightClickAsksForSpokenHelp) {
    handler->onRightButtonDown(*window, {42, 43});
    ASSERT_EQ(services.spokenHelpClicks.size(), 1u);
    EXPECT_EQ(services.spokenHelpClicks[0].x, 42);
}

}  // namespace
}  // namespace orvane
