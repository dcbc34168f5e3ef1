// The HTTPS seam on libcurl (OpenSSL). Each request is one easy handle driven by its own multi
// handle, so that the caller can pull the body in chunks as it arrives: the write callback
// keeps one chunk and pauses the transfer until the caller has read it. Nothing of the body is
// stored here beyond that chunk.
//
// Connections outlive their requests: the requests a thread makes share one connection cache
// (and TLS sessions and name lookups), so a run of requests to the same host costs one TCP and
// TLS handshake instead of one each. The root, connection and request handles of the seam stay
// as they are; closing a connection handle only ends the caller's use of it. A connection the
// server has closed meanwhile is noticed before it is used, or, when the server closes it just
// as a request goes out, the request is sent once more on a fresh one; certificates are
// verified on every new connection. Redirects are followed to https only, at most 10.
#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/https.h"

#ifndef ORVANE_WEB_CA_FILE
#define ORVANE_WEB_CA_FILE ""
#endif

namespace orvane::platform {

enum class HttpsKind { Root, Connection, Request };

struct HttpsObject {
    explicit HttpsObject(HttpsKind k) : kind(k) {}
    virtual ~HttpsObject() = default;
    HttpsKind kind;
};

namespace {

struct RootObject final : HttpsObject {
    RootObject() : HttpsObject(HttpsKind::Root) {}
    std::string agent;
};

struct ConnectionObject final : HttpsObject {
    ConnectionObject() : HttpsObject(HttpsKind::Connection) {}
    std::string agent;
    std::string host;
    std::uint16_t port = 0;
};

struct RequestObject final : HttpsObject {
    RequestObject() : HttpsObject(HttpsKind::Request) {}
    ~RequestObject() override {
        if (multi != nullptr && easy != nullptr) curl_multi_remove_handle(multi, easy);
        if (easy != nullptr) curl_easy_cleanup(easy);
        if (multi != nullptr) curl_multi_cleanup(multi);
        if (headers != nullptr) curl_slist_free_all(headers);
    }

    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headers = nullptr;
    bool post = false;
    bool started = false;
    bool connected = false;     // the connection (TLS included) is up
    bool headersDone = false;   // a final status line and its headers arrived
    bool done = false;          // the transfer ended
    CURLcode result = CURLE_OK;

    const unsigned char* body = nullptr;
    std::size_t bodyLength = 0;
    std::size_t bodySent = 0;

    // One chunk of the body handed over by the write callback and not yet read.
    std::vector<unsigned char> chunk;
    std::size_t chunkRead = 0;
    bool paused = false;
    // Closing before the end of the body: what still comes is dropped (see finishQuietly).
    bool discard = false;
    std::size_t discarded = 0;

    // The response whose headers are arriving: a redirect that will be followed has a 3xx
    // status and a Location header; only the final response counts.
    bool locationSeen = false;

