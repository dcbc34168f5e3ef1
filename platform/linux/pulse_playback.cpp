// Playback on a stream to the default sink. Queued buffers stay with us and are fed to the
// server only as fast as it asks, so the server holds about kTargetBytes and no more: a
// buffer is reported done once its last byte has gone to the server, which is about
// kTargetBytes before it is heard, the way a sound card returns a buffer once it has read it.
#include <algorithm>
#include <array>

#include "platform/linux/pulse_devices.h"

namespace orvane::platform::pulse {

namespace {

constexpr std::uint32_t kTargetBytes = 576;   // 18 ms held by the server
constexpr std::uint32_t kRequestBytes = 160;  // asked for in 5 ms steps

class PulsePlayback final : public PlaybackDevice {
public:
    explicit PulsePlayback(std::function<void()> onDone) : onDone_(std::move(onDone)) {}
    ~PulsePlayback() override { close(); }

    int open() {
        MainLoopLock hold;
        Connection& conn = Connection::instance();
        pa_context* c = conn.readyContext();
        if (c == nullptr) return kAudioNoServer;
        pa_sample_spec spec = sampleSpec();
        stream_ = pa_stream_new(c, "Orvane playback", &spec, nullptr);
        if (stream_ == nullptr) return kAudioBadFormat;
        pa_stream_set_state_callback(stream_, onState, this);
        pa_stream_set_write_callback(stream_, onWritable, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = kTargetBytes;
        attr.prebuf = static_cast<std::uint32_t>(-1);  // start once the target is reached
        attr.minreq = kRequestBytes;
        attr.fragsize = static_cast<std::uint32_t>(-1);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_NOFLAGS, nullptr, nullptr) < 0)
            return failOpen();
        conn.waitUntil([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) return failOpen();
        return kAudioOk;
    }

    int write(AudioBuffer& buffer) override {
        MainLoopLock hold;
        if (stream_ == nullptr || count_ == queue_.size() || buffer.length == 0) return kAudioError;
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) return kAudioError;
        queue_[(head_ + count_) % queue_.size()] = &buffer;
        ++count_;
        feed(pa_stream_writable_size(stream_));
        return kAudioOk;
    }

    int close() override {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        count_ = 0;
        // What the server already holds is played before the stream goes.
        if (pa_stream_get_state(stream_) == PA_STREAM_READY)
            Connection::instance().finish(pa_stream_drain(stream_, nullptr, nullptr));
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return kAudioOk;
    }

private:
    int failOpen() {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return kAudioBadDevice;
    }

    // Lock held. Hands the server up to `room` bytes from the queue.
    void feed(std::size_t room) {
        if (room == static_cast<std::size_t>(-1)) return;
        while (room > 0 && count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            std::size_t n = std::min<std::size_t>(room, b.length - sent_);
            if (pa_stream_write(stream_, b.data + sent_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
            sent_ += n;
            room -= n;
            if (sent_ == b.length) {
                head_ = (head_ + 1) % queue_.size();
                --count_;
                sent_ = 0;
                b.done.store(true, std::memory_order_release);
                if (onDone_) onDone_();
            }
        }
    }

    static void onWritable(pa_stream*, std::size_t bytes, void* user) {
        static_cast<PulsePlayback*>(user)->feed(bytes);
    }

    // The server went away: hand every queued buffer back, so that the engine is not left
    // waiting for buffers that will never be played.
    void returnAll() {
        while (count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            head_ = (head_ + 1) % queue_.size();
            --count_;
            sent_ = 0;
            b.done.store(true, std::memory_order_release);
            if (onDone_) onDone_();
        }
    }

    static void onState(pa_stream* s, void* user) {
        pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
            static_cast<PulsePlayback*>(user)->returnAll();
        Connection::instance().signal();
    }

    std::function<void()> onDone_;
    pa_stream* stream_ = nullptr;
    std::array<AudioBuffer*, 4> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t sent_ = 0;  // bytes of the head buffer already handed over
};

}  // namespace

std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::function<void()> onBufferDone, int& error) {
    auto playback = std::make_unique<PulsePlayback>(std::move(onBufferDone));
    error = playback->open();
    if (error != kAudioOk) return nullptr;
    return playback;
}

}  // namespace orvane::platform::pulse
