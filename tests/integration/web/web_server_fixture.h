#pragma once
// A real orvane-web-server in the test process: a throw-away certificate authority made with
// servers/web/make-test-ca.sh, a fresh SQLite file and HTTPS on a free loopback port.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/https.h"
#include "servers/web/http_server.h"

namespace orvane::test {

class WebServerFixture {
public:
    WebServerFixture() {
        static int serial = 0;
        dir_ = std::filesystem::temp_directory_path() / ("orvane-web-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir_ / "pictures");
    }
    ~WebServerFixture() {
        if (server_) server_->stop();
        std::filesystem::remove_all(dir_);
    }

    // An authority and a server certificate signed by it, in dir/name.
    bool makeAuthority(const std::string& name) {
        const std::string cmd = "bash '" ORVANE_SOURCE_DIR "/servers/web/make-test-ca.sh' '" + (dir_ / name).string() + "' '" + name + "'";
        return std::system(cmd.c_str()) == 0;
    }
    std::string caFile(const std::string& name) const { return (dir_ / name / "ca.pem").string(); }

    // Serves with the certificate of authority `name` on a free port.
    bool start(const std::string& name, std::string& error) {
        webserver::ServerOptions o;
        o.port = 0;
        o.routes.picturesDir = (dir_ / "pictures").string();
        if (!store_.open((dir_ / "web.db").string(), error)) return false;
        if (!webserver::readTextFile((dir_ / name / "server.pem").string(), o.certPem) ||
            !webserver::readTextFile((dir_ / name / "server.key").string(), o.keyPem)) {
            error = "no certificate";
            return false;
        }
        server_ = std::make_unique<webserver::WebServer>(store_);
        return server_->start(o, error);
    }

    std::uint16_t port() const { return server_ ? server_->port() : 0; }
    webserver::Store& store() { return store_; }
    std::filesystem::path dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    webserver::Store store_;
    std::unique_ptr<webserver::WebServer> server_;
};

}  // namespace orvane::test
