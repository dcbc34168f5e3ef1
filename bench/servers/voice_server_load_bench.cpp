// Whole-program measurements of orvane-voice-server on loopback, with a load generator of
// simulated clients (11 channels x 16 clients, one talker and 15 listeners per channel).
//
//   voice_server_load_bench realistic [SECONDS]   32 audio datagrams/s per talker and a
//       keepalive every 20 ms from everyone: the server's CPU share of one core.
//   voice_server_load_bench throughput [SECONDS]  the talkers send as fast as the generator
//       can: voice datagrams relayed per second of server CPU time, i.e. on one core.
//
// The server runs pinned to CPU 0 and the generator to CPU 1 where the machine has two.
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lab/child_process.h"
#include "lab/operator_client.h"
#include "servers/voice/sim_client.h"

namespace {

using orvane::server::SimClient;

constexpr int kChannels = 11;
constexpr int kPerChannel = 16;
const std::string kServer = std::string(ORVANE_RUN_DIR) + "/orvane-voice-server";

double nowS() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// User + system CPU seconds of a process.
double cpuSeconds(int pid) {
    std::string stat = orvane::lab::readFile("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    unsigned long utime = 0, stime = 0;
    // Fields after the command: state(3) ... utime(14) stime(15).
    const char* p = stat.c_str() + close + 2;
    for (int field = 3; field < 14 && *p; ++field) p = std::strchr(p, ' ') + 1;
    std::sscanf(p, "%lu %lu", &utime, &stime);
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

unsigned long long statusField(const std::string& status, const char* name) {
    std::size_t at = status.find(name);
    return at == std::string::npos ? 0 : std::strtoull(status.c_str() + at + std::strlen(name), nullptr, 10);
}

void pinTo(int cpu) {
    if (sysconf(_SC_NPROCESSORS_ONLN) < 2) return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    sched_setaffinity(0, sizeof set, &set);
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "realistic";
    double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    if (mode != "realistic" && mode != "throughput") {
        std::fprintf(stderr, "usage: voice_server_load_bench realistic|throughput [SECONDS]\n");
        return 2;
    }
    const std::string op = "/tmp/orvane-bench-voice-" + std::to_string(getpid());
    const std::uint32_t address = 0x7F000033u;  // 127.0.0.51: beside a running lab
    std::vector<std::string> cmd = {kServer, "--address", "127.0.0.51", "--operator", op, "--quiet"};
    if (sysconf(_SC_NPROCESSORS_ONLN) >= 2) cmd.insert(cmd.begin(), {"/usr/bin/taskset", "-c", "0"});
    orvane::lab::ChildProcess server;
    if (!server.start(cmd, {}, "")) return 1;
    std::string reply;
    for (int i = 0; i < 100 && !orvane::lab::askVoiceServer(op, "status", reply, 100); ++i) usleep(20000);
    pinTo(1);

    std::vector<std::unique_ptr<SimClient>> clients;
    for (int ch = 0; ch < kChannels; ++ch)
        for (int k = 0; k < kPerChannel; ++k) {
            auto c = std::make_unique<SimClient>();
            if (!c->start(address, ch, static_cast<std::uint16_t>(5000 + ch * 100 + k))) return 1;
            clients.push_back(std::move(c));
        }
    std::uint8_t payload[1000];
    for (int i = 0; i < 1000; ++i) payload[i] = static_cast<std::uint8_t>(i * 13);
    // Warm-up: everyone present.
    for (int r = 0; r < 10; ++r) {
        for (auto& c : clients) c->sendKeepalive();
        usleep(20000);
    }
    orvane::lab::askVoiceServer(op, "status", reply);
    unsigned long long out0 = statusField(reply, "voice-out "), in0 = statusField(reply, " in ");
    double cpu0 = cpuSeconds(server.pid()), t0 = nowS();

    unsigned long long sentAudio = 0;
    if (mode == "realistic") {
        // One tick per 31.25 ms audio block; keepalives every 20 ms on their own schedule.
        double nextAudio = t0, nextKeepalive = t0, nextDrain = t0;
        while (nowS() - t0 < seconds) {
            double now = nowS();
            if (now >= nextAudio) {
                for (int ch = 0; ch < kChannels; ++ch) clients[static_cast<std::size_t>(ch * kPerChannel)]->sendAudio(payload);
                sentAudio += kChannels;
                nextAudio += 0.03125;
            }
            if (now >= nextKeepalive) {
                for (auto& c : clients) c->sendKeepalive();
                nextKeepalive += 0.020;
            }
            if (now >= nextDrain) {
                for (auto& c : clients) c->drain();
                nextDrain += 0.1;
            }
            double next = std::min(nextAudio, std::min(nextKeepalive, nextDrain));
            double wait = next - nowS();
            if (wait > 0) usleep(static_cast<useconds_t>(wait * 1e6));
        }
    } else {
        double nextKeepalive = t0;
        int round = 0;
        while (nowS() - t0 < seconds) {
            for (int ch = 0; ch < kChannels; ++ch) clients[static_cast<std::size_t>(ch * kPerChannel)]->sendAudio(payload);
            sentAudio += kChannels;
            if (++round % 8 == 0) {
                // Only now and then: the listeners' sockets would otherwise fill up in the kernel.
                for (auto& c : clients) c->drain();
                if (nowS() >= nextKeepalive) {
                    for (auto& c : clients) c->sendKeepalive();
                    nextKeepalive += 0.5;
                }
            }
        }
    }
    double elapsed = nowS() - t0, cpu = cpuSeconds(server.pid()) - cpu0;
    orvane::lab::askVoiceServer(op, "status", reply);
    unsigned long long out = statusField(reply, "voice-out ") - out0, in = statusField(reply, " in ") - in0;
    std::printf("mode %s, %.1f s, %d channels x %d clients\n", mode.c_str(), elapsed, kChannels, kPerChannel);
    std::printf("audio datagrams sent by talkers: %llu (%.0f/s)\n", sentAudio, static_cast<double>(sentAudio) / elapsed);
    std::printf("datagrams into the server:       %llu (%.0f/s)\n", in, static_cast<double>(in) / elapsed);
    std::printf("voice datagrams relayed:         %llu (%.0f/s)\n", out, static_cast<double>(out) / elapsed);
    std::printf("server CPU: %.3f s = %.1f %% of one core\n", cpu, 100.0 * cpu / elapsed);
    if (cpu > 0)
        std::printf("per second of server CPU: %.0f datagrams in, %.0f voice datagrams out\n",
                    static_cast<double>(in) / cpu, static_cast<double>(out) / cpu);
    server.stop();
    return 0;
}
