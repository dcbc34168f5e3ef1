#include "parlo/receive.h"

#include <string_view>

#include "base/text.h"

namespace orvane::parlo {

std::u16string cp1252ToUtf16(const std::uint8_t* bytes, std::size_t count) {
    return base::cp1252ToUtf16(std::string_view(reinterpret_cast<const char*>(bytes), count));
}

Datagram interpretDatagram(const std::uint8_t* bytes, int n) {
    Datagram d;
    if (n <= 0 || static_cast<std::size_t>(n) > kReceiveCapacity) return d;
    switch (bytes[0]) {
        case 0x01: {
            std::size_t end = 1;
            while (end < static_cast<std::size_t>(n) && bytes[end] != 0) ++end;
            d.kind = DatagramKind::Speak;
            d.text = cp1252ToUtf16(bytes + 1, end - 1);
            break;
        }
        case 0xFF:
            d.kind = DatagramKind::Stop;
            break;
        default:
            d.kind = DatagramKind::Other;
            break;
    }
    return d;
}

void LastSender::set(std::uint32_t address, std::uint16_t port) {
    std::string text = std::to_string((address >> 24) & 0xFF) + "." + std::to_string((address >> 16) & 0xFF) + "." +
                       std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
    std::lock_guard<std::mutex> guard(lock_);
    address_ = std::move(text);
    port_ = port;
    known_ = true;
}

bool LastSender::get(std::string& addressText, std::uint16_t& port) const {
    std::lock_guard<std::mutex> guard(lock_);
    addressText = address_;
    port = port_;
    return known_;
}

StepResult receiveStep(platform::UdpNetwork& udp, platform::SocketHandle socket, int waitMs,
                 LastSender& sender, const ReceiveHooks& hooks) {
    // Static: one reading thread, and nothing allocated per datagram for the bytes.
    static thread_local std::uint8_t buffer[kReceiveCapacity + 2];
    const int ready = udp.waitReadable(socket, waitMs);
    if (socket == platform::kInvalidSocket) return StepResult::NoSocket;
    if (ready < 0) return StepResult::Failed;
    if (ready == 0) return StepResult::Done;
    std::uint32_t from = 0;
    std::uint16_t port = 0;
    const int n = udp.receiveFrom(socket, buffer, kReceiveCapacity + 1, &from, &port);
    // A datagram that does not fit is lost whole, as a receive error would be.
    if (n <= 0 || static_cast<std::size_t>(n) > kReceiveCapacity) return StepResult::Done;
    buffer[n] = 0;
    sender.set(from, port);
    if (hooks.repaint) hooks.repaint();
    const Datagram d = interpretDatagram(buffer, n);
    if (d.kind == DatagramKind::Speak) {
        if (hooks.speak) hooks.speak(d.text);
    } else if (d.kind == DatagramKind::Stop) {
        if (hooks.stop) hooks.stop();
    }
    return StepResult::Done;
}

}  // namespace orvane::parlo
