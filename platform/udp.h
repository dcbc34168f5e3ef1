#pragma once
// UDP over IPv4, as the voice, control and speech sockets need it.
// Addresses are IPv4 in host byte order; ports in host byte order.
#include <cstddef>
#include <cstdint>

namespace orvane::platform {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// 127.0.0.1 in host byte order.
inline constexpr std::uint32_t kLoopback = 0x7F000001u;

// Parses dotted IPv4 text ("192.168.1.2"); false when it is not one.
bool parseIpv4(const char* text, std::uint32_t& out);

class UdpNetwork {
public:
    virtual ~UdpNetwork() = default;

    // Takes one reference on the socket library (a no-op where there is none). False on failure.
    virtual bool startup() = 0;
    // Gives one reference back.
    virtual void cleanup() = 0;

    // Creates a datagram socket bound to (address, port); port 0 lets the system choose.
    // Returns kInvalidSocket when either the socket or the bind fails (nothing is left open).
    virtual SocketHandle openBound(std::uint32_t address, std::uint16_t port) = 0;

    // Sends one datagram. Returns the bytes sent or -1.
    virtual int sendTo(SocketHandle s, const void* data, std::size_t length,
                       std::uint32_t address, std::uint16_t port) = 0;

    // Waits until a datagram can be read: 1 readable, 0 timed out, -1 failure (also for an
    // invalid handle, which fails at once).
    virtual int waitReadable(SocketHandle s, int timeoutMs) = 0;

    // Receives one datagram of at most `capacity` bytes (the rest of a longer one is lost).
    // Returns the bytes stored or -1. `fromAddress`/`fromPort` may be null.
    virtual int receiveFrom(SocketHandle s, void* buffer, std::size_t capacity,
                            std::uint32_t* fromAddress, std::uint16_t* fromPort) = 0;

    // The local port a bound socket got, 0 on failure.
    virtual std::uint16_t localPort(SocketHandle s) = 0;

    virtual void close(SocketHandle s) = 0;
};

// The operating system's sockets.
UdpNetwork& systemUdp();

}  // namespace orvane::platform
