#pragma once
// What the server answers to each request of the client's path table, matched on the raw
// request target byte for byte (so "/usb//usb_red.png" is not "/usb/usb_red.png").
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "servers/web/store.h"

namespace orvane::webserver {

inline constexpr std::size_t kUploadRecordSize = 10'000'268;
inline constexpr std::size_t kUploadDataSize = 10'000'000;
inline constexpr std::size_t kColourRecordSize = 20;
inline constexpr std::size_t kMaxBodySize = kUploadRecordSize;  // anything longer is refused
inline constexpr std::size_t kAccountReplySize = 159;

struct HttpRequest {
    std::string_view method;
    std::string_view target;  // raw, as on the request line
    std::span<const std::uint8_t> body;
};

struct HttpReply {
    int status = 404;
    std::string contentType = "text/plain; charset=utf-8";
    Bytes body;
};

struct RouteOptions {
    std::string picturesDir;  // when set, every shared picture received is also kept there
};

HttpReply handleRequest(Store& store, const RouteOptions& options, const HttpRequest& request);

// The account reply: status byte at 2, the number as five digits at 34, the message in two
// 29-byte halves at 98 and 130 (zero-padded); the other bytes are blanks.
Bytes accountReply(const Account& account);

// The card as client.xml: one element per text that is set, "é" written as "&#xE9;".
std::string cardXml(const Card& card);

// Percent-decoding of a query value ("%20" and "+" become a space).
std::string decodeQueryValue(std::string_view v);

}  // namespace orvane::webserver
