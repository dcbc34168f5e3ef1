#pragma once
// Sound devices as the audio engine uses them: a capture device that fills queued buffers and
// flags each one done, and a playback device that plays queued buffers and reports each one
// back through a callback. One format only: signed 16-bit little-endian, 2 interleaved
// channels, 8000 frames per second.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace orvane::platform {

inline constexpr int kAudioRate = 8000;
inline constexpr int kAudioChannels = 2;
inline constexpr int kAudioBytesPerFrame = 4;
inline constexpr int kAudioBytesPerSecond = kAudioRate * kAudioBytesPerFrame;

// The system's default capture device.
inline constexpr int kDefaultCaptureDevice = -1;

// Result codes of the device operations: 0 is success.
inline constexpr int kAudioOk = 0;
inline constexpr int kAudioError = 1;          // unspecified failure
inline constexpr int kAudioBadDevice = 2;      // no device with that number
inline constexpr int kAudioNoServer = 6;       // the sound service cannot be reached
inline constexpr int kAudioBadFormat = 32;     // the format is refused

// A buffer the caller owns and lends to a device. `done` is set by the device (from any
// thread) when it has finished with the buffer; the caller clears it before queuing again.
struct AudioBuffer {
    std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    std::atomic<bool> done{false};
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;  // closes the device if still open
    // Queues a buffer at the end of the device's queue. Recording fills queued buffers in order
    // and sets `done` on each full one; with no buffer queued, recorded sound is dropped.
    virtual int addBuffer(AudioBuffer& buffer) = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    // Stops and hands every queued buffer back (marked done, possibly partly filled).
    virtual int reset() = 0;
    virtual int close() = 0;
};

class PlaybackDevice {
public:
    virtual ~PlaybackDevice() = default;  // closes the device if still open
    // Queues a buffer behind those already queued. The device reads the data until it calls the
    // done callback for that buffer; the caller must not touch it in between.
    virtual int write(AudioBuffer& buffer) = 0;
    // Closes; the buffers still queued are dropped without a callback.
    virtual int close() = 0;
};

class AudioSystem {
public:
    virtual ~AudioSystem() = default;
    // Opens capture device `device` (kDefaultCaptureDevice or a number from the endpoint
    // listing). Null and a non-zero `error` on failure.
    virtual std::unique_ptr<CaptureDevice> openCapture(int device, int& error) = 0;
    // Opens the default output. `onBufferDone` runs on a device thread once per returned buffer,
    // in queue order. Null and a non-zero `error` on failure.
    virtual std::unique_ptr<PlaybackDevice> openPlayback(std::function<void()> onBufferDone,
                                                         int& error) = 0;
};

// The host's sound service.
AudioSystem& hostAudio();

}  // namespace orvane::platform
