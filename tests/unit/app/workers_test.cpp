// The program's threads at exit: those that end in time are joined, one that does not is let
// go and the stop still returns; the network threads' clock wakes from its sleeps at the stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "app/workers.h"
#include "tests/fakes/manual_clock.h"

namespace orvane {
namespace {

TEST(Workers, ThreadsThatEndInTimeAreJoined) {
    Workers workers;
    auto ran = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < 3; ++i) {
        workers.start([ran] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++*ran;
        });
    }
    // A thread made by its own starter, as the audio engine is.
    workers.startWith([ran](std::function<void()> ended) {
        return std::thread([ran, ended] {
            ++*ran;
            ended();
        });
    });
    EXPECT_EQ(workers.count(), 4u);
    // A bound far longer than the threads need: the call returns when they have ended.
    EXPECT_TRUE(workers.stopAll(60'000));
    EXPECT_EQ(ran->load(), 4);  // joined: every body has finished
    EXPECT_EQ(workers.count(), 0u);
}

TEST(Workers, AThreadThatDoesNotEndIsLetGoAndTheStopReturns) {
    Workers workers;
    auto release = std::make_shared<std::promise<void>>();
    auto blocked = release->get_future().share();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    workers.start([] {});
    workers.start([blocked, finished] {
        blocked.wait();  // until the test lets it go: far past any bound
        finished->store(true);
    });
    // Were the stuck thread waited for, this call would never return.
    EXPECT_FALSE(workers.stopAll(100));
    EXPECT_EQ(workers.count(), 0u);
    EXPECT_FALSE(finished->load());

    // The workers can be used again; the thread let go ending late counts in none of it.
    workers.start([] {});
    release->set_value();
    EXPECT_TRUE(workers.stopAll(60'000));
    while (!finished->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(StoppableClock, StopEndsASleepInProgressAndEveryLaterOne) {
    test::ManualClock host;
    StoppableClock clock(host);
    std::thread sleeper([&] { clock.sleepMs(24 * 3600 * 1000); });  // a day: only the stop ends it
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    clock.stop();
    sleeper.join();
    clock.sleepMs(24 * 3600 * 1000);  // returns at once
    EXPECT_EQ(clock.nowMs(), host.nowMs());
}

}  // namespace
}  // namespace orvane
