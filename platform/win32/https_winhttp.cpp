// The HTTPS seam on WinHTTP, synchronous. WinHTTP keeps its open connections, and their TLS
// sessions, in the session (the root handle) they were made in: one session per user agent is
// kept for the whole process, and one connection handle per host and port in it, so that the
// callers' requests (each with its own open, connect, request, close) reuse them instead of a
// TCP and TLS handshake each. The seam's root and connection handles only refer to those; its
// request handles are WinHTTP requests of their own.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "platform/https.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

using win32::widen;

thread_local unsigned long tlsLastError = 0;

// A body left unread by the caller (a reply it does not want, e.g. a 404 page) is read away at
// close up to this much, so that the connection goes back to the session for the next request.
constexpr DWORD kDrainLimit = 64 * 1024;

enum class Kind { Root, Connection, Request };

// One host and port of a session: its connection handle, and whether a reply has come from it
// (then a connection of the session may be an idle one that the server has since closed).
struct Server {
    HINTERNET connection = nullptr;
    bool answered = false;
};

// What a seam handle points to.
struct Handle {
    explicit Handle(Kind k, HINTERNET h = nullptr) : kind(k), internet(h) {}
    Kind kind;
    HINTERNET internet = nullptr;  // the shared session or connection, or the request's own handle
    // Requests only: how to send the request again on a fresh connection.
    HINTERNET connection = nullptr;
    std::wstring verb;
    std::wstring target;
    std::wstring header;
    const void* body = nullptr;
    DWORD length = 0;
    bool sent = false;
    bool responded = false;
    bool retried = false;
    Server* server = nullptr;
};

struct Session {
    HINTERNET root = nullptr;
    std::map<std::pair<std::wstring, std::uint16_t>, std::unique_ptr<Server>> servers;
};

HttpsHandle toSeam(Handle* h) { return reinterpret_cast<HttpsHandle>(h); }
Handle* fromSeam(HttpsHandle h) { return reinterpret_cast<Handle*>(h); }

bool noteFailure() {
    tlsLastError = GetLastError();
    return false;
}

bool invalid() {
    tlsLastError = ERROR_INVALID_HANDLE;
    return false;
}

// A failure that a kept connection closed by the server (after its idle time) gives: the
// request never reached the server, or its reply never came, so it is sent once more.
bool isStaleConnection(DWORD error) {
    return error == ERROR_WINHTTP_CONNECTION_ERROR || error == ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
}

