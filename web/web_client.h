#pragma once
// The web primitives every caller goes through: a GET into the shared reply buffer, a POST of a
// raw record, the status of the request in progress. Results follow the platform's request
// sequence: the body length (0 for a status other than 200 or an empty body), 1 when the root
// handle cannot be made, -1 when connecting, opening, sending or receiving fails.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "web/web_state.h"

namespace orvane::web {

// GET of buildWebPath(prefix, number, kind) into responseBuffer.
std::int32_t webGet(WebState& web, std::string_view prefix, std::int32_t number, int kind);

// GET of any path into responseBuffer (the account fetches use it). No lamp step.
// `bodyRead`, when given, tells whether the reply's body was read (a 1 is then a length).
std::int32_t getPath(WebState& web, std::string_view path, bool* bodyRead = nullptr);

// Reads the body of currentRequest into responseBuffer. A status other than 200 leaves the
// buffer as it was and gives 0. A chunk that would not fit in the 10,000,000 bytes ends the
// read. The body is always followed by a zero byte.
std::int32_t readResponseBody(WebState& web);

// Opens a POST on `connection`, sends `length` raw bytes with the single header
// "Content-Type: multipart/form-data" and waits for the reply. The request, or null (the
// failure is printed on standard output).
platform::HttpsHandle postRecord(WebState& web, platform::HttpsHandle connection, std::string_view path,
                                 const void* record, std::size_t length);

// Status code of currentRequest, or -1 (printed).
std::int32_t readStatusCode(WebState& web);

// The first `length` bytes of the last body, never past what was received.
std::span<const std::uint8_t> receivedBody(const WebState& web, std::int32_t length);

}  // namespace orvane::web
