// Capture on a record stream. The stream is created corked; start and stop cork and uncork it.
// Recorded bytes are copied, on the main loop thread, into the queued buffers in order; a full
// buffer gets its done flag and leaves the queue.
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
        return kAudioOk;
    }

    int start() override { return cork(false); }

    int stop() override { return cork(true); }

    int reset() override {
        MainLoopLock hold;
        if (stream_ == nullptr) return kAudioError;
        Connection& conn = Connection::instance();
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
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        count_ = 0;
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

    // Main loop thread, lock held.
    void take(const std::uint8_t* data, std::size_t bytes) {
        while (bytes > 0 && count_ > 0) {
            AudioBuffer& b = *queue_[head_];
            std::size_t n = std::min<std::size_t>(bytes, b.length - filled_);
            if (data != nullptr)
                std::memcpy(b.data + filled_, data, n);
            else
                std::memset(b.data + filled_, 0, n);  // a hole in the stream is silence
            filled_ += n;
            bytes -= n;
            if (data != nullptr) data += n;
            if (filled_ == b.length) popHead();
        }
    }

    static void onRead(pa_stream* s, std::size_t, void* user) {
        auto* self = static_cast<PulseCapture*>(user);
        const void* data = nullptr;
        std::size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &bytes) < 0 || bytes == 0) return;
            self->take(static_cast<const std::uint8_t*>(data), bytes);
            pa_stream_drop(s);
        }
    }

    static void onState(pa_stream*, void*) { Connection::instance().signal(); }

    pa_stream* stream_ = nullptr;
    std::array<AudioBuffer*, 8> queue_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::size_t filled_ = 0;  // bytes already in the head buffer
};

}  // namespace

std::unique_ptr<CaptureDevice> openCaptureDevice(int device, int& error) {
    auto capture = std::make_unique<PulseCapture>();
    error = capture->open(device);
    if (error != kAudioOk) return nullptr;
    return capture;
}

}  // namespace orvane::platform::pulse
