// The soak: the lab network busy on every channel for minutes, every voice datagram counted and
// the programs' memory, descriptors and threads watched.
//
//   build/bench/soak [SECONDS]     (default 600; at least 120)
//
// The network: a private sound server, the web server, the voice server, two real `orvane`
// clients (A and B, channel 0) that talk in turn (5 s each, every 30 s, a noise signal fed into
// their pipe microphones at the real pace), the demo talkers (3001 and 3002 on channel 0, 3010
// on channel 10, a speech every 15 s) and simulated members (servers/voice sim clients) up to 16
// per channel: 12 on channel 0, 16 on channels 1 to 9, 15 on channel 10. On channels 1 to 9 one
// simulated member talks at a time, 10 s each in turn, without a pause: every channel is busy.
// On channel 10 the turns leave 10 s of silence between them, in which the demo talker there
// (who, like a polite user, waits for a quiet channel) speaks.
// Every member sends a keepalive every 20 ms and polls its roster every 2 s. Besides, a picture
// load as a group list left open makes it: 16 member pictures a second from the web server over
// the platform's HTTPS (14 members with a face, 2 without), in this process.
//
// Every 10 s it prints the resident memory, open descriptors and threads of the clients and the
// servers, and the web server's connections (each one TLS handshake) and requests. At the end:
// for every receiver, the voice datagrams the server relayed to it and those it received; the
// audio each talker had relayed; the network's UDP drop counters; growth of each figure.
//
// It fails (exit 1) when a datagram was lost, a talker's audio did not all reach the server, a
// picture request failed, or a figure grew (see kMargins); exit 2 when the lab could not start.
// It runs in a network namespace of its own (it starts itself again through
// lab/lib/private-net.sh), so the fixed ports of a running demo or another run never collide.
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lab/child_process.h"
#include "lab/talk_command.h"
#include "platform/https.h"
#include "servers/voice/sim_client.h"
#include "state/client_state.h"
#include "tests/e2e/lab_network.h"
#include "tests/fakes/pulse_fixture.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace {

using namespace orvane;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 11;
constexpr int kMembersPerChannel = 16;
constexpr double kKeepaliveSeconds = 0.020;
constexpr double kBlockSeconds = 0.03125;
constexpr int kRosterPollTicks = 100;      // one poll per member every 100 keepalive ticks (2 s)
constexpr int kSimTurnSeconds = 10;        // a simulated talker's turn
constexpr int kRealTalkPeriodSeconds = 30; // A talks at 20 s, 50 s, ...; B 15 s after A
constexpr int kRealTalkFirstSeconds = 20;
constexpr std::size_t kRealTalkBlocks = 160;  // 5 s
constexpr int kSampleSeconds = 10;
constexpr int kPicturesPerSecond = 16;
constexpr int kSettleSeconds = 60;         // start-up: not judged for growth

const std::string kRun = ORVANE_RUN_DIR;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// ---- what is watched --------------------------------------------------------------------

struct Usage {
    long rssKb = -1;
    long anonKb = -1;   // the private part of it (heap, stacks): where a leak shows
    long shmemKb = -1;  // shared memory touched (the sound server's pools)
    int fds = -1;
    int threads = -1;
};

Usage usageOf(int pid) {
    Usage u;
    if (pid <= 0) return u;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::atol(line.c_str() + 6);
        if (line.rfind("RssAnon:", 0) == 0) u.anonKb = std::atol(line.c_str() + 8);
        if (line.rfind("RssShmem:", 0) == 0) u.shmemKb = std::atol(line.c_str() + 9);
        if (line.rfind("Threads:", 0) == 0) u.threads = std::atoi(line.c_str() + 8);
    }
    if (DIR* d = ::opendir(("/proc/" + std::to_string(pid) + "/fd").c_str())) {
        u.fds = 0;
        while (dirent* e = ::readdir(d)) u.fds += e->d_name[0] != '.';
        ::closedir(d);
    }
    return u;
}

// The last "counters: N connections, M requests" line the web server printed.
bool webCounters(const std::string& log, unsigned long long& connections, unsigned long long& requests) {
    const std::string text = lab::readFile(log);
    const std::size_t at = text.rfind("counters: ");
    if (at == std::string::npos) return false;
    return std::sscanf(text.c_str() + at, "counters: %llu connections, %llu requests", &connections, &requests) == 2;
}

