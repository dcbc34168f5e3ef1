#include "net/control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/countdown.h"
#include "tests/fakes/fake_udp.h"
#include "tests/fakes/manual_clock.h"

namespace orvane::net {
namespace {

using test::FakeUdp;
using test::ManualClock;
constexpr std::uint32_t kServer = 0x0A000001;
constexpr platform::SocketHandle kControl = 11;

// Records what the control thread asks of the user interface, in order.
class FakeControlUi final : public ControlUi {
public:
    std::vector<std::string> calls;
    void showWarningBox(const char* text, const char* caption) override {
        calls.push_back(std::string("box:") + caption + "|" + text);
    }
    void openUrl(const char* url) override { calls.push_back(std::string("url:") + url); }
    void showSupervisorNotice(const char* text) override { calls.push_back(std::string("notice:") + text); }
    void destroyMainWindow() override { calls.push_back("destroy"); }
};

struct Control : ::testing::Test {
    ClientState state;
    ManualClock clock;
    FakeUdp udp{&clock};
    FakeControlUi ui;
    ControlContext context;

    void SetUp() override {
        state.link.serverAddress = kServer;
        state.link.controlSocket = kControl;
        context.installerUrl = "https://example.invalid/installer.php";
    }
    void reply(std::vector<std::uint8_t> d, std::uint32_t from = kServer) {
        udp.queue(kControl, std::move(d), from, 31000);
    }
    void step() { controlStep(state, udp, clock, ui, context); }
};

TEST_F(Control, PhasesAlternateRosterPollsAndSupervisorQuery) {
    state.channel.channelPort = 30004;
    state.channel.echoByte = -2;
    std::vector<std::uint16_t> ports;
    std::vector<std::uint8_t> kinds;
    for (int cycle = 0; cycle < 24; ++cycle) {
        udp.clearSent();
        step();
        for (const auto& s : udp.sent()) {
            EXPECT_EQ(s.socket, kControl);
            EXPECT_EQ(s.address, kServer);
            EXPECT_EQ(s.bytes.size(), 3u);
            ports.push_back(s.port);
            kinds.push_back(s.bytes[0]);
            if (s.bytes[0] == 'A') {
                EXPECT_EQ(s.bytes, (std::vector<std::uint8_t>{'A', 1, 0xFE}));
            }
        }
    }
    // L cycles: current channel, then the rotation 0..10; A cycles: the current channel.
    std::vector<std::uint16_t> expected;
    int k = 0;
    for (int cycle = 0; cycle < 24; ++cycle) {
        if (cycle % 2 == 0) {
            expected.push_back(31004);
            expected.push_back(static_cast<std::uint16_t>(31000 + k));
            k = (k + 1) % 11;
        } else {
            expected.push_back(31004);
        }
    }
    EXPECT_EQ(ports, expected);
    EXPECT_EQ(kinds[0], 'L');
    EXPECT_EQ(kinds[2], 'A');
    EXPECT_EQ(state.link.rosterPollIndex, 1);  // 12 L cycles: one full turn and one more
}

TEST_F(Control, NoReplyShowsRedAndPausesWithoutSpinning) {
    const auto before = clock.nowMs();
    step();
    EXPECT_EQ(state.lamps.lampSvc, kLampRed);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 500}));
    EXPECT_EQ(clock.nowMs() - before, 200 + 500 + 500);

    state.link.controlSocket = platform::kInvalidSocket;  // every wait fails at once
    clock.sleeps.clear();
    step();
    EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 500}));
    EXPECT_EQ(state.lamps.lampSvc, kLampRed);
}

TEST_F(Control, RosterReplyFillsTheTable) {
    state.channel.channelPort = 30003;
    std::vector<std::uint8_t> d(7);
    const std::uint16_t accounts[] = {19704, 0x0102};
    protocol::buildRosterReply(d.data(), 3, 2, accounts);
    reply(d);
    step();
    EXPECT_EQ(state.lamps.lampSvc, kLampGreen);
    EXPECT_EQ(state.channel.rosterCount[3], 2);
    EXPECT_EQ(state.channel.rosterCount[11], 2);
    EXPECT_EQ(state.channel.channelRoster[3][0], 19704);
    EXPECT_EQ(state.channel.channelRoster[3][1], 0x0102);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 500}));
}

