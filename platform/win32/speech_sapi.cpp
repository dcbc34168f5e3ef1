// Speech on Windows: SAPI 5 for the voices (their tokens' attributes) and the synthesis into a
// memory stream, PlaySoundW for playing the WAV file, the wide file functions for the work
// files. COM is entered once by each thread that uses any of it.
#include <windows.h>
#include <objbase.h>
#include <sapi.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "base/wav.h"
#include "platform/speech_synth.h"
#include "platform/win32/speech_sapi.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace win32 {

std::string languageTagOfLcids(std::wstring_view attribute) {
    const std::size_t end = attribute.find(L';');
    std::wstring first(attribute.substr(0, end));
    while (!first.empty() && std::iswspace(first.back())) first.pop_back();
    std::size_t start = 0;
    while (start < first.size() && std::iswspace(first[start])) ++start;
    first.erase(0, start);
    if (first.empty() || first.size() > 8) return {};
    LCID lcid = 0;
    for (wchar_t c : first) {
        if (!std::iswxdigit(c)) return {};
        const unsigned digit = c <= L'9' ? static_cast<unsigned>(c - L'0') : static_cast<unsigned>(std::towlower(c) - L'a' + 10);
        lcid = (lcid << 4) | digit;
    }
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return {};
    return narrow(name);
}

}  // namespace win32

namespace {

// SPDFID_WaveFormatEx: the stream format "described by a WAVEFORMATEX".
constexpr GUID kWaveFormatExId = {0xC31ADBAE, 0x527F, 0x4FF5, {0xA2, 0x30, 0xF6, 0x2B, 0xB6, 0x1F, 0xF7, 0x0C}};

constexpr WORD kChannels = 1;
constexpr DWORD kRate = 22050;
constexpr WORD kBits = 16;

// COM for the calling thread, entered on first use and left when the thread ends. A thread
// that already lives in an apartment of the other kind (a window thread) keeps it: COM is
// usable there too.
bool comReady() {
    thread_local struct Apartment {
        HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ~Apartment() {
            if (SUCCEEDED(result)) CoUninitialize();
        }
    } apartment;
    return SUCCEEDED(apartment.result) || apartment.result == RPC_E_CHANGED_MODE;
}

// One reference to a COM object, released at the end of its scope.
template <class T>
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() { reset(); }
    void reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }
    T** out() {
        reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A string that COM allocated for us, freed at the end of its scope.
struct CoString {
    wchar_t* text = nullptr;
    ~CoString() { CoTaskMemFree(text); }
};

std::wstring backslashed(const std::string& path) {
    std::wstring wide = win32::widen(path);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return wide;
}

// The samples behind a RIFF header, "fmt " and "data" chunk, as a WAV file has them.
void wavHeader(std::vector<std::uint8_t>& w, const WAVEFORMATEX& f, std::uint32_t dataBytes) {
    base::WavFormat format;
    format.formatTag = f.wFormatTag;
    format.channels = f.nChannels;
    format.sampleRate = f.nSamplesPerSec;
    format.bitsPerSample = f.wBitsPerSample;
    base::appendWavHeader(w, format, dataBytes);
}

class SapiSynthesizer final : public SpeechSynthesizer {
public:
    bool create() {
        return comReady() && SUCCEEDED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, __uuidof(ISpVoice),
                                                        voice_.outVoid()));
    }

    bool voices(std::vector<VoiceInfo>& out) override {
        out.clear();
        return comReady() && win32::listVoices(win32::sapiVoiceTokens, out);
    }

    bool selectVoice(const VoiceInfo& voice) override {
        if (!comReady() || voice.name.empty()) return false;
        Com<ISpObjectToken> token;
        if (FAILED(CoCreateInstance(CLSID_SpObjectToken, nullptr, CLSCTX_ALL, __uuidof(ISpObjectToken), token.outVoid()))) {
            return false;
        }
        const std::wstring id = win32::widen(voice.name);
        return SUCCEEDED(token->SetId(nullptr, id.c_str(), FALSE)) && SUCCEEDED(voice_->SetVoice(token.get()));
    }

    bool synthesizeToWav(std::u16string_view text, std::vector<std::uint8_t>& wav) override {
        wav.clear();
        if (!comReady()) return false;
        Com<IStream> memory;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, memory.out()))) return false;
        Com<ISpStream> stream;
        if (FAILED(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, __uuidof(ISpStream), stream.outVoid()))) {
            return false;
        }
        const WAVEFORMATEX format = win32::synthesisFormat();
        if (FAILED(stream->SetBaseStream(memory.get(), kWaveFormatExId, &format))) return false;
        if (FAILED(voice_->SetOutput(stream.get(), TRUE))) return false;
        // Plain text, not markup, spoken to its end before Speak returns.
        const std::wstring spoken(text.begin(), text.end());
        if (FAILED(voice_->Speak(spoken.c_str(), SPF_DEFAULT | SPF_IS_NOT_XML, nullptr))) return false;
        return win32::wavFromStream(memory.get(), format, wav);
    }

private:
    Com<ISpVoice> voice_;
};

class Win32Speech final : public SpeechPlatform {
public:
    std::unique_ptr<SpeechSynthesizer> newSynthesizer() override {
        auto synthesizer = std::make_unique<SapiSynthesizer>();
        if (!synthesizer->create()) return nullptr;
        return synthesizer;
    }

