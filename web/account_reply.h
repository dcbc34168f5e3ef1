#pragma once
// The reply to the account request, read at fixed byte offsets: the status byte at 2, the
// account number as five decimal characters at 34, and a message in two halves of 29 bytes at
// 98 and 130. Bytes beyond the received body are treated as absent, never read.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvane::web {

inline constexpr std::uint8_t kAccountStopStatus = 200;
inline constexpr std::uint8_t kAccountUpdateStatus = 220;
inline constexpr std::uint8_t kAccountClosedStatus = 240;

struct AccountReply {
    std::optional<std::uint8_t> status;
    // None when the body ends before the number field.
    std::optional<std::uint16_t> accountNumber;
    // The two halves, each cut at its first zero byte: single-byte text, at most 58 bytes.
    std::string message;
};

AccountReply parseAccountReply(std::span<const std::uint8_t> body);

// A decimal number as the C library reads one: leading blanks and a sign allowed, stops at the
// first non-digit, no digits gives 0; kept modulo 65536.
std::uint16_t parseAccountNumber(std::string_view text);

}  // namespace orvane::web
