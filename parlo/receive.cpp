#include "parlo/receive.h"

namespace orvane::parlo {

namespace {
// Windows-1252 0x80..0x9F; the undefined bytes keep their value, as the system conversion does.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

std::u16string cp1252ToUtf16(const std::uint8_t* bytes, std::size_t count) {
    std::u16string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        out.push_back(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
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
