#pragma once
// A UDP peer: IPv4 address and port, both in host byte order.
#include <cstdint>

namespace orvane::server {

struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// "a.b.c.d:port" into `out` (at least 22 bytes); returns `out`.
const char* formatEndpoint(const Endpoint& e, char* out, int capacity);

}  // namespace orvane::server
