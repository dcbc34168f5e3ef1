// orvane-lab-tool: small helpers of the lab command (see lab/orvane-lab).
//   orvane-lab-tool talk PID | release PID    talk command to a running client
//   orvane-lab-tool ports PID                 the UDP ports a process holds
//   orvane-lab-tool feed FILE FIFO            writes FILE into FIFO at the pace of a
//                                             microphone (16-bit stereo 8000 Hz, 32000 B/s)
//   orvane-lab-tool adapter PORTS FIFO [plugged] [--wine-port COMn LINK]
//                                             a simulated USB-serial adapter (serial_adapter.h);
//                                             under Wine, listed as COMn through the link LINK
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lab/child_process.h"
#include "lab/serial_adapter.h"
#include "lab/talk_command.h"

namespace {

int usage() {
    std::fputs("usage: orvane-lab-tool talk PID | release PID | ports PID | feed FILE FIFO\n"
               "       orvane-lab-tool adapter PORTS FIFO [plugged] [--wine-port COMn LINK]\n", stderr);
    return 2;
}

std::int64_t nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

bool writeWithin(int fd, const char* data, std::size_t n, int timeoutMs) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, timeoutMs) != 1) return false;
    }
    return true;
}

// 1000 bytes per 31.25 ms, on an absolute schedule so that the pace does not drift.
int feed(const char* file, const char* fifo) {
    std::string data = orvane::lab::readFile(file);
    // Non-blocking, so that a microphone nobody records cannot hang the lab: a block that
    // cannot be written within 2 s ends the feed.
    int fd = ::open(fifo, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror(fifo);
        return 1;
    }
    std::int64_t start = nowUs();
    for (std::size_t off = 0, k = 0; off < data.size(); off += 1000, ++k) {
        std::int64_t due = start + static_cast<std::int64_t>(k) * 31250;
        std::int64_t wait = due - nowUs();
        if (wait > 0) ::usleep(static_cast<useconds_t>(wait));
        std::size_t n = data.size() - off < 1000 ? data.size() - off : 1000;
        if (!writeWithin(fd, data.data() + off, n, 2000)) {
            std::fprintf(stderr, "orvane-lab-tool: nobody records from %s\n", fifo);
            ::close(fd);
            return 1;
        }
    }
    ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 3) return usage();
    std::string verb = argv[1];
    if (verb == "talk" || verb == "release") {
        int sent = orvane::lab::sendClientCommand(std::atoi(argv[2]), verb == "talk" ? 'T' : 'R');
        if (sent == 0) std::fprintf(stderr, "orvane-lab-tool: process %s holds no UDP socket\n", argv[2]);
        return sent > 0 ? 0 : 1;
    }
    if (verb == "ports") {
        for (auto p : orvane::lab::udpPortsOfProcess(std::atoi(argv[2]))) std::printf("%u\n", p);
        return 0;
    }
    if (verb == "feed" && argc == 4) return feed(argv[2], argv[3]);
    if (verb == "adapter" && argc >= 4) {
        bool plugged = false;
        const char* windowsName = nullptr;
        const char* windowsLink = nullptr;
        for (int i = 4; i < argc; ++i) {
            if (std::strcmp(argv[i], "plugged") == 0) {
                plugged = true;
            } else if (std::strcmp(argv[i], "--wine-port") == 0 && i + 2 < argc) {
                windowsName = argv[++i];
                windowsLink = argv[++i];
            } else {
                return usage();
            }
        }
        return orvane::lab::runSerialAdapter(argv[2], argv[3], plugged, windowsName, windowsLink);
    }
    return usage();
}
