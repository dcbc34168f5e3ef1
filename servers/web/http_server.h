#pragma once
// The HTTPS front of the web server: libmicrohttpd with GnuTLS, a small pool of threads, each
// request matched on its raw target and answered from the store.
#include <cstdint>
#include <memory>
#include <string>

#include "servers/web/routes.h"
#include "servers/web/store.h"

namespace orvane::webserver {

struct ServerOptions {
    std::uint16_t port = 44300;  // 0: any free port (see WebServer::port)
    std::string certPem;         // PEM text of the certificate (chain)
    std::string keyPem;          // PEM text of its key
    int threads = 2;
    RouteOptions routes;
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

    struct Impl;

private:
    Store& store_;
    std::unique_ptr<Impl> impl_;
    std::uint16_t port_ = 0;
};

bool readTextFile(const std::string& path, std::string& text);

}  // namespace orvane::webserver
