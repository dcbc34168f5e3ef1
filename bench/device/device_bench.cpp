// The serial device thread measured on a real pseudo-terminal (the real termios code):
//   - probe cycle period with an adapter that echoes at once,
//   - CPU time of the thread while searching with no adapter (the system's real port listing)
//     and while probing,
//   - shutdown time while probing (flag lowered at spread-out moments of the cycle; the final
//     picture download is left out: it is the web request's own time).
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "device/serial_device.h"
#include "tests/integration/device/pty_peer.h"
#include "tests/integration/device/pty_ports.h"

using namespace orvane;
using namespace std::chrono_literals;

namespace {

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Run {
    ClientState state;
    std::atomic<int> probes{0};
    device::LinkStatus link{state, [](int) { return device::PictureDownload{device::PictureDownload::Outcome::NoBytes, {}}; }};
    double cpuMs = 0;
};

// Runs the thread on `ports` for `seconds`; CPU of the thread itself.
void runFor(Run& r, platform::SerialPorts& ports, double seconds) {
    device::SerialDevice dev(r.state, ports, platform::systemClock(), r.link, [&](std::string_view) { ++r.probes; });
    r.state.ui.serialRunFlag.store(true);
    std::thread t([&] {
        const double c0 = threadCpuMs();
        dev.run();
        r.cpuMs = threadCpuMs() - c0;
    });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    r.state.ui.serialRunFlag.store(false);
    t.join();
}

}  // namespace

int main() {
    const double seconds = 10;
    {
        test::PtyPeer peer;
        peer.start(test::PtyPeer::Mode::Echo);
        test::PtyPorts ports(peer.portName());
        Run r;
        runFor(r, ports, seconds);
        std::printf("probe cycle with an immediate echo: %.1f ms (%d intact echoes in %.0f s)\n",
                    seconds * 1000 / std::max(1, r.probes.load()), r.probes.load(), seconds);
        std::printf("serial thread CPU while probing: %.3f %% of a core (%.1f ms in %.0f s)\n",
                    r.cpuMs / (seconds * 10), r.cpuMs, seconds);
    }
    {
        Run r;
        runFor(r, platform::systemSerialPorts(), seconds);
        std::printf("serial thread CPU while searching with no adapter: %.3f %% of a core (%.1f ms in %.0f s)\n",
                    r.cpuMs / (seconds * 10), r.cpuMs, seconds);
    }
    {
        test::PtyPeer peer;
        peer.start(test::PtyPeer::Mode::Echo);
        test::PtyPorts ports(peer.portName());
        std::vector<double> waits;
        for (int i = 0; i < 12; ++i) {
            Run r;
            device::SerialDevice dev(r.state, ports, platform::systemClock(), r.link, nullptr);
            r.state.ui.serialRunFlag.store(true);
            std::thread t([&] { dev.run(); });
            while (r.link.current() != device::kLinkEcho) std::this_thread::sleep_for(5ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(37 * i));  // spread over the cycle
            const auto t0 = std::chrono::steady_clock::now();
            r.state.ui.serialRunFlag.store(false);
            t.join();
            waits.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        }
        std::sort(waits.begin(), waits.end());
        double sum = 0;
        for (double w : waits) sum += w;
        std::printf("shutdown while probing (12 runs): mean %.1f ms, max %.1f ms\n", sum / waits.size(), waits.back());
    }
    {
        // A silent adapter: every read runs to its total time-out.
        test::PtyPeer peer;
        peer.start(test::PtyPeer::Mode::Silent);
        test::PtyPorts ports(peer.portName());
        Run r;
        runFor(r, ports, 5);
        std::printf("probe cycle with a silent adapter: %.1f ms (%d probes in 5 s)\n",
                    5000.0 / std::max(1, peer.probesSeen()), peer.probesSeen());
    }
    return 0;
}
