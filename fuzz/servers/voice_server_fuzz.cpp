// The voice server core against any sequence of datagrams, orders and clock steps. Besides
// surviving, it must never relay voice to a client of another channel, never send a roster
// longer than 16 accounts, and only send the datagram shapes it knows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "servers/voice/outbound.h"
#include "servers/voice/voice_server_core.h"

namespace {

using namespace orvane::server;

class CheckingOutbox final : public Outbox {
public:
    const VoiceServerCore* core = nullptr;
    int talkerChannel = -1;

    void sendVoice(int channel, const Endpoint& to, const std::uint8_t* header, const std::uint8_t* payload) override {
        if (channel != talkerChannel || header[7] != 1 || (header[0] != 'A' && header[0] != 'B') || header[1] == 0 ||
            payload == nullptr)
            std::abort();
        int i = core->clients().findByVoice(to);
        if (i < 0 || core->clients().at(i).channel != channel) std::abort();  // another channel's client
    }
    void sendControl(int, const Endpoint&, const std::uint8_t* data, std::size_t length) override {
        if (data[0] == 'L') {
            if (length > kMaxRosterReplyBytes || data[2] > kMaxRosterAccounts || length != 3u + 2u * data[2]) std::abort();
        } else if (data[0] != 'A' || length != 3) {
            std::abort();
        }
    }
};

class NullLog final : public ServerLog {
public:
    void line(const char* text) override {
        if (std::strlen(text) >= 256) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingOutbox out;
    static NullLog log;
    static std::uint8_t packet[1100];
    ServerConfig config;
    config.presenceTimeoutMs = 500;
    auto* core = new VoiceServerCore(out, log, config);
    out.core = core;
    std::int64_t now = 1000;
    std::size_t i = 0;
    // Records: op, a, b, length (2 bytes), then `length` bytes.
    while (i + 5 <= size) {
        std::uint8_t op = data[i], a = data[i + 1], b = data[i + 2];
        std::size_t length = static_cast<std::size_t>(data[i + 3] | (data[i + 4] << 8)) % 1100;
        i += 5;
        if (length > size - i) length = size - i;
        const std::uint8_t* body = data + i;
        i += length;
        Endpoint from{0x7F000001u + (a & 3u), static_cast<std::uint16_t>(40000 + (b & 15u))};
        int channel = static_cast<int>(a >> 2) % 12;  // 11 is out of range on purpose
        switch (op % 6) {
            case 0: {
                // Steer towards shapes the server knows: audio, keepalive, hellos.
                std::memset(packet, 0, sizeof packet);
                std::memcpy(packet, body, length);
                std::size_t n = length;
                if (b & 0x80) {
                    packet[0] = 'A';
                    n = 1024;
                } else if (b & 0x40) {
                    packet[0] = 'R';
                    packet[1] = '.';
                    if (n < 9) n = 9;
                }
                out.talkerChannel = channel;
                core->onVoicePort(channel, from, packet, n, now);
                break;
            }
            case 1:
                out.talkerChannel = channel;
                core->onVoicePort(channel, from, body, length, now);
                break;
            case 2: core->onControlPort(channel, from, body, length, now); break;
            case 3: now += (a | (b << 8)) % 2000; core->tick(now); break;
            case 4: {
                char reply[512];
                core->handleOrder(reinterpret_cast<const char*>(body), length, reply, sizeof reply);
                if (std::strlen(reply) >= sizeof reply) std::abort();
                break;
            }
            case 5: {
                const std::uint8_t query[3] = {'A', 1, b};
                core->onControlPort(channel, from, query, 3, now);
                break;
            }
        }
    }
    delete core;
    return 0;
}
