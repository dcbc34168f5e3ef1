#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/udp.h"

namespace orvane::platform {

bool parseIpv4(const char* text, std::uint32_t& out) {
    in_addr a{};
    if (text == nullptr || inet_pton(AF_INET, text, &a) != 1) return false;
    out = ntohl(a.s_addr);
    return true;
}

namespace {

sockaddr_in makeAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

class PosixUdp final : public UdpNetwork {
public:
    bool startup() override { return true; }
    void cleanup() override {}

    SocketHandle openBound(std::uint32_t address, std::uint16_t port) override {
        int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (s < 0) return kInvalidSocket;
        sockaddr_in sa = makeAddress(address, port);
        if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            ::close(s);
            return kInvalidSocket;
        }
        return s;
    }

    int sendTo(SocketHandle s, const void* data, std::size_t length, std::uint32_t address,
               std::uint16_t port) override {
        if (s < 0) return -1;
        sockaddr_in sa = makeAddress(address, port);
        ssize_t n = ::sendto(s, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return n < 0 ? -1 : static_cast<int>(n);
    }

    int waitReadable(SocketHandle s, int timeoutMs) override {
        if (s < 0) return -1;
        pollfd p{s, POLLIN | POLLRDNORM | POLLRDBAND, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r < 0) return -1;
        if (r == 0) return 0;
        if (p.revents & (POLLERR | POLLNVAL)) return (p.revents & POLLIN) ? 1 : -1;
        return 1;
    }

    int receiveFrom(SocketHandle s, void* buffer, std::size_t capacity, std::uint32_t* fromAddress,
                    std::uint16_t* fromPort) override {
        if (s < 0) return -1;
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n;
        do {
            n = ::recvfrom(s, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&sa), &len);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return -1;
        if (fromAddress) *fromAddress = ntohl(sa.sin_addr.s_addr);
        if (fromPort) *fromPort = ntohs(sa.sin_port);
        return static_cast<int>(n);
    }

    std::uint16_t localPort(SocketHandle s) override {
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        if (s < 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
        return ntohs(sa.sin_port);
    }

    void close(SocketHandle s) override {
        if (s >= 0) ::close(s);
    }
};

}  // namespace

UdpNetwork& systemUdp() {
    static PosixUdp udp;
    return udp;
}

}  // namespace orvane::platform
