#include "platform/linux/pulse_devices.h"

namespace orvane::platform {

namespace {
class PulseAudioSystem final : public AudioSystem {
public:
    std::unique_ptr<CaptureDevice> openCapture(int device, int& error) override {
        return pulse::openCaptureDevice(device, error);
    }
    std::unique_ptr<PlaybackDevice> openPlayback(std::function<void()> onBufferDone, int& error) override {
        return pulse::openPlaybackDevice(std::move(onBufferDone), error);
    }
};
}  // namespace

AudioSystem& hostAudio() {
    static PulseAudioSystem system;
    return system;
}

}  // namespace orvane::platform
