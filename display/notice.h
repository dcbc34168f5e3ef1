#pragma once
// The program's stop notices: two single-byte (Windows-1252) texts joined, shown in a modal
// box without owner, caption "Information", question icon. Returns when it is closed.
#include <string_view>

namespace orvane::platform {
class Ui;
}

namespace orvane::display {

inline constexpr std::size_t kNoticeMaxBytes = 1007;

void showTwoPartNotice(platform::Ui* ui, std::string_view first, std::string_view second);

}  // namespace orvane::display
