// Mouth-to-ear latency through the lab: client A's pipe microphone to client B's pipe
// speaker, through the real clients, the voice server and the sound server.
//
// A block of sound is written into A's microphone at once, as a capture device hands over a
// finished block; its first sample was spoken one block (31.25 ms) earlier. The latency of a
// block is from that moment to when B's speaker plays its first sample. The design's own
// figure is one block + the 10 ms capture poll + one 125 ms playback cycle + two 125 ms
// output buffers = 416.25 ms: the sum of every wait at its longest, which a block meets only
// when each of them is at its worst.
//
//   lab_latency_bench [TALKS] [SECONDS_PER_TALK]
// ORVANE_SOUND_SERVER=pipewire measures on PipeWire's pulse server (lab/lib/sound-server.sh);
// bench/servers/sound_servers_compare.sh measures both in one run.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/e2e/lab_network.h"

namespace {

using namespace orvane;
constexpr std::size_t kBlock = 1000;
constexpr double kBlockMs = 31.25;
constexpr double kDesignFloorMs = kBlockMs + 10.0 + 125.0 + 250.0;

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    int talks = argc > 1 ? std::atoi(argv[1]) : 5;
    int secondsPerTalk = argc > 2 ? std::atoi(argv[2]) : 3;
    e2e::LabNetwork net;
    std::string error;
    if (!net.startShared(error) || !net.startNetwork(error)) {
        std::fprintf(stderr, "lab_latency_bench: %s\n", error.c_str());
        return 1;
    }
    test::SinkRecorder speaker(net.pulse().sinkFifo());
    test::SourceWriter mic(net.pulse().sourceFifo());
    if (!speaker.start() || !mic.ok()) return 1;

    // The clients' start-up chimes play on B's speaker too: talk once they are over.
    net.waitForChimesToEnd(10000);

    std::vector<double> latencies;
    std::size_t silentBlocks = 0, shorterGaps = 0, lostBlocks = 0, lostTalks = 0;
    const std::size_t blocks = static_cast<std::size_t>(secondsPerTalk) * 32;
    for (int t = 0; t < talks; ++t) {
        for (int tries = 0; net.recordingStreams() == 0 && tries < 150; ++tries) {
            if (tries % 10 == 0) net.command(net.a(), 'T');
            usleep(100000);
        }
        speaker.clear();
        const std::vector<std::uint8_t> signal = e2e::makeNoiseSignal(blocks, 0x9E3779B9u + static_cast<std::uint32_t>(t));
        std::vector<double> spoken(blocks);
        // (On PipeWire, whose pipe source is read on its own clock, the lead is 62.5 ms of
        // the figure: a block waits behind it; on PulseAudio it is read at once.)
        mic.writeLead();
        auto start = std::chrono::steady_clock::now();
        for (std::size_t k = 0; k < blocks; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(31250 * static_cast<long>(k)));
            spoken[k] = test::steadyNowMs() - kBlockMs;
            mic.write(signal.data() + k * kBlock, kBlock);
        }
        mic.writeLead();  // the microphone goes on (PipeWire takes whole cycles from the fifo)
        usleep(400000);
        net.command(net.a(), 'R');
        speaker.waitForBytes(speaker.size() + 64000, 5000);
        std::vector<std::uint8_t> heard = speaker.data();
        auto it = std::search(heard.begin(), heard.end(), signal.begin(), signal.begin() + 64);
        if (it == heard.end()) {
            ++lostTalks;
            continue;
        }
        std::size_t k = 0;
        for (auto off = static_cast<std::size_t>(it - heard.begin()); off + kBlock <= heard.size() && k < blocks;) {
            if (std::memcmp(heard.data() + off, signal.data() + k * kBlock, kBlock) == 0) {
                latencies.push_back(speaker.arrivalMs(off) - spoken[k]);
                ++k;
                off += kBlock;
                continue;
            }
            // Not the next block: whole silent blocks from B's ring, or silence shorter than a
            // block (on PipeWire, where the microphone's writer was late), after which the
            // block comes later than a whole number of blocks.
            const auto next = std::search(heard.begin() + static_cast<long>(off), heard.end(),
                                          signal.begin() + static_cast<long>(k * kBlock),
                                          signal.begin() + static_cast<long>(k * kBlock) + 64);
            if (next == heard.end()) {
                ++lostBlocks;
                ++k;
                continue;
            }
            const auto skipped = static_cast<std::size_t>(next - heard.begin()) - off;
            if (skipped == 0) {
                // The block starts here but silence came inside it: not timed.
                ++shorterGaps;
                ++k;
                off += 64;
                continue;
            }
            if (skipped % kBlock == 0) {
                silentBlocks += skipped / kBlock;
            } else {
                ++shorterGaps;
            }
            off += skipped;
        }
        usleep(500000);
    }
    std::printf("mouth-to-ear latency, A's microphone to B's speaker, %zu blocks over %d talks\n", latencies.size(),
                talks);
    std::printf("  p50 %.1f ms, p99 %.1f ms, min %.1f ms, max %.1f ms\n", percentile(latencies, 0.5),
                percentile(latencies, 0.99), percentile(latencies, 0.0), percentile(latencies, 1.0));
    std::printf("  design figure %.2f ms (block %.2f + poll 10 + playback cycle 125 + two output buffers 250)\n",
                kDesignFloorMs, kBlockMs);
    std::printf("  silent blocks put in by B's ring: %zu; shorter silences: %zu; blocks not heard: %zu; talks not heard: %zu\n",
                silentBlocks, shorterGaps, lostBlocks, lostTalks);
    return 0;
}
