#pragma once
// The heartbeat thread: blinks the TCP lamp blue and dark blue, five seconds each.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "state/client_state.h"

namespace orvane {

inline constexpr int kHeartbeatHalfPeriodMs = 5000;

class Heartbeat {
public:
    explicit Heartbeat(ClientState& state) : state_(state) {}
    ~Heartbeat() { stop(); }

    void start();
    // Wakes the thread and waits for it (the program itself lets it end with the process).
    void stop();

    // One half period has passed: the lamp's next colour for step `n` (0, 1, 2, ...).
    static std::int32_t colourForStep(unsigned n) { return n % 2 == 0 ? kLampBlue : kLampDarkBlue; }

private:
    void loop();

    ClientState& state_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace orvane