// The network namespace's UDP counters (/proc/net/snmp), by name.
std::map<std::string, long long> udpCounters() {
    std::ifstream in("/proc/net/snmp");
    std::vector<std::string> names;
    std::map<std::string, long long> values;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Udp: ", 0) != 0) continue;
        std::istringstream words(line.substr(5));
        if (names.empty()) {
            for (std::string w; words >> w;) names.push_back(w);
        } else {
            long long v = 0;
            for (std::size_t i = 0; i < names.size() && words >> v; ++i) values[names[i]] = v;
        }
    }
    return values;
}

// Every UDP socket of this network namespace that dropped datagrams (its receive buffer was
// full), by local port: the last column of /proc/net/udp.
std::map<std::uint16_t, long long> droppingSockets() {
    std::map<std::uint16_t, long long> out;
    std::ifstream in("/proc/net/udp");
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, last, word;
        fields >> slot >> local;
        while (fields >> word) last = word;
        const long long drops = std::atoll(last.c_str());
        const std::size_t colon = local.find(':');
        if (drops > 0 && colon != std::string::npos)
            out[static_cast<std::uint16_t>(std::strtoul(local.c_str() + colon + 1, nullptr, 16))] += drops;
    }
    return out;
}

// Datagrams the kernel dropped at the UDP socket of `pid` bound to local `port` (the last
// column of /proc/PID/net/udp); -1 when there is no such socket.
long long socketDrops(int pid, std::uint16_t port) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/net/udp");
    std::string line;
    std::getline(in, line);  // heading
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local;
        fields >> slot >> local;
        if (local.size() < 5 || local.compare(local.size() - 5, 5, wanted) != 0) continue;
        std::string last, word;
        while (fields >> word) last = word;
        return std::atoll(last.c_str());
    }
    return -1;
}

// ---- the simulated members ----------------------------------------------------------------

struct SimMember {
    std::unique_ptr<server::SimClient> client;
    int channel = 0;
    std::atomic<unsigned long long> sent{0};      // audio datagrams
    std::atomic<unsigned long long> received{0};  // voice datagrams
};

class SimMembers {
public:
    // `present[c]`: the members already on channel c that are not simulated here.
    bool start(const int (&present)[kChannels], std::string& error) {
        for (int ch = 0; ch < kChannels; ++ch) {
            for (int k = present[ch]; k < kMembersPerChannel; ++k) {
                auto m = std::make_unique<SimMember>();
                m->client = std::make_unique<server::SimClient>();
                m->channel = ch;
                if (!m->client->start(0x7F000001u, ch, static_cast<std::uint16_t>(5000 + ch * 100 + k))) {
                    error = "cannot open a simulated member's sockets";
                    return false;
                }
                members_.push_back(std::move(m));
            }
        }
        for (int ch = 0; ch < kChannels; ++ch)
            for (std::size_t i = 0; i < members_.size(); ++i)
                if (members_[i]->channel == ch) onChannel_[ch].push_back(i);
        for (int i = 0; i < 1000; ++i) payload_[i] = static_cast<std::uint8_t>(i * 29 + 7);
        receiver_ = std::thread([this] { receive(); });
        sender_ = std::thread([this] { send(); });
        return true;
    }
    void stopTalking() { talking_ = false; }
    void stop() {
        running_ = false;
        if (sender_.joinable()) sender_.join();
        if (receiver_.joinable()) receiver_.join();
    }
    ~SimMembers() { stop(); }

