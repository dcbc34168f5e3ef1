#pragma once
// A UdpNetwork that allocates nothing: every receive on any socket returns the same prepared
// datagram (from `source`), every send is counted and dropped, waits never block. With
// `bumpSequence` byte 1 of the datagram changes on every receive, so a voice receiver never
// sees a duplicate. For benchmarks and allocation checks of the steady state.
#include <atomic>
#include <cstring>

#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::test {

class ReplayUdp final : public platform::UdpNetwork {
public:
    std::uint8_t datagram[1024] = {};
    std::size_t length = 0;
    std::uint32_t source = 0;
    bool bumpSequence = true;
    std::atomic<long> sends{0};

    void set(const std::uint8_t* bytes, std::size_t n, std::uint32_t from) {
        length = n < sizeof datagram ? n : sizeof datagram;
        std::memcpy(datagram, bytes, length);
        source = from;
    }

    bool startup() override { return true; }
    void cleanup() override {}
    platform::SocketHandle openBound(std::uint32_t, std::uint16_t) override { return 3; }
    int sendTo(platform::SocketHandle, const void*, std::size_t n, std::uint32_t, std::uint16_t) override {
        sends.fetch_add(1, std::memory_order_relaxed);
        return static_cast<int>(n);
    }
    int waitReadable(platform::SocketHandle, int) override { return length > 0 ? 1 : 0; }
    int receiveFrom(platform::SocketHandle, void* buffer, std::size_t capacity, std::uint32_t* from,
                    std::uint16_t* port) override {
        if (bumpSequence && length > 1) datagram[1] = static_cast<std::uint8_t>(datagram[1] % 255 + 1);
        std::size_t n = length < capacity ? length : capacity;
        std::memcpy(buffer, datagram, n);
        if (from) *from = source;
        if (port) *port = 30000;
        return static_cast<int>(n);
    }
    std::uint16_t localPort(platform::SocketHandle) override { return 50000; }
    void close(platform::SocketHandle) override {}
};

// A clock whose sleeps return at once and whose time moves only by them.
class InstantClock final : public platform::Clock {
public:
    std::int64_t nowMs() override { return now_; }
    void sleepMs(int ms) override { now_ += ms; }

private:
    std::int64_t now_ = 0;
};

}  // namespace orvane::test
