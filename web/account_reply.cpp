#include "web/account_reply.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace orvane::web {

namespace {

constexpr std::size_t kStatusOffset = 2;
constexpr std::size_t kNumberOffset = 34;
constexpr std::size_t kNumberLength = 5;
constexpr std::size_t kFirstHalfOffset = 98;
constexpr std::size_t kSecondHalfOffset = 130;
constexpr std::size_t kHalfLength = 29;

// The bytes of [offset, offset + length) that were received, cut at the first zero byte.
std::string_view textAt(std::span<const std::uint8_t> body, std::size_t offset, std::size_t length) {
    if (offset >= body.size()) return {};
    const std::size_t n = std::min(length, body.size() - offset);
    std::string_view t(reinterpret_cast<const char*>(body.data()) + offset, n);
    return t.substr(0, t.find('\0'));
}

}  // namespace

std::uint16_t parseAccountNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<std::uint16_t>(value);
}

AccountReply parseAccountReply(std::span<const std::uint8_t> body) {
    AccountReply reply;
    if (body.size() > kStatusOffset) reply.status = body[kStatusOffset];
    if (body.size() > kNumberOffset) reply.accountNumber = parseAccountNumber(textAt(body, kNumberOffset, kNumberLength));
    reply.message = std::string(textAt(body, kFirstHalfOffset, kHalfLength));
    reply.message += textAt(body, kSecondHalfOffset, kHalfLength);
    return reply;
}

}  // namespace orvane::web