    std::size_t chunkLeft() const { return chunk.size() - chunkRead; }
};

thread_local unsigned long tlsLastError = 0;

// Redirects as the platform's request library follows them by default: a bounded number, and
// never from https to a weaker scheme (the only scheme allowed is https).
constexpr long kMaxRedirects = 10;

// A reply whose body the caller did not read to its end (an error page, the reply of a POST):
// the rest is read and dropped when it is short and comes at once, so that its connection can
// serve the next request; otherwise the connection is closed with the request.
constexpr std::size_t kDrainBytes = 64 * 1024;
constexpr int kDrainMs = 100;

std::mutex caMutex;
std::string caOverride;

std::string extraCaFile() {
    std::lock_guard<std::mutex> hold(caMutex);
    if (!caOverride.empty()) return caOverride;
    if (const char* env = std::getenv("ORVANE_WEB_CA_FILE"); env != nullptr && *env != '\0') return env;
    return ORVANE_WEB_CA_FILE;
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the requests of one thread share: the open connections, the TLS sessions and the name
// lookups. Handles are used only by the thread that made them, so the share needs no lock.
class ThreadShare {
public:
    ThreadShare() {
        globalInit();
        share_ = curl_share_init();
        if (share_ == nullptr) return;
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    ~ThreadShare() {
        if (share_ != nullptr) curl_share_cleanup(share_);  // closes the connections left
    }
    ThreadShare(const ThreadShare&) = delete;
    ThreadShare& operator=(const ThreadShare&) = delete;
    CURLSH* get() const { return share_; }

private:
    CURLSH* share_ = nullptr;
};

CURLSH* threadShare() {
    thread_local ThreadShare share;
    return share.get();
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestObject*>(user);
    const size_t n = size * count;
    if (r->discard) {
        r->discarded += n;
        return n;
    }
    if (r->chunkLeft() > 0) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    r->chunk.assign(reinterpret_cast<unsigned char*>(data), reinterpret_cast<unsigned char*>(data) + n);
    r->chunkRead = 0;
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestObject*>(user);
    const size_t n = size * count;
    const std::string_view line(data, n);
    if (startsWithIgnoringCase(line, "HTTP/")) {
        r->locationSeen = false;  // a new response's status line
    } else if (startsWithIgnoringCase(line, "Location:")) {
        r->locationSeen = true;
    } else if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(r->easy, CURLINFO_RESPONSE_CODE, &code);
        // 1xx replies are followed by the real one, and so is a redirect (or the transfer
        // fails: a refused scheme, too many redirects).
        const bool redirected = code >= 300 && code < 400 && r->locationSeen;
        if (code >= 200 && !redirected) r->headersDone = true;
    }
    return n;
}

size_t onUpload(char* buffer, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestObject*>(user);
    const size_t n = std::min(size * count, r->bodyLength - r->bodySent);
    if (n > 0) std::memcpy(buffer, r->body + r->bodySent, n);
    r->bodySent += n;
    return n;
}

// A request sent again (on a fresh connection after the server closed the one it went out
// on, or to a redirect's target) starts its body again.
int onSeek(void* user, curl_off_t offset, int origin) {
    auto* r = static_cast<RequestObject*>(user);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > r->bodyLength) return CURL_SEEKFUNC_FAIL;
    r->bodySent = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

int onConnected(void* user, char*, char*, int, int) {
    static_cast<RequestObject*>(user)->connected = true;
    return CURL_PREREQFUNC_OK;
}

// Runs the transfer until `ready` holds or it ends. False when it ended in failure.
template <class Ready>
bool drive(RequestObject& r, Ready ready) {
    while (!ready() && !r.done) {
        int running = 0;
        if (curl_multi_perform(r.multi, &running) != CURLM_OK) {
            r.done = true;
            r.result = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* m = curl_multi_info_read(r.multi, &queued)) {
            if (m->msg == CURLMSG_DONE) {
                r.done = true;
                r.result = m->data.result;
            }
        }
        if (ready() || r.done) break;
        curl_multi_poll(r.multi, nullptr, 0, 1000, nullptr);
    }
    if (r.done && r.result != CURLE_OK) {
        tlsLastError = static_cast<unsigned long>(r.result);
        return false;
    }
    return true;
}

// Reads and drops the rest of a reply that the caller stops reading (see kDrainBytes).
void finishQuietly(RequestObject& r) {
    if (!r.started || !r.headersDone || r.done) return;
    r.discard = true;
    r.chunk.clear();
    r.chunkRead = 0;
    if (r.paused) {
        r.paused = false;
        curl_easy_pause(r.easy, CURLPAUSE_CONT);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainMs);
    while (!r.done && r.discarded <= kDrainBytes) {
        int running = 0;
        if (curl_multi_perform(r.multi, &running) != CURLM_OK) return;
        int queued = 0;
        while (CURLMsg* m = curl_multi_info_read(r.multi, &queued)) {
            if (m->msg == CURLMSG_DONE) r.done = true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (r.done || left.count() <= 0) return;
        curl_multi_poll(r.multi, nullptr, 0, static_cast<int>(left.count()), nullptr);
    }
}

RequestObject* asRequest(HttpsHandle h) {
    return (h != nullptr && h->kind == HttpsKind::Request) ? static_cast<RequestObject*>(h) : nullptr;
}

bool configure(RequestObject& r, const ConnectionObject& c, std::string_view verb, std::string_view path) {
    std::string url = "https://";
    const bool ipv6 = c.host.find(':') != std::string::npos;
    url += ipv6 ? "[" + c.host + "]" : c.host;
    url += ":" + std::to_string(c.port) + escapeRequestPath(path);

    CURL* e = r.easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, c.agent.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    // The extra authority is added to the system's hashed store, not put in its place.
    const std::string ca = extraCaFile();
    if (!ca.empty()) {
        curl_easy_setopt(e, CURLOPT_CAINFO, ca.c_str());
        curl_easy_setopt(e, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 60L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(e, CURLOPT_SHARE, threadShare());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
#else
    curl_easy_setopt(e, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, onConnected);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &r);
    if (verb == "POST") {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        r.post = true;
    } else if (verb != "GET") {
        const std::string v(verb);
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, v.c_str());  // copied by libcurl
    }
    return true;
}

class CurlHttps final : public Https {
public:
    HttpsHandle open(std::string_view userAgent) override {
        globalInit();
        auto* root = new RootObject;
        root->agent = std::string(userAgent);
        return root;
    }

    HttpsHandle connect(HttpsHandle root, std::string_view host, std::uint16_t port) override {
        if (root == nullptr || root->kind != HttpsKind::Root || host.empty()) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return nullptr;
        }
        auto* c = new ConnectionObject;
        c->agent = static_cast<RootObject*>(root)->agent;
        c->host = std::string(host);
        c->port = port;
        return c;
    }

    HttpsHandle openRequest(HttpsHandle connection, std::string_view verb, std::string_view path) override {
        if (connection == nullptr || connection->kind != HttpsKind::Connection) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return nullptr;
        }
        auto* r = new RequestObject;
        r->easy = curl_easy_init();
        r->multi = curl_multi_init();
        if (r->easy == nullptr || r->multi == nullptr ||
            !configure(*r, *static_cast<ConnectionObject*>(connection), verb, path)) {
            tlsLastError = CURLE_FAILED_INIT;
            delete r;
            return nullptr;
        }
        return r;
    }

    bool sendRequest(HttpsHandle request, std::string_view extraHeader, const void* body,
                     std::size_t length) override {
        RequestObject* r = asRequest(request);
        if (r == nullptr || r->started) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        addHeaderLines(*r, extraHeader);
        // A large raw body goes at once: no "100 continue" round trip.
        r->headers = curl_slist_append(r->headers, "Expect:");
        curl_easy_setopt(r->easy, CURLOPT_HTTPHEADER, r->headers);
        r->body = static_cast<const unsigned char*>(body);
        r->bodyLength = body != nullptr ? length : 0;
        if (r->post) {
            curl_easy_setopt(r->easy, CURLOPT_READFUNCTION, onUpload);
            curl_easy_setopt(r->easy, CURLOPT_READDATA, r);
            curl_easy_setopt(r->easy, CURLOPT_SEEKFUNCTION, onSeek);
            curl_easy_setopt(r->easy, CURLOPT_SEEKDATA, r);
            curl_easy_setopt(r->easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r->bodyLength));
        }
        if (curl_multi_add_handle(r->multi, r->easy) != CURLM_OK) {
            tlsLastError = CURLE_FAILED_INIT;
            return false;
        }
        r->started = true;
        // Sent: connected and the whole body handed over (a reply may come even earlier).
        return drive(*r, [r] { return r->headersDone || (r->connected && r->bodySent == r->bodyLength); });
    }

