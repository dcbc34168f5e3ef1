#pragma once
// The voice server's event loop on Linux: the 22 UDP sockets, the operator socket and the
// stop signals in one epoll set, feeding VoiceServerCore. Every buffer is allocated once.
#include <cstdint>
#include <memory>

#include "servers/voice/server_options.h"
#include "servers/voice/voice_server_core.h"

namespace orvane::server {

class ServerLoop {
public:
    explicit ServerLoop(const ServerOptions& options);
    ~ServerLoop();
    ServerLoop(const ServerLoop&) = delete;
    ServerLoop& operator=(const ServerLoop&) = delete;

    // Binds every port (and the operator socket); `catchSignals` routes SIGINT and SIGTERM to
    // a clean stop. False with a reason when a port cannot be had.
    bool open(bool catchSignals, char* error, int capacity);
    // One wait of at most `timeoutMs` and the work that came; false once a stop was asked.
    bool step(int timeoutMs);
    // Runs until a stop signal.
    void run();

    VoiceServerCore& core();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Sends one order line to a server's operator socket and writes its answer to stdout.
// Returns 0 when it answered, 1 otherwise.
int sendOperatorOrder(const char* path, const char* text);

}  // namespace orvane::server
