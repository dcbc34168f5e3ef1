#pragma once
// What the SAPI speech side reads from a voice token, apart so that it can be tested.
#include <string>
#include <string_view>

namespace orvane::platform::win32 {

// A voice token's "Language" attribute, one or more hexadecimal language identifiers separated
// by ';' ("40C", "409;9"), as the BCP-47 tag of the first ("fr-FR", "en-US"); empty when it is
// no known language.
std::string languageTagOfLcids(std::wstring_view attribute);

}  // namespace orvane::platform::win32
