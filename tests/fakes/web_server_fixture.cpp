#include "tests/fakes/web_server_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/https.h"

namespace orvane::test {

WebServerFixture::WebServerFixture() {
    static int serial = 0;
    const std::string id = std::to_string(::getpid()) + "-" + std::to_string(++serial);
    dir_ = std::filesystem::temp_directory_path() / ("orvane-web-" + id);
    authority_ = "Orvane Test CA " + id;
    std::filesystem::create_directories(dir_ / "pictures");
}

WebServerFixture::~WebServerFixture() {
    stop();
    if (trusted_) platform::setExtraCaFile("");
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

bool WebServerFixture::makeAuthority(std::string& error) {
    const std::string cmd = "bash '" ORVANE_SOURCE_DIR "/servers/web/make-test-ca.sh' '" + (dir_ / "ca").string() +
                            "' '" + authority_ + "' >/dev/null";
    if (std::system(cmd.c_str()) == 0) return true;
    error = "make-test-ca.sh failed";
    return false;
}

bool WebServerFixture::start(std::string& error, std::function<void(std::string_view)> requestLog) {
    if (!makeAuthority(error)) return false;
    webserver::ServerOptions o;
    o.port = 0;
    o.requestLog = std::move(requestLog);
    o.routes.picturesDir = (dir_ / "pictures").string();
    if (!store_.open((dir_ / "web.db").string(), error)) return false;
    if (!webserver::readTextFile((dir_ / "ca" / "server.pem").string(), o.certPem) ||
        !webserver::readTextFile((dir_ / "ca" / "server.key").string(), o.keyPem)) {
        error = "no certificate";
        return false;
    }
    server_ = std::make_unique<webserver::WebServer>(store_);
    if (!server_->start(o, error)) return false;
    port_ = server_->port();
    return true;
}

bool WebServerFixture::startProgram(const std::string& program, const std::vector<std::string>& extra,
                                    std::string& error) {
    if (!makeAuthority(error)) return false;
    const std::string ca = (dir_ / "ca").string();
    std::vector<std::string> args = {program, "serve", "--port", "0", "--cert", ca + "/server.pem",
                                     "--key", ca + "/server.key", "--db", (dir_ / "web.db").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (::pipe(out) != 0) {
        error = "no pipe";
        return false;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        error = "fork failed";
        return false;
    }
    FILE* in = ::fdopen(out[0], "r");
    char line[256];
    unsigned port = 0;
    while (port == 0 && std::fgets(line, sizeof line, in) != nullptr) {
        std::sscanf(line, "orvane-web-server: listening on port %u", &port);
    }
    std::fclose(in);
    port_ = static_cast<std::uint16_t>(port);
    if (port_ == 0) error = program + " did not say it was listening";
    return port_ != 0;
}

void WebServerFixture::trust() {
    platform::setExtraCaFile(caFile());
    trusted_ = true;
}

void WebServerFixture::stop() {
    if (server_) server_->stop();
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        ::usleep(20'000);
    }
    pid_ = -1;
}

}  // namespace orvane::test
