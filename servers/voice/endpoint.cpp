#include "servers/voice/endpoint.h"

#include <cstdio>

namespace orvane::server {

const char* formatEndpoint(const Endpoint& e, char* out, int capacity) {
    std::snprintf(out, static_cast<std::size_t>(capacity), "%u.%u.%u.%u:%u", (e.address >> 24) & 255u,
                  (e.address >> 16) & 255u, (e.address >> 8) & 255u, e.address & 255u, e.port);
    return out;
}

}  // namespace orvane::server
