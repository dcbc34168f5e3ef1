#include "servers/voice/server_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvane::server {

namespace {

constexpr int kBatch = 64;          // datagrams read per system call
constexpr int kSendBatch = 64;      // voice datagrams written per system call
constexpr int kReadBufferBytes = 2048;
constexpr int kTickMs = 20;

std::int64_t monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

sockaddr_in toSockaddr(std::uint32_t address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    sa.sin_port = htons(port);
    return sa;
}

class StderrLog final : public ServerLog {
public:
    bool quiet = false;
    void line(const char* text) override {
        if (quiet && std::strncmp(text, "order", 5) != 0 && std::strncmp(text, "supervisor", 10) != 0) return;
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm t{};
        localtime_r(&ts.tv_sec, &t);
        std::fprintf(stderr, "%02d:%02d:%02d.%03ld %s\n", t.tm_hour, t.tm_min, t.tm_sec, ts.tv_nsec / 1000000, text);
    }
};

// Gathers the voice datagrams of one relay and writes them with one sendmmsg: the header of
// each listener and the shared payload go out as two pieces, never copied together.
class BatchedOutbox final : public Outbox {
public:
    int voiceSocket[kServerChannels] = {};
    int controlSocket[kServerChannels] = {};

    void sendVoice(int channel, const Endpoint& to, const std::uint8_t* header,
                   const std::uint8_t* payload) override {
        if (pending_ > 0 && channel != pendingChannel_) flush();
        if (pending_ == kSendBatch) flush();
        pendingChannel_ = channel;
        int k = pending_++;
        addresses_[k] = toSockaddr(to.address, to.port);
        pieces_[k][0] = iovec{const_cast<std::uint8_t*>(header), kVoiceHeaderBytes};
        pieces_[k][1] = iovec{const_cast<std::uint8_t*>(payload), kAudioPayloadBytes};
        msghdr& m = messages_[k].msg_hdr;
        m = msghdr{};
        m.msg_name = &addresses_[k];
        m.msg_namelen = sizeof(sockaddr_in);
        m.msg_iov = pieces_[k];
        m.msg_iovlen = 2;
    }

    void sendControl(int channel, const Endpoint& to, const std::uint8_t* data, std::size_t length) override {
        sockaddr_in sa = toSockaddr(to.address, to.port);
        ::sendto(controlSocket[channel], data, length, MSG_NOSIGNAL | MSG_DONTWAIT,
                 reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    }

    void flush() override {
        int done = 0;
        while (done < pending_) {
            int n = ::sendmmsg(voiceSocket[pendingChannel_], messages_ + done,
                               static_cast<unsigned>(pending_ - done), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EINTR) continue;
                ++done;  // skip the datagram that failed (e.g. an unreachable listener)
                ++failed_;
                continue;
            }
            done += n;
        }
        pending_ = 0;
    }

    std::uint64_t failedSends() const override { return failed_; }

private:
    std::uint64_t failed_ = 0;
    int pending_ = 0;
    int pendingChannel_ = 0;
    mmsghdr messages_[kSendBatch] = {};
    iovec pieces_[kSendBatch][2] = {};
    sockaddr_in addresses_[kSendBatch] = {};
};

enum Tag : std::uint64_t { kVoiceTag = 0, kControlTag = 100, kOperatorTag = 200, kSignalTag = 300 };

}  // namespace

struct ServerLoop::State {
    explicit State(const ServerOptions& o) : options(o), core(outbox, log, o.config) {}
    ServerOptions options;
    StderrLog log;
    BatchedOutbox outbox;
    VoiceServerCore core;
    int epoll = -1;
    int operatorSocket = -1;
    int signalFd = -1;
    bool stop = false;
    std::int64_t lastTickMs = 0;

    std::uint8_t buffers[kBatch][kReadBufferBytes] = {};
    mmsghdr messages[kBatch] = {};
    iovec pieces[kBatch] = {};
    sockaddr_in from[kBatch] = {};
    char orderText[512] = {};
    // Room for the longest answer: "clients" with every seat of the table taken.
    char orderReply[kMaxClients * 160] = {};

    void drainUdp(int fd, int channel, bool control);
    void serveOperator();
};

ServerLoop::ServerLoop(const ServerOptions& options) : s_(std::make_unique<State>(options)) {
    s_->log.quiet = options.quiet;
    for (int ch = 0; ch < kServerChannels; ++ch) s_->outbox.voiceSocket[ch] = s_->outbox.controlSocket[ch] = -1;
    for (int k = 0; k < kBatch; ++k) {
        s_->pieces[k] = iovec{s_->buffers[k], kReadBufferBytes};
    }
}

