// The supervisor's notice on the real toolkit: shown from a background thread, it keeps that
// thread waiting until it closes, by the user or after ten seconds.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <atomic>
#include <thread>

#include "display/supervisor_notice.h"
#include "tests/fakes/qt_test_ui.h"

namespace orvane {
namespace {

QWidget* findNotice() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == "Info du Superviseur") return w;
    }
    return nullptr;
}

TEST(SupervisorNotice, WorkerWaitsUntilTheUserClosesIt) {
    auto& ui = test::testUi();
    auto state = std::make_unique<ClientState>();
    std::atomic<bool> returned{false};
    std::atomic<bool> sawText{false};
    std::thread worker([&] {
        display::showSupervisorNotice(ui, *state, "Le superviseur va fermer");
        returned = true;
        ui.post([&] { ui.quit(0); });
    });
    int poll = ui.startTimer(50, [&] {
        if (QWidget* w = findNotice()) {
            EXPECT_FALSE(returned.load());
            sawText = true;
            w->close();  // as the close box does
        }
    });
    ui.run();
    ui.killTimer(poll);
    worker.join();
    EXPECT_TRUE(returned.load());
    EXPECT_TRUE(sawText.load());
    EXPECT_EQ(findNotice(), nullptr);
}

TEST(SupervisorNotice, ClosesItselfAfterTenSeconds) {
    auto& ui = test::testUi();
    auto state = std::make_unique<ClientState>();
    bool seen = false;
    int poll = ui.startTimer(200, [&] { seen = seen || findNotice() != nullptr; });
    ui.post([&] {
        display::showSupervisorNotice(ui, *state, "Le d\xC3\xA9lais d'utilisation sans activit\xC3\xA9 est termin\xC3\xA9");
        ui.quit(0);
    });
    ui.run();
    ui.killTimer(poll);
    EXPECT_TRUE(seen);
    EXPECT_EQ(findNotice(), nullptr);
}

}  // namespace
}  // namespace orvane
