#include "parlo/receive.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_udp.h"

namespace orvane::parlo {
namespace {

using test::FakeUdp;

std::vector<std::uint8_t> speakBytes(const std::string& text) {
    std::vector<std::uint8_t> d(text.size() + 1, 0x01);
    std::copy(text.begin(), text.end(), d.begin() + 1);
    return d;
}

struct Recorder {
    std::vector<std::u16string> spoken;
    std::vector<std::string> events;  // "speak", "stop", "repaint" in order
    ReceiveHooks hooks() {
        ReceiveHooks h;
        h.speak = [this](std::u16string_view t) {
            spoken.emplace_back(t);
            events.push_back("speak");
        };
        h.stop = [this] { events.push_back("stop"); };
        h.repaint = [this] { events.push_back("repaint"); };
        return h;
    }
};

TEST(ParloReceive, EachDatagramAsItsKindSays) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::vector<std::string> events;
        std::u16string text;
    };
    const std::string t1022(1022, 'a');
    const std::string t1023(1023, 'a');
    const Case cases[] = {
        {"1022-byte text is spoken", speakBytes(t1022), {"repaint", "speak"}, std::u16string(1022, u'a')},
        {"1023-byte text (1024-byte datagram) is dropped", speakBytes(t1023), {}, u""},
        {"a zero byte ends the text", speakBytes(std::string("Bon\0jour", 8)), {"repaint", "speak"}, u"Bon"},
        {"an empty text is spoken", {0x01}, {"repaint", "speak"}, u""},
        {"Windows-1252 text", speakBytes("\xE9t\xE9 \x80"), {"repaint", "speak"}, u"\u00E9t\u00E9 \u20AC"},
        {"stop", {0xFF}, {"repaint", "stop"}, u""},
        {"stop with trailing bytes", {0xFF, 0x01, 'x'}, {"repaint", "stop"}, u""},
        {"other kinds only repaint", {'T', 'R'}, {"repaint"}, u""},
        {"an empty datagram is nothing", {}, {}, u""},
    };
    for (const Case& c : cases) {
        FakeUdp udp;
        const auto s = udp.openBound(platform::kLoopback, 5555);
        udp.queue(s, c.bytes, 0x7F000001u, 41234);
        LastSender sender;
        Recorder rec;
        EXPECT_EQ(receiveStep(udp, s, 10, sender, rec.hooks()), StepResult::Done) << c.what;
        EXPECT_EQ(rec.events, c.events) << c.what;
        if (!rec.spoken.empty()) {
            EXPECT_EQ(rec.spoken[0], c.text) << c.what;
        }
        std::string address;
        std::uint16_t port = 0;
        EXPECT_EQ(sender.get(address, port), !c.events.empty()) << c.what;
        if (!c.events.empty()) {
            EXPECT_EQ(address, "127.0.0.1");
            EXPECT_EQ(port, 41234);
        }
    }
}

TEST(ParloReceive, ThreeSpeaksThenAStopInArrivalOrder) {
    FakeUdp udp;
    const auto s = udp.openBound(platform::kLoopback, 5555);
    for (const char* t : {"un", "deux", "trois"}) udp.queue(s, speakBytes(t));
    udp.queue(s, std::vector<std::uint8_t>{0xFF});
    LastSender sender;
    Recorder rec;
    for (int i = 0; i < 4; ++i) receiveStep(udp, s, 10, sender, rec.hooks());
    EXPECT_EQ(rec.spoken, (std::vector<std::u16string>{u"un", u"deux", u"trois"}));
    EXPECT_EQ(rec.events.back(), "stop");
}

TEST(ParloReceive, QuietFailedAndMissingSockets) {
    FakeUdp udp;
    const auto s = udp.openBound(platform::kLoopback, 5555);
    LastSender sender;
    Recorder rec;
    EXPECT_EQ(receiveStep(udp, s, 10, sender, rec.hooks()), StepResult::Done);
    EXPECT_EQ(udp.waitTimeouts.back(), 10);  // it waits; it does not spin
    udp.failWaits = true;
    EXPECT_EQ(receiveStep(udp, s, 10, sender, rec.hooks()), StepResult::Failed);
    EXPECT_EQ(receiveStep(udp, platform::kInvalidSocket, 10, sender, rec.hooks()), StepResult::NoSocket);
    EXPECT_TRUE(rec.events.empty());
}

}  // namespace
}  // namespace orvane::parlo
