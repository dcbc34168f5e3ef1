// Start-up and shutdown with fakes: the order of the steps, the stop notices for missing skin
// files, the single instance, the machine identifier and the timers.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "app/client.h"
#include "display/layout.h"
#include "net/control.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/recording_services.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane {
namespace {

using test::FakeWindow;

class Startup : public ::testing::Test {
protected:
    void make(const std::set<std::string>& omit = {}) {
        folder = test::makeSkinFolder(omit);
        ClientConfig config;
        config.folder = folder;
        config.chimePath = folder + "chimes.wav";
        config.documentationUrl = "https://docs.example/FR-Orvane.php";
        client = std::make_unique<Client>(*state, ui, system, services, config);
    }
    void TearDown() override { test::removeFolder(folder); }

    FakeWindow* main() { return ui.find("ORVANE"); }

    test::FakeUi ui;
    test::FakeSystem system;
    test::RecordingServices services;
    std::unique_ptr<ClientState> state = std::make_unique<ClientState>();
    std::unique_ptr<Client> client;
    std::string folder;
};

TEST_F(Startup, RunsEveryStepInOrderThenShutsDownInOrder) {
    make();
    ASSERT_FALSE(client->startup().has_value());
    const std::vector<std::string> startupCalls = {
        "readMicVolume", "createCodecPair", "openServerSockets", "startNetworkThreads", "requestUsbStatusPicture:1",
        "startAudioEngine", "startupAccountFetches", "openSpeechSocketAndGreet",
        "startSerialDeviceThread"};
    EXPECT_EQ(services.snapshot(), startupCalls);
    EXPECT_EQ(system.mutexes, std::vector<std::string>{"Orvane"});
    EXPECT_EQ(system.sounds.size(), 1u);
    EXPECT_TRUE(ui.boxes.empty());

    FakeWindow* w = main();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->spec.borderless);
    EXPECT_EQ(w->spec.cornerEllipse, 20);
    EXPECT_EQ(w->spec.x, 1024 / 2 - 275);  // centred
    EXPECT_EQ(w->spec.y, 768 / 2 - 365);
    EXPECT_TRUE(w->shown);
    EXPECT_EQ(state->ui.mainWindow.load(), w);
    FakeWindow* left = ui.find("VuMeterLeftClass");
    FakeWindow* right = ui.find("VuMeterRightClass");
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->spec.parent, w);
    EXPECT_EQ(right->spec.x, 370);
    EXPECT_EQ(right->spec.height, 84);

    // Panels, meters, knobs, talker card, ticker, lamps, countdown, animation.
    EXPECT_EQ(ui.timers.size(), 10u);
    EXPECT_EQ(ui.timersWithPeriod(50), 3);
    EXPECT_EQ(ui.timersWithPeriod(200), 1);
    EXPECT_EQ(ui.timersWithPeriod(500), 2);
    EXPECT_EQ(ui.timersWithPeriod(1000), 3);
    EXPECT_EQ(ui.timersWithPeriod(100), 1);

    EXPECT_STREQ(state->ui.tickerText, kWelcomeText);
    EXPECT_EQ(state->lamps.lampTcp.load(), kLampYellow);
    EXPECT_EQ(state->lamps.lampUdp.load(), kLampBlue);
    EXPECT_EQ(state->ui.inactivitySeconds.load(), kInactivityStartSeconds);
    EXPECT_EQ(state->ui.closeButtonShown.load(), 1);
    EXPECT_TRUE(state->ui.channelImagesReady.load());
    EXPECT_FALSE(state->ui.talkerRedrawPending.load());
    EXPECT_FLOAT_EQ(state->audio.micVolumeAtStart, 0.25f);
    EXPECT_EQ(state->audio.captureDeviceId.load(), -1);

    state->audio.audioRunFlag.store(1);
    EXPECT_EQ(client->shutdown(0), 0);
    auto all = services.snapshot();
    const std::vector<std::string> shutdownCalls = {"sendSpeechStopRequest", "destroyCodecPair",
                                                    "deleteUsbStatusPicture", "stopSerialDeviceThread", "setMicVolume"};
    EXPECT_EQ(std::vector<std::string>(all.begin() + static_cast<long>(startupCalls.size()), all.end()), shutdownCalls);
    EXPECT_EQ(services.micSets, std::vector<float>{0.25f});
    EXPECT_TRUE(ui.timers.empty());
    EXPECT_EQ(state->audio.audioRunFlag.load(), 0);
}

TEST_F(Startup, MicrophoneVolumeIsPutBackOnlyWhenItWasRead) {
    for (bool readable : {true, false}) {
        test::FakeUi localUi;
        test::RecordingServices localServices;
        localServices.micReadable = readable;
        localServices.micVolume = 0.6f;
        make();
        auto localState = std::make_unique<ClientState>();
        Client local(*localState, localUi, system, localServices, ClientConfig{folder});
        ASSERT_FALSE(local.startup().has_value());
        localUi.tickAll();  // the knobs read the volume too: a failed read points them down
        EXPECT_EQ(local.shutdown(0), 0);
        EXPECT_EQ(localServices.micSets, readable ? std::vector<float>{0.6f} : std::vector<float>{}) << readable;
        test::removeFolder(folder);
    }
    folder.clear();
}

