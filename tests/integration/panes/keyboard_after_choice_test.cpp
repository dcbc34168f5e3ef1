// After a microphone is chosen in the input device window, the keyboard is the main window's
// again: real windows on an X display, the choice clicked and the keys pressed with xdotool
// (the X server delivers keys to the window that has the focus, as a desktop does).
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "display/skin.h"
#include "panes/secondary_windows.h"
#include "platform/linux/qt_ui.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_services.h"
#include "web/web_state.h"
#include "platform/https.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::test {
namespace {

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs the UI thread's events until `done` holds (generous: the machine may be busy).
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    for (const double until = nowMs() + timeoutMs; nowMs() < until;) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

// xdotool on the test's display; true when it succeeded.
bool xdotool(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

TEST(KeyboardAfterChoice, SpaceTalksAndDigitsChooseOnTheMainWindowAfterAMicrophoneIsChosen) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (with_virtual_screen.sh)";
    auto ui = test::makeHostUi();
    ASSERT_NE(ui, nullptr);
    auto state = std::make_unique<ClientState>();
    auto web = std::make_unique<web::WebState>(*state, platform::systemHttps());
    web->ui = ui.get();

    FakeSystem system;
    RecordingServices services;
    display::Skin skin;
    MainWindowProc proc(*state, *ui, system, services, skin, "");
    platform::WindowSpec spec;
    spec.kind = platform::WindowKind::Main;
    spec.title = "ORVANE";
    spec.x = 400;
    spec.y = 60;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::Window* main = ui->createWindow(spec, &proc);
    ASSERT_NE(main, nullptr);
    state->ui.mainWindow = main;
    main->show();

    FakeEndpoints endpoints;
    endpoints.deviceNames = {"Micro A", "Micro B"};
    endpoints.endpoints = {{"a", "Micro A", "audio-input-microphone,0"}, {"b", "Micro B", "audio-input-microphone,0"}};
    endpoints.defaultInput = endpoints.endpoints[0];
    FakeAudioUi audioUi;
    panes::SecondaryWindows w(*state, *web, *ui, endpoints, audioUi);
    w.sleepMs = [](int) {};
    ASSERT_EQ(panes::toggleParametersWindow(w), 1);
    w.paramsWindow->handler()->onLeftButtonDown(*w.paramsWindow, {10, 10});
    ASSERT_TRUE(w.inputOpen);
    auto* list = dynamic_cast<platform::qt::QtWindow*>(w.inputWindow);
    ASSERT_NE(list, nullptr);
    QRadioButton* second = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
        for (QRadioButton* b : list->clientWidget()->findChildren<QRadioButton*>()) {
            if (b->text() == "Micro B" && b->isVisible()) second = b;
        }
        return second != nullptr;
    }));
    pumpFor(300);

    // The user clicks "Micro B": the list takes the keyboard with the click, then closes.
    // The pointer is left where the list was, over no other window of the program.
    const QPoint at = second->mapToGlobal(QPoint(20, second->height() / 2));
    const platform::Rect m = main->screenRect(), p = w.paramsWindow->screenRect();
    ASSERT_FALSE(m.contains({at.x(), at.y()}) || p.contains({at.x(), at.y()})) << at.x() << "," << at.y();
    ASSERT_TRUE(xdotool("mousemove --sync " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 1"));
    ASSERT_TRUE(pumpUntil([&] { return !w.inputOpen; })) << "the choice closes the list";
    EXPECT_EQ(state->audio.captureDeviceId.load(), 1);
    pumpFor(300);

    // The space bar talks at once, without a click on the main window first.
    ASSERT_TRUE(xdotool("keydown space"));
    const bool talking = pumpUntil([&] { return state->isTransmitting(); }, 3000);
    ASSERT_TRUE(xdotool("keyup space"));
    EXPECT_TRUE(talking) << "the space bar did not reach the main window";
    EXPECT_TRUE(pumpUntil([&] { return !state->isTransmitting(); }, 3000));
    // So do the digits.
    ASSERT_TRUE(xdotool("key 3"));
    EXPECT_TRUE(pumpUntil([&] { return state->channel.channelPort.load() == kFirstChannelPort + 3; }, 3000));

    ui->destroyWindow(w.paramsWindow);
    ui->destroyWindow(main);
}

}  // namespace
}  // namespace orvane::test
