#include "web/xml_tags.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace orvane::web {

namespace {

constexpr std::size_t kMaxTagText = 63;

std::string tagText(std::string_view open, std::string_view tag, std::string_view close) {
    std::string t;
    t += open;
    t += tag;
    t += close;
    if (t.size() > kMaxTagText) t.resize(kMaxTagText);
    return t;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool readTag(std::span<const std::uint8_t> body, std::string_view tag, char* field, std::size_t size) {
    const char* data = reinterpret_cast<const char*>(body.data());
    const std::string_view text(data, body.empty() ? 0 : ::strnlen(data, body.size()));
    const std::string open = tagText("<", tag, ">");
    const std::string close = tagText("</", tag, ">");

    const std::size_t start = text.find(open);
    if (start == std::string_view::npos) return false;
    const std::size_t contentStart = start + open.size();
    const std::size_t end = text.find(close, contentStart);
    if (end == std::string_view::npos) return false;
    const std::size_t n = end - contentStart;
    if (n >= size) return false;
    std::memcpy(field, text.data() + contentStart, n);
    field[n] = '\0';
    return true;
}

void decodeEacute(char* text) {
    static constexpr char kEntity[] = "&#xE9;";
    char* out = text;
    for (const char* in = text; *in != '\0';) {
        if (std::strncmp(in, kEntity, 6) == 0) {
            *out++ = static_cast<char>(0xC3);
            *out++ = static_cast<char>(0xA9);
            in += 6;
        } else {
            *out++ = *in++;
        }
    }
    *out = '\0';
}

std::uint32_t parseHexColour(const char* text) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && hexValue(p[2]) >= 0) p += 2;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    bool overflow = false;
    for (int d; (d = hexValue(*p)) >= 0; ++p) {
        if (!overflow) value = value * 16 + d;
        if (value > kMax + 1) overflow = true;
    }
    std::int64_t result;
    if (overflow) {
        result = negative ? std::numeric_limits<std::int32_t>::min() : kMax;
    } else if (negative) {
        result = value > kMax + 1 ? std::numeric_limits<std::int32_t>::min() : -value;
    } else {
        result = value > kMax ? kMax : value;
    }
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(result));
}

}  // namespace orvane::web
