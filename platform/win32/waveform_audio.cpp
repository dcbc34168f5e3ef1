// Sound devices on the waveform audio functions: waveIn for capture, waveOut on WAVE_MAPPER for
// playback. Both report finished buffers through a CALLBACK_FUNCTION: the capture side only
// mirrors each header's WHDR_DONE into the buffer's done flag (which the engine polls); the
// playback side calls the engine's done callback. Nothing else may be called from there, so
// headers are unprepared later, on the caller's thread.
#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <mutex>

#include "platform/audio_device.h"

namespace orvane::platform {

namespace {

constexpr std::size_t kMaxQueued = 8;

WAVEFORMATEX audioFormat() {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = kAudioChannels;
    f.nSamplesPerSec = kAudioRate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = kAudioBytesPerFrame;
    f.nAvgBytesPerSec = kAudioBytesPerSecond;
    return f;
}

int toResult(MMRESULT r) {
    switch (r) {
        case MMSYSERR_NOERROR: return kAudioOk;
        case MMSYSERR_BADDEVICEID: return kAudioBadDevice;
        case WAVERR_BADFORMAT: return kAudioBadFormat;
        case MMSYSERR_NODRIVER: return kAudioNoServer;
        default: return r == 0 ? kAudioError : static_cast<int>(r);
    }
}

// One header per lent buffer, in a fixed table: nothing is allocated per audio block.
struct Slot {
    WAVEHDR header{};
    AudioBuffer* buffer = nullptr;
    bool prepared = false;
};

class WaveCapture final : public CaptureDevice {
public:
    bool open(int device, int& error) {
        WAVEFORMATEX f = audioFormat();
        const UINT id = device == kDefaultCaptureDevice ? WAVE_MAPPER : static_cast<UINT>(device);
        MMRESULT r = waveInOpen(&handle_, id, &f, reinterpret_cast<DWORD_PTR>(&onMessage),
                                reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        error = toResult(r);
        if (r != MMSYSERR_NOERROR) handle_ = nullptr;
        return r == MMSYSERR_NOERROR;
    }
    ~WaveCapture() override { close(); }

    int addBuffer(AudioBuffer& buffer) override {
        if (handle_ == nullptr) return kAudioError;
        std::lock_guard<std::mutex> lock(lock_);
        Slot* slot = slotFor(buffer);
        if (slot == nullptr) return kAudioError;
        if (slot->prepared) {
            waveInUnprepareHeader(handle_, &slot->header, sizeof(WAVEHDR));
            slot->prepared = false;
        }
        slot->header = WAVEHDR{};
        slot->header.lpData = reinterpret_cast<LPSTR>(buffer.data);
        slot->header.dwBufferLength = buffer.length;
        slot->header.dwUser = reinterpret_cast<DWORD_PTR>(&buffer);
        MMRESULT r = waveInPrepareHeader(handle_, &slot->header, sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) return toResult(r);
        slot->prepared = true;
        return toResult(waveInAddBuffer(handle_, &slot->header, sizeof(WAVEHDR)));
    }
    int start() override { return handle_ ? toResult(waveInStart(handle_)) : kAudioError; }
    int stop() override { return handle_ ? toResult(waveInStop(handle_)) : kAudioError; }
    int reset() override { return handle_ ? toResult(waveInReset(handle_)) : kAudioError; }
    int close() override {
        if (handle_ == nullptr) return kAudioOk;
        waveInReset(handle_);
        {
            std::lock_guard<std::mutex> lock(lock_);
            for (Slot& s : slots_) {
                if (s.prepared) waveInUnprepareHeader(handle_, &s.header, sizeof(WAVEHDR));
                s = Slot{};
            }
        }
        MMRESULT r = waveInClose(handle_);
        handle_ = nullptr;
        return toResult(r);
    }

private:
    static void CALLBACK onMessage(HWAVEIN, UINT msg, DWORD_PTR, DWORD_PTR param1, DWORD_PTR) {
        if (msg != WIM_DATA) return;
        auto* header = reinterpret_cast<WAVEHDR*>(param1);
        auto* buffer = reinterpret_cast<AudioBuffer*>(header->dwUser);
        if (buffer != nullptr && (header->dwFlags & WHDR_DONE)) buffer->done.store(true);
    }

    Slot* slotFor(AudioBuffer& buffer) {
        Slot* empty = nullptr;
        for (Slot& s : slots_) {
            if (s.buffer == &buffer) return &s;
            if (s.buffer == nullptr && empty == nullptr) empty = &s;
        }
        if (empty) empty->buffer = &buffer;
        return empty;
    }

    HWAVEIN handle_ = nullptr;
    std::mutex lock_;
    std::array<Slot, kMaxQueued> slots_{};
};

class WavePlayback final : public PlaybackDevice {
public:
    explicit WavePlayback(std::function<void()> onDone) : onDone_(std::move(onDone)) {}
    bool open(int& error) {
        WAVEFORMATEX f = audioFormat();
        MMRESULT r = waveOutOpen(&handle_, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&onMessage),
                                 reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
        error = toResult(r);
        if (r != MMSYSERR_NOERROR) handle_ = nullptr;
        return r == MMSYSERR_NOERROR;
    }
    ~WavePlayback() override { close(); }

