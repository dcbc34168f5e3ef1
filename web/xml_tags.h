#pragma once
// The little XML the web server sends: one element per value, read by exact tag match, and
// the one character reference it uses, "&#xE9;".
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvane::web {

// Copies the content between the first "<tag>" of `body` and the first "</tag>" after it into
// `field`, terminated, when it is shorter than `size` bytes; otherwise, or when either tag is
// missing, writes nothing. The body is read as a text: up to its first zero byte and never
// past its end. Returns whether the field was written.
bool readTag(std::span<const std::uint8_t> body, std::string_view tag, char* field, std::size_t size);

// Replaces every "&#xE9;" of a NUL-terminated text, in place, by the UTF-8 bytes C3 A9.
void decodeEacute(char* text);

// A base-16 number as the C library reads one into a 32-bit long: leading blanks, a sign and
// "0x" allowed, stops at the first non-digit, no digits gives 0, out of range saturates.
std::uint32_t parseHexColour(const char* text);

}  // namespace orvane::web
