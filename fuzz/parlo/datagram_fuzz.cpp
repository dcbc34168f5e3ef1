// Any datagram of 0 to 65,535 bytes on Parlo's endpoint is handled without harm: at most one
// text is spoken, never longer than 1022 characters, and only datagrams that fit are looked at.
#include <cstdint>
#include <cstdlib>

#include "parlo/receive.h"
#include "tests/fakes/fake_udp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65535) return 0;
    orvane::test::FakeUdp udp;
    const auto s = udp.openBound(orvane::platform::kLoopback, 5555);
    udp.queue(s, data, size);
    orvane::parlo::LastSender sender;
    int spoken = 0, stops = 0;
    orvane::parlo::ReceiveHooks hooks;
    hooks.speak = [&](std::u16string_view text) {
        ++spoken;
        if (text.size() > 1022) std::abort();
    };
    hooks.stop = [&] { ++stops; };
    orvane::parlo::receiveStep(udp, s, 0, sender, hooks);
    if (spoken + stops > 1) std::abort();
    if ((spoken || stops) && size > orvane::parlo::kReceiveCapacity) std::abort();
    return 0;
}
