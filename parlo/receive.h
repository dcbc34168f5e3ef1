#pragma once
// Parlo's receive side: what one datagram on 127.0.0.1:5555 asks for, and the thread that
// reads them one at a time, in arrival order.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/udp.h"

namespace orvane::parlo {

// Up to 1023 datagram bytes fit; one more is read so that a longer datagram is recognised and
// dropped whole.
inline constexpr std::size_t kReceiveCapacity = 1023;

enum class DatagramKind { Dropped, Speak, Stop, Other };

struct Datagram {
    DatagramKind kind = DatagramKind::Dropped;
    std::u16string text;  // for Speak: the bytes after the kind byte up to the first zero
};

// Windows-1252 bytes as UTF-16 (the code page both programs agree on).
std::u16string cp1252ToUtf16(const std::uint8_t* bytes, std::size_t count);

// `n` is what the receive returned (at most kReceiveCapacity + 1).
Datagram interpretDatagram(const std::uint8_t* bytes, int n);

// The source of the latest datagram, shown by the window; copied whole under its lock.
class LastSender {
public:
    void set(std::uint32_t address, std::uint16_t port);
    bool get(std::string& addressText, std::uint16_t& port) const;

private:
    mutable std::mutex lock_;
    bool known_ = false;
    std::string address_;
    std::uint16_t port_ = 0;
};

struct ReceiveHooks {
    std::function<void(std::u16string_view)> speak;  // returns when spoken
    std::function<void()> stop;                       // asks the message loop to end
    std::function<void()> repaint;
};

enum class StepResult { Done, Failed, NoSocket };

// One pass: waits up to `waitMs` for a datagram, then handles it completely. Failed: the wait
// failed (the caller pauses before the next pass); NoSocket: there is nothing to read from.
StepResult receiveStep(platform::UdpNetwork& udp, platform::SocketHandle socket, int waitMs,
                 LastSender& sender, const ReceiveHooks& hooks);

}  // namespace orvane::parlo
