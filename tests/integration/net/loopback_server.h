#pragma once
// The test plays the voice server on real UDP sockets over loopback. Each fixture takes its own
// 127.x.y.z address so that it never collides with another test (or a running server) that
// uses the same channel ports on another loopback address.
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "platform/udp.h"

namespace orvane::test {

struct Received {
    std::vector<std::uint8_t> bytes;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    std::chrono::steady_clock::time_point at;
};

class LoopbackServer {
public:
    // Binds the channel ports 30000..30010 and control ports 31000..31010 on a fresh loopback
    // address. ok() tells whether that worked.
    LoopbackServer() : udp_(platform::systemUdp()) {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 20 && !ok_; ++attempt) {
            address_ = 0x7F000000u | (static_cast<std::uint32_t>(random() % 200 + 20) << 16) |
                       (static_cast<std::uint32_t>(random() % 250 + 1) << 8) |
                       static_cast<std::uint32_t>(random() % 250 + 2);
            ok_ = bindAll();
            if (!ok_) closeAll();
        }
    }
    ~LoopbackServer() { closeAll(); }

    bool ok() const { return ok_; }
    std::uint32_t address() const { return address_; }
    platform::SocketHandle channel(int n) const { return channels_[n]; }
    platform::SocketHandle control(int n) const { return controls_[n]; }

    // One datagram on `socket` within `timeoutMs`, or an empty result (bytes empty, port 0).
    Received receive(platform::SocketHandle socket, int timeoutMs = 3000) {
        Received r;
        if (udp_.waitReadable(socket, timeoutMs) != 1) return r;
        std::uint8_t buffer[65536];
        int n = udp_.receiveFrom(socket, buffer, sizeof buffer, &r.address, &r.port);
        r.at = std::chrono::steady_clock::now();
        if (n > 0) r.bytes.assign(buffer, buffer + n);
        return r;
    }
    // The first datagram on any of the given sockets within `timeoutMs`, with the index of the
    // socket it came on in `which`.
    Received receiveAny(const std::vector<platform::SocketHandle>& sockets, int& which, int timeoutMs = 3000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            for (std::size_t i = 0; i < sockets.size(); ++i) {
                if (udp_.waitReadable(sockets[i], 0) == 1) {
                    which = static_cast<int>(i);
                    return receive(sockets[i], 0);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        which = -1;
        return {};
    }
    void send(platform::SocketHandle from, const std::uint8_t* data, std::size_t length,
              std::uint32_t toAddress, std::uint16_t toPort) {
        udp_.sendTo(from, data, length, toAddress, toPort);
    }
    void drain(platform::SocketHandle socket) {
        while (!receive(socket, 0).bytes.empty()) {
        }
    }

private:
    bool bindAll() {
        for (int n = 0; n < 11; ++n) {
            channels_[n] = udp_.openBound(address_, static_cast<std::uint16_t>(30000 + n));
            controls_[n] = udp_.openBound(address_, static_cast<std::uint16_t>(31000 + n));
            if (channels_[n] == platform::kInvalidSocket || controls_[n] == platform::kInvalidSocket)
                return false;
        }
        return true;
    }
    void closeAll() {
        for (auto& s : channels_) udp_.close(s), s = platform::kInvalidSocket;
        for (auto& s : controls_) udp_.close(s), s = platform::kInvalidSocket;
    }

    platform::UdpNetwork& udp_;
    std::uint32_t address_ = 0;
    bool ok_ = false;
    platform::SocketHandle channels_[11] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    platform::SocketHandle controls_[11] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

// Waits for a condition with a generous limit; true when it became true.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace orvane::test
