// UDP over IPv4 on Winsock 2.2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "platform/udp.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

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

// Handles cross the seam as int: Winsock handles are small kernel handle values that fit.
SOCKET toSocket(SocketHandle s) { return static_cast<SOCKET>(static_cast<UINT_PTR>(s)); }

class WinsockUdp final : public UdpNetwork {
public:
    bool startup() override {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    void cleanup() override { WSACleanup(); }

    SocketHandle openBound(std::uint32_t address, std::uint16_t port) override {
        ensureStarted();
        SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
        if (s == INVALID_SOCKET) return kInvalidSocket;
        // A datagram answered by an ICMP "port unreachable" must not make the next receive on
        // this socket fail (WSAECONNRESET): the receive loops would read it as an error forever.
        BOOL noReset = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &noReset, sizeof noReset, nullptr, 0, &returned, nullptr, nullptr);
        sockaddr_in sa = makeAddress(address, port);
        if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            ::closesocket(s);
            return kInvalidSocket;
        }
        return static_cast<SocketHandle>(s);
    }

    int sendTo(SocketHandle s, const void* data, std::size_t length, std::uint32_t address,
               std::uint16_t port) override {
        if (s < 0) return -1;
        sockaddr_in sa = makeAddress(address, port);
        int n = ::sendto(toSocket(s), static_cast<const char*>(data), static_cast<int>(length), 0,
                         reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        return n == SOCKET_ERROR ? -1 : n;
    }

    int waitReadable(SocketHandle s, int timeoutMs) override {
        if (s < 0) return -1;
        WSAPOLLFD p{};
        p.fd = toSocket(s);
        p.events = POLLRDNORM;
        int r = WSAPoll(&p, 1, timeoutMs);
        if (r == SOCKET_ERROR) return -1;
        if (r == 0) return 0;
        if (p.revents & (POLLERR | POLLNVAL)) return (p.revents & POLLRDNORM) ? 1 : -1;
        return 1;
    }

    int receiveFrom(SocketHandle s, void* buffer, std::size_t capacity, std::uint32_t* fromAddress,
                    std::uint16_t* fromPort) override {
        if (s < 0) return -1;
        sockaddr_in sa{};
        int len = sizeof sa;
        int n = ::recvfrom(toSocket(s), static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                           reinterpret_cast<sockaddr*>(&sa), &len);
        if (n == SOCKET_ERROR) {
            // The rest of a longer datagram is lost, as the interface promises; what fitted is kept.
            if (WSAGetLastError() != WSAEMSGSIZE) return -1;
            n = static_cast<int>(capacity);
        }
        if (fromAddress) *fromAddress = ntohl(sa.sin_addr.s_addr);
        if (fromPort) *fromPort = ntohs(sa.sin_port);
        return n;
    }

    std::uint16_t localPort(SocketHandle s) override {
        sockaddr_in sa{};
        int len = sizeof sa;
        if (s < 0 || ::getsockname(toSocket(s), reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
        return ntohs(sa.sin_port);
    }

    void close(SocketHandle s) override {
        if (s >= 0) ::closesocket(toSocket(s));
    }

private:
    // Callers that open sockets without startup() (tests, helpers) still get a working library.
    void ensureStarted() {
        std::call_once(started_, [] {
            WSADATA data{};
            WSAStartup(MAKEWORD(2, 2), &data);
        });
    }
    std::once_flag started_;
};

}  // namespace

UdpNetwork& systemUdp() {
    static WinsockUdp udp;
    return udp;
}

}  // namespace orvane::platform
