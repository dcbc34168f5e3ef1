#include "servers/voice/sim_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>

#include "servers/voice/inbound.h"

namespace orvane::server {

namespace {

int openUdp(std::uint32_t local, Endpoint& bound) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) return -1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(local);
    int buf = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
    socklen_t len = sizeof sa;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        ::close(fd);
        return -1;
    }
    bound = Endpoint{ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
    return fd;
}

int receiveOn(int fd, std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    if (fd < 0) return -1;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) return -1;
    ssize_t n = ::recv(fd, buffer, capacity, MSG_DONTWAIT);
    return n < 0 ? -1 : static_cast<int>(n);
}

constexpr std::uint8_t kHello[9] = {'T', '.', 'W', 'I', 'N', 0, 0, 0, 0};

}  // namespace

SimClient::~SimClient() { close(); }

void SimClient::close() {
    if (voiceFd_ >= 0) ::close(voiceFd_);
    if (controlFd_ >= 0) ::close(controlFd_);
    voiceFd_ = controlFd_ = -1;
}

bool SimClient::start(std::uint32_t server, int channel, std::uint16_t account, std::uint32_t local) {
    close();
    server_ = server;
    channel_ = channel;
    account_ = account;
    voiceFd_ = openUdp(local, voice_);
    controlFd_ = openUdp(local, control_);
    if (voiceFd_ < 0 || controlFd_ < 0) {
        close();
        return false;
    }
    auto port = static_cast<std::uint16_t>(kFirstVoicePort + channel_);
    sendFrom(voiceFd_, kHello, sizeof kHello, port);
    std::uint8_t twice[18];
    std::memcpy(twice, kHello, 9);
    std::memcpy(twice + 9, kHello, 9);
    sendFrom(controlFd_, twice, sizeof twice, port);
    return true;
}

void SimClient::sendFrom(int fd, const void* data, std::size_t length, std::uint16_t port) {
    if (fd < 0) return;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(server_);
    sa.sin_port = htons(port);
    ::sendto(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
}

void SimClient::sendKeepalive() {
    keepalivePhase_ = (keepalivePhase_ + 1) % 3;
    std::uint8_t* k = keepalive_;
    std::memset(k, 0, sizeof keepalive_);
    k[0] = 'R';
    k[1] = '.';
    k[3] = static_cast<std::uint8_t>(account_ & 255);
    k[4] = static_cast<std::uint8_t>(account_ >> 8);
    std::size_t length = 0;
    if (keepalivePhase_ == 1) {
        std::memcpy(k + 9, "NWIN.PSEUDO.WIN.", 16);
        length = 26;
    } else if (keepalivePhase_ == 2) {
        k[9] = 'D';
        std::memcpy(k + 10, "1234567890123456", 16);
        length = 27;
    } else {
        std::memcpy(k + 9, "V076", 4);
        k[13] = 2;
        length = 14;
    }
    sendFrom(voiceFd_, k, length, static_cast<std::uint16_t>(kFirstVoicePort + channel_));
}

void SimClient::sendAudio(const std::uint8_t* payload) {
    std::uint8_t* a = audio_;
    std::memset(a, 0, 24);
    a[0] = 'A';
    a[1] = sequence_;
    sequence_ = sequence_ == 255 ? 1 : static_cast<std::uint8_t>(sequence_ + 1);
    a[2] = 2;
    a[3] = static_cast<std::uint8_t>(account_ & 255);
    a[4] = static_cast<std::uint8_t>(account_ >> 8);
    a[6] = 'N';
    std::memcpy(a + 7, "DOZ-UZI-Doder", 13);
    std::memcpy(a + 24, payload, 1000);
    sendFrom(voiceFd_, a, sizeof audio_, static_cast<std::uint16_t>(kFirstVoicePort + channel_));
}

void SimClient::sendRosterPoll(int channel) {
    const std::uint8_t poll[3] = {'L', 0, 0};
    sendFrom(controlFd_, poll, sizeof poll, static_cast<std::uint16_t>(kFirstControlPort + channel));
}

void SimClient::sendSupervisorQuery(std::uint8_t echo) {
    const std::uint8_t query[3] = {'A', 1, echo};
    sendFrom(controlFd_, query, sizeof query, static_cast<std::uint16_t>(kFirstControlPort + channel_));
}

void SimClient::sendRawToChannel(const void* data, std::size_t length, std::uint16_t port) {
    sendFrom(voiceFd_, data, length, port);
}

int SimClient::receiveVoice(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    return receiveOn(voiceFd_, buffer, capacity, timeoutMs);
}

int SimClient::receiveControl(std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    return receiveOn(controlFd_, buffer, capacity, timeoutMs);
}

int SimClient::drain() {
    std::uint8_t scratch[2048];
    int voice = 0;
    for (int fd : {voiceFd_, controlFd_}) {
        if (fd < 0) continue;
        ssize_t n;
        while ((n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT)) >= 0)
            if (fd == voiceFd_ && n > 0 && (scratch[0] == 'A' || scratch[0] == 'B')) ++voice;
    }
    return voice;
}

}  // namespace orvane::server
