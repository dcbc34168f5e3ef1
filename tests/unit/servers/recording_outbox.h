#pragma once
// Captures what the server core sends and logs, for the tests.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "servers/voice/voice_server_core.h"

namespace orvane::server::test {

struct Sent {
    bool voice = false;
    int channel = 0;
    Endpoint to;
    std::vector<std::uint8_t> bytes;
};

class RecordingOutbox final : public Outbox {
public:
    std::vector<Sent> sent;
    int flushes = 0;

    void sendVoice(int channel, const Endpoint& to, const std::uint8_t* header, const std::uint8_t* payload) override {
        Sent s{true, channel, to, std::vector<std::uint8_t>(header, header + 24)};
        s.bytes.insert(s.bytes.end(), payload, payload + 1000);
        sent.push_back(std::move(s));
    }
    void sendControl(int channel, const Endpoint& to, const std::uint8_t* data, std::size_t length) override {
        sent.push_back(Sent{false, channel, to, std::vector<std::uint8_t>(data, data + length)});
    }
    void flush() override { ++flushes; }

    std::vector<Sent> to(const Endpoint& e) const {
        std::vector<Sent> r;
        for (const Sent& s : sent)
            if (s.to == e) r.push_back(s);
        return r;
    }
};

class RecordingLog final : public ServerLog {
public:
    std::vector<std::string> lines;
    void line(const char* text) override { lines.emplace_back(text); }
    bool has(const std::string& part) const {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

}  // namespace orvane::server::test
