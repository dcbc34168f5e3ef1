// Whole-window figures without network: time from process start to the first paint of the
// main window, the UI thread's CPU at rest with every timer running, and resident memory.
// Runs in the folder that holds the skin (build/run). Other subsystems are stand-ins that do
// nothing, so the figures are the window's own.
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/client.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_services.h"

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    }
    return -1;
}


}  // namespace

int main(int argc, char** argv) {
    using namespace orvane;
    const auto start = Clock::now();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto ui = platform::createHostUi(argc, argv);
    auto state = std::make_unique<ClientState>();
    test::RecordingServices services;
    test::FakeSystem system;
    Client client(*state, *ui, system, services, ClientConfig{});

    if (client.startup()) {
        std::fprintf(stderr, "start-up ended early\n");
        return 1;
    }
    // Start-up has painted the window (showing it paints it); the loop's first turn puts the
    // surface on the screen.
    double firstPaintMs = 0;
    ui->post([&] { firstPaintMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count(); });

    double cpuAtStart = 0;
    Clock::time_point restStart;
    ui->startTimer(2000, [&] {
        static bool first = true;
        if (!first) return;
        first = false;
        cpuAtStart = threadCpuSeconds();
        restStart = Clock::now();
        ui->startTimer(seconds * 1000, [&] { ui->quit(0); });
    });
    ui->run();
    const double restS = std::chrono::duration<double>(Clock::now() - restStart).count();
    const double cpuPercent = 100.0 * (threadCpuSeconds() - cpuAtStart) / restS;
    std::printf("start-up to first paint: %.1f ms\n", firstPaintMs);
    std::printf("UI thread CPU at rest (%d s, every timer running): %.2f %% of one core\n", seconds, cpuPercent);
    std::printf("resident memory: %ld kB (peak %ld kB)\n", statusKb("VmRSS:"), statusKb("VmHWM:"));
    if (platform::Window* w = state->ui.mainWindow.load()) ui->destroyWindow(w);
    client.shutdown(0);
    return 0;
}