// A roster reply that claims more users than a row keeps: the panel shows what is kept.
TEST_F(Startup, ChannelPanelShowsAtMostSixteenUsers) {
    make();
    ASSERT_FALSE(client->startup().has_value());
    for (std::int8_t claimed : {40, 3, 16, -5}) {  // each a new count: an unchanged one is not drawn again
        std::vector<std::uint8_t> reply{'L', 0, static_cast<std::uint8_t>(claimed)};
        reply.resize(3 + 2 * 40, 1);
        net::handleRosterReply(*state, reply.data(), reply.size());
        main()->ops.clear();
        for (auto& [id, t] : std::map<int, test::FakeUi::Timer>(ui.timers)) {
            if (t.periodMs == 500) t.tick();
        }
        const int shown = claimed > 16 ? 16 : claimed < 0 ? 0 : claimed;
        const std::string text = "text " + std::to_string(display::kChannelCountPos.x) + " " +
                                 std::to_string(display::kChannelCountPos.y) + " " + std::to_string(shown);
        EXPECT_EQ(std::count(main()->ops.begin(), main()->ops.end(), text), 1) << int(claimed);
    }
    client->shutdown(0);
}

// The panels' timers draw only what would change: an idle tick draws nothing on the main
// window, a changed input or a paint of the window makes the panel draw again.
TEST_F(Startup, PanelTimersDrawOnlyWhenWhatTheyShowChanged) {
    make();
    ASSERT_FALSE(client->startup().has_value());
    auto tick = [&](std::initializer_list<int> periods) {
        main()->ops.clear();
        for (auto& [id, t] : std::map<int, test::FakeUi::Timer>(ui.timers)) {
            if (std::find(periods.begin(), periods.end(), t.periodMs) != periods.end()) t.tick();
        }
        return main()->ops.size();
    };
    EXPECT_GT(tick({50, 200, 500}), 0u);
    EXPECT_EQ(tick({50, 200, 500}), 0u);
    state->lamps.chaserLeds[3].store(kLampGreen);
    EXPECT_GT(tick({50}), 0u);
    EXPECT_EQ(tick({50}), 0u);
    client->mainHandler().onPaint(*main());
    EXPECT_GT(tick({200}), 0u);
    EXPECT_GT(tick({500}), 0u);
    EXPECT_GT(tick({50}), 0u);
    client->shutdown(0);
}

TEST_F(Startup, MissingDocImageGivesOneNoticeAndEndsAfterStartup) {
    make({"doc_img.bmp"});
    ASSERT_FALSE(client->startup().has_value());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Le programme va s'arr\xC3\xAAter\ncar il manque un fichier\nREF: DOC-IMG");
    EXPECT_EQ(ui.boxes[0].caption, "Information");
    EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(ui.boxes[0].owner, nullptr);
    EXPECT_EQ(main()->enabledHistory, (std::vector<bool>{false, true}));
    EXPECT_TRUE(main()->destroyed);
    EXPECT_EQ(state->ui.mainWindow.load(), nullptr);
    EXPECT_EQ(services.count("startSerialDeviceThread"), 1);  // start-up still runs to its end
    EXPECT_EQ(ui.find("VuMeterLeftClass"), nullptr);
    EXPECT_EQ(ui.run(), 0);
    EXPECT_TRUE(ui.quitRequested);
    ui.tickAll();  // the timers find no window and draw nothing
    client->shutdown(0);
}

TEST_F(Startup, EachMissingSkinFileHasItsOwnReference) {
    struct Case {
        const char* file;
        const char* ending;
    } cases[] = {
        {"btn-fleche.bmp", "il manque le fichier\nREF: btn-fleche.bmp"},
        {"btn-param.bmp", "il manque le fichier\nREF: btn-param.bmp"},
        {"synthe_1.bmp", "il manque un fichier\nREF: SYNTHE-IMG"},
        {"5.bmp", "il manque un fichier\nREF: CHANNEL-NUM"},
        {"0.bmp", "il manque un fichier\nREF: CHANNEL-NUM"},
    };
    for (const Case& c : cases) {
        test::FakeUi localUi;
        test::RecordingServices localServices;
        std::string dir = test::makeSkinFolder({c.file});
        ClientConfig config;
        config.folder = dir;
        auto localState = std::make_unique<ClientState>();
        Client local(*localState, localUi, system, localServices, config);
        ASSERT_FALSE(local.startup().has_value());
        ASSERT_EQ(localUi.boxes.size(), 1u) << c.file;
        const std::string& text = localUi.boxes[0].text;
        EXPECT_EQ(text.substr(text.size() - std::string(c.ending).size()), c.ending);
        EXPECT_TRUE(localUi.quitRequested);
        local.shutdown(0);
        test::removeFolder(dir);
    }
}

TEST_F(Startup, TwoMissingChannelImagesGiveTwoNotices) {
    make({"3.bmp", "9.bmp"});
    ASSERT_FALSE(client->startup().has_value());
    EXPECT_EQ(ui.boxesContaining("CHANNEL-NUM"), 2);
    client->shutdown(0);
}

