#include "lab/serial_adapter.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace orvane::lab {

namespace {

constexpr char kHardwareId[] = "USB\\VID_0403&PID_6001&REV_0600";

enum class Answer { Echo, Garble, Alternate, Silent };

struct Adapter {
    int master = -1;
    int holder = -1;  // keeps the terminal open, so the master never sees a hang-up before the client opens it
    std::string portName;
    const char* windowsName = nullptr;  // listed instead of the terminal's name (under Wine)
    const char* windowsLink = nullptr;  // the Wine prefix's link to the terminal

    bool plug() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
        const char* slave = ::ptsname(master);
        if (slave == nullptr || std::strncmp(slave, "/dev/", 5) != 0) return false;
        holder = ::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
        portName = slave + 5;
        if (windowsLink != nullptr) {
            ::unlink(windowsLink);
            if (::symlink(slave, windowsLink) != 0) std::perror(windowsLink);
            portName = windowsName;
        }
        return holder >= 0;
    }
    void unplug() {
        if (windowsLink != nullptr) ::unlink(windowsLink);
        if (holder >= 0) ::close(holder);
        if (master >= 0) ::close(master);
        holder = master = -1;
        portName.clear();
    }
    bool plugged() const { return master >= 0; }
};

// Written whole and renamed into place, so a client never reads half a list.
void writePorts(const char* file, const std::string& portName) {
    const std::string tmp = std::string(file) + ".new";
    if (FILE* f = std::fopen(tmp.c_str(), "w")) {
        if (!portName.empty()) std::fprintf(f, "%s\t%s\n", kHardwareId, portName.c_str());
        std::fclose(f);
        std::rename(tmp.c_str(), file);
    }
}

}  // namespace

int runSerialAdapter(const char* portsFile, const char* ordersFifo, bool startPlugged, const char* windowsName,
                     const char* windowsLink) {
    ::unlink(ordersFifo);
    if (::mkfifo(ordersFifo, 0600) != 0) {
        std::perror(ordersFifo);
        return 1;
    }
    // Read and write, so that the fifo never reads as ended when an order's writer closes it.
    const int orders = ::open(ordersFifo, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (orders < 0) {
        std::perror(ordersFifo);
        return 1;
    }
    Adapter adapter;
    if (windowsName != nullptr && windowsLink != nullptr) {
        adapter.windowsName = windowsName;
        adapter.windowsLink = windowsLink;
    }
    Answer answer = Answer::Echo;
    unsigned replies = 0;
    writePorts(portsFile, "");
    if (startPlugged && adapter.plug()) writePorts(portsFile, adapter.portName);
    std::fprintf(stderr, "adapter: %s\n", adapter.plugged() ? adapter.portName.c_str() : "unplugged");

    std::string pending;
    for (;;) {
        pollfd p[2] = {{orders, POLLIN, 0}, {adapter.master, POLLIN, 0}};
        const int n = ::poll(p, adapter.plugged() ? 2 : 1, -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (p[0].revents & POLLIN) {
            char buf[128];
            const ssize_t got = ::read(orders, buf, sizeof buf);
            if (got > 0) pending.append(buf, static_cast<std::size_t>(got));
            for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
                const std::string order = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                if (order == "plug" && !adapter.plugged()) {
                    if (adapter.plug()) writePorts(portsFile, adapter.portName);
                } else if (order == "unplug") {
                    // The line goes first, then the listing, as with a real adapter pulled
                    // out: once the port is no longer listed, its writes fail.
                    adapter.unplug();
                    writePorts(portsFile, "");
                } else if (order == "echo") {
                    answer = Answer::Echo;
                } else if (order == "garble") {
                    answer = Answer::Garble;
                } else if (order == "alternate") {
                    answer = Answer::Alternate;
                } else if (order == "silent") {
                    answer = Answer::Silent;
                } else {
                    std::fprintf(stderr, "adapter: unknown order '%s'\n", order.c_str());
                    continue;
                }
                std::fprintf(stderr, "adapter: %s%s%s\n", order.c_str(), adapter.plugged() ? " on " : "",
                             adapter.portName.c_str());
            }
        }
        if (adapter.plugged() && (p[1].revents & (POLLIN | POLLHUP))) {
            char buf[256];
            const ssize_t got = ::read(adapter.master, buf, sizeof buf);
            if (got <= 0) {
                ::usleep(20000);  // nobody on the line for a moment
                continue;
            }
            const bool intact = answer == Answer::Echo || (answer == Answer::Alternate && replies++ % 2 == 0);
            if (answer == Answer::Silent) continue;
            if (!intact) buf[0] = static_cast<char>(buf[0] ^ 0x20);
            (void)!::write(adapter.master, buf, static_cast<std::size_t>(got));
        }
    }
}

}  // namespace orvane::lab
