#pragma once
// The PulseAudio devices behind platform/audio_device.h.
#include "platform/audio_device.h"
#include "platform/linux/pulse_connection.h"

namespace orvane::platform::pulse {

std::unique_ptr<CaptureDevice> openCaptureDevice(int device, int& error);
std::unique_ptr<PlaybackDevice> openPlaybackDevice(std::function<void()> onBufferDone, int& error);

}  // namespace orvane::platform::pulse
