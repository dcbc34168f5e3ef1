#pragma once
// Text conversions. The program's own texts are single-byte Windows-1252; texts from the web
// server and everything handed to the drawing layer are UTF-8; some device names are UTF-16.
#include <string>
#include <string_view>

namespace orvane {

std::string cp1252ToUtf8(std::string_view text);
// Characters with no Windows-1252 byte become '?'.
std::string utf8ToCp1252(std::string_view text);
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// Length of a NUL-terminated UTF-16 field.
std::size_t u16Length(const char16_t* s, std::size_t max);

}  // namespace orvane