    const std::vector<std::unique_ptr<SimMember>>& members() const { return members_; }
    int count(int channel) const { return static_cast<int>(onChannel_[channel].size()); }

private:
    // Keepalives every 20 ms, a roster poll per member every 2 s, and on channels 1 to 10 the
    // current talker's audio every 31.25 ms, each on its own schedule.
    void send() {
        const auto start = Clock::now();
        double nextKeepalive = 0, nextAudio = 0;
        long tick = 0;
        while (running_) {
            const double now = secondsSince(start);
            if (now >= nextKeepalive) {
                for (std::size_t i = 0; i < members_.size(); ++i) {
                    members_[i]->client->sendKeepalive();
                    if ((tick + static_cast<long>(i)) % kRosterPollTicks == 0)
                        members_[i]->client->sendRosterPoll(members_[i]->channel);
                }
                ++tick;
                nextKeepalive += kKeepaliveSeconds;
            }
            if (now >= nextAudio) {
                if (talking_) {
                    const long turn = static_cast<long>(now) / kSimTurnSeconds;
                    for (int ch = 1; ch < kChannels; ++ch) {
                        const auto& list = onChannel_[ch];
                        if (list.empty()) continue;
                        long talker = turn;
                        if (ch == kChannels - 1) {
                            if (turn % 2 == 1) continue;  // the demo talker's silence
                            talker = turn / 2;
                        }
                        SimMember& m = *members_[list[static_cast<std::size_t>(talker + ch) % list.size()]];
                        m.client->sendAudio(payload_);
                        ++m.sent;
                    }
                }
                nextAudio += kBlockSeconds;
            }
            const double wait = std::min(nextKeepalive, nextAudio) - secondsSince(start);
            if (wait > 0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        }
    }

    // Every datagram on every member's sockets; the voice datagrams ("A" or "B", 1024 bytes)
    // counted.
    void receive() {
        const int ep = ::epoll_create1(EPOLL_CLOEXEC);
        for (std::size_t i = 0; i < members_.size(); ++i) {
            for (const int fd : {members_[i]->client->voiceFd(), members_[i]->client->controlFd()}) {
                epoll_event ev{};
                ev.events = EPOLLIN;
                ev.data.u64 = (static_cast<std::uint64_t>(i) << 1) | (fd == members_[i]->client->controlFd() ? 1u : 0u);
                ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
            }
        }
        std::uint8_t buffer[2048];
        epoll_event events[64];
        while (running_) {
            const int n = ::epoll_wait(ep, events, 64, 100);
            for (int k = 0; k < n; ++k) {
                SimMember& m = *members_[events[k].data.u64 >> 1];
                const bool control = (events[k].data.u64 & 1u) != 0;
                const int fd = control ? m.client->controlFd() : m.client->voiceFd();
                for (;;) {
                    const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
                    if (got < 0) break;
                    if (!control && got == 1024 && (buffer[0] == 'A' || buffer[0] == 'B')) ++m.received;
                }
            }
        }
        ::close(ep);
    }

    std::vector<std::unique_ptr<SimMember>> members_;
    std::vector<std::size_t> onChannel_[kChannels];
    std::uint8_t payload_[1000] = {};
    std::atomic<bool> running_{true};
    std::atomic<bool> talking_{true};
    std::thread sender_, receiver_;
};

// ---- the real clients talking in turn -----------------------------------------------------

class RealTalks {
public:
    RealTalks(e2e::LabNetwork& net, const std::string& micA, const std::string& micB)
        : net_(net), micA_(micA), micB_(micB), signal_(e2e::makeNoiseSignal(kRealTalkBlocks, 0x50A4u)) {}
    ~RealTalks() { stop(); }

    void start(Clock::time_point t0) {
        thread_ = std::thread([this, t0] { run(t0); });
    }
    // Lets a talk under way end, then stops.
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    int talks() const { return talks_; }
    std::string problems() const {
        std::lock_guard<std::mutex> hold(lock_);
        return problems_;
    }

private:
    void run(Clock::time_point t0) {
        test::SourceWriter a(micA_), b(micB_);
        for (long k = 0; running_; ++k) {
            const bool isA = k % 2 == 0;
            const double at = kRealTalkFirstSeconds + (k / 2) * kRealTalkPeriodSeconds + (isA ? 0 : kRealTalkPeriodSeconds / 2);
            while (running_ && secondsSince(t0) < at) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!running_) break;
            talk(isA ? net_.a() : net_.b(), isA ? a : b);
        }
    }

