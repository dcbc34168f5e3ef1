#pragma once
// Time, behind an interface so that thread steps can be tested with a manual clock.
#include <cstdint>

namespace orvane::platform {

class WakeEvent;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic clock.
    virtual std::int64_t nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
    // Sleeps until `event` is signalled (or was since it was last taken), at most `ms`. True
    // when the signal came; the caller looks at what it waits for either way. A clock that
    // cannot wait on an event sleeps the whole time.
    virtual bool waitMs(WakeEvent& /*event*/, int ms) {
        sleepMs(ms);
        return false;
    }
};

// The steady clock and real sleeps.
Clock& systemClock();

}  // namespace orvane::platform
