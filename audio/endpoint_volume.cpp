#include "audio/endpoint_volume.h"

namespace orvane::audio {

using platform::EndpointFlow;

namespace {
bool readVolume(platform::AudioEndpoints& endpoints, EndpointFlow flow, float& scalar) {
    scalar = 0.0f;
    if (endpoints.masterVolume(flow, scalar)) return true;
    scalar = 0.0f;
    return false;
}
float readVolume(platform::AudioEndpoints& endpoints, EndpointFlow flow) {
    float scalar = 0.0f;
    readVolume(endpoints, flow, scalar);
    return scalar;
}
}  // namespace

float readMicVolume(platform::AudioEndpoints& e) { return readVolume(e, EndpointFlow::Capture); }
bool readMicVolume(platform::AudioEndpoints& e, float& scalar) { return readVolume(e, EndpointFlow::Capture, scalar); }
float readSpeakerVolume(platform::AudioEndpoints& e) { return readVolume(e, EndpointFlow::Render); }
void setMicVolume(platform::AudioEndpoints& e, float scalar) { e.setMasterVolume(EndpointFlow::Capture, scalar); }
void setSpeakerVolume(platform::AudioEndpoints& e, float scalar) { e.setMasterVolume(EndpointFlow::Render, scalar); }

float readMicVolume() { return readMicVolume(platform::hostAudioEndpoints()); }
bool readMicVolume(float& scalar) { return readMicVolume(platform::hostAudioEndpoints(), scalar); }
float readSpeakerVolume() { return readSpeakerVolume(platform::hostAudioEndpoints()); }
void setMicVolume(float scalar) { setMicVolume(platform::hostAudioEndpoints(), scalar); }
void setSpeakerVolume(float scalar) { setSpeakerVolume(platform::hostAudioEndpoints(), scalar); }

}  // namespace orvane::audio
