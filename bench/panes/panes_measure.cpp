// The secondary windows' figures against the real web server on loopback, on real (off-screen)
// windows: the opening time of each window with its unfolding, the time, request count, TCP
// connections (each a TLS handshake) and UI-thread CPU per picture of a full group-list
// repaint with 10 channels of 16 members (the lab's numbered faces), and the UI thread's CPU
// while the group list stays open and refreshes one row per second.
//   build/bench/panes_measure [seconds]    (default 30)
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "state/client_state.h"
#include "platform/https.h"
#include "platform/ui.h"
#include "servers/web/demo_seed.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/web_server_fixture.h"
#include "panes/secondary_windows.h"

namespace {

using namespace orvane;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Nanoseconds this thread has spent on a CPU (the scheduler's own account).
long long threadCpuNs() {
    std::ifstream in("/proc/self/task/" + std::to_string(gettid()) + "/schedstat");
    long long ns = -1;
    in >> ns;
    return ns;
}

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The system's HTTPS, counting the requests made through it.
class CountingHttps final : public platform::Https {
public:
    explicit CountingHttps(platform::Https& real) : real_(real) {}
    std::atomic<long> requests{0};
    std::atomic<long> bodyBytes{0};

    platform::HttpsHandle open(std::string_view agent) override { return real_.open(agent); }
    platform::HttpsHandle connect(platform::HttpsHandle root, std::string_view host, std::uint16_t port) override {
        return real_.connect(root, host, port);
    }
    platform::HttpsHandle openRequest(platform::HttpsHandle c, std::string_view verb, std::string_view path) override {
        ++requests;
        return real_.openRequest(c, verb, path);
    }
    bool sendRequest(platform::HttpsHandle r, std::string_view header, const void* body, std::size_t n) override {
        return real_.sendRequest(r, header, body, n);
    }
    bool receiveResponse(platform::HttpsHandle r) override { return real_.receiveResponse(r); }
    bool queryStatusCode(platform::HttpsHandle r, std::uint32_t& code) override { return real_.queryStatusCode(r, code); }
    bool queryDataAvailable(platform::HttpsHandle r, std::size_t& n) override { return real_.queryDataAvailable(r, n); }
    bool readData(platform::HttpsHandle r, void* buffer, std::size_t capacity, std::size_t& read) override {
        const bool ok = real_.readData(r, buffer, capacity, read);
        if (ok) bodyBytes += static_cast<long>(read);
        return ok;
    }
    void close(platform::HttpsHandle h) override { real_.close(h); }
    unsigned long lastError() override { return real_.lastError(); }

private:
    platform::Https& real_;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    test::WebServerFixture server;
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "web server: %s\n", error.c_str());
        return 1;
    }
    server.trust();
    auto ui = platform::createHostUi(argc, argv);
    auto state = std::make_unique<ClientState>();
    CountingHttps https(platform::systemHttps());
    auto web = std::make_unique<web::WebState>(*state, https);
    web->host = server.host();
    web->port = server.port();
    web->ui = ui.get();

    // 160 members, each with a numbered face of the lab's kind.
    for (int r = 1; r <= 10; ++r) {
        for (int i = 0; i < kRosterSize; ++i) {
            const auto account = server.store().findOrCreateAccount(std::to_string(1000000 + r * 100 + i), "");
            if (!account || !server.store().setPicture(account->number,
                                                       webserver::portrait(account->number,
                                                                           webserver::portraitColour(account->number)))) {
                std::fprintf(stderr, "could not store the members\n");
                return 1;
            }
            state->channel.channelRoster[r][i] = account->number;
        }
        state->channel.rosterCount[r] = kRosterSize;
    }
    state->channel.channelPort = 30003;
    state->channel.rosterCount[kChannelCount] = kRosterSize;
    state->ui.backgroundColour = 0x400000;

    platform::WindowSpec spec;
    spec.x = 400;
    spec.y = 100;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::WindowHandler mainHandler;
    platform::Window* main = ui->createWindow(spec, &mainHandler);
    state->ui.mainWindow = main;
    test::FakeAudioUi audioUi;
    // No sound server is needed for these figures: the parameters window draws without devices.
    test::FakeEndpoints endpoints;
    endpoints.broken = true;
    panes::SecondaryWindows w(*state, *web, *ui, endpoints, audioUi);

    // Opening: the unfolding as the user sees it, blocking the UI thread.
    auto t0 = Clock::now();
    panes::toggleParametersWindow(w);
    const double paramsOpenMs = msSince(t0);
    t0 = Clock::now();
    long before = https.requests;
    w.paramsWindow->handler()->onPaint(*w.paramsWindow);
    const double paramsPaintMs = msSince(t0);
    const long paramsRequests = https.requests - before;
    ui->destroyWindow(w.paramsWindow);

