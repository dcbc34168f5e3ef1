// orvane-voice-server: the reference voice server (see --help).
#include <cstdint>
#include <cstdio>

#include "servers/voice/server_loop.h"
#include "servers/voice/server_options.h"

int main(int argc, char** argv) {
    using namespace orvane::server;
    static ServerOptions options;
    char error[256] = {};
    if (!parseServerOptions(argc, argv, options, error, sizeof error)) {
        std::fprintf(stderr, "orvane-voice-server: %s (see --help)\n", error);
        return 2;
    }
    if (options.help) {
        std::fputs(serverHelpText(), stdout);
        return 0;
    }
    if (options.orderText != nullptr) return sendOperatorOrder(options.operatorPath, options.orderText);
    ServerLoop loop(options);
    if (!loop.open(true, error, sizeof error)) {
        std::fprintf(stderr, "orvane-voice-server: %s\n", error);
        return 1;
    }
    std::setvbuf(stderr, nullptr, _IOLBF, 0);
    std::uint32_t a = options.address;
    std::fprintf(stderr, "orvane-voice-server: listening on %u.%u.%u.%u ports 30000-30010 and 31000-31010\n",
                 a >> 24, (a >> 16) & 255u, (a >> 8) & 255u, a & 255u);
    loop.run();
    return 0;
}