    int write(AudioBuffer& buffer) override {
        if (handle_ == nullptr) return kAudioError;
        std::lock_guard<std::mutex> lock(lock_);
        Slot* slot = nullptr;
        for (Slot& s : slots_) {
            // A header the device gave back is unprepared here, never in the callback.
            if (s.prepared && (s.header.dwFlags & WHDR_DONE)) {
                waveOutUnprepareHeader(handle_, &s.header, sizeof(WAVEHDR));
                s.prepared = false;
            }
            if (!s.prepared && slot == nullptr) slot = &s;
        }
        if (slot == nullptr) return kAudioError;
        slot->header = WAVEHDR{};
        slot->header.lpData = reinterpret_cast<LPSTR>(buffer.data);
        slot->header.dwBufferLength = buffer.length;
        slot->buffer = &buffer;
        MMRESULT r = waveOutPrepareHeader(handle_, &slot->header, sizeof(WAVEHDR));
        if (r != MMSYSERR_NOERROR) return toResult(r);
        slot->prepared = true;
        return toResult(waveOutWrite(handle_, &slot->header, sizeof(WAVEHDR)));
    }

    int close() override {
        if (handle_ == nullptr) return kAudioOk;
        // Buffers still queued are dropped without a callback.
        closing_.store(true);
        waveOutReset(handle_);
        {
            std::lock_guard<std::mutex> lock(lock_);
            for (Slot& s : slots_) {
                if (s.prepared) waveOutUnprepareHeader(handle_, &s.header, sizeof(WAVEHDR));
                s = Slot{};
            }
        }
        MMRESULT r = waveOutClose(handle_);
        handle_ = nullptr;
        return toResult(r);
    }

private:
    static void CALLBACK onMessage(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
        if (msg != WOM_DONE) return;
        auto* self = reinterpret_cast<WavePlayback*>(instance);
        if (!self->closing_.load() && self->onDone_) self->onDone_();
    }

    HWAVEOUT handle_ = nullptr;
    std::function<void()> onDone_;
    std::atomic<bool> closing_{false};
    std::mutex lock_;
    std::array<Slot, kMaxQueued> slots_{};
};

class WaveAudioSystem final : public AudioSystem {
public:
    std::unique_ptr<CaptureDevice> openCapture(int device, int& error) override {
        auto d = std::make_unique<WaveCapture>();
        if (!d->open(device, error)) return nullptr;
        return d;
    }
    std::unique_ptr<PlaybackDevice> openPlayback(std::function<void()> onBufferDone, int& error) override {
        auto d = std::make_unique<WavePlayback>(std::move(onBufferDone));
        if (!d->open(error)) return nullptr;
        return d;
    }
};

}  // namespace

AudioSystem& hostAudio() {
    static WaveAudioSystem system;
    return system;
}

}  // namespace orvane::platform
