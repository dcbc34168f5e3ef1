// The main window on the real toolkit (off-screen): start-up paints it, keys and the mouse reach
// the window procedure as the user would produce them, Escape ends the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <csignal>
#include <filesystem>
#include <memory>

#include "app/client.h"
#include "base/text.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/qt_test_ui.h"
#include "tests/fakes/recording_services.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane {
namespace {

using platform::qt::QtWindow;

// The generated default skin when the build made it (the tests run in its folder), else a
// small one of our own.
std::string skinFolder() {
    if (std::filesystem::exists("btn-fleche.bmp") && std::filesystem::exists("electron-animation.gif")) return "";
    static std::string own = test::makeSkinFolder();
    return own;
}

class MainWindowOnQt : public ::testing::Test {
protected:
    void SetUp() override {
        test::clearAnsweredBoxes();
        ClientConfig config;
        config.folder = skinFolder();
        config.documentationUrl = "https://docs.example/FR-Orvane.php";
        client = std::make_unique<Client>(*state, ui, system, services, config);
        ASSERT_FALSE(client->startup().has_value());
        window = static_cast<QtWindow*>(client->mainWindow());
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (window->alive()) {
            ui.destroyWindow(window);
            ui.run();  // uses up the quit of the destruction
        }
        client->shutdown(0);
    }

    QWidget* surface() { return window->clientWidget(); }
    void key(QEvent::Type type, int qtKey, bool repeat = false, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(type, qtKey, mods, QString(), repeat);
        QApplication::sendEvent(surface(), &e);
    }
    void mouse(QEvent::Type type, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
        QPointF local(x, y);
        QMouseEvent e(type, local, surface()->mapToGlobal(local), button,
                      type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
        QApplication::sendEvent(surface(), &e);
    }
    std::string ticker() { return state->ui.tickerText; }

    platform::qt::QtUi& ui = test::testUi();
    std::unique_ptr<ClientState> state = std::make_unique<ClientState>();
    test::RecordingServices services;
    test::FakeSystem system;
    std::unique_ptr<Client> client;
    QtWindow* window = nullptr;
};

TEST_F(MainWindowOnQt, PaintsTheWholeWindowAndEndsOnEscape) {
    state->lamps.chaserLeds[3].store(kLampRed);
    QImage shot;
    int timer = 0;
    timer = ui.startTimer(1300, [&] {
        ui.killTimer(timer);
        for (auto& b : test::answeredBoxes()) ADD_FAILURE() << b.second << ": " << b.first;
        shot = window->topWidget()->grab().toImage();
        key(QEvent::KeyPress, Qt::Key_Escape);
    });
    EXPECT_EQ(ui.run(), 0);
    EXPECT_EQ(state->ui.mainWindow.load(), nullptr);
    ASSERT_FALSE(shot.isNull());
    shot.save(QString(ORVANE_SCREENSHOT_DIR) + "/main_window.png");

    EXPECT_EQ(shot.size(), QSize(550, 730));
    auto isYellow = [](QRgb p) { return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) < 80; };
    EXPECT_TRUE(isYellow(shot.pixel(1, 365)));  // the outline, 4 pixels wide
    EXPECT_TRUE(isYellow(shot.pixel(100, 43)));  // the ticker frame
    int titleYellow = 0;
    for (int y = 15; y < 35; ++y) {
        for (int x = 125; x < 425; ++x) titleYellow += isYellow(shot.pixel(x, y));
    }
    EXPECT_GT(titleYellow, 100);
    EXPECT_EQ(qRed(shot.pixel(10, 120)), 255);  // the channel panel's red frame

