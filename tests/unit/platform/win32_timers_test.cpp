// Timers on the Win32 UI thread: timers of one period share a system timer, yet each ticks at
// its period and is killed alone, also from inside a tick of its own group.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "platform/ui.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::platform {
namespace {

TEST(Win32Timers, TimersOfOnePeriodTickAndDieEachOnItsOwn) {
    std::unique_ptr<Ui> ui = test::makeHostUi();
    ASSERT_TRUE(ui);
    int a = 0, b = 0, c = 0, slow = 0;
    int ida = 0, idb = 0, idc = 0, idslow = 0;
    ida = ui->startTimer(20, [&] {
        if (++a == 3) ui->killTimer(idb);  // b shares a's period: it stops, a goes on
        if (a == 12) ui->quit(0);
    });
    idb = ui->startTimer(20, [&] { ++b; });
    idc = ui->startTimer(20, [&] {
        ++c;
        ui->killTimer(idc);  // from inside its own tick: it never ticks again
    });
    idslow = ui->startTimer(100, [&] { ++slow; });
    EXPECT_EQ((std::set<int>{ida, idb, idc, idslow}.size()), 4u) << "each timer has an id of its own";
    EXPECT_EQ(ui->run(), 0);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 2) << "killed by a's third tick, before its own tick of that round";
    EXPECT_EQ(c, 1);
    EXPECT_GE(slow, 1);
    EXPECT_LE(slow, 4) << "a slower period keeps its own pace";
    ui->killTimer(ida);
    ui->killTimer(idslow);
    ui->killTimer(idb);  // already gone: nothing happens
}

}  // namespace
}  // namespace orvane::platform
