// Playback on a stream to the default sink. Queued buffers stay with us and are fed to the
// server as it asks; the server holds up to kTargetBytes (125 ms), topped up every 31 ms, so a
// busy machine has time to wake us and the sound server is woken rarely. A buffer is still
// reported done when its end is kDoneAheadBytes (18 ms) from being heard, the way a sound card
// returns a buffer once it has read it: the position heard is estimated from the server's
// requests (each says how much it holds) and the clock in between, and a timer on the sound
// server connection's thread tells each buffer's done at its time.
//
// While nobody is heard the engine plays silence, a buffer of zeros every 125 ms. Once the
// server holds nothing but silence, such a buffer is not sent: its time passes on our clock
// alone (its done is told when it would have been heard), the server runs out, asks no more,
// and neither it nor the connection's thread is woken for it. The next buffer that is sent
// first gets the zeros of that time not yet over, so what is heard, and when, is as if every
// buffer had been sent.
#include <pulse/rtclock.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/linux/pulse_devices.h"

namespace orvane::platform::pulse {

namespace {

constexpr std::uint32_t kTargetBytes = 4000;    // 125 ms held by the server
constexpr std::uint32_t kRequestBytes = 1000;   // asked for in 31.25 ms steps
constexpr std::uint64_t kDoneAheadBytes = 576;  // done 18 ms before the end is heard
constexpr pa_usec_t kTimerSlackUs = 500;        // a done told up to 0.5 ms from its time
constexpr std::array<std::uint8_t, 4000> kZeros{};

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
        const std::uint64_t played = playedNow();
        const bool silent = isSilence(buffer);
        if (silent && played >= voiceEnd_) {
            // Only silence is left to hear: this one is kept on our clock, not sent, and so is
            // the rest of what is queued (silence too, since all that was not is heard).
            if (!skipping_) {
                skipping_ = true;
                skipFrom_ = written_;
                keepQueuedOnClock();
            }
            // All of it heard already (a start, or the engine came late): its time starts now.
            if (played >= written_) {
                anchorPlayed_ = written_;
                anchorAt_ = pa_rtclock_now();
            }
            written_ += buffer.length;
            pending_[untold_ % pending_.size()] = {&buffer, written_};
            ++untold_;
            tellDue();
            return kAudioOk;
        }
        if (skipping_) resumeAfterSkipped(played);
        queue_[(head_ + count_) % queue_.size()] = &buffer;
        ++count_;
        if (!silent) voiceEnd_ = written_ + queuedBytes();
        feed(pa_stream_writable_size(stream_));
        return kAudioOk;
    }