    bool createFolder(const std::string& path) override {
        const std::wstring wide = backslashed(path);
        return !wide.empty() && CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
    }

    bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) override {
        const std::wstring wide = backslashed(path);
        if (wide.empty()) return false;
        // Never through a link or junction someone left under that name, never into a folder
        // or device: such a name is refused, and the link itself is what would be opened.
        const DWORD existing = GetFileAttributesW(wide.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES &&
            (existing & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            return false;
        }
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        BY_HANDLE_FILE_INFORMATION info{};
        bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                  (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        std::size_t done = 0;
        while (ok && done < size) {
            const DWORD chunk = size - done > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - done);
            DWORD written = 0;
            if (!WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) {
                ok = false;
                break;
            }
            done += written;
        }
        const bool closed = CloseHandle(file) != FALSE;
        return ok && done == size && closed;
    }

    bool playWavFile(const std::string& path) override {
        const std::wstring wide = backslashed(path);
        if (wide.empty() || GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
        // Synchronous: returns when the sound has ended. No default sound in place of a bad file.
        return PlaySoundW(wide.c_str(), nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT) != FALSE;
    }
};

}  // namespace

namespace win32 {

WAVEFORMATEX synthesisFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kChannels;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = kBits;
    format.nBlockAlign = static_cast<WORD>(kChannels * kBits / 8);
    format.nAvgBytesPerSec = kRate * format.nBlockAlign;
    return format;
}

bool wavFromStream(IStream* memory, const WAVEFORMATEX& format, std::vector<std::uint8_t>& wav) {
    wav.clear();
    STATSTG stat{};
    if (memory == nullptr || FAILED(memory->Stat(&stat, STATFLAG_NONAME))) return false;
    const ULONGLONG size = stat.cbSize.QuadPart;
    // A RIFF file counts its bytes in 32 bits.
    if (size > 0xFFFFFFFFull - 36) return false;
    const auto dataBytes = static_cast<std::uint32_t>(size);
    LARGE_INTEGER zero{};
    if (FAILED(memory->Seek(zero, STREAM_SEEK_SET, nullptr))) return false;
    wav.reserve(base::kWavHeaderBytes + static_cast<std::size_t>(dataBytes));
    wavHeader(wav, format, dataBytes);
    const std::size_t start = wav.size();
    wav.resize(start + dataBytes);
    std::size_t done = 0;
    while (done < dataBytes) {
        ULONG got = 0;
        const ULONG want = static_cast<ULONG>(dataBytes - done > 0x100000 ? 0x100000 : dataBytes - done);
        if (FAILED(memory->Read(wav.data() + start + done, want, &got)) || got == 0) {
            wav.clear();
            return false;
        }
        done += got;
    }
    return true;
}

bool sapiVoiceTokens(const wchar_t* categoryId, std::vector<VoiceToken>& out) {
    out.clear();
    if (!comReady()) return false;
    Com<ISpObjectTokenCategory> category;
    if (FAILED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, __uuidof(ISpObjectTokenCategory),
                                category.outVoid())) ||
        FAILED(category->SetId(categoryId, FALSE))) {
        return false;
    }
    Com<IEnumSpObjectTokens> tokens;
    if (FAILED(category->EnumTokens(nullptr, nullptr, tokens.out())) || !tokens) return false;
    for (;;) {
        Com<ISpObjectToken> token;
        ULONG fetched = 0;
        if (tokens->Next(1, token.out(), &fetched) != S_OK || fetched != 1 || !token) break;
        CoString id;
        if (FAILED(token->GetId(&id.text)) || id.text == nullptr) continue;
        VoiceToken t;
        t.id = id.text;
        Com<ISpDataKey> attributes;
        if (SUCCEEDED(token->OpenKey(L"Attributes", attributes.out())) && attributes) {
            CoString language;
            if (SUCCEEDED(attributes->GetStringValue(L"Language", &language.text)) && language.text) t.language = language.text;
            CoString gender;
            if (SUCCEEDED(attributes->GetStringValue(L"Gender", &gender.text)) && gender.text) t.gender = gender.text;
        }
        out.push_back(std::move(t));
    }
    return true;
}

bool listVoices(const VoiceTokenSource& source, std::vector<VoiceInfo>& out) {
    out.clear();
    bool listed = false;
    std::vector<std::wstring> seen;
    for (const wchar_t* category : {kDesktopVoices, kOneCoreVoices}) {
        std::vector<VoiceToken> tokens;
        if (!source || !source(category, tokens)) continue;
        listed = true;
        for (const VoiceToken& t : tokens) {
            if (t.id.empty() || std::find(seen.begin(), seen.end(), t.id) != seen.end()) continue;
            seen.push_back(t.id);
            VoiceInfo info;
            info.name = narrow(t.id);
            info.language = languageTagOfLcids(t.language);
            info.gender = _wcsicmp(t.gender.c_str(), L"Female") == 0 ? VoiceGender::Female : VoiceGender::Male;
            out.push_back(std::move(info));
        }
    }
    return listed;
}

}  // namespace win32

SpeechPlatform& hostSpeech() {
    static Win32Speech speech;
    return speech;
}

}  // namespace orvane::platform
