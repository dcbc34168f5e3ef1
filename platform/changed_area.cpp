#include "platform/changed_area.h"

#include <algorithm>
#include <cstring>

namespace orvane::platform {

Rect takeChangedArea(const std::uint32_t* now, std::uint32_t* shown, int width, int height, Rect area) {
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min(area.right, width);
    const int bottom = std::min(area.bottom, height);
    Rect changed{right, bottom, left, top};  // empty until a difference widens it
    constexpr std::uint32_t kRgb = 0x00FFFFFFu;
    for (int y = top; y < bottom; ++y) {
        const std::uint32_t* a = now + static_cast<std::ptrdiff_t>(y) * width;
        const std::uint32_t* b = shown + static_cast<std::ptrdiff_t>(y) * width;
        int first = left;
        while (first < right && ((a[first] ^ b[first]) & kRgb) == 0) ++first;
        if (first == right) continue;
        int last = right - 1;
        while (((a[last] ^ b[last]) & kRgb) == 0) --last;
        changed.left = std::min(changed.left, first);
        changed.right = std::max(changed.right, last + 1);
        changed.top = std::min(changed.top, y);
        changed.bottom = y + 1;
    }
    if (changed.left >= changed.right) return {};
    for (int y = changed.top; y < changed.bottom; ++y) {
        const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * width + changed.left;
        std::memcpy(shown + row, now + row, sizeof(std::uint32_t) * static_cast<std::size_t>(changed.width()));
    }
    return changed;
}

}  // namespace orvane::platform