    bool receiveResponse(HttpsHandle request) override {
        RequestObject* r = asRequest(request);
        if (r == nullptr || !r->started) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        if (!drive(*r, [r] { return r->headersDone; })) return false;
        if (!r->headersDone) {
            tlsLastError = CURLE_GOT_NOTHING;
            return false;
        }
        return true;
    }

    bool queryStatusCode(HttpsHandle request, std::uint32_t& code) override {
        RequestObject* r = asRequest(request);
        long value = 0;
        if (r == nullptr || !r->headersDone ||
            curl_easy_getinfo(r->easy, CURLINFO_RESPONSE_CODE, &value) != CURLE_OK || value <= 0) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        code = static_cast<std::uint32_t>(value);
        return true;
    }

    bool queryDataAvailable(HttpsHandle request, std::size_t& available) override {
        available = 0;
        RequestObject* r = asRequest(request);
        if (r == nullptr || !r->headersDone) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        if (r->chunkLeft() == 0 && r->paused) {
            r->paused = false;
            curl_easy_pause(r->easy, CURLPAUSE_CONT);  // may hand the held data over at once
        }
        if (!drive(*r, [r] { return r->chunkLeft() > 0; })) return false;
        available = r->chunkLeft();
        return true;
    }

    bool readData(HttpsHandle request, void* buffer, std::size_t capacity, std::size_t& read) override {
        read = 0;
        RequestObject* r = asRequest(request);
        if (r == nullptr) {
            tlsLastError = CURLE_BAD_FUNCTION_ARGUMENT;
            return false;
        }
        const std::size_t n = std::min(capacity, r->chunkLeft());
        if (n > 0) std::memcpy(buffer, r->chunk.data() + r->chunkRead, n);
        r->chunkRead += n;
        read = n;
        return true;
    }

    void close(HttpsHandle handle) override {
        if (RequestObject* r = asRequest(handle)) finishQuietly(*r);
        delete handle;
    }

    unsigned long lastError() override { return tlsLastError; }

private:
    static void addHeaderLines(RequestObject& r, std::string_view extra) {
        // One or more "Name: value\r\n" lines; libcurl wants them without the line ends.
        while (!extra.empty()) {
            std::size_t end = extra.find('\n');
            std::string_view line = extra.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!line.empty()) r.headers = curl_slist_append(r.headers, std::string(line).c_str());
            if (end == std::string_view::npos) break;
            extra.remove_prefix(end + 1);
        }
    }
};

}  // namespace

Https& systemHttps() {
    static CurlHttps https;
    return https;
}

void setExtraCaFile(const std::string& path) {
    std::lock_guard<std::mutex> hold(caMutex);
    caOverride = path;
}

}  // namespace orvane::platform
