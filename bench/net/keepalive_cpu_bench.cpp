// CPU used by the keepalive thread at its fastest (10 ms, load 0) and slowest (30 ms, no
// voice) periods, measured with getrusage over a few seconds of real sending on loopback.
//   keepalive_cpu_bench [seconds per period, default 3]
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "net/keepalive.h"

namespace {

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

void measure(std::int32_t load, int runSeconds) {
    using namespace orvane;
    platform::UdpNetwork& udp = platform::systemUdp();
    ClientState state;
    state.link.serverAddress = platform::kLoopback;
    platform::SocketHandle sink = udp.openBound(platform::kLoopback, 0);
    state.link.voiceSocket = udp.openBound(0, 0);
    state.channel.channelPort = udp.localPort(sink);
    state.channel.serverLoad = load;

    std::atomic<bool> running{true};
    std::atomic<long> sent{0};
    double cpu = 0;
    std::thread worker([&] {
        rusage before{}, after{};
        getrusage(RUSAGE_THREAD, &before);
        long steps = 0;
        while (running.load(std::memory_order_relaxed)) {
            net::keepaliveStep(state, udp, platform::systemClock());
            ++steps;
        }
        getrusage(RUSAGE_THREAD, &after);
        cpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
              seconds(before.ru_stime);
        sent = steps;
    });
    std::this_thread::sleep_for(std::chrono::seconds(runSeconds));
    running = false;
    worker.join();
    std::printf("period %2d ms: %ld keepalives in %d s (%.1f/s), thread CPU %.3f s = %.3f%% of one core\n",
                net::keepalivePeriodMs(load), sent.load(), runSeconds,
                static_cast<double>(sent.load()) / runSeconds, cpu, 100.0 * cpu / runSeconds);
    udp.close(state.link.voiceSocket);
    udp.close(sink);
}

}  // namespace

int main(int argc, char** argv) {
    const int runSeconds = argc > 1 ? std::atoi(argv[1]) : 3;
    measure(99, runSeconds);
    measure(0, runSeconds);
    return 0;
}
