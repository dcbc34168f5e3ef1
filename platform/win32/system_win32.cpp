// Process and system services on Windows.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "platform/system.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

using win32::narrow;
using win32::widen;

// A known folder of the shell (Program Files, the user's local application data); empty when
// the system has none.
std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) out = narrow(path);
    CoTaskMemFree(path);
    return out;
}

bool fileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

class Win32System final : public System {
public:
    MutexResult createNamedMutex(const std::string& name) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (held_.count(name)) return MutexResult::AlreadyExists;
        HANDLE h = CreateMutexW(nullptr, TRUE, widen(name).c_str());
        if (h == nullptr) {
            // A mutex of that name made by another user's session cannot be opened: it exists.
            return GetLastError() == ERROR_ACCESS_DENIED ? MutexResult::AlreadyExists : MutexResult::Failed;
        }
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(h);
            return MutexResult::AlreadyExists;
        }
        // Held until the process ends: the system releases it with the process.
        held_[name] = h;
        return MutexResult::Created;
    }

    bool namedMutexExists(const std::string& name) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (held_.count(name)) return true;
        }
        HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, widen(name).c_str());
        if (h == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
        CloseHandle(h);
        return true;
    }

    std::string systemRoot() override {
        wchar_t dir[MAX_PATH] = {};
        UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
        if (n < 3 || n >= MAX_PATH || dir[1] != L':') return {};
        return narrow(std::wstring(dir, 3));  // "C:\"
    }

    bool volumeSerial(const std::string& root, std::uint32_t& serial) override {
        // Lab only: two clients on one machine need two machine identifiers.
        if (const char* lab = std::getenv("ORVANE_LAB_VOLUME_SERIAL"); lab && *lab) {
            char* end = nullptr;
            unsigned long long v = std::strtoull(lab, &end, 10);
            if (end && *end == '\0') {
                serial = static_cast<std::uint32_t>(v);
                return true;
            }
        }
        DWORD s = 0;
        if (!GetVolumeInformationW(widen(root).c_str(), nullptr, 0, &s, nullptr, nullptr, nullptr, 0)) return false;
        serial = s;
        return true;
    }

    bool isProcessRunning(const std::string& name) override {
        HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snap == INVALID_HANDLE_VALUE) return false;
        const std::wstring wanted = widen(name);
        PROCESSENTRY32W e{};
        e.dwSize = sizeof e;
        bool found = false;
        for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
            if (CompareStringOrdinal(e.szExeFile, -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL) {
                found = true;
                break;
            }
        }
        CloseHandle(snap);
        return found;
    }

    bool startProgram(const std::string& path) override {
        std::wstring wide = widen(path);
        if (!fileExists(wide)) return false;
        // The command line is the quoted path alone; the program starts in its own folder.
        std::wstring commandLine = L"\"" + wide + L"\"";
        std::wstring folder = wide.substr(0, wide.find_last_of(L"\\/") == std::wstring::npos
                                                 ? 0 : wide.find_last_of(L"\\/"));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(wide.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
            return false;
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    }

    std::string programsFolder() override { return knownFolder(FOLDERID_ProgramFiles); }

    // The skin is read from the working folder, where the installer's shortcuts start the program.
    std::string dataFolder() override { return {}; }

    std::string temporaryFolder() override {
        // The user's own temporary folder (GetTempPathW reads TMP, TEMP, USERPROFILE in turn).
        wchar_t dir[MAX_PATH + 1] = {};
        DWORD n = GetTempPathW(MAX_PATH + 1, dir);
        if (n == 0 || n > MAX_PATH) return {};
        std::wstring w(dir, n);
        while (w.size() > 3 && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
        return narrow(w);
    }

    std::string localDataFolder() override { return knownFolder(FOLDERID_LocalAppData); }

    bool openUrl(const std::string& url) override {
        // Only web addresses: a text from elsewhere must never start a local program.
        if (url.rfind("https://", 0) != 0 && url.rfind("http://", 0) != 0) return false;
        auto r = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return r > 32;
    }

    bool playSoundAsync(const std::string& path) override {
        std::wstring wide = widen(path);
        if (!fileExists(wide)) return false;
        return PlaySoundW(wide.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
    }

private:
    std::mutex lock_;
    std::map<std::string, HANDLE> held_;
};

}  // namespace

System& hostSystem() {
    static Win32System system;
    return system;
}

const ProgramLocation& speechProgramLocation() { return kSpeechProgramOnWindows; }

}  // namespace orvane::platform