ServerLoop::~ServerLoop() {
    for (int ch = 0; ch < kServerChannels; ++ch) {
        if (s_->outbox.voiceSocket[ch] >= 0) ::close(s_->outbox.voiceSocket[ch]);
        if (s_->outbox.controlSocket[ch] >= 0) ::close(s_->outbox.controlSocket[ch]);
    }
    if (s_->operatorSocket >= 0) {
        ::close(s_->operatorSocket);
        ::unlink(s_->options.operatorPath);
    }
    if (s_->signalFd >= 0) ::close(s_->signalFd);
    if (s_->epoll >= 0) ::close(s_->epoll);
}

VoiceServerCore& ServerLoop::core() { return s_->core; }

bool ServerLoop::open(bool catchSignals, char* error, int capacity) {
    State& s = *s_;
    s.epoll = epoll_create1(EPOLL_CLOEXEC);
    if (s.epoll < 0) {
        std::snprintf(error, static_cast<std::size_t>(capacity), "epoll: %s", std::strerror(errno));
        return false;
    }
    auto watch = [&](int fd, std::uint64_t tag) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = tag;
        return epoll_ctl(s.epoll, EPOLL_CTL_ADD, fd, &ev) == 0;
    };
    for (int ch = 0; ch < kServerChannels; ++ch) {
        for (int control = 0; control < 2; ++control) {
            auto port = static_cast<std::uint16_t>((control ? kFirstControlPort : kFirstVoicePort) + ch);
            int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
            sockaddr_in sa = toSockaddr(s.options.address, port);
            int buf = 4 << 20;
            if (fd >= 0) {
                setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
                setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);
            }
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
                std::snprintf(error, static_cast<std::size_t>(capacity), "cannot bind UDP port %u: %s", port,
                              std::strerror(errno));
                if (fd >= 0) ::close(fd);
                return false;
            }
            (control ? s.outbox.controlSocket : s.outbox.voiceSocket)[ch] = fd;
            watch(fd, (control ? kControlTag : kVoiceTag) + static_cast<std::uint64_t>(ch));
        }
    }
    if (s.options.operatorPath != nullptr) {
        sockaddr_un un{};
        un.sun_family = AF_UNIX;
        if (std::strlen(s.options.operatorPath) >= sizeof un.sun_path) {
            std::snprintf(error, static_cast<std::size_t>(capacity), "operator socket path too long");
            return false;
        }
        std::strcpy(un.sun_path, s.options.operatorPath);
        ::unlink(s.options.operatorPath);
        s.operatorSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (s.operatorSocket < 0 || ::bind(s.operatorSocket, reinterpret_cast<sockaddr*>(&un), sizeof un) != 0) {
            std::snprintf(error, static_cast<std::size_t>(capacity), "cannot bind operator socket %s: %s",
                          s.options.operatorPath, std::strerror(errno));
            return false;
        }
        watch(s.operatorSocket, kOperatorTag);
    }
    if (catchSignals) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        s.signalFd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
        if (s.signalFd >= 0) watch(s.signalFd, kSignalTag);
    }
    char reply[64];
    for (int k = 0; k < s.options.orderCount; ++k) {
        const Order& o = s.options.orders[k];
        char text[64];
        switch (o.verb) {
            case OrderVerb::CloseAccount: std::snprintf(text, sizeof text, "close account %u", o.account); break;
            case OrderVerb::UpdateAccount: std::snprintf(text, sizeof text, "require update account %u", o.account); break;
            case OrderVerb::UpdateAll: std::snprintf(text, sizeof text, "require update"); break;
            case OrderVerb::MarkAccount: std::snprintf(text, sizeof text, "mark account %u", o.account); break;
            default: continue;
        }
        s.core.handleOrder(text, std::strlen(text), reply, sizeof reply);
    }
    s.lastTickMs = monotonicMs();
    s.core.tick(s.lastTickMs);
    return true;
}

