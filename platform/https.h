#pragma once
// HTTPS as the web client uses it: a root handle, a connection to one host and port, and one
// request at a time on it, sent synchronously and read back in chunks. Every handle is used by
// the thread that made it. Certificates and host names are always verified.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::platform {

// Opaque handle of a root session, a connection or a request; null means none.
struct HttpsObject;
using HttpsHandle = HttpsObject*;

class Https {
public:
    virtual ~Https() = default;

    // The root handle, with the user agent every request will carry. Null on failure.
    virtual HttpsHandle open(std::string_view userAgent) = 0;
    // A connection to host:port (always TLS). Null on failure.
    virtual HttpsHandle connect(HttpsHandle root, std::string_view host, std::uint16_t port) = 0;
    // A request with a verb ("GET", "POST") and a path with its query. Unsafe characters of the
    // path are percent-encoded (see escapeRequestPath); "//", "/./" and "/../" go out as given.
    virtual HttpsHandle openRequest(HttpsHandle connection, std::string_view verb,
                                    std::string_view path) = 0;
    // Sends the request with an optional extra header line ("Name: value\r\n") and body. The
    // body is not copied: it must stay valid until the request is closed. False on failure
    // (connection refused, TLS failure, time-out).
    virtual bool sendRequest(HttpsHandle request, std::string_view extraHeader, const void* body,
                             std::size_t length) = 0;
    // Waits for the reply's status line and headers. False on failure.
    virtual bool receiveResponse(HttpsHandle request) = 0;
    // The reply's status code; false when there is none.
    virtual bool queryStatusCode(HttpsHandle request, std::uint32_t& code) = 0;
    // Waits for body bytes: `available` is how many can be read now, 0 at the end of the body.
    virtual bool queryDataAvailable(HttpsHandle request, std::size_t& available) = 0;
    // Reads up to `capacity` body bytes into `buffer`.
    virtual bool readData(HttpsHandle request, void* buffer, std::size_t capacity,
                          std::size_t& read) = 0;
    // Closes any handle (a request, a connection, the root).
    virtual void close(HttpsHandle handle) = 0;
    // The code of the last failure on this thread (for error lines; 0 when none).
    virtual unsigned long lastError() = 0;
};

// The operating system's HTTPS.
Https& systemHttps();

// An extra certificate authority (PEM file) trusted besides the system's. Empty: the build
// value (ORVANE_WEB_CA_FILE), itself overridden by the environment variable of that name.
void setExtraCaFile(const std::string& path);

// The request path as it goes on the wire: bytes that may not appear raw in a request target
// (controls, space, non-ASCII, and " # < > \ ^ ` { | }) become %XX; everything else, "%" and
// "/" included, is kept.
std::string escapeRequestPath(std::string_view path);

}  // namespace orvane::platform
