#pragma once
// A UdpNetwork in memory: datagrams queued per socket with their source, every send recorded,
// failures injected on demand. waitReadable never blocks: with nothing queued it advances the
// manual clock (when given) by the time-out and reports a time-out, as a real wait would.
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/udp.h"
#include "tests/fakes/manual_clock.h"

namespace orvane::test {

class FakeUdp final : public platform::UdpNetwork {
public:
    struct Datagram {
        std::vector<std::uint8_t> bytes;
        std::uint32_t address = platform::kLoopback;
        std::uint16_t port = 0;
    };
    struct Sent {
        platform::SocketHandle socket = platform::kInvalidSocket;
        std::vector<std::uint8_t> bytes;
        std::uint32_t address = 0;
        std::uint16_t port = 0;
    };

    explicit FakeUdp(ManualClock* clock = nullptr) : clock_(clock) {}

    // Failure injection. Calls are counted from 0 per operation.
    std::set<int> failStartupCalls;   // startup() calls that fail
    std::set<int> failOpenCalls;      // openBound() calls that fail
    bool failSends = false;
    bool failWaits = false;           // waitReadable reports -1 even on a valid socket
    bool failReceives = false;

    // Queues a datagram for `socket` as if sent from address:port.
    void queue(platform::SocketHandle socket, std::vector<std::uint8_t> bytes,
               std::uint32_t address = platform::kLoopback, std::uint16_t port = 40000) {
        std::lock_guard<std::mutex> hold(mutex_);
        incoming_[socket].push_back({std::move(bytes), address, port});
    }
    void queue(platform::SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address = platform::kLoopback, std::uint16_t port = 40000) {
        queue(socket, std::vector<std::uint8_t>(data, data + length), address, port);
    }
    std::size_t queued(platform::SocketHandle socket) {
        std::lock_guard<std::mutex> hold(mutex_);
        return incoming_[socket].size();
    }

    std::vector<Sent> sent() {
        std::lock_guard<std::mutex> hold(mutex_);
        return sent_;
    }
    void clearSent() {
        std::lock_guard<std::mutex> hold(mutex_);
        sent_.clear();
    }
    int startups = 0;
    int cleanups = 0;
    int opens = 0;
    std::set<platform::SocketHandle> closed;
    std::vector<int> waitTimeouts;  // every time-out asked of waitReadable

    bool startup() override {
        std::lock_guard<std::mutex> hold(mutex_);
        return failStartupCalls.count(startups++) == 0;
    }
    void cleanup() override {
        std::lock_guard<std::mutex> hold(mutex_);
        ++cleanups;
    }
    platform::SocketHandle openBound(std::uint32_t, std::uint16_t port) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (failOpenCalls.count(opens++) != 0) return platform::kInvalidSocket;
        platform::SocketHandle s = nextHandle_++;
        ports_[s] = port != 0 ? port : static_cast<std::uint16_t>(50000 + s);
        return s;
    }
    int sendTo(platform::SocketHandle s, const void* data, std::size_t length, std::uint32_t address,
               std::uint16_t port) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (s < 0 || failSends) return -1;
        const auto* p = static_cast<const std::uint8_t*>(data);
        sent_.push_back({s, std::vector<std::uint8_t>(p, p + length), address, port});
        return static_cast<int>(length);
    }
    int waitReadable(platform::SocketHandle s, int timeoutMs) override {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            waitTimeouts.push_back(timeoutMs);
            if (s < 0 || failWaits) return -1;
            if (!incoming_[s].empty()) return 1;
        }
        if (clock_ != nullptr) clock_->advance(timeoutMs);
        return 0;
    }
    int receiveFrom(platform::SocketHandle s, void* buffer, std::size_t capacity,
                    std::uint32_t* fromAddress, std::uint16_t* fromPort) override {
        std::lock_guard<std::mutex> hold(mutex_);
        if (s < 0 || failReceives) return -1;
        auto& q = incoming_[s];
        if (q.empty()) return -1;
        Datagram d = std::move(q.front());
        q.pop_front();
        std::size_t n = d.bytes.size() < capacity ? d.bytes.size() : capacity;
        if (n > 0) std::memcpy(buffer, d.bytes.data(), n);
        if (fromAddress) *fromAddress = d.address;
        if (fromPort) *fromPort = d.port;
        return static_cast<int>(n);
    }
    std::uint16_t localPort(platform::SocketHandle s) override {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = ports_.find(s);
        return it == ports_.end() ? 0 : it->second;
    }
    void close(platform::SocketHandle s) override {
        std::lock_guard<std::mutex> hold(mutex_);
        closed.insert(s);
    }

private:
    ManualClock* clock_;
    std::mutex mutex_;
    platform::SocketHandle nextHandle_ = 3;
    std::map<platform::SocketHandle, std::deque<Datagram>> incoming_;
    std::map<platform::SocketHandle, std::uint16_t> ports_;
    std::vector<Sent> sent_;
};

}  // namespace orvane::test
