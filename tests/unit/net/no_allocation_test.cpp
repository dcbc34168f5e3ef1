// The steady state of every network thread allocates nothing: a counting global operator new
// watches a few hundred iterations of each step after a warm-up.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "net/audio_sender.h"
#include "net/control.h"
#include "net/keepalive.h"
#include "net/voice_receive.h"
#include "speech/speech_socket.h"
#include "tests/fakes/replay_udp.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace orvane::net {
namespace {

class SilentUi final : public ControlUi {
public:
    void showWarningBox(const char*, const char*) override {}
    void openUrl(const char*) override {}
    void showSupervisorNotice(const char*) override {}
    void destroyMainWindow() override {}
};

constexpr std::uint32_t kServer = 0x0A000001;

template <class Step>
long allocationsOver(int iterations, Step step) {
    for (int i = 0; i < 10; ++i) step();  // warm-up
    const long before = allocations.load();
    for (int i = 0; i < iterations; ++i) step();
    return allocations.load() - before;
}

TEST(SteadyState, TheCounterSeesAllocations) {
    static void* volatile sink = nullptr;
    EXPECT_EQ(allocationsOver(5, [] {
                  sink = ::operator new(16);
                  ::operator delete(sink);
              }),
              5);
}

TEST(SteadyState, NetworkStepsAllocateNothing) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = 3;
    state.link.controlSocket = 3;
    test::ReplayUdp udp;
    test::InstantClock clock;

    std::uint8_t frame[protocol::kAudioPayloadBytes] = {};
    for (std::size_t i = 0; i < sizeof frame; ++i) frame[i] = static_cast<std::uint8_t>(i * 13);
    EXPECT_EQ(allocationsOver(300, [&] { sendAudioFrame(state, udp, frame); }), 0);
    EXPECT_EQ(allocationsOver(300, [&] { keepaliveStep(state, udp, clock); }), 0);

    std::uint8_t voice[protocol::kVoiceDatagramBytes];
    protocol::VoiceHeader h;
    h.kind = 'B';
    std::size_t n = protocol::buildVoice(voice, h, frame);
    udp.set(voice, n, kServer);
    state.channel.channelPort = kLastChannelPort;
    VoiceReceiveBuffer buffer;
    EXPECT_EQ(allocationsOver(300, [&] { voiceReceiveStep(state, udp, clock, buffer); }), 0);
    EXPECT_GT(state.channel.lastVoiceSequence, 0);

    SilentUi ui;
    ControlContext context;
    const std::uint16_t accounts[] = {1, 2, 3};
    n = protocol::buildRosterReply(voice, 0, 3, accounts);
    udp.set(voice, n, kServer);
    udp.bumpSequence = false;
    EXPECT_EQ(allocationsOver(100, [&] { controlStep(state, udp, clock, ui, context); }), 0);
    EXPECT_EQ(state.channel.channelRoster[0][2], 3);
    n = protocol::buildSupervisorReply(voice, 240);
    udp.set(voice, n, kServer);
    EXPECT_EQ(allocationsOver(100, [&] { controlStep(state, udp, clock, ui, context); }), 0);

    state.link.speechSocket = 3;
    const std::uint8_t talk[] = {'T'};
    udp.set(talk, 1, platform::kLoopback);
    speech::CommandBuffer commands;
    EXPECT_EQ(allocationsOver(100, [&] { speech::speechCommandStep(state, udp, clock, commands); }), 0);
    EXPECT_TRUE(state.isTransmitting());
    const char text[] = "Bonjour";
    EXPECT_EQ(allocationsOver(100, [&] { speech::sendSpeakRequest(state, udp, text, 7); }), 0);
}

}  // namespace
}  // namespace orvane::net
