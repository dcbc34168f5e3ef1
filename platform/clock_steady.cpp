#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/wake_event.h"

namespace orvane::platform {

namespace {
class SteadyClock final : public Clock {
public:
    std::int64_t nowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleepMs(int ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    bool waitMs(WakeEvent& event, int ms) override { return event.wait(ms); }
};
}  // namespace

Clock& systemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace orvane::platform
