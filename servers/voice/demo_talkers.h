#pragma once
// Simulated users for the demo: each joins a channel, keeps itself present with keepalives
// like a client and, every so often, speaks a recorded voice block by block at the real pace.
// Like polite radio users they wait for a quiet channel before they start.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "servers/voice/sim_client.h"

namespace orvane::server {

struct DemoTalkerSpec {
    int channel = 0;
    std::uint16_t account = 0;
};

class DemoTalkers {
public:
    static constexpr int kMaxTalkers = 32;
    static constexpr int kKeepaliveMs = 20;
    static constexpr std::int64_t kBlockUs = 31250;
    static constexpr std::int64_t kQuietUs = 1'000'000;  // silence that makes a channel free

    // `voice` is 16-bit stereo 8000 Hz sound, a whole number of 1000-byte blocks.
    DemoTalkers(const std::uint8_t* voice, std::size_t voiceBlocks, int everySeconds);

    bool add(std::uint32_t server, const DemoTalkerSpec& spec);
    // Sends what is due at `nowUs` (keepalives, voice blocks) and forgets what came in.
    // Returns the microseconds until something is due next.
    std::int64_t step(std::int64_t nowUs);

    int count() const { return count_; }
    std::uint64_t blocksSent() const { return blocksSent_; }

private:
    struct Talker {
        SimClient client;
        std::int64_t nextTalkUs = 0;  // when the next speech starts
        std::int64_t speechStartUs = -1;
        std::int64_t lastHeardUs = -1'000'000'000;  // when voice last came from its channel
        std::size_t blocksDone = 0;
    };

    const std::uint8_t* voice_;
    std::size_t voiceBlocks_;
    std::int64_t everyUs_;
    std::unique_ptr<Talker[]> talkers_;
    int count_ = 0;
    std::int64_t nextKeepaliveUs_ = -1;
    std::uint64_t blocksSent_ = 0;
};

// A one-second 440 Hz tone in both ears, for when no recorded voice is at hand.
void synthesizeTone(std::uint8_t* out, std::size_t blocks);

}  // namespace orvane::server
