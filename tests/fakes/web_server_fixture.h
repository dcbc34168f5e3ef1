#pragma once
// The reference web server for tests and measurements, with a throw-away certificate authority
// of its own (servers/web/make-test-ca.sh) and a fresh SQLite file in a temporary folder that
// goes with the fixture. It serves HTTPS on a free loopback port, either in the test's process
// (its store at hand) or as the orvane-web-server program in a process of its own (its memory
// readable from /proc). Clients reach it at host():port() and trust it with caFile(); trust()
// gives that file to the platform's HTTPS until the fixture ends. Two fixtures have two
// authorities that do not trust each other's certificates.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "servers/web/http_server.h"

namespace orvane::test {

class WebServerFixture {
public:
    WebServerFixture();
    ~WebServerFixture();
    WebServerFixture(const WebServerFixture&) = delete;
    WebServerFixture& operator=(const WebServerFixture&) = delete;

    // Serves in this process; each answered request is given to `requestLog` when set (the
    // server's --log-requests line).
    bool start(std::string& error, std::function<void(std::string_view)> requestLog = {});
    // Runs `program` ("serve" with the certificate, the database and `extra` arguments) and waits
    // for its "listening on port N" line (or for its end).
    bool startProgram(const std::string& program, const std::vector<std::string>& extra, std::string& error);
    // The platform's HTTPS trusts this server's authority from now until the fixture ends.
    void trust();
    // Stops the server (the program with SIGTERM, SIGKILL after 20 s); the folder stays.
    void stop();

    std::string host() const { return "localhost"; }
    std::uint16_t port() const { return port_; }
    std::string caFile() const { return (dir_ / "ca" / "ca.pem").string(); }
    const std::filesystem::path& dir() const { return dir_; }  // also holds pictures/, the shared pictures
    webserver::Store& store() { return store_; }                // in this process only
    // Connections accepted and requests received so far (in this process only; else zeros).
    webserver::WebServer::Counters counters() const {
        return server_ ? server_->counters() : webserver::WebServer::Counters{};
    }
    int pid() const { return pid_; }                            // the program only; -1 otherwise

private:
    bool makeAuthority(std::string& error);

    std::filesystem::path dir_;
    std::string authority_;
    webserver::Store store_;
    std::unique_ptr<webserver::WebServer> server_;
    int pid_ = -1;
    std::uint16_t port_ = 0;
    bool trusted_ = false;
};

}  // namespace orvane::test
