#include "lab/operator_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace orvane::lab {

bool askVoiceServer(const std::string& operatorPath, const std::string& order, std::string& reply,
                    int timeoutMs) {
    reply.clear();
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un self{};
    self.sun_family = AF_UNIX;  // automatic abstract name: the server answers to it
    ::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t));
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    std::snprintf(to.sun_path, sizeof to.sun_path, "%s", operatorPath.c_str());
    bool ok = false;
    if (::sendto(fd, order.data(), order.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) >= 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) == 1) {
            // Room for the longest answer ("clients" with hundreds of clients).
            std::vector<char> buffer(128 * 1024);
            ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n >= 0) {
                reply.assign(buffer.data(), static_cast<std::size_t>(n));
                ok = true;
            }
        }
    }
    ::close(fd);
    return ok;
}

}  // namespace orvane::lab
