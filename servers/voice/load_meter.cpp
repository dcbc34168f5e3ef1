#include "servers/voice/load_meter.h"

namespace orvane::server {

std::uint8_t LoadMeter::codeForRate(std::uint32_t perSecond) {
    std::uint8_t code = 0;
    for (std::uint32_t t : kThresholds)
        if (perSecond >= t) ++code;
    return code;
}

void LoadMeter::tick(std::int64_t nowMs) {
    if (windowStartMs_ < 0) {
        windowStartMs_ = nowMs;
        inWindow_ = 0;
        return;
    }
    std::int64_t span = nowMs - windowStartMs_;
    if (span < 1000) return;
    rate_ = static_cast<std::uint32_t>(static_cast<std::int64_t>(inWindow_) * 1000 / span);
    code_ = codeForRate(rate_);
    inWindow_ = 0;
    windowStartMs_ = nowMs;
}

}  // namespace orvane::server
