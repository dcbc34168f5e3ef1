#pragma once
// The six LED images, by lamp code.
#include <array>
#include <optional>

#include "state/client_state.h"
#include "platform/image.h"

namespace orvane::display {

// Names of the LED images in the container, indexed by lamp code (index 0 unused).
inline constexpr const char* kLedNames[7] = {
    nullptr, "LedRed.bmp", "LedDarkRed.bmp", "LedGreen.bmp", "LedYellow.bmp", "LedBlue.bmp", "LedDarkBlue.bmp"};

struct LedImages {
    std::array<std::optional<platform::Image>, 7> byCode;

    // The image for a lamp code, or null (code outside 1..6 or image missing).
    const platform::Image* forCode(int code) const {
        if (code < kLampRed || code > kLampDarkBlue || !byCode[code]) return nullptr;
        return &*byCode[code];
    }
};

}  // namespace orvane::display
