#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/serial_device.h"
#include "tests/fakes/manual_clock.h"
#include "tests/unit/device/fake_serial.h"

namespace orvane::device {
namespace {

constexpr char kFtdi[] = "USB\\VID_0403&PID_6001&REV_0600";
constexpr char kWch[] = "USB\\VID_1A86&PID_7523&REV_0264";

struct DeviceFixture : ::testing::Test {
    DeviceFixture()
        : link(state, [this](int s) {
              downloads.push_back(s);
              PictureDownload d;
              d.outcome = PictureDownload::Outcome::Picture;
              d.picture = platform::Image(32, 32);
              return d;
          }),
          device(state, ports, clock, link, [this](std::string_view l) { lines.emplace_back(l); }) {
        state.ui.serialRunFlag.store(true);
        link.set(kLinkClosed);  // start-up's first picture
        downloads.clear();
    }
    // Steps until the phase is `want`, at most `limit` steps.
    bool stepUntil(SerialPhase want, int limit = 100) {
        for (int i = 0; i < limit && device.phase() != want; ++i) device.step();
        return device.phase() == want;
    }

    ClientState state;
    test::FakeSerialPorts ports;
    test::ManualClock clock;
    std::vector<int> downloads;
    std::vector<std::string> lines;
    LinkStatus link;
    SerialDevice device;
};

TEST_F(DeviceFixture, FirstMatchingDeviceOfTheEnumerationWins) {
    ports.add(std::string("PCI\\VEN_8086&DEV_9D3D"), std::string("ttyS4"));
    ports.add(std::string(kWch), std::string("ttyUSB3"));   // row 16, but first
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));  // row 1
    device.step();
    EXPECT_EQ(ports.openedPaths, std::vector<std::string>{"/dev/ttyUSB3"});
    EXPECT_EQ(device.phase(), SerialPhase::Probing);
    EXPECT_EQ(link.current(), kLinkOpen);
}

TEST_F(DeviceFixture, DevicesThatCannotBeUsedWholeAreSkipped) {
    ports.add(std::nullopt, std::string("ttyUSB0"));                 // identifier unreadable
    ports.add(std::string(kFtdi), std::nullopt);                      // no port name
    ports.add(std::string(kFtdi), std::string());                     // empty port name
    ports.add(std::string(kFtdi) + std::string(600, 'x'), std::string("ttyUSB1"));  // identifier too long
    ports.add(std::string(kFtdi), std::string(40, 'n'));              // name too long
    ports.add(std::string(kFtdi), std::string(27, 'p'));              // fits, but its path would be cut
    ports.add(std::string(kFtdi), std::string("ttyUSB9"));
    device.step();
    EXPECT_EQ(ports.openedPaths, std::vector<std::string>{"/dev/ttyUSB9"});
}

TEST_F(DeviceFixture, LongestIdentifierThatFitsIsSearched) {
    ports.add(std::string(kFtdi) + std::string(511 - sizeof(kFtdi) + 1, 'x'), std::string("ttyUSB0"));
    ASSERT_EQ(ports.present[0].hardwareId->size(), 511u);
    device.step();
    EXPECT_EQ(ports.openedPaths.size(), 1u);
}

TEST_F(DeviceFixture, RepliesJudgedByTheirFirstEightBytes) {
    struct Case {
        std::optional<std::string> reply;
        int status;
        bool echoLine;
    } cases[] = {
        {std::string("PXXXXXXX"), kLinkEcho, true},
        {std::string("PXXXXXXXab"), kLinkEcho, true},  // 10 bytes, the probe first
        {std::string("PXXXXXX"), kLinkOpen, false},    // 7 bytes
        {std::string("PXXXXXXy"), kLinkOpen, false},
        {std::string(), kLinkOpen, false},             // silence
        {std::string("xPXXXXXXX"), kLinkOpen, false},
        {std::string(32, 'P'), kLinkOpen, false},
    };
    for (const auto& c : cases) {
        ClientState s;
        s.ui.serialRunFlag.store(true);
        LinkStatus l(s, [](int) { return PictureDownload{}; });
        test::FakeSerialPorts p;
        test::ManualClock k;
        std::vector<std::string> out;
        SerialDevice d(s, p, k, l, [&](std::string_view line) { out.emplace_back(line); });
        p.add(std::string(kFtdi), std::string("ttyUSB0"));
        p.line->replies.push_back(c.reply);
        d.step();  // open
        d.step();  // one probe
        EXPECT_EQ(l.current(), c.status) << c.reply.value_or("(failed)");
        EXPECT_EQ(out.size(), c.echoLine ? 1u : 0u);
        EXPECT_EQ(p.line->written, std::vector<std::string>{"PXXXXXXX"});
        EXPECT_EQ(k.sleeps, std::vector<int>{200});
    }
}

TEST_F(DeviceFixture, IntactEchoWritesTheDiagnosticLine) {
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    ports.line->replies.push_back(std::string("PXXXXXXX++"));
    device.step();
    device.step();
    EXPECT_EQ(lines, std::vector<std::string>{"Echo re\xC3\xA7u : PXXXXXXX\n"});
}

TEST_F(DeviceFixture, FailedReadLeavesTheStatus) {
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    ports.line->replies = {std::string("PXXXXXXX"), std::nullopt};
    device.step();
    device.step();
    device.step();
    EXPECT_EQ(link.current(), kLinkEcho);
    EXPECT_EQ(downloads, (std::vector<int>{kLinkOpen, kLinkEcho}));
}

