#pragma once
// A real orvane-web-server in the test process: a throw-away certificate authority made with
// servers/web/make-test-ca.sh, a fresh SQLite file, HTTPS on a free loopback port, and the
// client told to trust that authority. Everything goes away with the fixture.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/https.h"
#include "servers/web/http_server.h"
#include "servers/web/store.h"

#ifndef ORVANE_SOURCE_DIR
#error "ORVANE_SOURCE_DIR must point at the source tree"
#endif

namespace orvane::test {

class WebServerFixture {
public:
    // `caName` names the authority; the second one made by a test is not trusted by the client.
    WebServerFixture() {
        static int serial = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("orvane-web-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
    }
    ~WebServerFixture() {
        stop();
        std::filesystem::remove_all(dir_);
    }
    WebServerFixture(const WebServerFixture&) = delete;
    WebServerFixture& operator=(const WebServerFixture&) = delete;

    // Makes an authority and a server certificate in dir/name. False when openssl failed.
    bool makeAuthority(const std::string& name) {
        const std::string cmd = "bash '" ORVANE_SOURCE_DIR "/servers/web/make-test-ca.sh' '" + (dir_ / name).string() +
                                "' 'Orvane " + name + "'";
        return std::system(cmd.c_str()) == 0;
    }
    std::string caFile(const std::string& name) const { return (dir_ / name / "ca.pem").string(); }

    // Starts the server with the certificate of authority `name`, on a free port.
    bool start(const std::string& name, std::string& error) {
        if (!store_.open((dir_ / "web.db").string(), error)) return false;
        webserver::ServerOptions o;
        o.port = 0;
        o.threads = 2;
        o.routes.picturesDir = (dir_ / "pictures").string();
        std::filesystem::create_directories(o.routes.picturesDir);
        if (!webserver::readTextFile((dir_ / name / "server.pem").string(), o.certPem) ||
            !webserver::readTextFile((dir_ / name / "server.key").string(), o.keyPem)) {
            error = "no certificate";
            return false;
        }
        server_ = std::make_unique<webserver::WebServer>(store_);
        return server_->start(o, error);
    }
    void stop() {
        if (server_) server_->stop();
        server_.reset();
    }

    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    webserver::Store& store() { return store_; }
    std::filesystem::path dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    webserver::Store store_;
    std::unique_ptr<webserver::WebServer> server_;
};

// A TCP port on loopback on which nothing listens (bound then released).
std::uint16_t unusedPort();

}  // namespace orvane::test
