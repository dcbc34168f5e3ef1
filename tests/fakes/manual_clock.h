#pragma once
// A clock that only moves when told to: sleeps advance it, nothing waits for real.
#include <atomic>
#include <vector>

#include "platform/clock.h"

namespace orvane::test {

class ManualClock final : public platform::Clock {
public:
    std::int64_t nowMs() override { return now_.load(); }
    void sleepMs(int ms) override {
        sleeps.push_back(ms);
        now_ += ms;
    }
    void advance(std::int64_t ms) { now_ += ms; }

    std::vector<int> sleeps;  // every sleep asked for, in order

private:
    std::atomic<std::int64_t> now_{1'000'000};
};

}  // namespace orvane::test