    t0 = Clock::now();
    panes::toggleNetworkWindow(w);
    const double networkOpenMs = msSince(t0);
    std::vector<double> gridMs;
    before = https.requests;
    for (int i = 0; i < 5; ++i) {
        t0 = Clock::now();
        w.networkWindow->handler()->onPaint(*w.networkWindow);
        gridMs.push_back(msSince(t0));
    }
    const long gridRequests = (https.requests - before) / 5;
    ui->destroyWindow(w.networkWindow);

    t0 = Clock::now();
    panes::toggleGroupListWindow(w);
    const double groupOpenMs = msSince(t0);
    std::vector<double> repaintMs;
    before = https.requests;
    const long bytesBefore = https.bodyBytes;
    const auto connectionsBefore = server.counters().connections;
    const long long repaintCpu0 = threadCpuNs();
    const double repaintProcess0 = processCpuSeconds();
    constexpr int kRepaints = 5;
    for (int i = 0; i < kRepaints; ++i) {
        t0 = Clock::now();
        w.groupWindow->handler()->onPaint(*w.groupWindow);
        repaintMs.push_back(msSince(t0));
    }
    const double repaintCpuMs = static_cast<double>(threadCpuNs() - repaintCpu0) / 1e6 / kRepaints;
    const double repaintProcessMs = (processCpuSeconds() - repaintProcess0) * 1e3 / kRepaints;
    const long repaintRequests = (https.requests - before) / kRepaints;
    const long repaintBytes = (https.bodyBytes - bytesBefore) / kRepaints;
    const double repaintConnections =
        static_cast<double>(server.counters().connections - connectionsBefore) / kRepaints;

    std::printf("window          opening (ms)   design\n");
    std::printf("group list      %8.0f       ~800\n", groupOpenMs);
    std::printf("network         %8.0f       ~800\n", networkOpenMs);
    std::printf("parameters      %8.0f       ~1000\n", paramsOpenMs);
    std::printf("parameters paint: %.1f ms, %ld requests\n", paramsPaintMs, paramsRequests);
    std::printf("network grid, 16 members: median %.0f ms (min %.0f, max %.0f), %ld requests\n", median(gridMs),
                *std::min_element(gridMs.begin(), gridMs.end()), *std::max_element(gridMs.begin(), gridMs.end()),
                gridRequests);
    std::printf("group list full repaint, 10 x 16 members: median %.0f ms (min %.0f, max %.0f), %ld requests, "
                "%ld body bytes\n",
                median(repaintMs), *std::min_element(repaintMs.begin(), repaintMs.end()),
                *std::max_element(repaintMs.begin(), repaintMs.end()), repaintRequests, repaintBytes);
    std::printf("  per repaint: %.1f new TCP connections, UI thread CPU %.0f ms (%.3f ms per picture), whole "
                "process %.0f ms (server included)\n",
                repaintConnections, repaintCpuMs,
                repaintRequests > 0 ? repaintCpuMs / static_cast<double>(repaintRequests) : 0.0, repaintProcessMs);

    // Steady state: the group list open, one row per second, nothing else on the UI thread. The
    // loop's first turn paints the whole window once (the opening's invalidation); that paint is
    // left out of the figure.
    auto runFor = [&](int ms) {
        int timer = 0;
        timer = ui->startTimer(ms, [&] {
            ui->killTimer(timer);  // the seam's timers repeat
            ui->quit(0);
        });
        ui->run();
    };
    runFor(1500);
    before = https.requests;
    const long long cpu0 = threadCpuNs();
    const double process0 = processCpuSeconds();
    t0 = Clock::now();
    runFor(seconds * 1000);
    const double wallMs = msSince(t0);
    const long long cpuNs = threadCpuNs() - cpu0;
    const double processS = processCpuSeconds() - process0;
    std::printf("group list open %.1f s: UI thread %.1f ms CPU (%.2f %%), whole process %.2f %% (server "
                "included), %ld requests (%.1f per second)\n",
                wallMs / 1000, static_cast<double>(cpuNs) / 1e6, static_cast<double>(cpuNs) / 1e4 / wallMs,
                processS * 1e5 / wallMs, https.requests - before, (https.requests - before) * 1000.0 / wallMs);
    const auto total = server.counters();
    std::printf("whole run: %llu requests over %llu TCP connections (%.1f requests per connection)\n",
                static_cast<unsigned long long>(total.requests), static_cast<unsigned long long>(total.connections),
                total.connections > 0 ? static_cast<double>(total.requests) / static_cast<double>(total.connections) : 0.0);
    if (w.groupWindow != nullptr) ui->destroyWindow(w.groupWindow);
    ui->destroyWindow(main);
    return 0;
}
