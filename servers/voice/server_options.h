#pragma once
// The command line of orvane-voice-server.
#include <cstdint>

#include "servers/voice/orders.h"
#include "servers/voice/voice_server_core.h"

namespace orvane::server {

struct ServerOptions {
    std::uint32_t address = 0x7F000001u;  // host byte order
    const char* operatorPath = nullptr;   // UNIX datagram socket for operator orders
    ServerConfig config;
    static constexpr int kMaxOrders = 32;
    Order orders[kMaxOrders];
    int orderCount = 0;
    bool quiet = false;                   // no join/leave/talk lines
    bool help = false;
    // Client mode: send `orderText` to the server's operator socket and print its answer.
    const char* orderText = nullptr;
};

// Parses argv; on a bad command line writes why into `error` and returns false.
bool parseServerOptions(int argc, char** argv, ServerOptions& out, char* error, int capacity);

// The manual page printed by --help.
const char* serverHelpText();

}  // namespace orvane::server
