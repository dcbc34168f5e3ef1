#include "audio/audio_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "audio/playback_meter.h"

namespace orvane::audio {

namespace {
void* zeroedAllocate(std::size_t bytes) { return std::calloc(1, bytes); }
constexpr int kOutputBufferMs = kPlayGroupBytes * 1000 / platform::kAudioBytesPerSecond;  // 125
}  // namespace

// The two output buffers and their data, one allocation per playback mode.
struct AudioEngine::OutputBlock {
    platform::AudioBuffer headers[kOutputBuffers];
    std::uint8_t data[kOutputBuffers][kPlayGroupBytes];
};

AudioEngine::AudioEngine(ClientState& state, platform::AudioSystem& devices, platform::Clock& clock,
                         AudioUi& ui, FrameSink sink)
    : state_(state), devices_(devices), clock_(clock), ui_(ui), sink_(std::move(sink)),
      memory_{zeroedAllocate, std::free} {}

AudioEngine::~AudioEngine() {
    if (output_) output_->close();
    if (outputBlock_ != nullptr) {
        outputBlock_->~OutputBlock();
        memory_.release(outputBlock_);
    }
    if (input_) input_->close();
    releaseCaptureBuffers();
}

bool AudioEngine::shuttingDown() const { return state_.audio.audioRunFlag == 0; }

bool AudioEngine::keepGoing() const {
    return !state_.isTransmitting() && state_.audio.audioRunFlag != 0;
}

int AudioEngine::run() {
    // audioRunFlag was raised by whoever started the thread: a shutdown that came before this
    // line must still be seen, so the thread never raises it itself.
    for (;;) {
        if (!playbackMode()) return 0;
        // Capture follows every playback mode, also when shutdown ended it.
        if (!captureMode()) return 0;
        if (state_.audio.audioRunFlag != 1) break;
    }
    state_.audio.audioRunFlag = 99;
    return 0;
}

void AudioEngine::failDevice(int error, const char* secondText) {
    char first[512];
    std::snprintf(first, sizeof first, kSystemErrorFormat, error);
    ui_.showMessage(first, kSystemErrorCaption, platform::MessageIcon::None);
    ui_.showMessage(secondText, kFailureCaption, platform::MessageIcon::None);
    ui_.exitProcess(1);
    ended_ = true;
}

// ---- playback ----

bool AudioEngine::playbackMode() {
    if (!startPlayback()) return !ended_;
    while (keepGoing()) playbackCycle();
    endPlayback();
    return true;
}

bool AudioEngine::startPlayback() {
    void* memory = memory_.allocate(sizeof(OutputBlock));
    if (memory == nullptr) {
        ui_.exitProcess(1);  // no message: there is nothing to say it with that is not memory
        ended_ = true;
        return false;
    }
    outputBlock_ = new (memory) OutputBlock();
    for (int i = 0; i < kOutputBuffers; ++i) {
        outputBlock_->headers[i].data = outputBlock_->data[i];
        outputBlock_->headers[i].length = kPlayGroupBytes;
    }
    freeBuffers_ = kOutputBuffers;
    bufferReturned_.take();  // a signal left from the last playback mode says nothing now
    currentOutput_ = 0;
    int error = 0;
    output_ = devices_.openPlayback([this] { onBufferDone(); }, error);
    if (!output_) {
        outputBlock_->~OutputBlock();
        memory_.release(outputBlock_);
        outputBlock_ = nullptr;
        if (!shuttingDown()) failDevice(error, kPlaybackFailureText);
        return false;
    }
    return true;
}

void AudioEngine::onBufferDone() {
    {
        std::lock_guard<std::mutex> hold(outputLock_);
        freeBuffers_.fetch_add(1, std::memory_order_relaxed);
    }
    bufferReturned_.signal();
}

void AudioEngine::waitForFreeBuffers(std::int32_t atLeast) {
    // The count is looked at after every wake-up: a signal may be left from a buffer that came
    // back before the wait began, and a wait that reaches its bound just looks again.
    while (freeBuffers_.load(std::memory_order_relaxed) < atLeast) clock_.waitMs(bufferReturned_, kReturnWaitBoundMs);
}

void AudioEngine::playbackCycle() {
    StatusLamps& lamps = state_.lamps;
    lamps.rxChaserIndex = chaserPos_;
    lamps.chaserLeds[chaserPos_] = kLampBlue;

    platform::AudioBuffer& buffer = outputBlock_->headers[currentOutput_];
    std::uint8_t* group = outputBlock_->data[currentOutput_];
    drainJitterRing(state_, group);

    chaserPos_ = (chaserPos_ + 1) % kChaserLedCount;
    lamps.chaserLeds[chaserPos_] = kLampRed;

    buffer.length = kPlayGroupBytes;
    buffer.done = false;
    if (output_->write(buffer) == platform::kAudioOk) {
        {
            std::lock_guard<std::mutex> hold(outputLock_);
            freeBuffers_.fetch_sub(1, std::memory_order_relaxed);
        }
        waitForFreeBuffers(1);
    } else {
        // A device that refuses a buffer will not return it: keep the pace of one group per
        // 125 ms instead of waiting for it forever or spinning.
        clock_.sleepMs(kOutputBufferMs);
    }
    currentOutput_ = (currentOutput_ + 1) % kOutputBuffers;
    applyPlaybackMeter(state_, group);
}

void AudioEngine::endPlayback() {
    waitForFreeBuffers(kOutputBuffers);
    output_->close();
    output_.reset();
    outputBlock_->~OutputBlock();
    memory_.release(outputBlock_);
    outputBlock_ = nullptr;
}

// ---- capture ----

bool AudioEngine::captureMode() {
    if (!openCapture()) return !ended_;
    captureLoop();
    closeCapture();
    state_.lamps.lampTxRx = kLampBlue;
    return true;
}

bool AudioEngine::openCapture() {
    int error = 0;
    input_ = devices_.openCapture(state_.audio.captureDeviceId, error);
    if (!input_) {
        // The one open that follows a shutdown (no microphone, or the sound server already
        // gone) must not turn a normal close into exit code 1: the program is ending anyway.
        if (!shuttingDown()) failDevice(error, kCaptureFailureText);
        return false;
    }
    captureStarted_ = false;
    for (platform::AudioBuffer& b : captureBuffers_) {
        b.data = static_cast<std::uint8_t*>(memory_.allocate(kAudioBlockBytes));
        if (b.data == nullptr) {
            // Never record into a missing buffer: this press sends nothing and playback
            // resumes when the key is released.
            releaseCaptureBuffers();
            return true;
        }
    }
    // Queued starting from the buffer the loop expects first: the ring index carries over from
    // the last capture, and the blocks must still go out in the order they were recorded.
    for (int i = 0; i < kCaptureBuffers; ++i) {
        platform::AudioBuffer& b = captureBuffers_[(captureRing_ + i) % kCaptureBuffers];
        b.length = kAudioBlockBytes;
        b.done = false;
        input_->addBuffer(b);
    }
    input_->start();
    captureStarted_ = true;
    state_.lamps.lampTxRx = kLampRed;
    return true;
}

void AudioEngine::captureLoop() {
    if (!state_.isTransmitting()) return;
    do {
        if (state_.audio.audioRunFlag == 0) return;
        platform::AudioBuffer& b = captureBuffers_[captureRing_];
        if (captureStarted_ && b.done.load(std::memory_order_acquire)) {
            handOn(b.data);
            b.done = false;
            input_->addBuffer(b);
            captureRing_ = (captureRing_ + 1) % kCaptureBuffers;
        }
        clock_.sleepMs(kPollMs);
    } while (state_.isTransmitting());
}

void AudioEngine::handOn(const std::uint8_t* block) {
    if (state_.channel.channelPort == kCodecTrialPort) {
        if (codecTrialPass(state_, block, trial_) && sink_) sink_(trial_.work);
        return;
    }
    if (sink_) sink_(block);
}

void AudioEngine::closeCapture() {
    input_->stop();
    input_->reset();
    input_->close();
    input_.reset();
    releaseCaptureBuffers();
    captureStarted_ = false;
}

void AudioEngine::releaseCaptureBuffers() {
    for (platform::AudioBuffer& b : captureBuffers_) {
        if (b.data != nullptr) memory_.release(b.data);
        b.data = nullptr;
        b.done = false;
    }
}

// ---- the program's thread ----

int audioEngineThread(ClientState& state, FrameSink sink, AudioUi& ui) {
    AudioEngine engine(state, platform::hostAudio(), platform::systemClock(), ui, std::move(sink));
    return engine.run();
}

std::thread startAudioEngine(ClientState& state, FrameSink sink, AudioUi& ui, std::function<void()> ended) {
    state.audio.audioRunFlag = 1;
    return std::thread([&state, &ui, sink = std::move(sink), ended = std::move(ended)]() mutable {
        audioEngineThread(state, std::move(sink), ui);
        if (ended) ended();
    });
}

}  // namespace orvane::audio
