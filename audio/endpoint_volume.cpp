#include "audio/endpoint_volume.h"

namespace orvane::audio {

using platform::EndpointFlow;

namespace {
float readVolume(platform::AudioEndpoints& endpoints, EndpointFlow flow) {
    float scalar = 0.0f;
    return endpoints.masterVolume(flow, scalar) ? scalar : 0.0f;
}
}  // namespace

float readMicVolume(platform::AudioEndpoints& e) { return readVolume(e, EndpointFlow::Capture); }
float readSpeakerVolume(platform::AudioEndpoints& e) { return readVolume(e, EndpointFlow::Render); }
void setMicVolume(platform::AudioEndpoints& e, float scalar) { e.setMasterVolume(EndpointFlow::Capture, scalar); }
void setSpeakerVolume(platform::AudioEndpoints& e, float scalar) { e.setMasterVolume(EndpointFlow::Render, scalar); }

float readMicVolume() { return readMicVolume(platform::hostAudioEndpoints()); }
float readSpeakerVolume() { return readSpeakerVolume(platform::hostAudioEndpoints()); }
void setMicVolume(float scalar) { setMicVolume(platform::hostAudioEndpoints(), scalar); }
void setSpeakerVolume(float scalar) { setSpeakerVolume(platform::hostAudioEndpoints(), scalar); }

}  // namespace orvane::audio
