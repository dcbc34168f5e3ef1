// The microphone chosen in the input device window is the one recorded from at the next press
// of the space bar: real off-screen windows driven with mouse and key events, the real audio
// engine, a private sound server with two pipe sources fed with different signals.
#include <gtest/gtest.h>

#include <QApplication>
#include <QRadioButton>
#include <QKeyEvent>
#include <QMouseEvent>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/endpoint_volume.h"
#include "state/client_state.h"
#include "app/main_window.h"
#include "display/skin.h"
#include "platform/audio_endpoints.h"
#include "platform/https.h"
#include "platform/linux/qt_ui.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/pulse_fixture.h"
#include "tests/fakes/recording_services.h"
#include "tests/integration/audio/test_signal.h"
#include "panes/secondary_windows.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::test {
namespace {

// Runs the UI thread's events until `done` holds (generous: the machine may be busy).
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    for (double until = steadyNowMs() + timeoutMs; steadyNowMs() < until;) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// A left click as the window system delivers it: press, then release, at `at`.
void click(QWidget* w, QPoint at) {
    const QPointF p(at);
    QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void spaceBar(QWidget* w, bool down) {
    QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(w, &e);
}

QWidget* clientOf(platform::Window* w) {
    auto* q = dynamic_cast<platform::qt::QtWindow*>(w);
    return q != nullptr ? q->clientWidget() : nullptr;
}

// Feeds a source fifo with `blocks` audio blocks at the speed a microphone records them.
void feed(const std::string& fifo, const std::vector<std::uint8_t>& signal, std::atomic<bool>& ok) {
    SourceWriter mic(fifo);
    if (!mic.ok() || !mic.writeLead()) return;
    const std::size_t blocks = signal.size() / kAudioBlockBytes;
    const double start = steadyNowMs();
    for (std::size_t b = 0; b < blocks; ++b) {
        if (!mic.write(signal.data() + b * kAudioBlockBytes, kAudioBlockBytes)) return;
        const double due = start + static_cast<double>(b + 1) * 31.25;
        while (steadyNowMs() < due) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ok = true;
}

TEST(InputDeviceCapture, TheChosenSourceIsRecordedBitExactAtTheNextPress) {
    PulseFixture sound;
    std::string error;
    ASSERT_TRUE(sound.start(error)) << error;
    auto ui = test::makeHostUi();
    ASSERT_NE(ui, nullptr);
    auto state = std::make_unique<ClientState>();
    auto web = std::make_unique<web::WebState>(*state, platform::systemHttps());
    web->ui = ui.get();

    // The main window with its own procedure: the space bar reaches it as a key event.
    FakeSystem system;
    RecordingServices services;
    display::Skin skin;
    MainWindowProc proc(*state, *ui, system, services, skin, "");
    platform::WindowSpec spec;
    spec.title = "ORVANE";
    spec.x = 400;
    spec.y = 100;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::Window* main = ui->createWindow(spec, &proc);
    ASSERT_NE(main, nullptr);
    state->ui.mainWindow = main;

    FakeAudioUi audioUi;
    panes::SecondaryWindows w(*state, *web, *ui, platform::hostAudioEndpoints(), audioUi);
    w.sleepMs = [](int) {};  // the unfolding is not what is tested here
    ASSERT_EQ(panes::toggleParametersWindow(w), 1);
    QWidget* params = clientOf(w.paramsWindow);
    ASSERT_NE(params, nullptr);

    // A click in the input device area opens the list of the server's two microphones.
    click(params, QPoint(10, 10));
    ASSERT_TRUE(w.inputOpen);
    QWidget* list = clientOf(w.inputWindow);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return list->findChildren<QRadioButton*>().size() == 15; }));
    const QList<QRadioButton*> buttons = list->findChildren<QRadioButton*>();
    QRadioButton* headset = nullptr;
    for (QRadioButton* b : buttons) {
        if (b->text() == "Headset Mic") headset = b;
    }
    ASSERT_NE(headset, nullptr);
    EXPECT_EQ(headset->geometry().topLeft(), QPoint(10, 40)) << "the second entry";
    EXPECT_EQ(state->audio.captureDeviceId.load(), -1);
    list->window()->grab().save(ORVANE_SHOT_DIR "/windows-input-device.png");
    click(headset, QPoint(20, 12));
    EXPECT_EQ(state->audio.captureDeviceId.load(), 1);
    ASSERT_TRUE(pumpUntil([&] { return !w.inputOpen; })) << "a choice closes the window";

    // The engine as the program runs it; its frame sink keeps what would be sent.
    std::mutex sentLock;
    std::vector<std::uint8_t> sent;
    std::thread engine = audio::startAudioEngine(*state, [&](const std::uint8_t* block) {
        std::lock_guard<std::mutex> hold(sentLock);
        sent.insert(sent.end(), block, block + kAudioBlockBytes);
    }, audioUi);
    auto stopEngine = [&] {
        state->audio.audioRunFlag = 0;
        if (engine.joinable()) engine.join();
    };
    QWidget* mainClient = clientOf(main);
    if (!pumpUntil([&] { return state->audio.audioRunFlag == 1; }) || mainClient == nullptr) {
        stopEngine();
        FAIL() << "the engine did not start";
    }
    spaceBar(mainClient, true);
    if (!pumpUntil([&] { return state->lamps.lampTxRx == kLampRed; })) {
        stopEngine();
        FAIL() << "capture did not start";
    }

    // Both microphones hear something different; only the chosen one may be sent.
    const std::size_t blocks = 48;  // 1.5 s
    const std::vector<std::uint8_t> chosen = makeSignal(0, blocks * 250);
    const std::vector<std::uint8_t> other = makeSignal(15000, blocks * 250);
    std::atomic<bool> fedChosen{false}, fedOther{false};
    std::thread a(feed, sound.folder() + "/headset.fifo", std::cref(chosen), std::ref(fedChosen));
    std::thread b(feed, sound.sourceFifo(), std::cref(other), std::ref(fedOther));
    a.join();
    b.join();
    const bool heard = pumpUntil([&] {
        std::lock_guard<std::mutex> hold(sentLock);
        return findBytes(sent, chosen.data() + chosen.size() - 2 * kAudioBlockBytes, 8) >= 0;
    });
    spaceBar(mainClient, false);
    const bool released = pumpUntil([&] { return state->lamps.lampTxRx == kLampBlue; });
    stopEngine();
    ASSERT_TRUE(fedChosen && fedOther);
    ASSERT_TRUE(heard) << "the chosen microphone's signal was not sent";
    EXPECT_TRUE(released);
    EXPECT_TRUE(audioUi.messages.empty());

    std::lock_guard<std::mutex> hold(sentLock);
    const long at = findBytes(sent, chosen.data(), 4);
    ASSERT_GE(at, 0);
    for (long i = 0; i < at; ++i) ASSERT_EQ(sent[static_cast<std::size_t>(i)], 0) << "before the signal";
    std::size_t n = 0;
    EXPECT_TRUE(recordedInOrder(sent, at, chosen, soundServerClocksSources(), n));
    EXPECT_GE(n, (blocks - 2) * kAudioBlockBytes);
    for (std::size_t off = 0; off + 8 <= other.size(); off += kAudioBlockBytes)
        ASSERT_LT(findBytes(sent, other.data() + off, 8), 0) << "the other microphone, block " << off / kAudioBlockBytes;

    ui->destroyWindow(w.paramsWindow);
    ui->destroyWindow(main);
}

}  // namespace
}  // namespace orvane::test