    int close() override {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        count_ = 0;
        told_ = untold_;  // dropped without a callback
        // What the server still holds is played before the stream goes. A server that holds
        // nothing unheard (all skipped silence, or never sent anything) is not asked to drain:
        // a stream that never started would wait for it forever.
        const std::uint64_t sentEnd = skipping_ ? skipFrom_ : written_;
        const bool unheld = sentEnd == 0 || playedNow() >= sentEnd;
        skipping_ = false;
        if (timer_ != nullptr) {
            api_->time_free(timer_);
            timer_ = nullptr;
            timerAt_ = 0;
        }
        if (!unheld && pa_stream_get_state(stream_) == PA_STREAM_READY)
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

    static bool isSilence(const AudioBuffer& b) {
        for (std::uint32_t at = 0; at < b.length; at += kZeros.size()) {
            const std::size_t n = std::min<std::size_t>(kZeros.size(), b.length - at);
            if (std::memcmp(b.data + at, kZeros.data(), n) != 0) return false;
        }
        return true;
    }

    // Lock held. What is queued and not yet handed to the server goes on our clock instead, in
    // order, as skipped silence.
    void keepQueuedOnClock() {
        while (count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            written_ += b.length - sent_;
            head_ = (head_ + 1) % queue_.size();
            --count_;
            sent_ = 0;
            pending_[untold_ % pending_.size()] = {&b, written_};
            ++untold_;
        }
    }

    // Lock held. Bytes queued and not yet handed to the server.
    std::uint64_t queuedBytes() const {
        std::uint64_t n = 0;
        for (std::size_t i = 0; i < count_; ++i) n += queue_[(head_ + i) % queue_.size()]->length;
        return n - sent_;
    }

    // Lock held. The first buffer sent after skipped silence: the server gets the zeros of the
    // skipped time not yet over (their place in the stream is kept), so the buffer is heard when
    // it would have been. When the server ran out meanwhile, the position heard goes on from
    // where our clock has it and the server starts again from there.
    void resumeAfterSkipped(std::uint64_t played) {
        skipping_ = false;
        const std::uint64_t sentEnd = skipFrom_;
        // Whole frames only: a part of one would shift every later sample.
        constexpr std::uint64_t kFrame = kAudioBytesPerFrame;
        const std::uint64_t from = std::max(played, sentEnd) / kFrame * kFrame;
        if (played >= sentEnd) {
            anchorPlayed_ = played;
            anchorAt_ = pa_rtclock_now();
        }
        for (std::uint64_t left = written_ - from; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kZeros.size()));
            if (pa_stream_write(stream_, kZeros.data(), n, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
            left -= n;
        }
        // Whatever could not be written stays counted: positions are the stream's timeline.
    }

    // Lock held. `room` is what the server asks for now: it holds targetBytes_ - room, so the
    // rest of what was written has been played. That fixes the position heard at this moment.
    void anchor(std::size_t room) {
        const std::uint64_t held = room >= targetBytes_ ? 0 : targetBytes_ - room;
        anchorPlayed_ = written_ > held ? written_ - held : 0;
        anchorAt_ = pa_rtclock_now();
    }

    // Lock held. The position heard now: from the anchor, at the stream's rate, never past
    // what was written (an empty server plays nothing of ours; skipped silence counts as
    // written, its time passes all the same).
    std::uint64_t playedNow() const {
        const pa_usec_t since = pa_rtclock_now() - anchorAt_;
        const std::uint64_t more = since * static_cast<std::uint64_t>(kAudioBytesPerSecond) / PA_USEC_PER_SEC;
        return std::min(written_, anchorPlayed_ + more);
    }

    // Lock held. Hands the server up to `room` bytes from the queue.
    void feed(std::size_t room) {
        if (room == static_cast<std::size_t>(-1)) return;
        // While silence is skipped the server's end is behind ours: what it asks for says
        // nothing of the position heard, which our clock keeps.
        if (!skipping_) anchor(room);
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
                // Set again only when the time changes: from another thread, setting the
                // timer wakes the connection's thread.
                if (timer_ == nullptr) {
                    timer_ = pa_context_rttime_new(pa_stream_get_context(stream_), at, onTimer, this);
                    timerAt_ = at;
                } else if (timerAt_ == 0 || at + kTimerSlackUs < timerAt_ || at > timerAt_ + kTimerSlackUs) {
                    pa_context_rttime_restart(pa_stream_get_context(stream_), timer_, at);
                    timerAt_ = at;
                }
                return;
            }
            ++told_;
            p.buffer->done.store(true, std::memory_order_release);
            if (onDone_) onDone_();
        }
    }

    static void onTimer(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
        auto* self = static_cast<PulsePlayback*>(user);
        self->timerAt_ = 0;  // it has gone off
        self->tellDue();
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
    std::uint64_t written_ = 0;       // bytes written to the stream, skipped silence included
    std::uint64_t voiceEnd_ = 0;      // end of the last buffer that was not silence
    bool skipping_ = false;           // buffers of silence are kept on our clock
    std::uint64_t skipFrom_ = 0;      // where the skipped silence began
    std::uint64_t anchorPlayed_ = 0;  // position heard at anchorAt_
    pa_usec_t anchorAt_ = 0;
    std::uint32_t targetBytes_ = kTargetBytes;
    pa_mainloop_api* api_ = nullptr;
    pa_time_event* timer_ = nullptr;
    pa_usec_t timerAt_ = 0;  // when the timer goes off; 0 once it has
};

}  // namespace

std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::function<void()> onBufferDone, int& error) {
    auto playback = std::make_unique<PulsePlayback>(std::move(onBufferDone));
    error = playback->open();
    if (error != kAudioOk) return nullptr;
    return playback;
}

}  // namespace orvane::platform::pulse
