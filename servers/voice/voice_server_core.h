#pragma once
// The voice server's behaviour, free of sockets and clocks: datagrams in, datagrams and log
// lines out. The event loop feeds it; tests drive it directly.
//
// Which control socket belongs to which client: a client sends its voice hello and, right
// after, its control hello, both to its channel port, from two sockets of one address. The
// server pairs a control hello with the latest voice hello from the same address that is not
// paired yet (within helloPairWindowMs). A supervisor query from a control socket it cannot
// place is matched by its echo byte (each client gets its own echo byte in the voice it
// receives) and, failing that, by the address when only one unpaired client uses it. A query
// that stays unplaced gets only the orders meant for everyone.
#include <cstddef>
#include <cstdint>

#include "protocol/datagrams.h"
#include "servers/voice/client_table.h"
#include "servers/voice/endpoint.h"
#include "servers/voice/load_meter.h"
#include "servers/voice/orders.h"

namespace orvane::server {

struct ServerConfig {
    int presenceTimeoutMs = 4000;  // a client silent this long leaves its channel
    int talkEndMs = 300;           // no audio for this long ends a talk
    int helloPairWindowMs = 2000;
};

class Outbox {
public:
    virtual ~Outbox() = default;
    // A voice datagram from the channel's port: 24 header bytes then 1000 payload bytes. Both
    // pointers stay valid until flush().
    virtual void sendVoice(int channel, const Endpoint& to, const std::uint8_t* header,
                           const std::uint8_t* payload) = 0;
    // A reply from the channel's control port; the bytes may be reused after the call.
    virtual void sendControl(int channel, const Endpoint& to, const std::uint8_t* data,
                             std::size_t length) = 0;
    virtual void flush() {}
    // Datagrams the system refused to send so far (none where nothing can fail).
    virtual std::uint64_t failedSends() const { return 0; }
};

class ServerLog {
public:
    virtual ~ServerLog() = default;
    virtual void line(const char* text) = 0;
};

struct ServerStats {
    std::uint64_t datagramsIn = 0;
    std::uint64_t ignored = 0;        // not one of the client's datagrams
    std::uint64_t duplicates = 0;     // audio repeating its talker's last sequence byte
    std::uint64_t voiceOut = 0;
    std::uint64_t controlOut = 0;
    std::uint64_t refusedFull = 0;    // new clients turned away by a full table
};

class VoiceServerCore {
public:
    VoiceServerCore(Outbox& out, ServerLog& log, const ServerConfig& config = {});

    void onVoicePort(int channel, const Endpoint& from, const std::uint8_t* data, std::size_t length,
                     std::int64_t nowMs);
    void onControlPort(int channel, const Endpoint& from, const std::uint8_t* data,
                       std::size_t length, std::int64_t nowMs);
    // Time-outs, ends of talks, the load code. Call every few tens of milliseconds.
    void tick(std::int64_t nowMs);

    // One operator order line; the answer ("ok", the status, or an error) goes into `reply`.
    void handleOrder(const char* text, std::size_t length, char* reply, std::size_t capacity);

    const ClientTable& clients() const { return clients_; }
    const OrderBook& orders() const { return orders_; }
    const ServerStats& stats() const { return stats_; }
    std::uint8_t loadCode() const { return load_.code(); }

private:
    int presentClient(int channel, const Endpoint& from, std::int64_t nowMs);
    void learnAccount(int index, std::uint16_t account);
    void relayAudio(int index, const std::uint8_t* payload);
    void pairControl(const Endpoint& control, std::int64_t nowMs);
    int placeQuery(const Endpoint& control, std::uint8_t echo);
    void answerRoster(int channel, const Endpoint& to);
    void answerSupervisor(int channel, const Endpoint& to, std::uint8_t echo);
    void endTalk(int index);
    void leave(int index, const char* why);
    void finishCloseOrders();
    void logf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    std::size_t writeStatus(char* out, std::size_t capacity) const;
    std::size_t writeClients(char* out, std::size_t capacity) const;
    std::size_t collectRoster(int channel, std::uint16_t* accounts) const;

    Outbox& out_;
    ServerLog& log_;
    ServerConfig config_;
    ClientTable clients_;
    OrderBook orders_;
    LoadMeter load_;
    ServerStats stats_;
    std::int64_t lastRefusalLogMs_ = 0;

    static constexpr int kMaxPendingCloses = 64;
    std::uint16_t closing_[kMaxPendingCloses] = {};  // accounts told 240, until they are gone
    int closingCount_ = 0;

    std::uint8_t headers_[kMaxClients][protocol::kAudioHeaderBytes] = {};  // one voice header per recipient
    char logLine_[256] = {};
};

}  // namespace orvane::server
