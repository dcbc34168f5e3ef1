#pragma once
// The other end of a pseudo-terminal, standing in for an adapter: it echoes, stays silent, or
// hangs up, from a thread of its own.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace orvane::test {

class PtyPeer {
public:
    enum class Mode { Echo, Silent };

    PtyPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            if (const char* name = ::ptsname(master_)) slave_ = name;
        }
        // Holds the terminal open so that bytes written before the port opens are not lost
        // and the master never reads a hang-up while the port is not yet open.
        if (!slave_.empty()) holder_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyPeer() {
        stop();
        hangUp();
        if (holder_ >= 0) ::close(holder_);
    }

    bool ok() const { return master_ >= 0 && !slave_.empty(); }
    int master() const { return master_; }
    const std::string& slavePath() const { return slave_; }
    // "pts/N", the port name of the slave under /dev.
    std::string portName() const { return slave_.substr(5); }
    int probesSeen() const { return probes_.load(); }

    void start(Mode mode) {
        mode_.store(mode);
        running_.store(true);
        thread_ = std::thread([this] { serve(); });
    }
    void setMode(Mode mode) { mode_.store(mode); }
    void stop() {
        running_.store(false);
        if (thread_.joinable()) thread_.join();
    }
    // The adapter goes: writes on the port then fail.
    void hangUp() {
        stop();
        if (holder_ >= 0) {
            ::close(holder_);
            holder_ = -1;
        }
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    void serve() {
        char buf[256];
        while (running_.load()) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) {
                ::usleep(10000);
                continue;
            }
            probes_ += static_cast<int>(n / 8);
            if (mode_.load() == Mode::Echo) (void)!::write(master_, buf, static_cast<std::size_t>(n));
        }
    }

    int master_ = -1;
    int holder_ = -1;
    std::string slave_;
    std::atomic<Mode> mode_{Mode::Echo};
    std::atomic<bool> running_{false};
    std::atomic<int> probes_{0};
    std::thread thread_;
};

}  // namespace orvane::test
