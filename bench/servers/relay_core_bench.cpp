// The relay logic alone, without sockets: one audio datagram in, 15 voice datagrams out.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "servers/voice/voice_server_core.h"

namespace {

using namespace orvane::server;

class CountingOutbox final : public Outbox {
public:
    std::uint64_t voice = 0;
    void sendVoice(int, const Endpoint&, const std::uint8_t* header, const std::uint8_t*) override {
        voice += header[1];
    }
    void sendControl(int, const Endpoint&, const std::uint8_t*, std::size_t) override {}
};

class NullLog final : public ServerLog {
public:
    void line(const char*) override {}
};

void BM_RelayOneBlockToFifteen(benchmark::State& state) {
    static CountingOutbox out;
    static NullLog log;
    static VoiceServerCore core(out, log);
    std::uint8_t keepalive[14] = {'R', '.', 0, 0, 0, 0, 0, 0, 0, 'V', '0', '7', '6', 2};
    for (int k = 0; k < 16; ++k) {
        keepalive[3] = static_cast<std::uint8_t>(k + 1);
        core.onVoicePort(5, Endpoint{0x7F000001u, static_cast<std::uint16_t>(40000 + k)}, keepalive, sizeof keepalive, 0);
    }
    std::vector<std::uint8_t> audio(1024, 0x11);
    audio[0] = 'A';
    audio[3] = 1;
    std::uint8_t seq = 1;
    for (auto _ : state) {
        audio[1] = seq = seq == 255 ? 1 : static_cast<std::uint8_t>(seq + 1);
        core.onVoicePort(5, Endpoint{0x7F000001u, 40000}, audio.data(), audio.size(), 1);
    }
    benchmark::DoNotOptimize(out.voice);
    state.SetItemsProcessed(state.iterations() * 15);
}
BENCHMARK(BM_RelayOneBlockToFifteen);

void BM_KeepaliveFromKnownClient(benchmark::State& state) {
    static CountingOutbox out;
    static NullLog log;
    static VoiceServerCore core(out, log);
    std::uint8_t keepalive[14] = {'R', '.', 0, 7, 0, 0, 0, 0, 0, 'V', '0', '7', '6', 2};
    for (int k = 0; k < 176; ++k)
        core.onVoicePort(k % 11, Endpoint{0x7F000001u, static_cast<std::uint16_t>(40000 + k)}, keepalive, sizeof keepalive, 0);
    int k = 0;
    for (auto _ : state) {
        core.onVoicePort(k % 11, Endpoint{0x7F000001u, static_cast<std::uint16_t>(40000 + k)}, keepalive, sizeof keepalive, 1);
        k = (k + 1) % 176;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KeepaliveFromKnownClient);

}  // namespace

BENCHMARK_MAIN();
