#include "servers/voice/demo_talkers.h"

#include <cmath>

#include "servers/voice/inbound.h"

namespace orvane::server {

DemoTalkers::DemoTalkers(const std::uint8_t* voice, std::size_t voiceBlocks, int everySeconds)
    : voice_(voice),
      voiceBlocks_(voiceBlocks),
      everyUs_(static_cast<std::int64_t>(everySeconds) * 1'000'000),
      talkers_(std::make_unique<Talker[]>(kMaxTalkers)) {}

bool DemoTalkers::add(std::uint32_t server, const DemoTalkerSpec& spec) {
    if (count_ >= kMaxTalkers) return false;
    Talker& t = talkers_[static_cast<std::size_t>(count_)];
    if (!t.client.start(server, spec.channel, spec.account)) return false;
    t.nextTalkUs = -1;
    ++count_;
    return true;
}

std::int64_t DemoTalkers::step(std::int64_t nowUs) {
    if (nextKeepaliveUs_ < 0) {
        nextKeepaliveUs_ = nowUs;
        // Turns never overlap: each talker has a slot of its speech plus 2 s, and the period
        // stretches to hold every slot. The first speaks after 2 s.
        std::int64_t slot = static_cast<std::int64_t>(voiceBlocks_) * kBlockUs + 2'000'000;
        if (everyUs_ < slot * count_) everyUs_ = slot * count_;
        for (int i = 0; i < count_; ++i)
            talkers_[static_cast<std::size_t>(i)].nextTalkUs = nowUs + 2'000'000 + slot * i;
    }
    std::int64_t next = nowUs + kKeepaliveMs * 1000;
    if (nowUs >= nextKeepaliveUs_) {
        for (int i = 0; i < count_; ++i) talkers_[static_cast<std::size_t>(i)].client.sendKeepalive();
        nextKeepaliveUs_ += kKeepaliveMs * 1000;
        if (nextKeepaliveUs_ <= nowUs) nextKeepaliveUs_ = nowUs + kKeepaliveMs * 1000;
    }
    if (nextKeepaliveUs_ < next) next = nextKeepaliveUs_;
    for (int i = 0; i < count_; ++i) {
        Talker& t = talkers_[static_cast<std::size_t>(i)];
        if (t.client.drain() > 0) t.lastHeardUs = nowUs;
        if (t.speechStartUs < 0 && voiceBlocks_ > 0 && nowUs >= t.nextTalkUs &&
            nowUs - t.lastHeardUs < kQuietUs) {
            t.nextTalkUs = nowUs + kQuietUs;  // someone talks: try again later
        }
        if (t.speechStartUs < 0 && voiceBlocks_ > 0 && nowUs >= t.nextTalkUs) {
            t.speechStartUs = nowUs;
            t.blocksDone = 0;
            t.nextTalkUs += everyUs_;
        }
        if (t.speechStartUs < 0) {
            if (t.nextTalkUs < next) next = t.nextTalkUs;
            continue;
        }
        // Blocks go out at the pace of a microphone: block k at start + k * 31.25 ms.
        while (t.blocksDone < voiceBlocks_ &&
               nowUs >= t.speechStartUs + static_cast<std::int64_t>(t.blocksDone) * kBlockUs) {
            t.client.sendAudio(voice_ + t.blocksDone * kAudioPayloadBytes);
            ++t.blocksDone;
            ++blocksSent_;
        }
        if (t.blocksDone == voiceBlocks_) {
            t.speechStartUs = -1;
            if (t.nextTalkUs < next) next = t.nextTalkUs;
        } else {
            std::int64_t due = t.speechStartUs + static_cast<std::int64_t>(t.blocksDone) * kBlockUs;
            if (due < next) next = due;
        }
    }
    return next > nowUs ? next - nowUs : 0;
}

void synthesizeTone(std::uint8_t* out, std::size_t blocks) {
    const double kPi = 3.14159265358979323846;
    std::size_t frames = blocks * kAudioPayloadBytes / 4;
    for (std::size_t f = 0; f < frames; ++f) {
        double envelope = f < 8000 ? 1.0 : 0.0;  // one second of tone, then silence
        auto v = static_cast<std::int16_t>(8000.0 * envelope * std::sin(2.0 * kPi * 440.0 * static_cast<double>(f) / 8000.0));
        auto u = static_cast<std::uint16_t>(v);
        for (int c = 0; c < 2; ++c) {
            out[4 * f + 2 * static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(u & 255);
            out[4 * f + 2 * static_cast<std::size_t>(c) + 1] = static_cast<std::uint8_t>(u >> 8);
        }
    }
}

}  // namespace orvane::server