    // "UDP", "SVC" and "TCP" (labels at x 307, 337, 367) read as three words: before each next
    // label runs a blank gap clearly wider than the one or two columns between letters.
    auto isText = [](QRgb p) { return qRed(p) > 160 && qGreen(p) > 160 && qBlue(p) > 160; };
    auto blankRunBefore = [&](int labelX) {
        int run = 0;
        for (int x = labelX - 1; x > labelX - 12; --x) {
            bool blank = true;
            for (int y = 243; y < 260; ++y) blank = blank && !isText(shot.pixel(x, y));
            if (!blank) break;
            ++run;
        }
        return run;
    };
    EXPECT_GE(blankRunBefore(338), 4) << "UDP runs into SVC";
    EXPECT_GE(blankRunBefore(367), 4) << "SVC runs into TCP";
    int labelText = 0;
    for (int x = 307; x < 395; ++x) labelText += isText(shot.pixel(x, 249));
    EXPECT_GT(labelText, 10);  // the labels are there at all
}

TEST_F(MainWindowOnQt, TerminationSignalEndsTheProgramLikeTheCloseMark) {
    int timer = 0;
    timer = ui.startTimer(100, [&] {
        ui.killTimer(timer);
        std::raise(SIGTERM);
    });
    EXPECT_EQ(ui.run(), 0);
    EXPECT_FALSE(window->alive());
    EXPECT_EQ(state->ui.mainWindow.load(), nullptr);
}

TEST_F(MainWindowOnQt, SpaceHeldTransmitsUntilTheRealRelease) {
    state->ui.inactivitySeconds.store(10);
    key(QEvent::KeyPress, Qt::Key_Space);
    EXPECT_TRUE(state->isTransmitting());
    key(QEvent::KeyRelease, Qt::Key_Space, true);  // auto-repeat's release
    key(QEvent::KeyPress, Qt::Key_Space, true);
    EXPECT_TRUE(state->isTransmitting());
    EXPECT_EQ(state->ui.inactivitySeconds.load(), 10);
    key(QEvent::KeyRelease, Qt::Key_Space);
    EXPECT_FALSE(state->isTransmitting());
    EXPECT_EQ(state->ui.inactivitySeconds.load(), kInactivityStartSeconds);
}

TEST_F(MainWindowOnQt, KeypadSevenThenPlusEndsOnChannelTen) {
    key(QEvent::KeyPress, Qt::Key_7, false, Qt::KeypadModifier);
    EXPECT_EQ(state->channel.channelPort.load(), 30007);
    key(QEvent::KeyPress, Qt::Key_Plus, false, Qt::KeypadModifier);
    EXPECT_EQ(state->channel.channelPort.load(), 30010);
    EXPECT_EQ(state->channel.rosterCount[kChannelCount].load(), -1);
    key(QEvent::KeyPress, Qt::Key_A);
    EXPECT_EQ(state->channel.channelPort.load(), 30010);
    auto boxes = test::answeredBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].second, "Info Clavier");
}

TEST_F(MainWindowOnQt, AltF10AndAltDigitGoToTheDefaultHandling) {
    key(QEvent::KeyPress, Qt::Key_4);
    ASSERT_EQ(state->channel.channelPort.load(), 30004);
    key(QEvent::KeyPress, Qt::Key_Alt, false, Qt::AltModifier);
    key(QEvent::KeyPress, Qt::Key_1, false, Qt::AltModifier);
    key(QEvent::KeyRelease, Qt::Key_1, false, Qt::AltModifier);
    key(QEvent::KeyPress, Qt::Key_Tab, false, Qt::AltModifier);
    key(QEvent::KeyRelease, Qt::Key_Alt);
    key(QEvent::KeyPress, Qt::Key_F10);
    key(QEvent::KeyRelease, Qt::Key_F10);
    EXPECT_EQ(state->channel.channelPort.load(), 30004);
    EXPECT_TRUE(test::answeredBoxes().empty());
    EXPECT_TRUE(window->alive());
}

TEST_F(MainWindowOnQt, DragBandSwallowsHoverAndClicks) {
    mouse(QEvent::MouseMove, 420, 380);  // the LED ring
    EXPECT_EQ(ticker(), "Cliquez sur NETWORK pour voir les correspondants");
    mouse(QEvent::MouseMove, 300, 50);  // over the drag band: no hover help
    EXPECT_EQ(ticker(), "Cliquez sur NETWORK pour voir les correspondants");
    mouse(QEvent::MouseButtonPress, 100, 90);  // channel zone, inside the band: a drag
    mouse(QEvent::MouseButtonRelease, 100, 90);
    EXPECT_EQ(services.count("openGroupListWindow"), 0);
    mouse(QEvent::MouseButtonPress, 100, 150);  // below the band
    EXPECT_EQ(services.count("openGroupListWindow"), 1);
    mouse(QEvent::MouseMove, 100, 150);
    EXPECT_EQ(ticker(), "Cliquez dans ce cadre pour voir tous les groupes");
    mouse(QEvent::MouseMove, 5, 500);
    EXPECT_EQ(ticker(), kWelcomeText);
}

}  // namespace
}  // namespace orvane
