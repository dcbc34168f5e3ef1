#pragma once
// Handing work to the UI thread and waiting until it ran, on top of a toolkit's queued call.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace orvane::platform {

// Queues `work` with `post` and waits until a loop of the UI thread ran it: the main loop, or
// any local loop such as start-up's message boxes. Only once the loop has ended (`loopEnded`),
// with the call not yet started, does the caller give up instead of waiting for ever (the
// shutdown joins threads that may be here). Called from a thread other than the UI thread.
inline void postAndWait(const std::function<void(std::function<void()>)>& post, const std::function<void()>& work,
                        const std::atomic<bool>& loopEnded) {
    if (loopEnded.load()) return;
    struct Call {
        std::mutex lock;
        std::condition_variable cv;
        bool started = false;
        bool done = false;
        bool abandoned = false;
    };
    auto call = std::make_shared<Call>();
    post([call, &work] {
        {
            std::lock_guard<std::mutex> lock(call->lock);
            if (call->abandoned) return;
            call->started = true;
        }
        work();
        std::lock_guard<std::mutex> lock(call->lock);
        call->done = true;
        call->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(call->lock);
    for (;;) {
        if (call->done) return;
        if (!call->started && loopEnded.load()) {
            call->abandoned = true;
            return;
        }
        call->cv.wait_for(lock, std::chrono::milliseconds(100));
    }
}

}  // namespace orvane::platform
