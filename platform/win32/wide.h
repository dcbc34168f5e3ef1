#pragma once
// UTF-8 <-> UTF-16 for the W functions (wchar_t is UTF-16 on Windows), with the one
// conversion of base/: malformed input becomes U+FFFD.
#include <string>
#include <string_view>

#include "base/text.h"

namespace orvane::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W functions take UTF-16");

inline std::wstring widen(std::string_view utf8) {
    const std::u16string wide = base::utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string narrow(std::wstring_view wide) {
    const std::u16string utf16(wide.begin(), wide.end());
    return base::utf16ToUtf8(utf16);
}

}  // namespace orvane::platform::win32
