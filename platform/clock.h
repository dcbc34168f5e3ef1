#pragma once
// Time, behind an interface so that thread steps can be tested with a manual clock.
#include <cstdint>

namespace orvane::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock.
    virtual std::int64_t nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
};

// The steady clock and real sleeps.
Clock& systemClock();

}  // namespace orvane::platform