void ServerLoop::State::drainUdp(int fd, int channel, bool control) {
    // Bounded per wake-up so one busy port cannot starve the others.
    for (int round = 0; round < 4; ++round) {
        for (int k = 0; k < kBatch; ++k) {
            msghdr& m = messages[k].msg_hdr;
            m = msghdr{};
            m.msg_name = &from[k];
            m.msg_namelen = sizeof from[k];
            m.msg_iov = &pieces[k];
            m.msg_iovlen = 1;
        }
        int n = ::recvmmsg(fd, messages, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        std::int64_t now = monotonicMs();
        for (int k = 0; k < n; ++k) {
            const msghdr& m = messages[k].msg_hdr;
            Endpoint e{ntohl(from[k].sin_addr.s_addr), ntohs(from[k].sin_port)};
            // A datagram longer than the buffer is nothing a client sends: give it a length
            // no parser accepts.
            std::size_t length = (m.msg_flags & MSG_TRUNC) ? 0 : messages[k].msg_len;
            if (control)
                core.onControlPort(channel, e, buffers[k], length, now);
            else
                core.onVoicePort(channel, e, buffers[k], length, now);
        }
        if (n < kBatch) return;
    }
}

void ServerLoop::State::serveOperator() {
    for (;;) {
        sockaddr_un peer{};
        socklen_t peerLength = sizeof peer;
        ssize_t n = ::recvfrom(operatorSocket, orderText, sizeof orderText - 1, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (n < 0) return;
        orderText[n] = '\0';
        orderReply[0] = '\0';
        core.handleOrder(orderText, static_cast<std::size_t>(n), orderReply, sizeof orderReply);
        if (peerLength > sizeof(sa_family_t))
            ::sendto(operatorSocket, orderReply, std::strlen(orderReply), MSG_DONTWAIT,
                     reinterpret_cast<sockaddr*>(&peer), peerLength);
    }
}

bool ServerLoop::step(int timeoutMs) {
    State& s = *s_;
    epoll_event events[32];
    int wait = timeoutMs < kTickMs ? timeoutMs : kTickMs;
    int n = epoll_wait(s.epoll, events, 32, wait);
    for (int k = 0; k < n; ++k) {
        std::uint64_t tag = events[k].data.u64;
        if (tag == kSignalTag) {
            signalfd_siginfo info{};
            while (::read(s.signalFd, &info, sizeof info) == sizeof info) s.stop = true;
        } else if (tag == kOperatorTag) {
            s.serveOperator();
        } else if (tag >= kControlTag) {
            int ch = static_cast<int>(tag - kControlTag);
            s.drainUdp(s.outbox.controlSocket[ch], ch, true);
        } else {
            int ch = static_cast<int>(tag - kVoiceTag);
            s.drainUdp(s.outbox.voiceSocket[ch], ch, false);
        }
    }
    std::int64_t now = monotonicMs();
    if (now - s.lastTickMs >= kTickMs) {
        s.lastTickMs = now;
        s.core.tick(now);
    }
    return !s.stop;
}

void ServerLoop::run() {
    while (step(kTickMs)) {
    }
    const ServerStats& st = s_->core.stats();
    char line[200];
    std::snprintf(line, sizeof line, "stop: %llu datagrams in, %llu voice out, %llu control out, %llu ignored",
                  static_cast<unsigned long long>(st.datagramsIn), static_cast<unsigned long long>(st.voiceOut),
                  static_cast<unsigned long long>(st.controlOut), static_cast<unsigned long long>(st.ignored));
    s_->log.quiet = false;
    s_->log.line(line);
}

int sendOperatorOrder(const char* path, const char* text) {
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 1;
    sockaddr_un self{};
    self.sun_family = AF_UNIX;  // an automatic abstract name, so the server can answer
    ::bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof(sa_family_t));
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    std::snprintf(to.sun_path, sizeof to.sun_path, "%s", path);
    if (::sendto(fd, text, std::strlen(text), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        std::fprintf(stderr, "orvane-voice-server: no server on %s: %s\n", path, std::strerror(errno));
        ::close(fd);
        return 1;
    }
    pollfd p{fd, POLLIN, 0};
    static char reply[kMaxClients * 160];
    int result = 1;
    if (::poll(&p, 1, 3000) == 1) {
        ssize_t n = ::recv(fd, reply, sizeof reply - 1, 0);
        if (n >= 0) {
            reply[n] = '\0';
            std::fputs(reply, stdout);
            result = std::strncmp(reply, "error", 5) == 0 ? 1 : 0;
        }
    } else {
        std::fprintf(stderr, "orvane-voice-server: no answer from %s\n", path);
    }
    ::close(fd);
    return result;
}

}  // namespace orvane::server