    void talk(e2e::LabClient& who, test::SourceWriter& mic) {
        // The command until its microphone opens (the sound server shows the recording).
        bool open = false;
        for (int tries = 0; tries < 100 && !open; ++tries) {
            if (tries % 10 == 0) net_.command(who, 'T');
            open = net_.recordingStreams() > 0;
            if (!open) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!open || !mic.ok()) {
            note("client " + who.name + " did not open its microphone");
            net_.command(who, 'R');
            return;
        }
        const auto start = Clock::now();
        for (std::size_t k = 0; k < kRealTalkBlocks; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(31250 * static_cast<long>(k)));
            if (!mic.write(signal_.data() + k * 1000, 1000)) {
                note("client " + who.name + "'s microphone stopped taking sound");
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the last block leaves
        net_.command(who, 'R');
        // Until the microphone is closed again, so that the next talk's check is its own.
        for (int tries = 0; tries < 50 && net_.recordingStreams() > 0; ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ++talks_;
    }

    void note(const std::string& what) {
        std::lock_guard<std::mutex> hold(lock_);
        problems_ += what + "\n";
    }

    e2e::LabNetwork& net_;
    std::string micA_, micB_;
    std::vector<std::uint8_t> signal_;
    std::atomic<bool> running_{true};
    std::atomic<int> talks_{0};
    mutable std::mutex lock_;
    std::string problems_;
    std::thread thread_;
};

// ---- the picture load -----------------------------------------------------------------------

class PictureLoad {
public:
    PictureLoad(std::vector<int> accounts, const std::string& caFile) : accounts_(std::move(accounts)) {
        platform::setExtraCaFile(caFile);
    }
    ~PictureLoad() { stop(); }
    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
    }
    unsigned long long withPicture() const { return withPicture_; }
    unsigned long long without() const { return without_; }
    unsigned long long failed() const { return failed_; }

private:
    // One group-list row a second: its 16 members' pictures, one request after the other.
    void run() {
        auto state = std::make_unique<ClientState>();
        auto web = std::make_unique<web::WebState>(*state, platform::systemHttps());
        web->host = "localhost";
        web->port = static_cast<std::uint16_t>(std::atoi(ORVANE_WEB_PORT));
        const auto start = Clock::now();
        for (long second = 0; running_; ++second) {
            std::this_thread::sleep_until(start + std::chrono::seconds(second));
            for (int i = 0; i < kPicturesPerSecond && running_; ++i) {
                const std::int32_t n = web::webGet(*web, "/users/", accounts_[static_cast<std::size_t>(i) % accounts_.size()], 1);
                if (n > 0) {
                    ++withPicture_;
                } else if (n == 0) {
                    ++without_;
                } else {
                    ++failed_;
                }
            }
        }
    }

    std::vector<int> accounts_;
    std::atomic<bool> running_{true};
    std::atomic<unsigned long long> withPicture_{0}, without_{0}, failed_{0};
    std::thread thread_;
};

// Runs a program to its end; false when it failed. Its output in `out`.
bool runProgram(const std::vector<std::string>& argv, const std::string& log, std::string& out) {
    ::unlink(log.c_str());
    lab::ChildProcess p;
    int code = -1;
    const bool ok = p.start(argv, {}, log) && p.waitExit(60000, code) && code == 0;
    out = lab::readFile(log);
    return ok;
}

// ---- growth ------------------------------------------------------------------------------

struct Sample {
    double at = 0;
    std::vector<Usage> usage;  // one per watched process
    unsigned long long webConnections = 0, webRequests = 0;
};

// How much a figure may rise from the window after the start-up to the last window before it
// counts as growth. Memory: the allocator keeps freed memory in its arenas and hands it back in
// pieces, and the sound server's shared memory pools come and go with the streams of a talk,
// so the resident size of a steady program moves by a few hundred kB between samples; 2 MB, or
// 3 % of the size for the larger programs, is well above that and well below what a leak of a
// few hundred bytes per voice datagram, picture or talk would add in ten minutes. Descriptors
// and threads: a talk opens the capture stream and a web request its connection for a moment,
// so a sample can catch 2 more descriptors; threads are fixed.
struct Margin {
    long rssKb;
    double rssShare;
    int fds;
    int threads;
};
constexpr Margin kMargins{2048, 0.03, 2, 0};

struct Growth {
    bool grew = false;
    std::string text;
};

// The maximum of each figure in the window just after the start-up and in the last window of
// the same length (a minute, or half of what follows the start-up in a shorter run).
Growth judgeGrowth(const std::vector<Sample>& samples, std::size_t process, const char* name, double duration) {
    const double window = std::min(60.0, (duration - kSettleSeconds) / 2);
    Usage early, late;
    for (const Sample& s : samples) {
        const Usage& u = s.usage[process];
        Usage* into = nullptr;
        if (s.at >= kSettleSeconds && s.at < kSettleSeconds + window) into = &early;
        if (s.at > duration - window) into = &late;
        if (into == nullptr) continue;
        into->rssKb = std::max(into->rssKb, u.rssKb);
        into->fds = std::max(into->fds, u.fds);
        into->threads = std::max(into->threads, u.threads);
    }
    Growth g;
    const long rssMargin = std::max(kMargins.rssKb, static_cast<long>(kMargins.rssShare * static_cast<double>(early.rssKb)));
    const bool rss = late.rssKb - early.rssKb > rssMargin;
    const bool fds = late.fds - early.fds > kMargins.fds;
    const bool threads = late.threads - early.threads > kMargins.threads;
    g.grew = rss || fds || threads || early.rssKb < 0 || late.rssKb < 0;
    char line[256];
    std::snprintf(line, sizeof line, "%-13s | %7.1f -> %7.1f MB (+%.1f, margin %.1f)%s | %3d -> %3d (margin %d)%s | %3d -> %3d%s\n",
                  name, early.rssKb / 1024.0, late.rssKb / 1024.0, (late.rssKb - early.rssKb) / 1024.0,
                  rssMargin / 1024.0, rss ? " GREW" : "", early.fds, late.fds, kMargins.fds, fds ? " GREW" : "",
                  early.threads, late.threads, threads ? " GREW" : "");
    g.text = line;
    return g;
}

// ---- the voice accounting ----------------------------------------------------------------

struct ServerClient {
    int account = 0;
    int channel = 0;
    std::uint16_t voicePort = 0;
    std::uint16_t controlPort = 0;
    unsigned long long audioIn = 0;
    unsigned long long voiceOut = 0;
};

std::vector<ServerClient> parseClients(const std::string& text) {
    std::vector<ServerClient> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        ServerClient c;
        unsigned a, b, cc, d, port;
        char control[64];
        unsigned rosters;
        if (std::sscanf(line.c_str(), "account %d channel %d voice %u.%u.%u.%u:%u control %63s rosters %u audio-in %llu voice-out %llu",
                        &c.account, &c.channel, &a, &b, &cc, &d, &port, control, &rosters, &c.audioIn, &c.voiceOut) == 11) {
            c.voicePort = static_cast<std::uint16_t>(port);
            if (const char* colon = std::strrchr(control, ':')) c.controlPort = static_cast<std::uint16_t>(std::atoi(colon + 1));
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // The fixed ports to ourselves: a network namespace of our own (or the lab's lock).
    if (const char* inside = std::getenv("ORVANE_PRIVATE_NET"); inside == nullptr || *inside == '\0') {
        std::vector<std::string> args = {"bash", ORVANE_SOURCE_DIR "/lab/lib/private-net.sh", "/proc/self/exe"};
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n > 0) args[2] = std::string(self, static_cast<std::size_t>(n));
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        std::vector<char*> cargs;
        for (auto& a : args) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        ::execvp("bash", cargs.data());
        std::perror("soak: cannot start itself in a private network");
        return 2;
    }
    const double duration = argc > 1 ? std::max(120.0, std::atof(argv[1])) : 600.0;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    ::signal(SIGPIPE, SIG_IGN);

    // ---- the lab
    e2e::LabNetwork net;
    std::string error;
    std::printf("soak: %.0f s, in %s\n", duration,
                std::strcmp(std::getenv("ORVANE_PRIVATE_NET"), "1") == 0 ? "a network namespace of its own"
                                                                           : "the machine's network, under the ports lock");
    if (!net.startShared(error) || !net.startNetwork(error)) {
        std::fprintf(stderr, "soak: the lab did not start: %s\n", error.c_str());
        return 2;
    }
    // 14 members with a face, and 2 without, for the picture load.
    std::vector<int> pictured;
    const std::string web = kRun + "/orvane-web-server";
    for (int i = 0; i < 14; ++i) {
        char machine[20];
        std::snprintf(machine, sizeof machine, "%016d", 770000 + i);
        std::string out;
        const bool made = runProgram({web, "create-account", "--db", net.webDatabase(), "--machine", machine},
                                     net.folder() + "/create.log", out);
        const int account = made ? std::atoi(out.c_str()) : 0;
        if (account <= 0 || !runProgram({web, "set-picture", "--db", net.webDatabase(), "--account",
                                         std::to_string(account), "--portrait", "yes"},
                                        net.folder() + "/picture.log", out)) {
            std::fprintf(stderr, "soak: cannot give the members their pictures\n");
            return 2;
        }
        pictured.push_back(account);
    }
    pictured.push_back(64001);  // no such members: "no picture" replies
    pictured.push_back(64002);

    // The members on each channel who are not simulated here: A and B and two demo talkers on
    // channel 0, one demo talker on channel 10.
    const int present[kChannels] = {4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    SimMembers sims;
    if (!sims.start(present, error)) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 2;
    }
    lab::ChildProcess demo;
    if (!demo.start({kRun + "/orvane-demo-talkers", "--server", ORVANE_VOICE_SERVER, "--every", "15"}, {},
                    net.folder() + "/demo-talkers.log")) {
        std::fprintf(stderr, "soak: the demo talkers did not start\n");
        return 2;
    }
    // B plays into the pipe speaker, which must be read; A into a null sink.
    test::SinkRecorder speaker(net.pulse().sinkFifo());
    speaker.start();
    RealTalks talks(net, net.pulse().sourceFifo(), net.pulse().folder() + "/headset.fifo");
    PictureLoad pictures(pictured, net.caFile());

    const auto t0 = Clock::now();
    talks.start(t0);
    pictures.start();

    struct Watched {
        const char* name;
        int pid;
    };
    const Watched watched[] = {{"client A", net.a().process->pid()},
                               {"client B", net.b().process->pid()},
                               {"voice server", net.voiceServerPid()},
                               {"web server", net.webServerPid()},
                               {"demo talkers", demo.pid()}};
    constexpr std::size_t kWatched = sizeof watched / sizeof watched[0];
    const auto udpBefore = udpCounters();

    std::printf("\n%6s", "s");
    for (const Watched& w : watched) std::printf(" | %-26s", w.name);
    std::printf(" | web server\n%6s", "");
    for (std::size_t i = 0; i < kWatched; ++i) std::printf(" | %6s %6s %4s %4s", "RSS MB", "anon", "fds", "thr");
    std::printf(" | connections requests\n");

    std::vector<Sample> samples;
    bool processEnded = false;
    for (int k = 0;; ++k) {
        std::this_thread::sleep_until(t0 + std::chrono::seconds(kSampleSeconds * k));
        Sample s;
        s.at = secondsSince(t0);
        ::kill(net.webServerPid(), SIGUSR1);
        for (const Watched& w : watched) {
            s.usage.push_back(usageOf(w.pid));
            if (s.usage.back().rssKb < 0) processEnded = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        webCounters(net.webLogPath(), s.webConnections, s.webRequests);
        std::printf("%6.0f", s.at);
        for (const Usage& u : s.usage)
            std::printf(" | %6.1f %6.1f %4d %4d", u.rssKb / 1024.0, u.anonKb / 1024.0, u.fds, u.threads);
        std::printf(" | %11llu %8llu\n", s.webConnections, s.webRequests);
        samples.push_back(s);
        speaker.clear();
        if (processEnded || s.at >= duration - 0.5) break;
    }

    // ---- the end: talking stops, what is on its way arrives, then everything is counted
    sims.stopTalking();
    talks.stop();
    pictures.stop();
    // Who holds which UDP port, to name a socket that dropped datagrams.
    std::map<std::uint16_t, std::string> owner;
    const auto own = [&](int pid, const std::string& name) {
        for (const std::uint16_t port : lab::udpPortsOfProcess(pid)) owner[port] = name;
    };
    own(net.voiceServerPid(), "voice server");
    own(net.a().process->pid(), "client A");
    own(net.b().process->pid(), "client B");
    own(demo.pid(), "demo talkers");
    for (const auto& m : sims.members()) {
        owner[m->client->voiceEndpoint().port] = "simulated member's voice socket, channel " + std::to_string(m->channel);
        owner[m->client->controlEndpoint().port] = "simulated member's control socket, channel " + std::to_string(m->channel);
    }
    auto drops = droppingSockets();  // the demo talkers' sockets go with them
    demo.stop();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    for (const auto& [port, n] : droppingSockets()) drops[port] = std::max(drops[port], n);
    const std::string clientsText = net.order("clients");
    const std::string statusText = net.order("status");
    const auto udpAfter = udpCounters();
    std::vector<ServerClient> clients = parseClients(clientsText);
    const int pidA = net.a().process->pid(), pidB = net.b().process->pid();
    long long dropsA = -1, dropsB = -1;
    for (const ServerClient& c : clients) {
        if (c.account == net.a().account) dropsA = socketDrops(pidA, c.voicePort);
        if (c.account == net.b().account) dropsB = socketDrops(pidB, c.voicePort);
    }
    sims.stop();
    speaker.stop();

    bool failed = processEnded;
    if (processEnded) std::printf("\nA watched program ended during the soak.\n");

    // Talkers: the audio each channel's members had relayed.
    std::map<int, unsigned long long> audioOn;
    std::map<int, int> membersOn;
    for (const ServerClient& c : clients) {
        audioOn[c.channel] += c.audioIn;
        ++membersOn[c.channel];
    }
    std::map<std::uint16_t, const ServerClient*> byPort;
    for (const ServerClient& c : clients) byPort[c.voicePort] = &c;

    std::printf("\nVoice datagrams, per receiver (expected: the audio the other members of its channel had "
                "relayed)\n");
    std::printf("%-24s %7s %12s %12s %12s %8s\n", "receiver", "members", "expected", "relayed to", "received", "lost");
    // Simulated members, grouped by channel.
    unsigned long long simSentNotRelayed = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
        unsigned long long expected = 0, relayed = 0, received = 0, lost = 0;
        int n = 0, missing = 0;
        bool uneven = false;
        for (const auto& m : sims.members()) {
            if (m->channel != ch) continue;
            ++n;
            auto it = byPort.find(m->client->voiceEndpoint().port);
            if (it == byPort.end()) {
                ++missing;
                continue;
            }
            const ServerClient& c = *it->second;
            const unsigned long long want = audioOn[ch] - c.audioIn;
            expected += want;
            relayed += c.voiceOut;
            received += m->received;
            if (m->received < c.voiceOut) lost += c.voiceOut - m->received;
            if (c.voiceOut != want) uneven = true;
            if (m->sent != c.audioIn) simSentNotRelayed += m->sent > c.audioIn ? m->sent - c.audioIn : c.audioIn - m->sent;
        }
        std::printf("channel %2d, %2d simulated %7d %12llu %12llu %12llu %8llu%s%s\n", ch, n, membersOn[ch], expected,
                    relayed, received, lost, missing ? " (some left the server)" : "",
                    uneven ? " (the server relayed other than expected)" : "");
        failed |= lost > 0 || missing > 0 || uneven || relayed != received;
    }
    // The real clients: what reached their voice socket (relayed less the socket's drops).
    for (int who = 0; who < 2; ++who) {
        const e2e::LabClient& c = who == 0 ? net.a() : net.b();
        const long long drops = who == 0 ? dropsA : dropsB;
        const ServerClient* s = nullptr;
        for (const ServerClient& sc : clients)
            if (sc.account == c.account) s = &sc;
        if (s == nullptr || drops < 0) {
            std::printf("client %s: not on the server at the end\n", c.name.c_str());
            failed = true;
            continue;
        }
        const unsigned long long want = audioOn[s->channel] - s->audioIn;
        std::printf("client %s (account %5d) %7d %12llu %12llu %12llu %8lld%s\n", c.name.c_str(), c.account,
                    membersOn[s->channel], want, s->voiceOut, s->voiceOut - static_cast<unsigned long long>(drops), drops,
                    s->voiceOut != want ? " (the server relayed other than expected)" : "");
        failed |= drops != 0 || s->voiceOut != want;
    }

    std::printf("\nTalkers, audio datagrams relayed by the server per channel:");
    for (int ch = 0; ch < kChannels; ++ch) std::printf(" %d:%llu", ch, audioOn[ch]);
    std::printf("\n");
    for (const ServerClient& c : clients)
        if (c.account == net.a().account || c.account == net.b().account || (c.account >= 3001 && c.account <= 3010))
            std::printf("  account %5d (channel %2d): %llu\n", c.account, c.channel, c.audioIn);
    std::printf("Simulated talkers: audio sent and audio the server relayed differ by %llu datagrams\n", simSentNotRelayed);
    failed |= simSentNotRelayed > 0;
    std::printf("Real clients' talks: %d of 5 s each%s\n", talks.talks(), talks.problems().empty() ? "" : ", with trouble:");
    std::printf("%s", talks.problems().c_str());
    failed |= !talks.problems().empty();
    std::printf("Voice server: %s", statusText.substr(0, statusText.find('\n') + 1).c_str());
    if (statusText.find("send-failed 0\n") == std::string::npos) failed = true;

    std::printf("Network (this namespace), UDP during the soak:");
    for (const char* name : {"InDatagrams", "OutDatagrams", "RcvbufErrors", "SndbufErrors", "InErrors", "NoPorts"}) {
        const long long d = udpAfter.count(name) ? udpAfter.at(name) - (udpBefore.count(name) ? udpBefore.at(name) : 0) : -1;
        std::printf(" %s %lld", name, d);
    }
    std::printf("\n");
    // A full receive buffer drops what comes: name each socket it happened to. On the voice path
    // (the server's channel ports, a member's or a client's voice socket) that is a loss; a
    // control or speech socket drops replies and commands that the next poll brings again.
    std::map<std::uint16_t, const char*> clientPorts;  // A's and B's voice and control sockets
    for (const ServerClient& c : clients) {
        if (c.account != net.a().account && c.account != net.b().account) continue;
        clientPorts[c.voicePort] = "'s voice socket";
        clientPorts[c.controlPort] = "'s control socket";
    }
    std::printf("UDP sockets that dropped datagrams (receive buffer full):%s\n", drops.empty() ? " none" : "");
    for (const auto& [port, n] : drops) {
        auto it = owner.find(port);
        std::string who = it == owner.end() ? "a socket of no watched program" : it->second;
        bool voicePath = it == owner.end();
        if (who == "voice server") {
            voicePath = port >= 30000 && port <= 30010;
            who += port >= 31000 ? " (control port " + std::to_string(port) + ")" : " (channel port " + std::to_string(port) + ")";
        } else if (who.rfind("client ", 0) == 0) {
            auto kind = clientPorts.find(port);
            who += kind != clientPorts.end() ? kind->second : "'s speech socket";
            voicePath = who.find("voice") != std::string::npos;
        } else if (who.find("voice socket") != std::string::npos) {
            voicePath = true;
        }
        std::printf("  port %5u, %s: %lld dropped%s\n", port, who.c_str(), n, voicePath ? " (voice path: a loss)" : "");
        failed |= voicePath;
    }

    // Web.
    const Sample& first = samples.front();
    const Sample& last = samples.back();
    const auto after = std::find_if(samples.begin(), samples.end(), [](const Sample& s) { return s.at >= kSettleSeconds; });
    std::printf("\nWeb server: %llu requests over %llu TCP connections (each one TLS handshake) in %.0f s",
                last.webRequests - first.webRequests, last.webConnections - first.webConnections, last.at - first.at);
    if (after != samples.end() && last.at > after->at) {
        const double minutes = (last.at - after->at) / 60;
        std::printf("; after the first minute %.1f handshakes and %.0f requests per minute",
                    static_cast<double>(last.webConnections - after->webConnections) / minutes,
                    static_cast<double>(last.webRequests - after->webRequests) / minutes);
    }
    std::printf("\nPicture load: %llu pictures, %llu without one (404), %llu failed\n", pictures.withPicture(),
                pictures.without(), pictures.failed());
    failed |= pictures.failed() > 0 || pictures.withPicture() == 0;

    // Growth.
    std::printf("\nGrowth, maximum in the window after the first minute -> in the last window "
                "(RSS | descriptors | threads)\n");
    for (std::size_t i = 0; i < kWatched; ++i) {
        const Growth g = judgeGrowth(samples, i, watched[i].name, last.at);
        std::printf("%s", g.text.c_str());
        failed |= g.grew;
    }
    std::printf("\nsoak: %s\n", failed ? "FAILED (a loss or a growth above)" : "nothing lost, nothing grown");
    return failed ? 1 : 0;
}
