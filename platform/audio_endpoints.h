#pragma once
// The system's audio endpoints: master volumes of the default input and output, the capture
// devices by number, and the active capture endpoints with the names and icons the user knows
// them by. Capture device numbers and capture endpoint indexes both count the same list of
// active capture devices, in the system's order.
#include <string>

namespace orvane::platform {

enum class EndpointFlow { Capture, Render };

struct EndpointInfo {
    std::string id;            // stable identifier, compared to find the default endpoint
    std::string friendlyName;  // UTF-8
    // "file,number" like an icon resource location; empty when the endpoint has no icon.
    std::string iconLocation;
};

class AudioEndpoints {
public:
    virtual ~AudioEndpoints() = default;

    // Master volume of the default endpoint as a scalar 0..1. False on any failure.
    virtual bool masterVolume(EndpointFlow flow, float& scalar) = 0;
    virtual bool setMasterVolume(EndpointFlow flow, float scalar) = 0;

    // Number of capture devices, -1 when the service cannot be reached.
    virtual int captureDeviceCount() = 0;
    // The short device name of capture device `device` (UTF-8). False when out of range.
    virtual bool captureDeviceName(int device, std::string& name) = 0;

    // Number of active capture endpoints, -1 when the service cannot be reached.
    virtual int captureEndpointCount() = 0;
    // Active capture endpoint `index`. False when out of range or on failure.
    virtual bool captureEndpoint(int index, EndpointInfo& info) = 0;
    // The default endpoint of a flow. False on failure.
    virtual bool defaultEndpoint(EndpointFlow flow, EndpointInfo& info) = 0;
};

// The host's endpoints.
AudioEndpoints& hostAudioEndpoints();

}  // namespace orvane::platform
