// The Core Audio endpoints against an enumerator of the test's own: which default endpoint each
// query asks for, and what the endpoint's properties become.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <functiondiscoverykeys_devpkey.h>

#include <string>
#include <vector>

#include "platform/win32/core_audio_endpoints.h"

namespace orvane::platform {
namespace {

// A COM object of one interface, counted; the test keeps it alive on its stack.
template <class Interface>
class Fake : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == __uuidof(IUnknown) || riid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 0;
};

wchar_t* coString(const std::wstring& s) {
    auto* p = static_cast<wchar_t*>(CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
    if (p != nullptr) std::wcscpy(p, s.c_str());
    return p;
}

class FakeProperties final : public Fake<IPropertyStore> {
public:
    FakeProperties(std::wstring name, std::wstring icon) : name_(std::move(name)), icon_(std::move(icon)) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* n) override {
        *n = 2;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* v) override {
        static constexpr GUID kIconGroup = {0x259abffc, 0x50a7, 0x47ce, {0xaf, 0x08, 0x68, 0xc9, 0xa7, 0xd7, 0x33, 0x66}};
        PropVariantInit(v);
        const std::wstring* text = nullptr;
        if (key.fmtid == PKEY_Device_FriendlyName.fmtid && key.pid == PKEY_Device_FriendlyName.pid) text = &name_;
        if (key.fmtid == kIconGroup && key.pid == 12) text = &icon_;
        if (text == nullptr) return S_OK;  // VT_EMPTY: no such property
        v->vt = VT_LPWSTR;
        v->pwszVal = coString(*text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }

private:
    std::wstring name_, icon_;
};

class FakeDevice final : public Fake<IMMDevice> {
public:
    FakeDevice(std::wstring id, std::wstring name, std::wstring icon) : id_(std::move(id)), properties_(name, icon) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID riid, DWORD, PROPVARIANT*, void** out) override {
        activated.push_back(riid == __uuidof(IAudioEndpointVolume) ? "volume" : "other");
        *out = nullptr;
        return E_NOINTERFACE;  // the test looks only at which endpoint was asked
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** out) override {
        properties_.AddRef();
        *out = &properties_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
        *out = coString(id_);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* state) override {
        *state = DEVICE_STATE_ACTIVE;
        return S_OK;
    }
    std::vector<std::string> activated;

private:
    std::wstring id_;
    FakeProperties properties_;
};

// Each flow has one default endpoint per role: the console's and the multimedia one differ.
class FakeEnumerator final : public Fake<IMMDeviceEnumerator> {
public:
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** out) override {
        asked.push_back(std::string(flow == eCapture ? "capture " : "render ") +
                        (role == eConsole ? "console" : role == eMultimedia ? "multimedia" : "communications"));
        FakeDevice* d = nullptr;
        if (role == eConsole) d = flow == eCapture ? &consoleMic : &consoleSpeakers;
        if (role == eMultimedia) d = flow == eCapture ? &multimediaMic : &multimediaSpeakers;
        if (d == nullptr) return E_FAIL;
        d->AddRef();
        *out = d;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override { return E_NOTIMPL; }

    std::vector<std::string> asked;
    FakeDevice consoleMic{L"{mic-console}", L"Micro du casque", L"%windir%\\system32\\mmres.dll,-3011"};
    FakeDevice multimediaMic{L"{mic-multimedia}", L"Microphone (R\u00e9altek)", L"%windir%\\system32\\mmres.dll,-3014"};
    FakeDevice consoleSpeakers{L"{out-console}", L"Casque", L"%windir%\\system32\\mmres.dll,-3015"};
    FakeDevice multimediaSpeakers{L"{out-multimedia}", L"Haut-parleurs", L"%windir%\\system32\\mmres.dll,-3010"};
};

// The descriptions the parameters window shows are the multimedia role's default endpoints;
// the master volumes the knobs move are the console's.
TEST(Win32AudioEndpoints, DescriptionsAskTheMultimediaRoleAndVolumesTheConsoleRole) {
    FakeEnumerator fake;
    std::unique_ptr<AudioEndpoints> endpoints = win32::makeCoreAudioEndpoints([&fake](IMMDeviceEnumerator** out) {
        fake.AddRef();
        *out = &fake;
        return S_OK;
    });
    EndpointInfo input, output;
    ASSERT_TRUE(endpoints->defaultEndpoint(EndpointFlow::Capture, input));
    ASSERT_TRUE(endpoints->defaultEndpoint(EndpointFlow::Render, output));
    EXPECT_EQ(input.id, "{mic-multimedia}");
    EXPECT_EQ(input.friendlyName, "Microphone (R\xC3\xA9" "altek)");
    EXPECT_EQ(input.iconLocation, "%windir%\\system32\\mmres.dll,-3014");
    EXPECT_EQ(output.id, "{out-multimedia}");
    EXPECT_EQ(output.friendlyName, "Haut-parleurs");

    float scalar = 0.0f;
    EXPECT_FALSE(endpoints->masterVolume(EndpointFlow::Capture, scalar));  // the fake has no volume
    EXPECT_FALSE(endpoints->setMasterVolume(EndpointFlow::Render, 0.5f));
    EXPECT_EQ(fake.asked, (std::vector<std::string>{"capture multimedia", "render multimedia", "capture console",
                                                    "render console"}));
    EXPECT_EQ(fake.consoleMic.activated, std::vector<std::string>{"volume"});
    EXPECT_EQ(fake.consoleSpeakers.activated, std::vector<std::string>{"volume"});

    // Every reference handed out came back.
    EXPECT_EQ(fake.references, 0u);
    for (FakeDevice* d : {&fake.consoleMic, &fake.multimediaMic, &fake.consoleSpeakers, &fake.multimediaSpeakers})
        EXPECT_EQ(d->references, 0u);
}

}  // namespace
}  // namespace orvane::platform