TEST(RosterReply, BoundsAndCountsAreSafe) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> datagram;
        int currentChannel;
        int channel;                 // row to check (-1: none written)
        std::int32_t count;          // rosterCount[channel] afterwards
        std::int32_t entry11;        // rosterCount[11] afterwards
        std::vector<std::int32_t> row;  // first entries of the row afterwards
    };
    // "L", channel, count byte, then `accounts` numbers 100, 101, ... whatever the count says.
    auto reply = [](std::int8_t channel, std::int8_t count, int accounts) {
        std::vector<std::uint8_t> d{'L', static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(count)};
        for (int i = 0; i < accounts; ++i) {
            d.push_back(static_cast<std::uint8_t>(100 + i));
            d.push_back(0);
        }
        return d;
    };
    std::vector<std::int32_t> sixteen;
    for (int i = 0; i < 16; ++i) sixteen.push_back(100 + i);
    const std::vector<Case> cases = {
        {"other channel keeps entry 11", reply(3, 2, 2), 5, 3, 2, -1, {100, 101, -7}},
        {"count zero", reply(4, 0, 0), 4, 4, 0, 0, {-7, -7}},
        {"negative count reads as none", reply(4, -3, 0), 4, 4, 0, 0, {-7}},
        {"count above 16 is kept as 16", reply(6, 40, 40), 6, 6, 16, 16, sixteen},
        {"count 17 on another channel", reply(1, 17, 17), 6, 1, 16, -1, sixteen},
        {"short datagram reads zeros", reply(2, 3, 1), 0, 2, 3, -1, {100, 0, 0, -7}},
        {"channel 10", reply(10, 1, 1), 10, 10, 1, 1, {100, -7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClientState state;
        state.channel.channelPort = 30000 + c.currentChannel;
        state.channel.rosterCount[11] = -1;
        for (auto& row : state.channel.channelRoster)
            for (auto& e : row) e = -7;
        handleRosterReply(state, c.datagram.data(), c.datagram.size());
        EXPECT_EQ(state.channel.rosterCount[c.channel], c.count);
        EXPECT_EQ(state.channel.rosterCount[11], c.entry11);
        const int rowNext = c.channel + 1 < 11 ? c.channel + 1 : c.channel - 1;
        for (std::size_t i = 0; i < c.row.size(); ++i)
            EXPECT_EQ(state.channel.channelRoster[c.channel][i], c.row[i]) << i;
        for (int i = 0; i < 16; ++i) EXPECT_EQ(state.channel.channelRoster[rowNext][i], -7);
    }
}

TEST(RosterReply, ChannelOutsideTheTableIsIgnored) {
    for (std::int8_t channel : {std::int8_t{-1}, std::int8_t{11}, std::int8_t{127}, std::int8_t{-128}}) {
        ClientState state;
        state.channel.channelPort = 30000;
        std::vector<std::uint8_t> d(5);
        const std::uint16_t one[] = {55};
        protocol::buildRosterReply(d.data(), channel, 1, one);
        handleRosterReply(state, d.data(), d.size());
        for (const auto& c : state.channel.rosterCount) EXPECT_EQ(c, 0) << int(channel);
        for (const auto& row : state.channel.channelRoster)
            for (const auto& e : row) EXPECT_EQ(e, 0);
    }
}

TEST_F(Control, SupervisorCodesAndTheirTiming) {
    const struct {
        std::uint8_t code;
        std::vector<std::string> calls;
    } cases[] = {
        {220,
         {std::string("box:Info du Superviseur|") + kUpdateRequiredText,
          "url:https://example.invalid/installer.php", "destroy"}},
        {240, {std::string("notice:") + kSupervisorClosingText, "destroy"}},
        {221, {}},
        {0, {}},
    };
    for (const auto& c : cases) {
        ui.calls.clear();
        clock.sleeps.clear();
        context.phase = 'A';
        std::uint8_t d[3];
        protocol::buildSupervisorReply(d, c.code);
        reply(std::vector<std::uint8_t>(d, d + 3));
        step();
        EXPECT_EQ(ui.calls, c.calls) << int(c.code);
        EXPECT_EQ(state.lamps.lampSvc, kLampYellow);
        EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 200, 500})) << int(c.code);
    }
}

