#pragma once
// Sound devices in simulated time. SimClock moves only when the code under test sleeps; on
// every sleep the fake devices play and record exactly as much as that time allows (32 bytes
// per ms) and scheduled test events fire. The engine under test runs on the test thread, so
// every run is deterministic.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "audio/audio_ui.h"
#include "platform/audio_device.h"
#include "platform/audio_endpoints.h"
#include "platform/clock.h"
#include "platform/wake_event.h"

namespace orvane::test {

class SimClock final : public platform::Clock {
public:
    std::int64_t nowMs() override { return now_; }
    void sleepMs(int ms) override {
        sleeps += 1;
        for (int i = 0; i < ms; ++i) step();  // millisecond steps keep device timing exact
    }
    // Ends in the very millisecond a device (or an event) signals; one wake-up like a sleep.
    bool waitMs(platform::WakeEvent& event, int ms) override {
        sleeps += 1;
        for (int i = 0; i < ms; ++i) {
            if (event.take()) return true;
            step();
        }
        return event.take();
    }
    // Runs `event` once the clock reaches `t` (ms since the start).
    void at(std::int64_t t, std::function<void()> event) { events.emplace(t, std::move(event)); }

    std::vector<std::function<void()>> listeners;
    std::multimap<std::int64_t, std::function<void()>> events;
    long sleeps = 0;

private:
    void step() {
        ++now_;
        fireDue();
        for (auto& l : listeners) l();
    }
    void fireDue() {
        while (!events.empty() && events.begin()->first <= now_) {
            auto e = std::move(events.begin()->second);
            events.erase(events.begin());
            e();
        }
    }
    std::int64_t now_ = 0;
};

// The sample the fake microphone records at 16-bit position `p` of its life: a ramp that never
// repeats within a test and is never zero.
inline std::int16_t fakeMicSample(std::int64_t p) { return static_cast<std::int16_t>(1 + p % 30000); }

class FakeAudioSystem;

class FakePlayback final : public platform::PlaybackDevice {
public:
    FakePlayback(FakeAudioSystem& sys, std::function<void()> done) : sys_(sys), done_(std::move(done)) {}
    ~FakePlayback() override;
    int write(platform::AudioBuffer& b) override;
    int close() override;
    void tick();

private:
    struct Queued {
        platform::AudioBuffer* buffer;
        std::int64_t endMs;
    };
    FakeAudioSystem& sys_;
    std::function<void()> done_;
    std::deque<Queued> queue_;
    std::int64_t lastEnd_ = 0;
    bool closed_ = false;
};

class FakeCapture final : public platform::CaptureDevice {
public:
    explicit FakeCapture(FakeAudioSystem& sys) : sys_(sys) {}
    ~FakeCapture() override;
    int addBuffer(platform::AudioBuffer& b) override;
    int start() override;
    int stop() override;
    int reset() override;
    int close() override;
    void tick();

private:
    FakeAudioSystem& sys_;
    std::deque<platform::AudioBuffer*> queue_;
    std::uint32_t filled_ = 0;
    bool started_ = false;
    bool closed_ = false;
    std::int64_t lastMs_ = 0;
};

class FakeAudioSystem final : public platform::AudioSystem {
public:
    explicit FakeAudioSystem(SimClock& clock) : clock(clock) {
        clock.listeners.push_back([this] {
            if (playback) playback->tick();
            if (capture) capture->tick();
        });
    }

    std::unique_ptr<platform::CaptureDevice> openCapture(int device, int& error) override {
        log("capture.open");
        captureDevicesAsked.push_back(device);
        error = captureOpenError;
        if (error != 0) return nullptr;
        auto d = std::make_unique<FakeCapture>(*this);
        capture = d.get();
        return d;
    }
    std::unique_ptr<platform::PlaybackDevice> openPlayback(std::function<void()> done, int& error) override {
        log("playback.open");
        error = playbackOpenError;
        if (error != 0) return nullptr;
        auto d = std::make_unique<FakePlayback>(*this, std::move(done));
        playback = d.get();
        return d;
    }

    void log(const std::string& what) { events.push_back({clock.nowMs(), what}); }
    int count(const std::string& what) const {
        int n = 0;
        for (const auto& e : events) n += e.what == what;
        return n;
    }
    // Time of the n-th (0-based) event `what`, -1 if none.
    std::int64_t timeOf(const std::string& what, int n = 0) const {
        for (const auto& e : events)
            if (e.what == what && n-- == 0) return e.t;
        return -1;
    }

    struct Event {
        std::int64_t t;
        std::string what;
    };

