// Endpoints on PulseAudio: capture devices and capture endpoints are both the sources that are
// not monitors of a sink, so a device number and an endpoint index name the same source. The
// friendly name is the description; the icon location is "<device.icon_name>,0" (a themed
// icon name where a resource file would be), empty when the device has no icon name.
//
// The default input follows the same rule as the list: a monitor is no input device. When the
// server's default source is a monitor (a machine without a microphone), there is no default
// input, as a system without a capture device has no default capture endpoint: the query
// fails, and so do the input's volume read and write, rather than offer a device that no list
// holds (the parameters window would otherwise warn on every paint that it cannot find it).
#include <cmath>

#include "platform/audio_endpoints.h"
#include "platform/linux/pulse_connection.h"

namespace orvane::platform {

namespace {

using pulse::Connection;
using pulse::DeviceInfo;
using pulse::MainLoopLock;

const char* defaultName(EndpointFlow flow) {
    return flow == EndpointFlow::Capture ? "@DEFAULT_SOURCE@" : "@DEFAULT_SINK@";
}

// A monitor is never taken for an input.
bool readDevice(pa_context* c, EndpointFlow flow, const char* name, DeviceInfo& d) {
    if (flow == EndpointFlow::Render) return pulse::sinkByName(c, name, d);
    return pulse::sourceByName(c, name, d) && !d.monitor;
}

EndpointInfo toEndpoint(const DeviceInfo& d) {
    EndpointInfo e;
    e.id = d.name;
    e.friendlyName = d.description;
    if (!d.iconName.empty()) e.iconLocation = d.iconName + ",0";
    return e;
}

class PulseEndpoints final : public AudioEndpoints {
public:
    bool masterVolume(EndpointFlow flow, float& scalar) override {
        MainLoopLock hold;
        pa_context* c = Connection::instance().readyContext();
        DeviceInfo d;
        if (c == nullptr || !readDevice(c, flow, defaultName(flow), d)) return false;
        scalar = static_cast<float>(d.volume) / static_cast<float>(PA_VOLUME_NORM);
        return true;
    }

    bool setMasterVolume(EndpointFlow flow, float scalar) override {
        if (!(scalar >= 0.0f && scalar <= 1.0f)) return false;  // also refuses NaN
        MainLoopLock hold;
        Connection& conn = Connection::instance();
        pa_context* c = conn.readyContext();
        DeviceInfo d;
        if (c == nullptr || !readDevice(c, flow, defaultName(flow), d) || d.channels <= 0) return false;
        pa_cvolume volume;
        auto level = static_cast<pa_volume_t>(std::lround(scalar * static_cast<float>(PA_VOLUME_NORM)));
        pa_cvolume_set(&volume, static_cast<unsigned>(d.channels), level);
        int success = 0;
        pa_operation* op =
            flow == EndpointFlow::Capture
                ? pa_context_set_source_volume_by_name(c, d.name.c_str(), &volume, onSuccess, &success)
                : pa_context_set_sink_volume_by_name(c, d.name.c_str(), &volume, onSuccess, &success);
        return conn.finish(op) && success != 0;
    }

    int captureDeviceCount() override { return captureEndpointCount(); }

    bool captureDeviceName(int device, std::string& name) override {
        EndpointInfo e;
        if (!captureEndpoint(device, e)) return false;
        name = e.friendlyName;
        return true;
    }

    int captureEndpointCount() override {
        MainLoopLock hold;
        pa_context* c = Connection::instance().readyContext();
        std::vector<DeviceInfo> sources;
        if (c == nullptr || !pulse::listCaptureSources(c, sources)) return -1;
        return static_cast<int>(sources.size());
    }

    bool captureEndpoint(int index, EndpointInfo& info) override {
        MainLoopLock hold;
        pa_context* c = Connection::instance().readyContext();
        std::vector<DeviceInfo> sources;
        if (c == nullptr || !pulse::listCaptureSources(c, sources)) return false;
        if (index < 0 || index >= static_cast<int>(sources.size())) return false;
        info = toEndpoint(sources[static_cast<std::size_t>(index)]);
        return true;
    }

    bool defaultEndpoint(EndpointFlow flow, EndpointInfo& info) override {
        MainLoopLock hold;
        pa_context* c = Connection::instance().readyContext();
        std::string name;
        DeviceInfo d;
        if (c == nullptr || !pulse::defaultDeviceName(c, flow == EndpointFlow::Capture, name) ||
            !readDevice(c, flow, name.c_str(), d))
            return false;
        info = toEndpoint(d);
        return true;
    }

private:
    static void onSuccess(pa_context*, int success, void* result) {
        *static_cast<int*>(result) = success;
        Connection::instance().signal();
    }
};

}  // namespace

AudioEndpoints& hostAudioEndpoints() {
    static PulseEndpoints endpoints;
    return endpoints;
}

}  // namespace orvane::platform
