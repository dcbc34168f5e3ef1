#pragma once
// A simulated client on real UDP sockets: the datagrams the Orvane client sends, from a voice
// socket and a control socket of its own, as the client sends them. Used by the demo talkers,
// the load generator and the tests of the server over loopback.
#include <cstddef>
#include <cstdint>

#include "servers/voice/endpoint.h"

namespace orvane::server {

class SimClient {
public:
    SimClient() = default;
    ~SimClient();
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    // Opens both sockets on `local` (port 0) and sends the voice hello then the control hello
    // to the channel port, as a starting client does. False when a socket cannot be made.
    bool start(std::uint32_t server, int channel, std::uint16_t account,
               std::uint32_t local = 0x7F000001u);
    void close();

    // The next keepalive of the N, D, V rotation.
    void sendKeepalive();
    // One audio datagram around 1000 bytes of sound.
    void sendAudio(const std::uint8_t* payload1000);
    void sendRosterPoll(int channel);
    void sendSupervisorQuery(std::uint8_t echo);
    // Any bytes to the channel port from the voice socket (bad-input tests).
    void sendRawToChannel(const void* data, std::size_t length, std::uint16_t port);
    void setChannel(int channel) { channel_ = channel; }
    void setAccount(std::uint16_t account) { account_ = account; }

    // Waits up to `timeoutMs` for a datagram on the voice (or control) socket. Returns its
    // length, or -1 when none came.
    int receiveVoice(std::uint8_t* buffer, std::size_t capacity, int timeoutMs);
    int receiveControl(std::uint8_t* buffer, std::size_t capacity, int timeoutMs);
    // Reads and forgets whatever waits on both sockets; returns how many voice datagrams
    // (kind "A" or "B") were among them.
    int drain();

    Endpoint voiceEndpoint() const { return voice_; }
    Endpoint controlEndpoint() const { return control_; }
    int channel() const { return channel_; }
    std::uint16_t account() const { return account_; }
    int voiceFd() const { return voiceFd_; }
    int controlFd() const { return controlFd_; }

private:
    void sendFrom(int fd, const void* data, std::size_t length, std::uint16_t port);

    int voiceFd_ = -1;
    int controlFd_ = -1;
    Endpoint voice_;
    Endpoint control_;
    std::uint32_t server_ = 0;
    int channel_ = 0;
    std::uint16_t account_ = 0;
    int keepalivePhase_ = 0;
    std::uint8_t sequence_ = 1;
    std::uint8_t keepalive_[32] = {};
    std::uint8_t audio_[1024] = {};
};

}  // namespace orvane::server
