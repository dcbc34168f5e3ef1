// CPU of each thread of the real client, read from /proc/<pid>/task/*/ while it runs in the
// lab (off-screen, a private sound server, the voice server on loopback): listening with
// nobody talking, hearing one talker, and talking. Each phase lasts SECONDS (default 30).
//
//   client_idle_cpu_bench [SECONDS] [--xcb] [--listening]
//   ORVANE_LAB_CLIENT=/path/to/orvane client_idle_cpu_bench   (another build of the client)
//   xvfb-run -a client_idle_cpu_bench 30 --xcb   (the clients on an X server instead)
//
// Run time is the scheduler's own count (schedstat, nanoseconds); wake-ups are the voluntary
// context switches. Threads are named by their start order (the client does not name them):
// the UI thread, then heartbeat, keepalive, voice receive, control, speech command and the
// audio engine; the sound server connection's thread and the toolkit's own threads carry
// the names their libraries give them.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/lab_network.h"

namespace {

using namespace orvane;

struct ThreadSample {
    std::string comm;
    unsigned long long runNs = 0;
    unsigned long long wakeups = 0;
};

std::string firstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::map<int, ThreadSample> sampleThreads(int pid) {
    std::map<int, ThreadSample> out;
    const std::string base = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) return out;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        const int tid = std::atoi(e->d_name);
        const std::string t = base + "/" + e->d_name;
        ThreadSample s;
        s.comm = firstLine(t + "/comm");
        std::istringstream(firstLine(t + "/schedstat")) >> s.runNs;
        std::ifstream status(t + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) s.wakeups = std::strtoull(line.c_str() + 24, nullptr, 10);
        }
        out[tid] = s;
    }
    ::closedir(dir);
    return out;
}

std::map<int, std::string> threadRoles(int pid, const std::map<int, ThreadSample>& threads) {
    static const char* kOurs[] = {"heartbeat", "keepalive", "voice receive", "control", "speech command",
                                  "audio engine"};
    std::map<int, std::string> roles;
    std::size_t next = 0;
    const std::string program = threads.count(pid) ? threads.at(pid).comm : "orvane";
    for (const auto& [tid, s] : threads) {
        if (tid == pid) {
            roles[tid] = "UI";
        } else if (s.comm == program && next < std::size(kOurs)) {
            roles[tid] = kOurs[next++];
        } else {
            roles[tid] = s.comm;
        }
    }
    return roles;
}

void measure(const char* phase, int pid, int seconds) {
    const auto before = sampleThreads(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto after = sampleThreads(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto roles = threadRoles(pid, after);
    std::string out;
    char line[160];
    auto add = [&](auto... args) {
        std::snprintf(line, sizeof line, args...);
        out += line;
    };
    add("%s (pid %d, %.1f s)\n", phase, pid, wall);
    add("  %-18s %7s  %s\n", "thread", "% core", "wake-ups/s");
    double total = 0, wakeTotal = 0;
    for (const auto& [tid, s] : after) {
        auto b = before.find(tid);
        const unsigned long long run0 = b == before.end() ? 0 : b->second.runNs;
        const unsigned long long wake0 = b == before.end() ? 0 : b->second.wakeups;
        const double pct = static_cast<double>(s.runNs - run0) / 1e9 / wall * 100.0;
        const double wakes = static_cast<double>(s.wakeups - wake0) / wall;
        total += pct;
        wakeTotal += wakes;
        add("  %-18s %7.3f  %8.1f\n", roles.at(tid).c_str(), pct, wakes);
    }
    add("  %-18s %7.3f  %8.1f\n\n", "total", total, wakeTotal);
    std::fputs(out.c_str(), stdout);  // one piece: two phases may end together
    std::fflush(stdout);
}

}  // namespace

// The lab starts its clients off-screen; on an X server (DISPLAY set) a small launcher that
// sets the platform back to xcb and execs the client keeps the client's process id.
bool useXcb(std::string& error) {
    if (std::getenv("DISPLAY") == nullptr) {
        error = "--xcb needs an X server (DISPLAY), e.g. under xvfb-run -a";
        return false;
    }
    const char* other = std::getenv("ORVANE_LAB_CLIENT");
    const std::string client = other != nullptr ? other : std::string(ORVANE_RUN_DIR) + "/orvane";
    char folder[] = "/tmp/orvane-xcb-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        error = "cannot make a folder for the launcher";
        return false;
    }
    const std::string launcher = std::string(folder) + "/orvane";  // the client's name, for its threads
    std::ofstream out(launcher);
    out << "#!/bin/sh\nQT_QPA_PLATFORM=xcb exec '" << client << "' \"$@\"\n";
    out.close();
    ::chmod(launcher.c_str(), 0700);
    ::setenv("ORVANE_LAB_CLIENT", launcher.c_str(), 1);
    return true;
}

int main(int argc, char** argv) {
    int seconds = 30;
    bool xcb = false;
    bool listeningOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--xcb") {
            xcb = true;
        } else if (std::string(argv[i]) == "--listening") {
            listeningOnly = true;
        } else {
            seconds = std::max(1, std::atoi(argv[i]));
        }
    }
    std::string setupError;
    if (xcb && !useXcb(setupError)) {
        std::fprintf(stderr, "client_idle_cpu_bench: %s\n", setupError.c_str());
        return 1;
    }
    e2e::LabNetwork net;
    std::string error;
    if (!net.startShared(error) || !net.startNetwork(error)) {
        std::fprintf(stderr, "client_idle_cpu_bench: %s\n", error.c_str());
        return 1;
    }
    test::SinkRecorder speaker(net.pulse().sinkFifo());  // B's speaker must be read to play
    test::SourceWriter mic(net.pulse().sourceFifo());
    if (!speaker.start() || !mic.ok()) return 1;
    std::printf("client_idle_cpu_bench: %d s per phase, %s, %ld cores, load average %s\n\n", seconds,
                xcb ? "on the X server" : "off-screen", ::sysconf(_SC_NPROCESSORS_ONLN),
                firstLine("/proc/loadavg").c_str());
    std::this_thread::sleep_for(std::chrono::seconds(5));  // start-up's fetches are over
    measure("listening, nobody talks: B", net.b().process->pid(), seconds);
    if (listeningOnly) return 0;

    // A talks for the whole next phase; B hears it.
    for (int tries = 0; net.recordingStreams() == 0 && tries < 150; ++tries) {
        if (tries % 10 == 0) net.command(net.a(), 'T');
        ::usleep(100000);
    }
    std::atomic<bool> talking{true};
    std::thread feeder([&] {
        const std::vector<std::uint8_t> noise = e2e::makeNoiseSignal(32, 0xC0FFEEu);
        mic.writeLead();
        auto start = std::chrono::steady_clock::now();
        for (long k = 0; talking; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(31250 * k));
            mic.write(noise.data() + (k % 32) * 1000, 1000);
        }
    });
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::thread hearing([&] { measure("hearing one talker: B", net.b().process->pid(), seconds); });
    measure("talking: A", net.a().process->pid(), seconds);
    hearing.join();
    talking = false;
    feeder.join();
    net.command(net.a(), 'R');
    return 0;
}
