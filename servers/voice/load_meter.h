#pragma once
// The load code the server puts in every voice datagram (0 idle .. 4 saturated), from the
// number of voice datagrams it relayed over the last whole second. Clients space their
// keepalives out as the code rises (10 ms at 0, 30 ms at 4).
#include <cstdint>

namespace orvane::server {

class LoadMeter {
public:
    // Relayed datagrams per second at which the code steps up to 1, 2, 3 and 4. A full
    // network (11 channels, one talker and 15 listeners each) relays 5280 per second.
    static constexpr std::uint32_t kThresholds[4] = {2000, 4000, 8000, 16000};

    static std::uint8_t codeForRate(std::uint32_t perSecond);

    void count(std::uint32_t relayed) { inWindow_ += relayed; }
    // Closes a measuring window once a second has passed since it opened.
    void tick(std::int64_t nowMs);
    std::uint8_t code() const { return code_; }
    std::uint32_t lastRate() const { return rate_; }

private:
    std::int64_t windowStartMs_ = -1;
    std::uint32_t inWindow_ = 0;
    std::uint32_t rate_ = 0;
    std::uint8_t code_ = 0;
};

}  // namespace orvane::server
