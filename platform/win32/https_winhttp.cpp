// The HTTPS seam on WinHTTP, synchronous: each seam handle is a WinHTTP handle.
#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/https.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

using win32::widen;

thread_local unsigned long tlsLastError = 0;

HINTERNET toHandle(HttpsHandle h) { return reinterpret_cast<HINTERNET>(h); }
HttpsHandle fromHandle(HINTERNET h) { return reinterpret_cast<HttpsHandle>(h); }

bool noteFailure() {
    tlsLastError = GetLastError();
    return false;
}

class WinHttps final : public Https {
public:
    HttpsHandle open(std::string_view userAgent) override {
        // The default proxy configuration, no proxy names, flags 0: synchronous handles.
        HINTERNET h = WinHttpOpen(widen(userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
        if (h == nullptr) noteFailure();
        return fromHandle(h);
    }

    HttpsHandle connect(HttpsHandle root, std::string_view host, std::uint16_t port) override {
        if (root == nullptr) {
            tlsLastError = ERROR_INVALID_HANDLE;
            return nullptr;
        }
        HINTERNET h = WinHttpConnect(toHandle(root), widen(host).c_str(), port, 0);
        if (h == nullptr) noteFailure();
        return fromHandle(h);
    }

    HttpsHandle openRequest(HttpsHandle connection, std::string_view verb, std::string_view path) override {
        if (connection == nullptr) {
            tlsLastError = ERROR_INVALID_HANDLE;
            return nullptr;
        }
        // The path is escaped here, the same way on every system, and WinHTTP told not to escape
        // it again (a "%" it would otherwise leave or encode depending on what follows).
        const std::wstring target = widen(escapeRequestPath(path));
        HINTERNET h = WinHttpOpenRequest(toHandle(connection), widen(verb).c_str(), target.c_str(), nullptr,
                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                         WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE |
                                             WINHTTP_FLAG_ESCAPE_DISABLE_QUERY);
        if (h == nullptr) noteFailure();
        return fromHandle(h);
    }

    bool sendRequest(HttpsHandle request, std::string_view extraHeader, const void* body,
                     std::size_t length) override {
        if (request == nullptr) {
            tlsLastError = ERROR_INVALID_HANDLE;
            return false;
        }
        if (length > 0xFFFFFFFFu) {
            tlsLastError = ERROR_INVALID_PARAMETER;
            return false;
        }
        const std::wstring header = widen(extraHeader);
        const DWORD n = static_cast<DWORD>(length);
        if (!WinHttpSendRequest(toHandle(request), header.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : header.c_str(),
                                header.empty() ? 0 : static_cast<DWORD>(-1L),
                                body ? const_cast<void*>(body) : WINHTTP_NO_REQUEST_DATA, body ? n : 0,
                                body ? n : 0, 0)) {
            return noteFailure();
        }
        return true;
    }

    bool receiveResponse(HttpsHandle request) override {
        if (request == nullptr || !WinHttpReceiveResponse(toHandle(request), nullptr)) return noteFailure();
        return true;
    }

    bool queryStatusCode(HttpsHandle request, std::uint32_t& code) override {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (request == nullptr ||
            !WinHttpQueryHeaders(toHandle(request), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &value, &size, WINHTTP_NO_HEADER_INDEX)) {
            return noteFailure();
        }
        code = value;
        return true;
    }

    bool queryDataAvailable(HttpsHandle request, std::size_t& available) override {
        DWORD n = 0;
        if (request == nullptr || !WinHttpQueryDataAvailable(toHandle(request), &n)) return noteFailure();
        available = n;
        return true;
    }

    bool readData(HttpsHandle request, void* buffer, std::size_t capacity, std::size_t& read) override {
        DWORD n = 0;
        const DWORD want = capacity > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(capacity);
        if (request == nullptr || !WinHttpReadData(toHandle(request), buffer, want, &n)) return noteFailure();
        read = n;
        return true;
    }

    void close(HttpsHandle handle) override {
        if (handle != nullptr) WinHttpCloseHandle(toHandle(handle));
    }

    unsigned long lastError() override { return tlsLastError; }
};

std::mutex caMutex;
std::string caOverride;

}  // namespace

Https& systemHttps() {
    static WinHttps https;
    return https;
}

// WinHTTP verifies servers against the Windows certificate store only: a private authority (the
// lab's) is trusted by importing it there (certutil -addstore Root ca.pem). The path is kept so
// that callers behave alike on every system; it never loosens the verification.
void setExtraCaFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(caMutex);
    caOverride = path;
}

}  // namespace orvane::platform
