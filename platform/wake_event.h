#pragma once
// A wake-up that one thread gives another: a callback on a device thread ends the wait of a
// worker at once, instead of the worker looking every few milliseconds.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvane::platform {

// A signal is kept until a wait takes it, so one given between the waiter's last look and its
// wait is not lost; signals do not add up.
class WakeEvent {
public:
    void signal() {
        // Notified under the lock: the waiter may destroy the event as soon as it returns.
        std::lock_guard<std::mutex> hold(lock_);
        raised_ = true;
        wake_.notify_one();
    }
    // Takes the signal, if any. True when there was one.
    bool take() {
        std::lock_guard<std::mutex> hold(lock_);
        const bool raised = raised_;
        raised_ = false;
        return raised;
    }
    // Waits at most `ms` for a signal and takes it. True when there was one.
    bool wait(int ms) {
        std::unique_lock<std::mutex> hold(lock_);
        const bool raised = wake_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return raised_; });
        raised_ = false;
        return raised;
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool raised_ = false;
};

}  // namespace orvane::platform