    SimClock& clock;
    int captureOpenError = 0;
    int playbackOpenError = 0;
    std::vector<Event> events;
    std::vector<int> captureDevicesAsked;
    FakePlayback* playback = nullptr;
    FakeCapture* capture = nullptr;
    std::vector<std::uint8_t> played;           // every byte written to playback, in order
    std::vector<std::int64_t> playbackWrites;   // time of each write
    std::vector<std::int64_t> playbackReturns;  // time each buffer came back
    std::vector<std::int64_t> captureDone;      // time each capture buffer was completed
    std::int64_t micPosition = 0;               // samples recorded so far
};

inline FakePlayback::~FakePlayback() {
    if (sys_.playback == this) sys_.playback = nullptr;
}
inline int FakePlayback::write(platform::AudioBuffer& b) {
    if (closed_) return platform::kAudioError;
    std::int64_t now = sys_.clock.nowMs();
    std::int64_t start = lastEnd_ > now ? lastEnd_ : now;
    lastEnd_ = start + b.length * 1000 / platform::kAudioBytesPerSecond;
    queue_.push_back({&b, lastEnd_});
    sys_.played.insert(sys_.played.end(), b.data, b.data + b.length);
    sys_.playbackWrites.push_back(now);
    return platform::kAudioOk;
}
inline int FakePlayback::close() {
    if (!closed_) sys_.log("playback.close");
    closed_ = true;
    queue_.clear();
    return 0;
}
inline void FakePlayback::tick() {
    while (!closed_ && !queue_.empty() && queue_.front().endMs <= sys_.clock.nowMs()) {
        queue_.front().buffer->done = true;
        queue_.pop_front();
        sys_.playbackReturns.push_back(sys_.clock.nowMs());
        done_();
    }
}

inline FakeCapture::~FakeCapture() {
    if (sys_.capture == this) sys_.capture = nullptr;
}
inline int FakeCapture::addBuffer(platform::AudioBuffer& b) {
    queue_.push_back(&b);
    return 0;
}
inline int FakeCapture::start() {
    sys_.log("capture.start");
    started_ = true;
    lastMs_ = sys_.clock.nowMs();
    return 0;
}
inline int FakeCapture::stop() {
    sys_.log("capture.stop");
    started_ = false;
    return 0;
}
inline int FakeCapture::reset() {
    started_ = false;
    for (auto* b : queue_) b->done = true;
    queue_.clear();
    filled_ = 0;
    return 0;
}
inline int FakeCapture::close() {
    if (!closed_) sys_.log("capture.close");
    closed_ = true;
    return 0;
}
inline void FakeCapture::tick() {
    if (!started_) return;
    std::int64_t now = sys_.clock.nowMs();
    std::int64_t samples = (now - lastMs_) * platform::kAudioBytesPerSecond / 1000 / 2;
    lastMs_ = now;
    for (; samples > 0; --samples) {
        std::int16_t v = fakeMicSample(sys_.micPosition++);
        if (queue_.empty()) continue;  // nothing queued: the sound is lost
        std::memcpy(queue_.front()->data + filled_, &v, 2);
        filled_ += 2;
        if (filled_ == queue_.front()->length) {
            queue_.front()->done = true;
            queue_.pop_front();
            filled_ = 0;
            sys_.captureDone.push_back(now);
        }
    }
}

class FakeAudioUi final : public audio::AudioUi {
public:
    void showMessage(std::string_view text, std::string_view caption, platform::MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(caption), icon});
    }
    void exitProcess(int code) override { exitCodes.push_back(code); }

    struct Message {
        std::string text, caption;
        platform::MessageIcon icon;
    };
    std::vector<Message> messages;
    std::vector<int> exitCodes;
};

class FakeEndpoints final : public platform::AudioEndpoints {
public:
    bool masterVolume(platform::EndpointFlow flow, float& scalar) override {
        if (broken) return false;
        scalar = volume[static_cast<int>(flow)];
        return true;
    }
    bool setMasterVolume(platform::EndpointFlow flow, float scalar) override {
        if (broken || !(scalar >= 0 && scalar <= 1)) return false;
        volume[static_cast<int>(flow)] = scalar;
        return true;
    }
    int captureDeviceCount() override { return broken ? -1 : static_cast<int>(deviceNames.size()); }
    bool captureDeviceName(int d, std::string& name) override {
        highestDeviceAsked = std::max(highestDeviceAsked, d);
        if (broken || d < 0 || d >= static_cast<int>(deviceNames.size())) return false;
        name = deviceNames[static_cast<std::size_t>(d)];
        return true;
    }
    int captureEndpointCount() override { return broken ? -1 : static_cast<int>(endpoints.size()); }
    bool captureEndpoint(int k, platform::EndpointInfo& info) override {
        ++endpointQueries;
        if (broken || k < 0 || k >= static_cast<int>(endpoints.size())) return false;
        info = endpoints[static_cast<std::size_t>(k)];
        return true;
    }
    bool defaultEndpoint(platform::EndpointFlow flow, platform::EndpointInfo& info) override {
        if (broken) return false;
        info = flow == platform::EndpointFlow::Capture ? defaultInput : defaultOutput;
        return true;
    }

    bool broken = false;
    float volume[2] = {0.5f, 0.5f};
    std::vector<std::string> deviceNames;
    std::vector<platform::EndpointInfo> endpoints;
    platform::EndpointInfo defaultInput, defaultOutput;
    int endpointQueries = 0;
    int highestDeviceAsked = -1;  // the highest device number whose name was asked for
};

}  // namespace orvane::test
