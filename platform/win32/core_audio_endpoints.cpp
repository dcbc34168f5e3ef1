// Audio endpoints on Core Audio (IMMDeviceEnumerator, IMMDevice, IPropertyStore,
// IAudioEndpointVolume) and the waveIn capabilities for the capture devices by number.
#include <initguid.h>
#include <windows.h>
#include <mmsystem.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <functiondiscoverykeys_devpkey.h>

#include <utility>

#include "platform/audio_endpoints.h"
#include "platform/win32/core_audio_endpoints.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

using win32::narrow;

// The endpoint's icon location ("file,-number"); not every SDK's headers name it.
constexpr PROPERTYKEY kIconPathKey = {{0x259abffc, 0x50a7, 0x47ce, {0xaf, 0x08, 0x68, 0xc9, 0xa7, 0xd7, 0x33, 0x66}}, 12};

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// COM for the calling thread, for the length of one call (the threads that ask are the
// program's own and may not have COM initialised).
struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

HRESULT systemEnumerator(IMMDeviceEnumerator** out) {
    return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(out));
}

std::string stringProperty(IPropertyStore* store, const PROPERTYKEY& key) {
    PROPVARIANT v;
    PropVariantInit(&v);
    std::string out;
    if (SUCCEEDED(store->GetValue(key, &v)) && v.vt == VT_LPWSTR && v.pwszVal != nullptr) out = narrow(v.pwszVal);
    PropVariantClear(&v);
    return out;
}

bool describe(IMMDevice* device, EndpointInfo& info) {
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id))) return false;
    info.id = narrow(id);
    CoTaskMemFree(id);
    ComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, store.put()))) return false;
    info.friendlyName = stringProperty(store.p, PKEY_Device_FriendlyName);
    info.iconLocation = stringProperty(store.p, kIconPathKey);
    return true;
}

class CoreAudioEndpoints final : public AudioEndpoints {
public:
    explicit CoreAudioEndpoints(win32::EnumeratorFactory factory) : factory_(std::move(factory)) {}

    bool masterVolume(EndpointFlow flow, float& scalar) override {
        ComScope com;
        ComPtr<IAudioEndpointVolume> v;
        return endpointVolume(flow, v) && SUCCEEDED(v->GetMasterVolumeLevelScalar(&scalar));
    }
    bool setMasterVolume(EndpointFlow flow, float scalar) override {
        ComScope com;
        ComPtr<IAudioEndpointVolume> v;
        if (scalar < 0.0f) scalar = 0.0f;
        if (scalar > 1.0f) scalar = 1.0f;
        return endpointVolume(flow, v) && SUCCEEDED(v->SetMasterVolumeLevelScalar(scalar, nullptr));
    }

    int captureDeviceCount() override { return static_cast<int>(waveInGetNumDevs()); }
    bool captureDeviceName(int device, std::string& name) override {
        if (device < 0 || device >= captureDeviceCount()) return false;
        WAVEINCAPSW caps{};
        if (waveInGetDevCapsW(static_cast<UINT_PTR>(device), &caps, sizeof caps) != MMSYSERR_NOERROR) return false;
        name = narrow(caps.szPname);
        return true;
    }

    int captureEndpointCount() override {
        ComScope com;
        ComPtr<IMMDeviceCollection> c;
        UINT n = 0;
        if (!activeCaptures(c) || FAILED(c->GetCount(&n))) return -1;
        return static_cast<int>(n);
    }
    bool captureEndpoint(int index, EndpointInfo& info) override {
        ComScope com;
        ComPtr<IMMDeviceCollection> c;
        UINT n = 0;
        if (index < 0 || !activeCaptures(c) || FAILED(c->GetCount(&n)) || static_cast<UINT>(index) >= n) return false;
        ComPtr<IMMDevice> d;
        return SUCCEEDED(c->Item(static_cast<UINT>(index), d.put())) && describe(d.p, info);
    }
    // The default endpoint the user hears and records through: the one for multimedia.
    bool defaultEndpoint(EndpointFlow flow, EndpointInfo& info) override {
        ComScope com;
        ComPtr<IMMDevice> d;
        return defaultDevice(flow, eMultimedia, d) && describe(d.p, info);
    }

private:
    bool enumerator(ComPtr<IMMDeviceEnumerator>& out) { return factory_ && SUCCEEDED(factory_(out.put())) && out; }

    bool defaultDevice(EndpointFlow flow, ERole role, ComPtr<IMMDevice>& out) {
        ComPtr<IMMDeviceEnumerator> e;
        if (!enumerator(e)) return false;
        return SUCCEEDED(e->GetDefaultAudioEndpoint(flow == EndpointFlow::Capture ? eCapture : eRender, role, out.put()));
    }

    // The master volumes are those of the console's default endpoints, as the system's own
    // volume control shows them.
    bool endpointVolume(EndpointFlow flow, ComPtr<IAudioEndpointVolume>& out) {
        ComPtr<IMMDevice> d;
        if (!defaultDevice(flow, eConsole, d)) return false;
        return SUCCEEDED(d->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                     reinterpret_cast<void**>(out.put())));
    }

    bool activeCaptures(ComPtr<IMMDeviceCollection>& out) {
        ComPtr<IMMDeviceEnumerator> e;
        return enumerator(e) && SUCCEEDED(e->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, out.put()));
    }

    win32::EnumeratorFactory factory_;
};

}  // namespace

namespace win32 {
std::unique_ptr<AudioEndpoints> makeCoreAudioEndpoints(EnumeratorFactory factory) {
    return std::make_unique<CoreAudioEndpoints>(std::move(factory));
}
}  // namespace win32

AudioEndpoints& hostAudioEndpoints() {
    static CoreAudioEndpoints endpoints(systemEnumerator);
    return endpoints;
}

}  // namespace orvane::platform
