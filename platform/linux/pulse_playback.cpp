// Playback on a stream to the default sink. Queued buffers stay with us and are fed to the
// server as it asks; the server holds up to kTargetBytes (125 ms), topped up every 31 ms, so a
// busy machine has time to wake us and the sound server is woken rarely. A buffer is still
// reported done when its end is kDoneAheadBytes (18 ms) from being heard, the way a sound card
// returns a buffer once it has read it: the position heard is estimated from the server's
// requests (each says how much it holds) and the clock in between, and a timer on the sound
// server connection's thread tells each buffer's done at its time.
#include <pulse/rtclock.h>

#include <algorithm>
#include <array>

#include "platform/linux/pulse_devices.h"

namespace orvane::platform::pulse {

namespace {

constexpr std::uint32_t kTargetBytes = 4000;    // 125 ms held by the server
constexpr std::uint32_t kRequestBytes = 1000;   // asked for in 31.25 ms steps
constexpr std::uint64_t kDoneAheadBytes = 576;  // done 18 ms before the end is heard

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
        if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(stream_); got != nullptr && got->tlength > 0)
            targetBytes_ = got->tlength;
        api_ = pa_threaded_mainloop_get_api(conn.loop());
        return kAudioOk;
    }

    int write(AudioBuffer& buffer) override {
        MainLoopLock hold;
        if (stream_ == nullptr || count_ + (untold_ - told_) >= queue_.size() || buffer.length == 0)
            return kAudioError;
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
        told_ = untold_;  // dropped without a callback
        if (timer_ != nullptr) {
            api_->time_free(timer_);
            timer_ = nullptr;
        }
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

    // Lock held. `room` is what the server asks for now: it holds targetBytes_ - room, so the
    // rest of what was written has been played. That fixes the position heard at this moment.
    void anchor(std::size_t room) {
        const std::uint64_t held = room >= targetBytes_ ? 0 : targetBytes_ - room;
        anchorPlayed_ = written_ > held ? written_ - held : 0;
        anchorAt_ = pa_rtclock_now();
    }

    // Lock held. The position heard now: from the anchor, at the stream's rate, never past
    // what was written (an empty server plays nothing of ours).
    std::uint64_t playedNow() const {
        const pa_usec_t since = pa_rtclock_now() - anchorAt_;
        const std::uint64_t more = since * static_cast<std::uint64_t>(kAudioBytesPerSecond) / PA_USEC_PER_SEC;
        return std::min(written_, anchorPlayed_ + more);
    }

    // Lock held. Hands the server up to `room` bytes from the queue.
    void feed(std::size_t room) {
        if (room == static_cast<std::size_t>(-1)) return;
        anchor(room);
        while (room > 0 && count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            std::size_t n = std::min<std::size_t>(room, b.length - sent_);
            if (pa_stream_write(stream_, b.data + sent_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
            sent_ += n;
            written_ += n;
            room -= n;
            if (sent_ == b.length) {
                head_ = (head_ + 1) % queue_.size();
                --count_;
                sent_ = 0;
                // All of it is with the server; the engine hears of it when it is nearly played.
                pending_[untold_ % pending_.size()] = {&b, written_};
                ++untold_;
            }
        }
        tellDue();
    }

    // Lock held. Tells every buffer whose time has come, and sets the timer for the next one.
    void tellDue() {
        const std::uint64_t played = playedNow();
        while (told_ < untold_) {
            const Pending& p = pending_[told_ % pending_.size()];
            const std::uint64_t due = p.end > kDoneAheadBytes ? p.end - kDoneAheadBytes : 0;
            if (played < due) {
                const pa_usec_t at =
                    pa_rtclock_now() + (due - played) * PA_USEC_PER_SEC / kAudioBytesPerSecond + 1;
                if (timer_ == nullptr) {
                    timer_ = pa_context_rttime_new(pa_stream_get_context(stream_), at, onTimer, this);
                } else {
                    pa_context_rttime_restart(pa_stream_get_context(stream_), timer_, at);
                }
                return;
            }
            ++told_;
            p.buffer->done.store(true, std::memory_order_release);
            if (onDone_) onDone_();
        }
    }

    static void onTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
        static_cast<PulsePlayback*>(user)->tellDue();
    }

    static void onWritable(pa_stream*, std::size_t bytes, void* user) {
        static_cast<PulsePlayback*>(user)->feed(bytes);
    }

    // The server went away: hand every queued buffer back, so that the engine is not left
    // waiting for buffers that will never be played.
    void returnAll() {
        while (told_ < untold_) {
            AudioBuffer& b = *pending_[told_ % pending_.size()].buffer;
            ++told_;
            b.done.store(true, std::memory_order_release);
            if (onDone_) onDone_();
        }
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

    // Buffers wholly with the server whose done is not yet told, with the stream position of
    // their end; told_ and untold_ count them in order.
    struct Pending {
        AudioBuffer* buffer = nullptr;
        std::uint64_t end = 0;
    };
    std::array<Pending, 4> pending_{};
    std::uint64_t told_ = 0;
    std::uint64_t untold_ = 0;
    std::uint64_t written_ = 0;       // bytes written to the stream
    std::uint64_t anchorPlayed_ = 0;  // position heard at anchorAt_
    pa_usec_t anchorAt_ = 0;
    std::uint32_t targetBytes_ = kTargetBytes;
    pa_mainloop_api* api_ = nullptr;
    pa_time_event* timer_ = nullptr;
};

}  // namespace

std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::function<void()> onBufferDone, int& error) {
    auto playback = std::make_unique<PulsePlayback>(std::move(onBufferDone));
    error = playback->open();
    if (error != kAudioOk) return nullptr;
    return playback;
}

}  // namespace orvane::platform::pulse
