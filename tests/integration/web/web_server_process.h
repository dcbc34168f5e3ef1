#pragma once
// The real orvane-web-server program in a process of its own, so that its memory can be read
// from /proc while the test loads it. Serves on a free port with the certificate in `caDir`
// (servers/web/make-test-ca.sh) and stops with SIGTERM when the object ends.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvane::test {

class WebServerProcess {
public:
    WebServerProcess() = default;
    WebServerProcess(const WebServerProcess&) = delete;
    WebServerProcess& operator=(const WebServerProcess&) = delete;
    ~WebServerProcess() { stop(); }

    // Starts `program` and waits (at most 30 s) for its "listening on port N" line.
    bool start(const std::string& program, const std::string& caDir, const std::string& db,
               const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {program, "serve", "--port", "0", "--cert", caDir + "/server.pem",
                                         "--key", caDir + "/server.key", "--db", db};
        args.insert(args.end(), extra.begin(), extra.end());
        int out[2];
        if (::pipe(out) != 0) return false;
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
        return port_ != 0;
    }

    void stop() {
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

    int pid() const { return pid_; }
    std::uint16_t port() const { return port_; }

private:
    int pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace orvane::test
