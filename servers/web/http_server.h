#pragma once
// The HTTPS front of the web server: libmicrohttpd with GnuTLS, a small pool of threads, each
// request matched on its raw target and answered from the store.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "servers/web/routes.h"
#include "servers/web/store.h"

namespace orvane::webserver {

struct ServerOptions {
    std::uint16_t port = 44300;  // 0: any free port (see WebServer::port)
    std::string certPem;         // PEM text of the certificate (chain)
    std::string keyPem;          // PEM text of its key
    int threads = 2;
    // Visitors that open connections and stay silent must not take the server's memory or
    // its room for the real clients. Several clients of one machine share an address, each
    // with one connection at a time, so the per-address limit leaves room for a whole lab.
    unsigned connectionLimit = 256;
    unsigned perAddressLimit = 32;
    unsigned idleTimeoutSeconds = 20;  // a connection that sends nothing for that long is closed
    RouteOptions routes;
    // When set, one line per answered request: "request <address>:<port> <method> <target>
    // <status>", the client's address and port telling its connections apart; bytes of the
    // target outside printable ASCII as \xHH. Called from the server's threads.
    std::function<void(std::string_view)> requestLog;
};

class WebServer {
public:
    explicit WebServer(Store& store);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    bool start(const ServerOptions& options, std::string& error);
    void stop();
    std::uint16_t port() const { return port_; }

    // Since start: TCP connections accepted (each begins with its own TLS handshake) and
    // requests received. Zero when not started.
    struct Counters {
        std::uint64_t connections = 0;
        std::uint64_t requests = 0;
    };
    Counters counters() const;

    struct Impl;

private:
    Store& store_;
    std::unique_ptr<Impl> impl_;
    std::uint16_t port_ = 0;
};

// TLS 1.2 and 1.3 only, with forward-secret key exchange and AEAD ciphers.
inline constexpr char kTlsPriorities[] =
    "SECURE128:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-CIPHER-ALL:+AES-256-GCM:+AES-128-GCM:+CHACHA20-POLY1305:"
    "-MAC-ALL:+AEAD:-KX-ALL:+ECDHE-RSA:+ECDHE-ECDSA";

bool readTextFile(const std::string& path, std::string& text);

}  // namespace orvane::webserver
