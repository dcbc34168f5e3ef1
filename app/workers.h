#pragma once
// The program's background threads and how they end. At exit the program waits for them a
// bounded time: a thread that does not end in time (a sound server that does not answer) is
// let go rather than waited for, and the program then ends without tearing down what it uses.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace orvane {

// The host's clock for the network threads, whose sleeps end early once the program stops:
// a thread between two steps then sees its run flag at once instead of after its pause.
class StoppableClock final : public platform::Clock {
public:
    explicit StoppableClock(platform::Clock& host) : host_(host) {}
    std::int64_t nowMs() override { return host_.nowMs(); }
    // Returns after `ms`, or at once when stop() was called (before or during the sleep).
    void sleepMs(int ms) override;
    void stop();

private:
    platform::Clock& host_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopped_ = false;
};

class Workers {
public:
    Workers() = default;
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Starts `body` on a thread of its own, counted until it returns.
    void start(std::function<void()> body);
    // For a thread that its own starter makes: call it with the notice it must run, on the
    // thread, once its body has returned; adopts the thread it returns.
    void startWith(const std::function<std::thread(std::function<void()> ended)>& starter);

    // Waits at most `boundMs` for every thread to end. True when all ended (all joined);
    // false when some still run: those are let go (detached), and what they use must outlive
    // the process's end. Either way no thread is counted afterwards.
    bool stopAll(int boundMs);
    std::size_t count() const { return threads_.size(); }

private:
    // How many of the current threads have ended. Shared with the threads: one let go at a
    // stop may end later and still counts into the tally it started with, never a newer one.
    struct Tally {
        std::mutex lock;
        std::condition_variable cv;
        std::size_t ended = 0;
    };
    std::function<void()> endedNotice();

    std::vector<std::thread> threads_;
    std::shared_ptr<Tally> tally_ = std::make_shared<Tally>();
};

}  // namespace orvane
