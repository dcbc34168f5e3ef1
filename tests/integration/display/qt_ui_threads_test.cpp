// Work handed to the UI thread from other threads: it runs there and the caller waits for it;
// after the loop has ended nobody waits for ever.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/fakes/qt_test_ui.h"

namespace orvane {
namespace {

class Recorder final : public platform::WindowHandler {
public:
    void onDestroy(platform::Window&) override {
        destroyedOnUiThread = QThread::currentThread() == qApp->thread();
        ++destroyed;
    }
    std::atomic<int> destroyed{0};
    std::atomic<bool> destroyedOnUiThread{false};
};

TEST(QtUiThreads, WorkerDestroysAWindowAndDrawsOnIt) {
    auto& ui = test::testUi();
    // An earlier loop has ended, as in every test after the first: the worker's call, made
    // before the next loop runs, must still wait for that loop and run there.
    ui.post([&] { ui.quit(0); });
    ui.run();
    Recorder handler;
    platform::WindowSpec spec;
    spec.title = "worker target";
    spec.width = 40;
    spec.height = 30;
    platform::Window* w = ui.createWindow(spec, &handler);
    ASSERT_NE(w, nullptr);
    std::atomic<int> seenAfterDestroy{-1};
    std::atomic<bool> drawn{false};
    std::thread worker([&] {
        {
            auto c = w->draw();  // any thread may draw
            c->fillRect({0, 0, 40, 30}, platform::rgb(1, 2, 3));
        }
        drawn = true;
        ui.destroyWindow(w);  // waits until done on the UI thread
        seenAfterDestroy = handler.destroyed.load();
        auto late = w->draw();  // a destroyed window is a harmless shell
        late->fillRect({0, 0, 40, 30}, 0);
        ui.post([&] { ui.quit(0); });
    });
    while (!drawn) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the call is made before the loop
    ui.run();
    worker.join();
    EXPECT_EQ(seenAfterDestroy.load(), 1);
    EXPECT_TRUE(handler.destroyedOnUiThread.load());
    ui.destroyWindow(w);  // twice is harmless
    EXPECT_EQ(handler.destroyed.load(), 1);
}

// A supervisor order may end the program while start-up still shows a box owned by the main
// window: the box goes with its owner and start-up carries on, instead of the toolkit freeing a
// box that lives on the waiting stack.
TEST(QtUiThreads, DestroyingTheOwnerOfAnOpenBoxClosesIt) {
    auto& ui = test::testUi();
    test::answerBoxesAutomatically(false);
    Recorder handler;
    platform::WindowSpec spec;
    spec.title = "box owner";
    spec.width = 60;
    spec.height = 40;
    platform::Window* owner = ui.createWindow(spec, &handler);
    ASSERT_NE(owner, nullptr);
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) {
            bool up = false;
            ui.invoke([&] { up = QApplication::activeModalWidget() != nullptr; });
            if (up) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ui.destroyWindow(owner);
    });
    int answer = 0;
    ui.post([&] {
        answer = ui.messageBox(owner, "Aucun param\xC3\xA8tre", "Acquisition", platform::MessageIcon::None);
        ui.quit(0);
    });
    ui.run();
    worker.join();
    test::answerBoxesAutomatically(true);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(handler.destroyed.load(), 1);
}

TEST(QtUiThreads, InvokeAfterTheLoopEndedDoesNotWaitForEver) {
    auto& ui = test::testUi();
    ui.post([&] { ui.quit(0); });
    ui.run();
    bool ran = false;
    std::thread late([&] { ui.invoke([&] { ran = true; }); });
    late.join();  // returns: the loop is over
    EXPECT_FALSE(ran);
}

TEST(QtUiThreads, QuitBeforeTheLoopEndsItAtOnce) {
    auto& ui = test::testUi();
    ui.quit(7);
    EXPECT_EQ(ui.run(), 7);
    int ticks = 0;
    int timer = ui.startTimer(10, [&] {
        if (++ticks == 3) ui.quit(0);
    });
    EXPECT_EQ(ui.run(), 0);  // the earlier quit was used up
    ui.killTimer(timer);
    EXPECT_EQ(ticks, 3);
}

}  // namespace
}  // namespace orvane
