// The HTTPS seam on libcurl (OpenSSL). Each request is one easy handle driven by its own multi
// handle, so that the caller can pull the body in chunks as it arrives: the write callback
// keeps one chunk and pauses the transfer until the caller has read it. Nothing of the body is
// stored here beyond that chunk.
#include <curl/curl.h>

#include <algorithm>
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

    std::size_t chunkLeft() const { return chunk.size() - chunkRead; }
};

thread_local unsigned long tlsLastError = 0;

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

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<RequestObject*>(user);
    const size_t n = size * count;
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
    if ((n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n')) {
        long code = 0;
        curl_easy_getinfo(r->easy, CURLINFO_RESPONSE_CODE, &code);
        if (code >= 200) r->headersDone = true;  // 1xx replies are followed by the real one
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
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
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

    void close(HttpsHandle handle) override { delete handle; }

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
