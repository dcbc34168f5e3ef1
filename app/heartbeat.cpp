#include "app/heartbeat.h"

#include <chrono>

namespace orvane {

void Heartbeat::start() {
    if (thread_.joinable()) return;
    stopping_ = false;
    thread_ = std::thread([this] { loop(); });
}

void Heartbeat::stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void Heartbeat::loop() {
    std::unique_lock<std::mutex> guard(lock_);
    for (unsigned step = 0;; ++step) {
        if (wake_.wait_for(guard, std::chrono::milliseconds(kHeartbeatHalfPeriodMs), [this] { return stopping_; })) {
            return;
        }
        state_.lamps.lampTcp.store(colourForStep(step));
    }
}

}  // namespace orvane