TEST_F(Startup, SecondInstanceShowsTheBilingualMessageAndCreatesNothing) {
    make();
    system.mutexResult = platform::MutexResult::AlreadyExists;
    EXPECT_EQ(client->startup(), 1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Orvane System");
    EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Error);
    EXPECT_NE(ui.boxes[0].text.find("Another instance of application Orvane"), std::string::npos);
    EXPECT_NE(ui.boxes[0].text.find("est d\xC3\xA9j\xC3\xA0 en cours"), std::string::npos);
    EXPECT_TRUE(ui.windows.empty());
    EXPECT_TRUE(services.snapshot().empty());
    EXPECT_TRUE(system.sounds.empty());

    system.mutexResult = platform::MutexResult::Failed;
    test::FakeUi quiet;
    Client again(*state, quiet, system, services, ClientConfig{folder});
    EXPECT_EQ(again.startup(), 1);
    EXPECT_TRUE(quiet.boxes.empty());
}

TEST_F(Startup, MachineIdentifierFromTheSystemVolume) {
    struct Case {
        const char* root;
        bool readable;
        std::uint32_t serial;
        const char* id;
    } cases[] = {
        {"/", true, 0, "0000000000000000"},
        {"/", true, 1234567, "0000000001234567"},
        {"/", true, 4294967295u, "0000004294967295"},
        {"/", false, 0, "9999999999999999"},
        {"", true, 5, "8888888888888888"},
    };
    for (const Case& c : cases) {
        test::FakeSystem sys;
        sys.root = c.root;
        sys.serialReadable = c.readable;
        sys.serial = c.serial;
        ClientState s;
        computeMachineId(s, sys);
        EXPECT_STREQ(s.identity.machineId, c.id);
    }
}

TEST_F(Startup, ChimeIsTheDesktopsWhenItPlaysElseTheSkins) {
    struct Case {
        const char* desktop;
        bool desktopPlays, skinPlays;
        int sounds, boxes;
    } cases[] = {
        {"/usr/share/sounds/freedesktop/stereo/complete.oga", true, true, 1, 0},
        {"", true, true, 1, 0},
        {"/usr/share/sounds/freedesktop/stereo/bell.oga", false, true, 2, 0},
        {"/usr/share/sounds/freedesktop/stereo/bell.oga", false, false, 2, 1},
    };
    for (const Case& c : cases) {
        test::FakeUi localUi;
        test::FakeSystem localSystem;
        test::RecordingServices localServices;
        localSystem.desktopChime = c.desktop;
        localSystem.desktopChimePlays = c.desktopPlays;
        localSystem.soundPlays = c.skinPlays;
        make();
        auto localState = std::make_unique<ClientState>();
        ClientConfig config{folder};
        config.chimePath = folder + "chimes.wav";
        Client local(*localState, localUi, localSystem, localServices, config);
        ASSERT_FALSE(local.startup().has_value());
        ASSERT_EQ(static_cast<int>(localSystem.sounds.size()), c.sounds) << c.desktop;
        EXPECT_EQ(localSystem.sounds[0], *c.desktop ? std::string(c.desktop) : config.chimePath);
        if (c.sounds == 2) {
            EXPECT_EQ(localSystem.sounds[1], config.chimePath);
        }
        EXPECT_EQ(localUi.boxesWithCaption("Erreur"), c.boxes);
        local.shutdown(0);
        test::removeFolder(folder);
    }
    folder.clear();
}

TEST_F(Startup, ChimeThatCannotPlayIsReportedAndStartupGoesOn) {
    make();
    system.soundPlays = false;
    ASSERT_FALSE(client->startup().has_value());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "\xC3\x89" "chec de la lecture du son");
    EXPECT_EQ(ui.boxes[0].caption, "Erreur");
    EXPECT_NE(main(), nullptr);
    client->shutdown(0);
}

TEST_F(Startup, CountdownShowsTimeLeftAndClosesTheClientWhenItRunsOut) {
    make();
    ASSERT_FALSE(client->startup().has_value());
    auto tickCountdown = [&] {
        for (auto& [id, t] : std::map<int, test::FakeUi::Timer>(ui.timers)) {
            if (t.periodMs == 1000) t.tick();
        }
    };
    main()->ops.clear();
    state->ui.inactivitySeconds.store(3725);
    tickCountdown();
    EXPECT_EQ(state->ui.inactivitySeconds.load(), 3724);
    EXPECT_EQ(std::count(main()->ops.begin(), main()->ops.end(), "text 455 270 01:02:04"), 1);

    state->ui.inactivitySeconds.store(0);
    tickCountdown();
    EXPECT_NE(ui.find("Info du Superviseur"), nullptr);
    EXPECT_TRUE(main()->destroyed);
    EXPECT_EQ(ui.timersWithPeriod(1000), 2);  // the countdown's own timer is gone
    EXPECT_EQ(state->ui.inactivitySeconds.load(), 0);
    client->shutdown(0);
}

}  // namespace
}  // namespace orvane
