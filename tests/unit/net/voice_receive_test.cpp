#include "net/voice_receive.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "tests/fakes/fake_udp.h"
#include "tests/fakes/manual_clock.h"

namespace orvane::net {
namespace {

using test::FakeUdp;
using test::ManualClock;
constexpr std::uint32_t kServer = 0x0A000001;
constexpr platform::SocketHandle kVoice = 9;

std::vector<std::uint8_t> voice(std::uint8_t kind, std::uint8_t sequence, std::uint8_t content,
                                std::int16_t sample = 0, std::int8_t load = 0, std::int8_t echo = 0,
                                std::uint16_t account = 0) {
    std::array<std::uint8_t, 1000> payload;
    for (std::size_t i = 0; i < payload.size(); i += 2) {
        auto u = static_cast<std::uint16_t>(sample);
        payload[i] = u & 0xFF;
        payload[i + 1] = u >> 8;
    }
    std::vector<std::uint8_t> d(1024);
    protocol::VoiceHeader h;
    h.kind = kind;
    h.sequence = sequence;
    h.content = content;
    h.load = load;
    h.echo = echo;
    h.account = account;
    protocol::buildVoice(d.data(), h, payload.data());
    return d;
}

std::int16_t sampleIn(const ClientState& s, int slot, int index) {
    const std::uint8_t* p = s.audio.jitterRing + slot * 1000 + 2 * index;
    return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

bool slotIsAll(const ClientState& s, int slot, std::int16_t value) {
    for (int i = 0; i < 500; ++i)
        if (sampleIn(s, slot, i) != value) return false;
    return true;
}

struct Receiver : ::testing::Test {
    ClientState state;
    ManualClock clock;
    FakeUdp udp{&clock};
    VoiceReceiveBuffer buffer;

    void SetUp() override {
        state.link.serverAddress = kServer;
        state.link.voiceSocket = kVoice;
        startVoiceReceive(state);
    }
    void deliver(const std::vector<std::uint8_t>& d, std::uint32_t from = kServer) {
        udp.queue(kVoice, d, from, 30000);
        voiceReceiveStep(state, udp, clock, buffer);
    }
};

TEST_F(Receiver, StartEmptiesTheRingAndStartsAtSlotFive) {
    std::memset(state.audio.jitterRing, 0x55, sizeof state.audio.jitterRing);
    state.audio.ringWriteIndex = 12;
    startVoiceReceive(state);
    EXPECT_EQ(state.audio.ringWriteIndex, 5);
    for (std::uint8_t b : state.audio.jitterRing) ASSERT_EQ(b, 0);
}

TEST_F(Receiver, AudioVoiceIsStoredAndPublished) {
    deliver(voice('A', 7, 1, 1234, 2, -5, 0xBEEF));
    EXPECT_TRUE(slotIsAll(state, 5, 1234));
    EXPECT_EQ(state.audio.ringWriteIndex, 6);
    EXPECT_EQ(state.lamps.lampTst, kLampGreen);
    EXPECT_EQ(state.channel.lastVoiceSequence, 7);
    EXPECT_EQ(state.channel.serverLoad, 2);
    EXPECT_EQ(state.channel.echoByte, -5);
    EXPECT_EQ(state.channel.talkerAccount, 0xBEEF);

    deliver(voice('B', 8, 1, 0, -1, -128, 0x0102));  // signed bytes are sign-extended
    EXPECT_EQ(state.channel.serverLoad, -1);
    EXPECT_EQ(state.channel.echoByte, -128);
    EXPECT_EQ(state.channel.talkerAccount, 0x0102);
}

TEST_F(Receiver, ContentDecidesWhatIsStored) {
    std::memset(state.audio.jitterRing, 0x55, sizeof state.audio.jitterRing);
    deliver(voice('A', 1, 0, 1000, 3));  // silence: a zero slot, index moves
    EXPECT_TRUE(slotIsAll(state, 5, 0));
    EXPECT_EQ(state.audio.ringWriteIndex, 6);
    EXPECT_EQ(state.channel.serverLoad, 3);

    deliver(voice('A', 2, 7, 1000, 1));  // other content: nothing stored, still published
    EXPECT_TRUE(slotIsAll(state, 6, 0x5555));
    EXPECT_EQ(state.audio.ringWriteIndex, 6);
    EXPECT_EQ(state.channel.serverLoad, 1);
    EXPECT_EQ(state.lamps.lampTst, kLampGreen);
}

TEST_F(Receiver, ChannelTenPlaysBAtOneTenthTruncatedTowardZero) {
    const struct {
        std::uint8_t kind;
        std::int32_t port;
        std::int16_t in, out;
    } cases[] = {
        {'B', 30010, 1000, 100}, {'B', 30010, -1009, -100}, {'B', 30010, 19, 1},
        {'B', 30010, -9, 0},     {'B', 30010, 32767, 3276},  {'B', 30010, -32768, -3276},
        {'B', 30009, 1000, 1000}, {'A', 30010, 1000, 1000},
    };
    std::uint8_t seq = 1;
    for (const auto& c : cases) {
        state.channel.channelPort = c.port;
        state.audio.ringWriteIndex = 3;
        deliver(voice(c.kind, seq++, 1, c.in));
        EXPECT_TRUE(slotIsAll(state, 3, c.out))
            << c.kind << " on " << c.port << ": " << c.in << " gave " << sampleIn(state, 3, 0);
    }
}

TEST_F(Receiver, DuplicateChangesOnlyTheTstLamp) {
    deliver(voice('A', 42, 1, 5, 0));
    const std::int32_t index = state.audio.ringWriteIndex;
    const std::int32_t blink = state.link.udpBlinkCounter;
    deliver(voice('A', 42, 1, 9, 4, 3, 77));
    EXPECT_EQ(state.lamps.lampTst, kLampRed);
    EXPECT_EQ(state.audio.ringWriteIndex, index);
    EXPECT_EQ(state.channel.serverLoad, 0);
    EXPECT_EQ(state.channel.talkerAccount, 0);
    EXPECT_EQ(state.link.udpBlinkCounter, blink);
    EXPECT_TRUE(slotIsAll(state, index, 0));
}

TEST_F(Receiver, OtherKindsOnlyShowOnTheTstLamp) {
    const std::uint8_t kinds[] = {'L', 'C', 0, 0xFF};
    for (std::uint8_t kind : kinds) {
        deliver(voice(kind, 3, 1, 5, 2, 1, 1));
        EXPECT_EQ(state.lamps.lampTst, kLampYellow);
        EXPECT_EQ(state.channel.lastVoiceSequence, 0);
        EXPECT_EQ(state.audio.ringWriteIndex, 5);
        EXPECT_EQ(state.channel.serverLoad, 99);
    }
}

TEST_F(Receiver, SixteenBlocksWithoutPlaybackKeepOverwritingSlotFifteen) {
    for (int i = 1; i <= 16; ++i) {
        deliver(voice('A', static_cast<std::uint8_t>(i), 1, static_cast<std::int16_t>(i)));
        EXPECT_EQ(state.audio.ringWriteIndex, std::min(5 + i, 15));
    }
    for (int slot = 5; slot < 15; ++slot) EXPECT_TRUE(slotIsAll(state, slot, slot - 4)) << slot;
    EXPECT_TRUE(slotIsAll(state, 15, 16));
}

TEST_F(Receiver, AnOutOfRangeWriteIndexIsKeptInsideTheRing) {
    state.audio.ringWriteIndex = 99;
    deliver(voice('A', 1, 1, 3));
    EXPECT_TRUE(slotIsAll(state, 15, 3));
    EXPECT_EQ(state.audio.ringWriteIndex, 15);
    state.audio.ringWriteIndex = -4;
    deliver(voice('A', 2, 1, 4));
    EXPECT_TRUE(slotIsAll(state, 0, 4));
    EXPECT_EQ(state.audio.ringWriteIndex, 1);
}

TEST_F(Receiver, ShortAudioDatagramLeavesNoStaleBytes) {
    deliver(voice('A', 1, 1, 0x1111));
    auto shortOne = voice('A', 2, 1, 0x2222);
    shortOne.resize(24 + 100);  // 50 samples of payload
    state.audio.ringWriteIndex = 5;
    deliver(shortOne);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(sampleIn(state, 5, i), i < 50 ? 0x2222 : 0) << i;

    // Three bytes: sequence only, content reads 0 (silence), load/echo/account read 0.
    deliver(std::vector<std::uint8_t>{'A', 3, 0x7F});
    EXPECT_EQ(state.channel.echoByte, 127);
    EXPECT_EQ(state.channel.serverLoad, 0);
    EXPECT_EQ(state.channel.talkerAccount, 0);
    EXPECT_TRUE(slotIsAll(state, 6, 0));
}

TEST_F(Receiver, ChaserMarkOnlyWhileNotTransmitting) {
    state.lamps.rxChaserIndex = 6;
    state.setTransmit(true);
    deliver(voice('A', 1, 1));
    EXPECT_EQ(state.lamps.chaserLeds[6], kLampOff);
    state.setTransmit(false);
    deliver(voice('A', 2, 7));  // marked whatever the content
    EXPECT_EQ(state.lamps.chaserLeds[6], kLampGreen);
    state.lamps.rxChaserIndex = 40;  // out of range: nothing written
    deliver(voice('A', 3, 1));
}

TEST_F(Receiver, UdpLampChangesEveryFifthAcceptedDatagram) {
    std::vector<std::int32_t> lamps;
    for (int i = 1; i <= 20; ++i) {
        deliver(voice('A', static_cast<std::uint8_t>(i), 1));
        lamps.push_back(state.lamps.lampUdp);
    }
    const std::vector<std::int32_t> expected{5, 5, 5, 5, 5, 3, 3, 3, 3, 3, 5, 5, 5, 5, 5, 3, 3, 3, 3, 3};
    EXPECT_EQ(lamps, expected);
    EXPECT_EQ(state.link.udpBlinkCounter, 0);
}

TEST_F(Receiver, SilentPollMarksTheServerUnheardAndClearsTheBuffer) {
    deliver(voice('A', 1, 1, 5, 2));
    EXPECT_EQ(state.channel.serverLoad, 2);
    const auto before = clock.nowMs();
    voiceReceiveStep(state, udp, clock, buffer);
    EXPECT_EQ(clock.nowMs() - before, 500);
    EXPECT_EQ(state.channel.serverLoad, 99);
    for (std::uint8_t b : buffer.bytes) ASSERT_EQ(b, 0);
    EXPECT_TRUE(clock.sleeps.empty());

    deliver(std::vector<std::uint8_t>{});  // an empty datagram counts as nothing
    EXPECT_EQ(state.channel.serverLoad, 99);
}

TEST_F(Receiver, FailedPollsPauseInsteadOfSpinning) {
    state.link.voiceSocket = platform::kInvalidSocket;
    for (int i = 0; i < 3; ++i) voiceReceiveStep(state, udp, clock, buffer);
    EXPECT_EQ(clock.sleeps, (std::vector<int>{500, 500, 500}));
    EXPECT_EQ(state.channel.serverLoad, 99);

    state.link.voiceSocket = kVoice;
    udp.failReceives = true;
    udp.queue(kVoice, voice('A', 1, 1), kServer);
    voiceReceiveStep(state, udp, clock, buffer);
    EXPECT_EQ(clock.sleeps.size(), 4u);
}

TEST_F(Receiver, DatagramsFromOtherAddressesAreIgnored) {
    deliver(voice('A', 1, 1, 5, 1, 0, 100));
    const std::uint32_t foreign = 0x7F000002;
    udp.queue(kVoice, voice('A', 2, 1, 9, 0, 0, 666), foreign, 30000);
    udp.queue(kVoice, voice('A', 3, 1, 7, 0, 0, 200), kServer, 30555);  // any port of the server
    voiceReceiveStep(state, udp, clock, buffer);
    EXPECT_EQ(state.channel.talkerAccount, 200);
    EXPECT_EQ(state.channel.lastVoiceSequence, 3);
    EXPECT_TRUE(slotIsAll(state, 6, 7));
    EXPECT_EQ(state.audio.ringWriteIndex, 7);

    // Only foreign datagrams during a whole poll: as silent as no datagram at all.
    udp.queue(kVoice, voice('A', 4, 1, 9, 0, 0, 666), foreign, 30000);
    voiceReceiveStep(state, udp, clock, buffer);
    EXPECT_EQ(state.channel.serverLoad, 99);
    EXPECT_EQ(state.channel.talkerAccount, 200);
    EXPECT_EQ(state.lamps.lampTst, kLampGreen);
}

}  // namespace
}  // namespace orvane::net
