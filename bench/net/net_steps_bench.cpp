// Time per audio datagram sent and per voice datagram received, with the network either
// replaced by an in-memory one (the code's own cost) or real loopback sockets.
#include <benchmark/benchmark.h>

#include "net/audio_sender.h"
#include "protocol/datagrams.h"
#include "net/voice_receive.h"
#include "tests/fakes/replay_udp.h"

namespace orvane::net {
namespace {

constexpr std::uint32_t kServer = 0x0A000001;

void fillFrame(std::uint8_t* frame) {
    for (std::size_t i = 0; i < protocol::kAudioPayloadBytes; ++i) frame[i] = static_cast<std::uint8_t>(i * 37 + 5);
}

void BM_SendAudioFrame_InMemory(benchmark::State& bench) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = 3;
    test::ReplayUdp udp;
    std::uint8_t frame[protocol::kAudioPayloadBytes];
    fillFrame(frame);
    for (auto _ : bench) sendAudioFrame(state, udp, frame);
    benchmark::DoNotOptimize(state.audio.leftNeedle.load());
}
BENCHMARK(BM_SendAudioFrame_InMemory);

void BM_SendAudioFrame_Loopback(benchmark::State& bench) {
    platform::UdpNetwork& udp = platform::systemUdp();
    ClientState state;
    state.link.serverAddress = platform::kLoopback;
    // A sink socket that reads nothing: the kernel drops what overflows its buffer.
    platform::SocketHandle sink = udp.openBound(platform::kLoopback, 0);
    state.link.voiceSocket = udp.openBound(0, 0);
    state.channel.channelPort = udp.localPort(sink);
    std::uint8_t frame[protocol::kAudioPayloadBytes];
    fillFrame(frame);
    for (auto _ : bench) sendAudioFrame(state, udp, frame);
    udp.close(state.link.voiceSocket);
    udp.close(sink);
}
BENCHMARK(BM_SendAudioFrame_Loopback);

void voiceReceive(benchmark::State& bench, std::uint8_t kind, std::int32_t port) {
    ClientState state;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = 3;
    state.channel.channelPort = port;
    test::ReplayUdp udp;
    test::InstantClock clock;
    std::uint8_t frame[protocol::kAudioPayloadBytes];
    fillFrame(frame);
    std::uint8_t d[protocol::kVoiceDatagramBytes];
    protocol::VoiceHeader h;
    h.kind = kind;
    udp.set(d, protocol::buildVoice(d, h, frame), kServer);
    VoiceReceiveBuffer buffer;
    startVoiceReceive(state);
    for (auto _ : bench) voiceReceiveStep(state, udp, clock, buffer);
    benchmark::DoNotOptimize(state.audio.jitterRing[15000]);
}

void BM_VoiceReceiveStep_InMemory(benchmark::State& bench) { voiceReceive(bench, 'A', 30000); }
BENCHMARK(BM_VoiceReceiveStep_InMemory);
// Channel 10 "B" voice: the step with its pass over 500 samples.
void BM_VoiceReceiveStep_InMemoryChannel10B(benchmark::State& bench) { voiceReceive(bench, 'B', 30010); }
BENCHMARK(BM_VoiceReceiveStep_InMemoryChannel10B);

void BM_VoiceReceiveStep_Loopback(benchmark::State& bench) {
    platform::UdpNetwork& udp = platform::systemUdp();
    ClientState state;
    state.link.serverAddress = platform::kLoopback;
    state.link.voiceSocket = udp.openBound(0, 0);
    platform::SocketHandle server = udp.openBound(platform::kLoopback, 0);
    const std::uint16_t clientPort = udp.localPort(state.link.voiceSocket);
    std::uint8_t frame[protocol::kAudioPayloadBytes];
    fillFrame(frame);
    std::uint8_t d[protocol::kVoiceDatagramBytes];
    protocol::VoiceHeader h;
    std::size_t n = protocol::buildVoice(d, h, frame);
    test::InstantClock clock;
    VoiceReceiveBuffer buffer;
    for (auto _ : bench) {
        bench.PauseTiming();
        d[1] = static_cast<std::uint8_t>(d[1] % 255 + 1);
        udp.sendTo(server, d, n, platform::kLoopback, clientPort);
        bench.ResumeTiming();
        voiceReceiveStep(state, udp, clock, buffer);
    }
    udp.close(server);
    udp.close(state.link.voiceSocket);
}
BENCHMARK(BM_VoiceReceiveStep_Loopback);

}  // namespace
}  // namespace orvane::net

BENCHMARK_MAIN();
