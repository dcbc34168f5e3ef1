#pragma once
// The audio engine: one thread that owns the sound devices for the life of the program and
// alternates between playback (while transmitFlag is 0) and capture (while it is 1). The two
// devices are never open at the same time.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/audio_ui.h"
#include "audio/codec_pair.h"
#include "audio/jitter_drain.h"
#include "state/client_state.h"
#include "platform/audio_device.h"
#include "platform/clock.h"
#include "platform/wake_event.h"

namespace orvane::audio {

// Receives each captured 1000-byte block on the engine thread; the block may be reused as soon
// as it returns. The program binds it to net::sendAudioFrame.
using FrameSink = std::function<void(const std::uint8_t* frame)>;

inline constexpr int kCaptureBuffers = 3;
inline constexpr int kOutputBuffers = 2;
inline constexpr int kPollMs = 10;
// Playback waits for a returned buffer on the device's done notification, not by looking every
// kPollMs. A normal wait ends within one buffer's time (125 ms: one buffer is always playing);
// the bound only keeps a notification that never came from stopping playback for good.
inline constexpr int kReturnWaitBoundMs = 150;

// The failure texts shown before the process ends (UTF-8).
inline constexpr char kSystemErrorFormat[] = "Windows semble avoir un probl\u00e8me syst\u00e8me !\nCode d'erreur : %d";
inline constexpr char kSystemErrorCaption[] = "Erreur Syst\u00e8me Windows";
inline constexpr char kCaptureFailureText[] =
    "Erreur d'ouverture du p\u00e9riph\u00e9rique d'enregistrement.\n"
    "Le driver d'enregistrement est d\u00e9fectueux ou incompatible\n"
    "Orvane ne pourra fonctionner qu'en mode \u00e9coute.\n"
    "Le programme va s'arr\u00eat\u00e9 automatiquement.";
inline constexpr char kPlaybackFailureText[] =
    "Erreur d'ouverture du p\u00e9riph\u00e9rique de lecture.\n"
    "Le driver de lecture est d\u00e9fectueux ou incompatible\n"
    "Orvane ne pourra pas fonctionner en mode \u00e9coute.\n"
    "Le programme va s'arr\u00eat\u00e9 automatiquement.";
inline constexpr char kFailureCaption[] = "Identification du probl\u00e8me";

class AudioEngine {
public:
    // Memory for the output block and the capture buffers; replaceable so that tests can make
    // an allocation fail. The memory comes back zero-filled.
    struct Memory {
        void* (*allocate)(std::size_t bytes);
        void (*release)(void* p);
    };

    AudioEngine(ClientState& state, platform::AudioSystem& devices, platform::Clock& clock, AudioUi& ui,
                FrameSink sink);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    void setMemory(Memory memory) { memory_ = memory; }

    // The thread body: playback and capture in turn while audioRunFlag is 1, then
    // audioRunFlag 99. The caller raises the flag to 1 before the thread starts (a shutdown
    // that lowers it first is then always seen: one playback, one capture open and close,
    // 99). Returns 0. Returns early, leaving the flag, when the process was told to end.
    // A device that fails to open once audioRunFlag is 0 shows nothing and ends nothing: the
    // mode is skipped and the thread finishes as usual.
    int run();

    // One playback mode: returns once transmitFlag is not 0 or audioRunFlag is 0, with both
    // output buffers played out and the device closed. False when the process must end.
    bool playbackMode();
    // One capture mode: open, loop while transmitting, close. False when the process must end.
    bool captureMode();

    // Inspection for tests.
    int captureRingIndex() const { return captureRing_; }
    int playbackChaserPos() const { return chaserPos_; }

private:
    struct OutputBlock;

    bool startPlayback();
    void playbackCycle();
    void endPlayback();
    void onBufferDone();
    void waitForFreeBuffers(std::int32_t atLeast);

    bool openCapture();
    void captureLoop();
    void closeCapture();
    void handOn(const std::uint8_t* block);
    void releaseCaptureBuffers();

    void failDevice(int error, const char* secondText);
    bool shuttingDown() const;
    bool keepGoing() const;

    ClientState& state_;
    platform::AudioSystem& devices_;
    platform::Clock& clock_;
    AudioUi& ui_;
    FrameSink sink_;
    Memory memory_;
    bool ended_ = false;  // the process was told to end

    // Playback.
    std::unique_ptr<platform::PlaybackDevice> output_;
    OutputBlock* outputBlock_ = nullptr;
    std::mutex outputLock_;
    std::atomic<std::int32_t> freeBuffers_{0};
    platform::WakeEvent bufferReturned_;  // signalled by the done callback
    int currentOutput_ = 0;
    int chaserPos_ = 0;

    // Capture.
    std::unique_ptr<platform::CaptureDevice> input_;
    platform::AudioBuffer captureBuffers_[kCaptureBuffers];
    bool captureStarted_ = false;
    int captureRing_ = 0;
    CodecTrialBuffers trial_;
};

// The engine on the host's devices and clock, as the program's thread body. Returns 0.
int audioEngineThread(ClientState& state, FrameSink sink, AudioUi& ui);

// Raises audioRunFlag to 1, then starts audioEngineThread on a new thread, which runs `ended`
// (when given) once the engine has returned. Shutdown lowers the flag and waits for the thread
// only a bounded time (the thread sets 99 when it ends); what the thread uses (the state, the
// sink's targets, `ui`) must live until the process ends. The program and the tests both
// start the engine here.
std::thread startAudioEngine(ClientState& state, FrameSink sink, AudioUi& ui, std::function<void()> ended = {});

}  // namespace orvane::audio