TEST_F(DeviceFixture, EveryOtherEchoAlternatesWithOneDownloadPerChange) {
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    for (int i = 0; i < 3; ++i) {
        ports.line->replies.push_back(std::string("PXXXXXXX"));
        ports.line->replies.push_back(std::string("garbled!"));
    }
    device.step();
    for (int i = 0; i < 6; ++i) device.step();
    EXPECT_EQ(downloads, (std::vector<int>{2, 3, 2, 3, 2, 3, 2}));
    EXPECT_EQ(lines.size(), 3u);
}

TEST_F(DeviceFixture, UnplugClosesShowsBlackAndSearchesAgainAfterTwoSeconds) {
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    device.step();
    device.step();
    ASSERT_EQ(link.current(), kLinkEcho);
    ports.line->writeFails = true;
    device.step();
    EXPECT_EQ(link.current(), kLinkClosed);
    EXPECT_EQ(ports.line->closes, 1);
    EXPECT_EQ(device.phase(), SerialPhase::Waiting);
    const int listingsBefore = ports.listings;
    const auto t0 = clock.nowMs();
    ASSERT_TRUE(stepUntil(SerialPhase::Searching));
    EXPECT_EQ(clock.nowMs() - t0, 2000);
    EXPECT_EQ(ports.listings, listingsBefore);
    ports.line->writeFails = false;  // replugged
    device.step();
    EXPECT_EQ(ports.listings, listingsBefore + 1);
    EXPECT_EQ(link.current(), kLinkOpen);
    EXPECT_EQ(downloads, (std::vector<int>{2, 3, 1, 2}));
}

TEST_F(DeviceFixture, NothingFoundOrNoListWaitsTwoSeconds) {
    for (bool available : {true, false}) {
        ports.listAvailable = available;
        device.step();
        EXPECT_EQ(device.phase(), SerialPhase::Waiting);
        const auto t0 = clock.nowMs();
        ASSERT_TRUE(stepUntil(SerialPhase::Searching));
        EXPECT_EQ(clock.nowMs() - t0, 2000);
    }
    EXPECT_TRUE(downloads.empty());
}

TEST_F(DeviceFixture, PortThatCannotBeOpenedIsRetriedWithoutSpinning) {
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    ports.openFailures = 3;
    for (int i = 0; i < 3; ++i) {
        device.step();
        EXPECT_EQ(device.phase(), SerialPhase::Searching);
    }
    EXPECT_EQ(clock.sleeps, (std::vector<int>{100, 100, 100}));
    device.step();
    EXPECT_EQ(device.phase(), SerialPhase::Probing);
    EXPECT_EQ(ports.openedPaths.size(), 4u);
}

TEST_F(DeviceFixture, LoweredFlagEndsEveryPhaseAtOnce) {
    // Searching (a busy port), waiting, and probing, which still closes and shows black.
    ports.openFailures = 1000;
    ports.add(std::string(kFtdi), std::string("ttyUSB0"));
    device.step();
    state.ui.serialRunFlag.store(false);
    device.step();
    EXPECT_EQ(device.phase(), SerialPhase::Ended);

    ClientState s;
    s.ui.serialRunFlag.store(true);
    LinkStatus l(s, [](int) { return PictureDownload{}; });
    test::FakeSerialPorts p;
    test::ManualClock k;
    SerialDevice waiting(s, p, k, l, nullptr);
    waiting.step();
    ASSERT_EQ(waiting.phase(), SerialPhase::Waiting);
    s.ui.serialRunFlag.store(false);
    const auto slept = k.sleeps.size();
    waiting.run();
    EXPECT_EQ(k.sleeps.size(), slept);

    s.ui.serialRunFlag.store(true);
    p.add(std::string(kFtdi), std::string("ttyUSB0"));
    SerialDevice probing(s, p, k, l, nullptr);
    probing.step();
    probing.step();
    ASSERT_EQ(l.current(), kLinkEcho);
    s.ui.serialRunFlag.store(false);
    probing.run();
    EXPECT_EQ(probing.phase(), SerialPhase::Ended);
    EXPECT_EQ(l.current(), kLinkClosed);
    EXPECT_EQ(p.line->closes, 1);
}

// The pause between searches is one wait the stop signal can end, not twenty looks at the
// flag; a stop that comes during it ends the thread without another search.
TEST(SerialDeviceWait, OneWaitBetweenSearchesThatAStopEnds) {
    struct WaitingClock final : platform::Clock {
        std::int64_t nowMs() override { return 0; }
        void sleepMs(int ms) override { sleeps.push_back(ms); }
        bool waitMs(platform::WakeEvent& event, int ms) override {
            waits.push_back(ms);
            if (onWait) onWait();
            return event.take();
        }
        std::vector<int> sleeps, waits;
        std::function<void()> onWait;
    };
    ClientState s;
    s.ui.serialRunFlag.store(true);
    LinkStatus l(s, [](int) { return PictureDownload{}; });
    test::FakeSerialPorts p;
    WaitingClock k;
    platform::WakeEvent stop;
    SerialDevice device(s, p, k, l, nullptr, &stop);
    device.step();
    ASSERT_EQ(device.phase(), SerialPhase::Waiting);
    device.step();
    EXPECT_EQ(k.waits, std::vector<int>{2000});
    EXPECT_TRUE(k.sleeps.empty());
    EXPECT_EQ(device.phase(), SerialPhase::Searching);

    device.step();
    ASSERT_EQ(device.phase(), SerialPhase::Waiting);
    const int listings = p.listings;
    k.onWait = [&] {  // the stop comes while the thread waits
        s.ui.serialRunFlag.store(false);
        stop.signal();
    };
    device.run();
    EXPECT_EQ(device.phase(), SerialPhase::Ended);
    EXPECT_EQ(p.listings, listings);
    EXPECT_EQ(k.waits.size(), 2u);
}

}  // namespace
}  // namespace orvane::device
