#pragma once
// Master volumes of the system's default microphone and speaker as scalars 0..1. Orvane never
// scales samples itself: its "MIC GAIN" and "VOLUME" knobs act on these.
#include "platform/audio_endpoints.h"

namespace orvane::audio {

// 0.0 when the volume cannot be read.
float readMicVolume(platform::AudioEndpoints& endpoints);
// The same, saying whether the read succeeded (`scalar` is 0.0 when it did not).
bool readMicVolume(platform::AudioEndpoints& endpoints, float& scalar);
float readSpeakerVolume(platform::AudioEndpoints& endpoints);
// No effect when the volume cannot be set (also for a value outside 0..1).
void setMicVolume(platform::AudioEndpoints& endpoints, float scalar);
void setSpeakerVolume(platform::AudioEndpoints& endpoints, float scalar);

// The same on the host's endpoints.
float readMicVolume();
bool readMicVolume(float& scalar);
float readSpeakerVolume();
void setMicVolume(float scalar);
void setSpeakerVolume(float scalar);

}  // namespace orvane::audio