class WinHttps final : public Https {
public:
    HttpsHandle open(std::string_view userAgent) override {
        std::lock_guard<std::mutex> hold(lock_);
        Session& session = sessions_[widen(userAgent)];
        if (session.root == nullptr) {
            // The default proxy configuration, no proxy names, flags 0: synchronous handles.
            session.root = WinHttpOpen(widen(userAgent).c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
            if (session.root == nullptr) {
                noteFailure();
                return nullptr;
            }
        }
        return toSeam(new Handle(Kind::Root, session.root));
    }

    HttpsHandle connect(HttpsHandle root, std::string_view host, std::uint16_t port) override {
        Handle* r = fromSeam(root);
        if (r == nullptr || r->kind != Kind::Root) return invalid(), nullptr;
        std::lock_guard<std::mutex> hold(lock_);
        Session* session = sessionOf(r->internet);
        if (session == nullptr) return invalid(), nullptr;
        auto& server = session->servers[{widen(host), port}];
        if (!server) server = std::make_unique<Server>();
        if (server->connection == nullptr) {
            server->connection = WinHttpConnect(session->root, widen(host).c_str(), port, 0);
            if (server->connection == nullptr) {
                noteFailure();
                return nullptr;
            }
        }
        auto* h = new Handle(Kind::Connection, server->connection);
        h->server = server.get();
        return toSeam(h);
    }

    HttpsHandle openRequest(HttpsHandle connection, std::string_view verb, std::string_view path) override {
        Handle* c = fromSeam(connection);
        if (c == nullptr || c->kind != Kind::Connection) return invalid(), nullptr;
        auto request = std::make_unique<Handle>(Kind::Request);
        request->connection = c->internet;
        request->server = c->server;
        request->verb = widen(verb);
        // The path is escaped here, the same way on every system, and WinHTTP told not to
        // escape it again (a "%" it would otherwise leave or encode depending on what follows).
        request->target = widen(escapeRequestPath(path));
        if (!reopen(*request)) return nullptr;
        return toSeam(request.release());
    }

    bool sendRequest(HttpsHandle request, std::string_view extraHeader, const void* body,
                     std::size_t length) override {
        Handle* r = fromSeam(request);
        if (r == nullptr || r->kind != Kind::Request || r->internet == nullptr) return invalid();
        if (length > 0xFFFFFFFFu) {
            tlsLastError = ERROR_INVALID_PARAMETER;
            return false;
        }
        r->header = widen(extraHeader);
        r->body = body;
        r->length = body ? static_cast<DWORD>(length) : 0;
        r->sent = send(*r);
        if (!r->sent && retryOnFreshConnection(*r)) r->sent = true;
        return r->sent || noteFailure();
    }

    bool receiveResponse(HttpsHandle request) override {
        Handle* r = fromSeam(request);
        if (r == nullptr || r->kind != Kind::Request || r->internet == nullptr) return invalid();
        if (!WinHttpReceiveResponse(r->internet, nullptr)) {
            if (!retryOnFreshConnection(*r) || !WinHttpReceiveResponse(r->internet, nullptr)) return noteFailure();
        }
        r->responded = true;
        std::lock_guard<std::mutex> hold(lock_);
        r->server->answered = true;
        return true;
    }

    bool queryStatusCode(HttpsHandle request, std::uint32_t& code) override {
        Handle* r = fromSeam(request);
        if (r == nullptr || r->kind != Kind::Request) return invalid();
        DWORD value = 0;
        DWORD size = sizeof value;
        if (!WinHttpQueryHeaders(r->internet, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &value, &size, WINHTTP_NO_HEADER_INDEX)) {
            return noteFailure();
        }
        code = value;
        return true;
    }

    bool queryDataAvailable(HttpsHandle request, std::size_t& available) override {
        Handle* r = fromSeam(request);
        if (r == nullptr || r->kind != Kind::Request) return invalid();
        DWORD n = 0;
        if (!WinHttpQueryDataAvailable(r->internet, &n)) return noteFailure();
        available = n;
        return true;
    }

    bool readData(HttpsHandle request, void* buffer, std::size_t capacity, std::size_t& read) override {
        Handle* r = fromSeam(request);
        if (r == nullptr || r->kind != Kind::Request) return invalid();
        DWORD n = 0;
        const DWORD want = capacity > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(capacity);
        if (!WinHttpReadData(r->internet, buffer, want, &n)) return noteFailure();
        read = n;
        return true;
    }

    void close(HttpsHandle handle) override {
        Handle* h = fromSeam(handle);
        if (h == nullptr) return;
        // The session and its connections stay for the next request.
        if (h->kind == Kind::Request && h->internet != nullptr) {
            if (h->responded) drain(h->internet);
            WinHttpCloseHandle(h->internet);
        }
        delete h;
    }

    unsigned long lastError() override { return tlsLastError; }

private:
    Session* sessionOf(HINTERNET root) {
        for (auto& [agent, session] : sessions_) {
            if (session.root == root) return &session;
        }
        return nullptr;
    }

    static bool reopen(Handle& r) {
        if (r.internet != nullptr) WinHttpCloseHandle(r.internet);
        r.internet = WinHttpOpenRequest(r.connection, r.verb.c_str(), r.target.c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE |
                                            WINHTTP_FLAG_ESCAPE_DISABLE_QUERY);
        return r.internet != nullptr || noteFailure();
    }

    static bool send(Handle& r) {
        return WinHttpSendRequest(r.internet, r.header.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : r.header.c_str(),
                                  r.header.empty() ? 0 : static_cast<DWORD>(-1L),
                                  r.body ? const_cast<void*>(r.body) : WINHTTP_NO_REQUEST_DATA, r.length, r.length,
                                  0) != FALSE;
    }

    // Once per request, when it failed as a kept connection that the server closed fails and a
    // reply has come from that server before: the same request again, on a fresh connection
    // (WinHTTP drops the dead one). A server that cannot be reached at all fails as before.
    bool retryOnFreshConnection(Handle& r) {
        const DWORD error = GetLastError();
        bool mayBeStale = false;
        {
            std::lock_guard<std::mutex> hold(lock_);
            mayBeStale = r.server != nullptr && r.server->answered;
        }
        if (r.retried || !mayBeStale || !isStaleConnection(error)) {
            SetLastError(error);
            return false;
        }
        r.retried = true;
        return reopen(r) && send(r);
    }

    static void drain(HINTERNET request) {
        char sink[4096];
        for (DWORD total = 0; total < kDrainLimit;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request, &available) || available == 0) return;
            DWORD n = 0;
            if (!WinHttpReadData(request, sink, available < sizeof sink ? available : sizeof sink, &n) || n == 0) return;
            total += n;
        }
    }

    std::mutex lock_;
    std::map<std::wstring, Session> sessions_;
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
