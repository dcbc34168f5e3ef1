#pragma once
// The capture device table (which microphone to record from) and the endpoint descriptions the
// parameters window shows for the current input and output.
#include <cstdint>

#include "audio/audio_ui.h"
#include "state/client_state.h"
#include "platform/audio_endpoints.h"

namespace orvane::audio {

inline constexpr std::int32_t kStatusOk = 0;
inline constexpr std::int32_t kStatusFail = static_cast<std::int32_t>(0x80004005u);

// What the endpoint queries return. Wide strings are NUL-terminated UTF-16.
struct EndpointDescription {
    char16_t friendlyName[256] = {};
    char16_t iconPath[260] = {};  // the icon location's part before its first comma
    std::int32_t iconNumber = 0;  // the part after it
};

// The k-th active capture endpoint; `out` is left untouched when there is no such endpoint.
// Returns k.
int describeCaptureEndpoint(platform::AudioEndpoints& endpoints, int k, EndpointDescription& out);
// The message shown when the default capture endpoint is not among the active ones.
inline constexpr char kNoDefaultInputText[] = "Impossible de trouver l'index du p\xC3\xA9riph\xC3\xA9rique !";
inline constexpr char kNoDefaultInputCaption[] = "Error";

// The default capture endpoint, found among the active ones by identifier (the last match
// wins). Returns its index, or -1 after the message kNoDefaultInputText when none matches.
int describeDefaultInput(platform::AudioEndpoints& endpoints, AudioUi& ui, EndpointDescription& out);
// The same without the message, for a caller that must show it elsewhere (not from inside a
// paint): -1 with `unmatched` set when no active endpoint matches; -1 with `unmatched` clear
// when the service cannot be asked (the outputs are then left as they were).
int findDefaultInput(platform::AudioEndpoints& endpoints, EndpointDescription& out, bool& unmatched);
// The default output endpoint. Writes "Endpoint friendly name: <name>" to standard output.
// kStatusFail when it cannot be read or its icon location has no comma (then also writes
// "Virgule non trouvée dans la chaîne."). Both lines in UTF-8.
std::int32_t describeDefaultOutput(platform::AudioEndpoints& endpoints, EndpointDescription& out);

// A short device name matches a friendly name when the shorter of the two is a prefix of the
// other (device names may be cut short). An empty name matches nothing.
bool deviceNamesMatch(const char16_t* friendlyName, const char16_t* deviceName);

// Fills captureDeviceTable for the capture devices (at most 15): device number and name, then
// the matching endpoint's index, friendly name and icon path, or endpoint -1 and the display
// name "Non trouvée". Entries beyond the devices present go back to their start-up values.
// Nothing changes when the devices cannot be listed.
void fillCaptureDeviceTable(ClientState& state, platform::AudioEndpoints& endpoints);

// The input device window's choice of entry `entry`: captureDeviceId becomes that entry's device
// number (-1, the default device, for an entry without a device). Entries beyond the table are
// ignored.
void chooseCaptureDevice(ClientState& state, int entry);

// The same on the host's endpoints.
int describeCaptureEndpoint(int k, EndpointDescription& out);
int describeDefaultInput(AudioUi& ui, EndpointDescription& out);
std::int32_t describeDefaultOutput(EndpointDescription& out);
void fillCaptureDeviceTable(ClientState& state);

}  // namespace orvane::audio
