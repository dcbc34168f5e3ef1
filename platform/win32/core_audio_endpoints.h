#pragma once
// The Core Audio endpoints with the enumerator they ask made by the caller, so that what they
// ask of it can be checked.
#include <windows.h>
#include <mmdeviceapi.h>

#include <functional>
#include <memory>

#include "platform/audio_endpoints.h"

namespace orvane::platform::win32 {

// Makes a new enumerator (one reference for the caller) or fails.
using EnumeratorFactory = std::function<HRESULT(IMMDeviceEnumerator** out)>;

// The endpoints on the enumerators `factory` makes (hostAudioEndpoints() uses the system's).
std::unique_ptr<AudioEndpoints> makeCoreAudioEndpoints(EnumeratorFactory factory);

}  // namespace orvane::platform::win32
