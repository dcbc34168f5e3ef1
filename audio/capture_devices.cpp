#include "audio/capture_devices.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/text.h"

namespace orvane::audio {

namespace {

constexpr char16_t kNotFound[] = u"Non trouv\u00e9e";
constexpr char16_t kUnknownDevice[] = u"Windows Driver";  // an entry without a device

template <std::size_t N>
void copyWide(char16_t (&field)[N], std::u16string_view text) {
    std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n * sizeof(char16_t));
    field[n] = u'\0';
}

template <std::size_t N>
std::u16string_view view(const char16_t (&field)[N]) {
    return {field, base::u16Length(field, N)};
}

// Splits "path,number" at its first comma. False, with the path not set and number 0, when
// there is no comma.
bool splitIconLocation(const std::string& location, EndpointDescription& out) {
    std::size_t comma = location.find(',');
    if (comma == std::string::npos) {
        out.iconNumber = 0;
        return false;
    }
    copyWide(out.iconPath, base::utf8ToUtf16(location.substr(0, comma)));
    std::string number = location.substr(comma + 1, 10);
    out.iconNumber = std::atoi(number.c_str());
    return true;
}

}  // namespace

int describeCaptureEndpoint(platform::AudioEndpoints& endpoints, int k, EndpointDescription& out) {
    platform::EndpointInfo info;
    if (!endpoints.captureEndpoint(k, info)) return k;
    copyWide(out.friendlyName, base::utf8ToUtf16(info.friendlyName));
    splitIconLocation(info.iconLocation, out);
    return k;
}

int findDefaultInput(platform::AudioEndpoints& endpoints, EndpointDescription& out, bool& unmatched) {
    unmatched = false;
    platform::EndpointInfo def;
    if (!endpoints.defaultEndpoint(platform::EndpointFlow::Capture, def)) return -1;  // outputs stay as they were
    int found = -1;
    const int count = endpoints.captureEndpointCount();
    for (int k = 0; k < count; ++k) {
        platform::EndpointInfo info;
        if (endpoints.captureEndpoint(k, info) && info.id == def.id) found = k;
    }
    if (found < 0) {
        unmatched = true;
        return -1;
    }
    return describeCaptureEndpoint(endpoints, found, out);
}

int describeDefaultInput(platform::AudioEndpoints& endpoints, AudioUi& ui, EndpointDescription& out) {
    bool unmatched = false;
    const int found = findDefaultInput(endpoints, out, unmatched);
    if (unmatched) ui.showMessage(kNoDefaultInputText, kNoDefaultInputCaption, platform::MessageIcon::Warning);
    return found;
}

std::int32_t describeDefaultOutput(platform::AudioEndpoints& endpoints, EndpointDescription& out) {
    platform::EndpointInfo info;
    if (!endpoints.defaultEndpoint(platform::EndpointFlow::Render, info)) return kStatusFail;
    copyWide(out.friendlyName, base::utf8ToUtf16(info.friendlyName));
    // Standard output carries UTF-8 only, like every other line the program writes there.
    std::printf("Endpoint friendly name: %s\n", info.friendlyName.c_str());
    if (!splitIconLocation(info.iconLocation, out)) {
        std::fputs("Virgule non trouv\xC3\xA9" "e dans la cha\xC3\xAEne.\n", stdout);
        std::fflush(stdout);
        return kStatusFail;
    }
    std::fflush(stdout);
    return kStatusOk;
}

bool deviceNamesMatch(const char16_t* friendlyName, const char16_t* deviceName) {
    std::size_t a = base::u16Length(friendlyName, 256);
    std::size_t b = base::u16Length(deviceName, 256);
    if (a == 0 || b == 0) return false;
    std::size_t n = a < b ? a : b;
    return std::memcmp(friendlyName, deviceName, n * sizeof(char16_t)) == 0;
}

void fillCaptureDeviceTable(ClientState& state, platform::AudioEndpoints& endpoints) {
    int count = endpoints.captureDeviceCount();
    if (count < 0) return;
    if (count > kCaptureDeviceSlots) count = kCaptureDeviceSlots;
    // Entries of devices that have gone since the last fill must not offer them any more:
    // choosing one would make the next capture open fail.
    for (int d = count; d < kCaptureDeviceSlots; ++d) {
        CaptureDeviceEntry& e = state.audio.captureDeviceTable[d];
        e.deviceNumber = -1;
        e.endpointIndex = -1;
        e.iconPath[0] = u'\0';
        copyWide(e.displayName, kUnknownDevice);
        copyWide(e.deviceName, kUnknownDevice);
    }
    for (int d = 0; d < count; ++d) {
        CaptureDeviceEntry& e = state.audio.captureDeviceTable[d];
        std::string name;
        endpoints.captureDeviceName(d, name);
        copyWide(e.deviceName, base::utf8ToUtf16(name));
        e.deviceNumber = d;
    }
    for (int d = 0; d < count; ++d) {
        CaptureDeviceEntry& e = state.audio.captureDeviceTable[d];
        e.endpointIndex = -1;
        copyWide(e.displayName, kNotFound);
        for (int k = 0; k < kCaptureDeviceSlots; ++k) {
            EndpointDescription found;  // empty each time: an unset name must not match
            describeCaptureEndpoint(endpoints, k, found);
            if (deviceNamesMatch(found.friendlyName, e.deviceName)) {
                e.endpointIndex = k;
                copyWide(e.displayName, view(found.friendlyName));
                copyWide(e.iconPath, view(found.iconPath));
                break;
            }
        }
    }
}

void chooseCaptureDevice(ClientState& state, int entry) {
    if (entry < 0 || entry >= kCaptureDeviceSlots) return;
    state.audio.captureDeviceId = state.audio.captureDeviceTable[entry].deviceNumber;
}

int describeCaptureEndpoint(int k, EndpointDescription& out) {
    return describeCaptureEndpoint(platform::hostAudioEndpoints(), k, out);
}
int describeDefaultInput(AudioUi& ui, EndpointDescription& out) {
    return describeDefaultInput(platform::hostAudioEndpoints(), ui, out);
}
std::int32_t describeDefaultOutput(EndpointDescription& out) {
    return describeDefaultOutput(platform::hostAudioEndpoints(), out);
}
void fillCaptureDeviceTable(ClientState& state) { fillCaptureDeviceTable(state, platform::hostAudioEndpoints()); }

}  // namespace orvane::audio