// The server answers every request: two rosters in a roster phase, one answer in a supervisor
// phase. Whatever has arrived is taken in the cycle, so nothing piles up in the socket (taking
// one reply a cycle left one more behind every two cycles, and the rosters shown fell minutes
// behind), and an order that came behind rosters is obeyed at once.
TEST_F(Control, RepliesNeverPileUp) {
    state.channel.channelPort = 30002;
    std::uint8_t supervisor[3];
    protocol::buildSupervisorReply(supervisor, 0);
    for (int cycle = 0; cycle < 40; ++cycle) {
        if (context.phase == protocol::kKindRoster) {
            const std::uint16_t members[] = {static_cast<std::uint16_t>(100 + cycle)};
            for (const int channel : {2, state.link.rosterPollIndex.load()}) {
                std::vector<std::uint8_t> d(5);
                protocol::buildRosterReply(d.data(), channel, 1, members);
                reply(d);
            }
        } else {
            reply(std::vector<std::uint8_t>(supervisor, supervisor + 3));
        }
        step();
        EXPECT_EQ(udp.queued(kControl), 0u) << "cycle " << cycle;
        if (cycle % 2 == 0) {
            EXPECT_EQ(state.channel.channelRoster[2][0], 100 + cycle) << "a stale roster, cycle " << cycle;
        }
    }
    // A close order behind two rosters.
    std::vector<std::uint8_t> d(5);
    const std::uint16_t one[] = {7};
    protocol::buildRosterReply(d.data(), 2, 1, one);
    reply(d);
    reply(d);
    protocol::buildSupervisorReply(supervisor, 240);
    reply(std::vector<std::uint8_t>(supervisor, supervisor + 3));
    ui.calls.clear();
    step();
    EXPECT_EQ(ui.calls, (std::vector<std::string>{std::string("notice:") + kSupervisorClosingText, "destroy"}));
}

TEST_F(Control, SupervisorTextsAreExact) {
    EXPECT_STREQ(kUpdateRequiredText, "Votre application doit être mise à jour");
    EXPECT_STREQ(kSupervisorCaption, "Info du Superviseur");
    EXPECT_STREQ(kInactivityEndedText,
                 "Le délais d'utilisation sans activité est terminé\nLe superviseur va maintenant "
                 "fermer\nautomatiquement votre application\ndans 20 secondes");
}

TEST_F(Control, ForeignRepliesAreIgnoredAndUnknownKindsOnlyPause) {
    context.phase = 'A';
    std::uint8_t d[3];
    protocol::buildSupervisorReply(d, 240);
    reply(std::vector<std::uint8_t>(d, d + 3), 0x7F000002);
    step();
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(state.lamps.lampSvc, kLampRed);  // no reply from the server within the wait

    clock.sleeps.clear();
    reply({'Z', 1, 2});
    step();
    EXPECT_EQ(state.lamps.lampSvc, kLampGreen);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{200, 500}));
}

TEST(Countdown, TicksDownAndExpiresBelowZero) {
    ClientState state;
    char text[kCountdownTextBytes];
    state.ui.inactivitySeconds = 3600 + 120 + 5;
    EXPECT_FALSE(countdownTick(state));
    formatCountdown(state.ui.inactivitySeconds, text);
    EXPECT_STREQ(text, "01:02:04");

    state.ui.inactivitySeconds = 4500;
    EXPECT_FALSE(countdownTick(state));
    formatCountdown(state.ui.inactivitySeconds, text);
    EXPECT_STREQ(text, "01:14:59");

    state.ui.inactivitySeconds = 1;
    EXPECT_FALSE(countdownTick(state));
    EXPECT_EQ(state.ui.inactivitySeconds, 0);
    EXPECT_TRUE(countdownTick(state));
    EXPECT_EQ(state.ui.inactivitySeconds, 0);
    formatCountdown(state.ui.inactivitySeconds, text);
    EXPECT_STREQ(text, "00:00:00");

    formatCountdown(-5, text);
    EXPECT_STREQ(text, "00:00:00");
    formatCountdown(360000, text);
    EXPECT_STREQ(text, "100:00:00");
}

}  // namespace
}  // namespace orvane::net
