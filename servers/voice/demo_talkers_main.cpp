// orvane-demo-talkers: simulated users that keep a channel alive for the demo (see --help).
#include <arpa/inet.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "servers/voice/demo_talkers.h"
#include "servers/voice/inbound.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

const char kHelp[] = R"(NAME
    orvane-demo-talkers - simulated users of the Orvane network, for the demo

SYNOPSIS
    orvane-demo-talkers [--server IPV4] [--talker CHANNEL:ACCOUNT]... [--voice FILE]
                        [--every SECONDS]

DESCRIPTION
    Each talker joins its channel like a client (voice hello, control hello), sends a
    keepalive every 20 ms so that it stays in the rosters, and every SECONDS speaks FILE
    at the real pace, one 1024-byte audio datagram per 31.25 ms. The talkers take turns
    and never overlap (the period grows when SECONDS is too short for every turn); like
    polite radio users, they wait until their channel has been quiet for a second before
    they start. What the server sends them is read and forgotten.

OPTIONS
    --server IPV4          voice server address (default 127.0.0.1)
    --talker CH:ACCOUNT    a talker on channel CH (0..10) with that account number;
                           repeatable (default: 0:3001 0:3002 10:3010)
    --voice FILE           16-bit stereo 8000 Hz raw sound (default: demo-voice.raw next
                           to this program; a tone when it cannot be read)
    --every SECONDS        time between two speeches of one talker (default 15)
    --help                 this page

    SIGINT and SIGTERM end it.
)";

std::int64_t nowUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

// Reads a raw voice file, rounded up to whole blocks; empty when unreadable.
std::unique_ptr<std::uint8_t[]> readVoice(const char* path, std::size_t& blocks) {
    blocks = 0;
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return nullptr;
    std::fseek(f, 0, SEEK_END);
    long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    if (size <= 0 || size > 64L * 1024 * 1024) {
        std::fclose(f);
        return nullptr;
    }
    blocks = (static_cast<std::size_t>(size) + 999) / 1000;
    auto data = std::make_unique<std::uint8_t[]>(blocks * 1000);
    std::memset(data.get(), 0, blocks * 1000);
    std::size_t got = std::fread(data.get(), 1, static_cast<std::size_t>(size), f);
    std::fclose(f);
    if (got != static_cast<std::size_t>(size)) {
        blocks = 0;
        return nullptr;
    }
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvane::server;
    std::uint32_t server = 0x7F000001u;
    DemoTalkerSpec specs[DemoTalkers::kMaxTalkers];
    int specCount = 0;
    char defaultVoice[PATH_MAX + 32] = "demo-voice.raw";
    const char* voicePath = nullptr;
    int every = 15;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(a, "--help") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (v == nullptr) {
            std::fprintf(stderr, "orvane-demo-talkers: unknown option or missing value: %s\n", a);
            return 2;
        }
        ++i;
        if (std::strcmp(a, "--server") == 0) {
            in_addr ia{};
            if (inet_pton(AF_INET, v, &ia) != 1) {
                std::fprintf(stderr, "orvane-demo-talkers: not an IPv4 address: %s\n", v);
                return 2;
            }
            server = ntohl(ia.s_addr);
        } else if (std::strcmp(a, "--talker") == 0) {
            int ch = -1;
            unsigned account = 0;
            if (std::sscanf(v, "%d:%u", &ch, &account) != 2 || ch < 0 || ch >= kServerChannels || account > 65535 ||
                specCount == DemoTalkers::kMaxTalkers) {
                std::fprintf(stderr, "orvane-demo-talkers: bad talker %s (CHANNEL:ACCOUNT)\n", v);
                return 2;
            }
            specs[specCount++] = DemoTalkerSpec{ch, static_cast<std::uint16_t>(account)};
        } else if (std::strcmp(a, "--voice") == 0) {
            voicePath = v;
        } else if (std::strcmp(a, "--every") == 0) {
            every = std::atoi(v);
            if (every < 1 || every > 3600) {
                std::fprintf(stderr, "orvane-demo-talkers: bad --every %s\n", v);
                return 2;
            }
        } else {
            std::fprintf(stderr, "orvane-demo-talkers: unknown option %s\n", a);
            return 2;
        }
    }
    if (specCount == 0) {
        specs[specCount++] = DemoTalkerSpec{0, 3001};
        specs[specCount++] = DemoTalkerSpec{0, 3002};
        specs[specCount++] = DemoTalkerSpec{10, 3010};
    }
    if (voicePath == nullptr) {
        char self[PATH_MAX] = {};
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) {
            self[n] = '\0';
            char* slash = std::strrchr(self, '/');
            if (slash != nullptr) *slash = '\0';
            std::snprintf(defaultVoice, sizeof defaultVoice, "%s/demo-voice.raw", self);
        }
        voicePath = defaultVoice;
    }
    std::size_t blocks = 0;
    auto voice = readVoice(voicePath, blocks);
    if (!voice) {
        std::fprintf(stderr, "orvane-demo-talkers: cannot read %s, speaking a tone instead\n", voicePath);
        blocks = 64;
        voice = std::make_unique<std::uint8_t[]>(blocks * 1000);
        synthesizeTone(voice.get(), blocks);
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    DemoTalkers talkers(voice.get(), blocks, every);
    for (int i = 0; i < specCount; ++i) {
        if (!talkers.add(server, specs[i])) {
            std::fprintf(stderr, "orvane-demo-talkers: cannot open sockets\n");
            return 1;
        }
        std::fprintf(stderr, "orvane-demo-talkers: account %u on channel %d\n", specs[i].account, specs[i].channel);
    }
    while (!stopRequested) {
        std::int64_t wait = talkers.step(nowUs());
        if (wait > 0) ::usleep(static_cast<useconds_t>(wait < 20000 ? wait : 20000));
    }
    std::fprintf(stderr, "orvane-demo-talkers: stop after %llu voice blocks\n",
                 static_cast<unsigned long long>(talkers.blocksSent()));
    return 0;
}
