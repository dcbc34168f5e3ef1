#pragma once
// Text conversions. The program's own texts are single-byte Windows-1252; texts from the web
// server and everything handed to the drawing layer are UTF-8; device names, speech and the
// Windows functions want UTF-16.
//
// Malformed input never passes through: a byte that does not start a well-formed UTF-8
// sequence (a stray continuation byte, a truncated sequence, an overlong form, a surrogate,
// a value past U+10FFFF) and an unpaired UTF-16 surrogate each become U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace orvane::base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

std::string cp1252ToUtf8(std::string_view text);
std::u16string cp1252ToUtf16(std::string_view text);
// Characters with no Windows-1252 byte become '?'.
std::string utf8ToCp1252(std::string_view text);
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// Length of a NUL-terminated UTF-16 field.
std::size_t u16Length(const char16_t* s, std::size_t max);

}  // namespace orvane::base
