// Capture on a record stream. The stream is created corked; start and stop cork and uncork it.
// Recorded bytes are copied, on the main loop thread, into the queued buffers in order; a full
// buffer gets its done flag and leaves the queue. While no buffer is queued the recorded sound
// stays in the stream (the server keeps seconds of it) and goes into the next buffer queued:
// an engine that comes late loses nothing, it only catches up.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/linux/pulse_devices.h"

namespace orvane::platform::pulse {

namespace {

// About 10 ms per fragment: the engine polls every 10 ms, so finer gains nothing and coarser
// delays every block.
constexpr std::uint32_t kFragmentBytes = 320;

class PulseCapture final : public CaptureDevice {
public:
    ~PulseCapture() override { close(); }

    int open(int device) {
        MainLoopLock hold;
        Connection& conn = Connection::instance();
        pa_context* c = conn.readyContext();
        if (c == nullptr) return kAudioNoServer;
        std::string sourceName;
        if (device != kDefaultCaptureDevice) {
            std::vector<DeviceInfo> sources;
            if (!listCaptureSources(c, sources)) return kAudioError;
            if (device < 0 || device >= static_cast<int>(sources.size())) return kAudioBadDevice;
            sourceName = sources[static_cast<std::size_t>(device)].name;
        }
        pa_sample_spec spec = sampleSpec();
        stream_ = pa_stream_new(c, "Orvane capture", &spec, nullptr);
        if (stream_ == nullptr) return kAudioBadFormat;
        pa_stream_set_state_callback(stream_, onState, this);
        pa_stream_set_read_callback(stream_, onRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.fragsize = kFragmentBytes;
        auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_record(stream_, sourceName.empty() ? nullptr : sourceName.c_str(), &attr,
                                     flags) < 0)
            return failOpen(kAudioBadDevice);
        conn.waitUntil([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) return failOpen(kAudioBadDevice);
        return kAudioOk;
    }

    int addBuffer(AudioBuffer& buffer) override {
        MainLoopLock hold;
        if (stream_ == nullptr || count_ == queue_.size() || buffer.length == 0) return kAudioError;
        queue_[(head_ + count_) % queue_.size()] = &buffer;
        ++count_;
        drain();  // what waited in the stream for a buffer
        return kAudioOk;
    }

    int start() override { return cork(false); }

    int stop() override { return cork(true); }

    int reset() override {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        Connection& conn = Connection::instance();
        dropFragment();  // before the flush, which ends what a peek holds
        conn.finish(pa_stream_cork(stream_, 1, nullptr, nullptr));
        conn.finish(pa_stream_flush(stream_, nullptr, nullptr));
        while (count_ > 0) popHead();
        return kAudioOk;
    }

    int close() override {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        dropFragment();
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        count_ = 0;
        peeked_ = false;
        used_ = 0;
        return kAudioOk;
    }

private:
    int failOpen(int error) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        return error;
    }

    int cork(bool on) {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        return Connection::instance().finish(pa_stream_cork(stream_, on ? 1 : 0, nullptr, nullptr))
                   ? kAudioOk
                   : kAudioError;
    }

    void popHead() {
        queue_[head_]->done.store(true, std::memory_order_release);
        head_ = (head_ + 1) % queue_.size();
        --count_;
        filled_ = 0;
    }

    // Lock held. Copies `bytes` (null data: a hole, which is silence) into the queued buffers;
    // returns how many were taken, fewer when the queue ran out of buffers.
    std::size_t take(const std::uint8_t* data, std::size_t bytes) {
        std::size_t taken = 0;
        while (taken < bytes && count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            std::size_t n = std::min<std::size_t>(bytes - taken, b.length - filled_);
            if (data != nullptr)
                std::memcpy(b.data + filled_, data + taken, n);
            else
                std::memset(b.data + filled_, 0, n);
            filled_ += n;
            taken += n;
            if (filled_ == b.length) popHead();
        }
        return taken;
    }

    // Lock held. Moves what the stream holds into the queued buffers, as far as they go. A
    // fragment only partly taken stays peeked, with the part already used remembered.
    void drain() {
        while (stream_ != nullptr && count_ > 0) {
            if (!peeked_) {
                if (pa_stream_readable_size(stream_) == 0) return;
                if (pa_stream_peek(stream_, &fragment_, &fragmentBytes_) < 0) return;
                if (fragmentBytes_ == 0) return;  // nothing to read after all
                peeked_ = true;
                used_ = 0;
            }
            const auto* data = static_cast<const std::uint8_t*>(fragment_);
            used_ += take(data != nullptr ? data + used_ : nullptr, fragmentBytes_ - used_);
            if (used_ < fragmentBytes_) return;  // no buffer left: the rest waits here
            dropFragment();
        }
    }

    void dropFragment() {
        if (peeked_ && stream_ != nullptr) pa_stream_drop(stream_);
        peeked_ = false;
        used_ = 0;
    }

    static void onRead(pa_stream*, std::size_t, void* user) { static_cast<PulseCapture*>(user)->drain(); }

    static void onState(pa_stream*, void*) { Connection::instance().signal(); }

    pa_stream* stream_ = nullptr;
    std::array<AudioBuffer*, 8> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t filled_ = 0;  // bytes already in the head buffer
    // The fragment peeked from the stream and not yet dropped, and how much of it is used.
    const void* fragment_ = nullptr;
    std::size_t fragmentBytes_ = 0;
    std::size_t used_ = 0;
    bool peeked_ = false;
};

}  // namespace

std::unique_ptr<CaptureDevice> openCaptureDevice(int device, int& error) {
    auto capture = std::make_unique<PulseCapture>();
    error = capture->open(device);
    if (error != kAudioOk) return nullptr;
    return capture;
}

}  // namespace orvane::platform::pulse
