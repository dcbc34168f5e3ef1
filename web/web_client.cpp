#include "web/web_client.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "web/https_lamp.h"
#include "web/web_paths.h"

namespace orvane::web {

namespace {

constexpr char kPostHeader[] = "Content-Type: multipart/form-data\r\n";

void closeAll(WebState& web, platform::HttpsHandle connection, platform::HttpsHandle root) {
    if (connection != nullptr) web.https.close(connection);
    if (root != nullptr) web.https.close(root);
}

}  // namespace

std::int32_t getPath(WebState& web, std::string_view path, bool* bodyRead) {
    auto hold = web.lockRequests();
    if (bodyRead != nullptr) *bodyRead = false;
    platform::Https& h = web.https;
    platform::HttpsHandle root = h.open(kUserAgent);
    if (root == nullptr) return 1;
    platform::HttpsHandle connection = h.connect(root, web.host, web.port);
    if (connection == nullptr) {
        closeAll(web, nullptr, root);
        return -1;
    }
    platform::HttpsHandle request = h.openRequest(connection, "GET", path);
    if (request == nullptr) {
        web.currentRequest = nullptr;
        closeAll(web, connection, root);
        return -1;
    }
    if (!h.sendRequest(request, {}, nullptr, 0) || !h.receiveResponse(request)) {
        h.close(request);
        web.currentRequest = nullptr;
        closeAll(web, connection, root);
        return -1;
    }
    web.currentRequest = request;
    const std::int32_t n = readResponseBody(web);
    if (bodyRead != nullptr) *bodyRead = true;
    h.close(request);
    web.currentRequest = nullptr;
    closeAll(web, connection, root);
    return n;
}

std::int32_t webGet(WebState& web, std::string_view prefix, std::int32_t number, int kind) {
    auto hold = web.lockRequests();
    httpsLampStep(web.state, web.getCounter);
    return getPath(web, buildWebPath(prefix, number, kind));
}

std::int32_t readResponseBody(WebState& web) {
    platform::Https& h = web.https;
    std::uint32_t status = 0;
    if (h.queryStatusCode(web.currentRequest, status) && status != 200) return 0;

    std::size_t total = 0;
    for (;;) {
        std::size_t available = 0;
        if (!h.queryDataAvailable(web.currentRequest, available) || available == 0) break;
        if (total + available > kResponseCapacity) break;
        std::size_t read = 0;
        if (!h.readData(web.currentRequest, web.responseBuffer + total, available, read)) {
            (void)h.lastError();
            break;
        }
        total += read;
    }
    // The buffer has one byte more than the largest body, so even a full body is terminated.
    web.responseBuffer[total] = 0;
    web.responseLength = total;
    return static_cast<std::int32_t>(total);
}

platform::HttpsHandle postRecord(WebState& web, platform::HttpsHandle connection, std::string_view path,
                                 const void* record, std::size_t length) {
    auto hold = web.lockRequests();
    platform::Https& h = web.https;
    platform::HttpsHandle request = h.openRequest(connection, "POST", path);
    if (request == nullptr) {
        std::printf("Erreur WinHttpOpenRequest: %lu\n", h.lastError());
        std::fflush(stdout);
        return nullptr;
    }
    if (!h.sendRequest(request, kPostHeader, record, length)) {
        std::printf("Erreur WinHttpSendRequest: %lu\n", h.lastError());
        std::fflush(stdout);
        h.close(request);
        return nullptr;
    }
    if (!h.receiveResponse(request)) {
        std::printf("Erreur WinHttpReceiveResponse: %lu\n", h.lastError());
        std::fflush(stdout);
        h.close(request);
        return nullptr;
    }
    return request;
}

std::int32_t readStatusCode(WebState& web) {
    std::uint32_t status = 0;
    if (!web.https.queryStatusCode(web.currentRequest, status)) {
        std::printf("Erreur WinHttpQueryHeaders: %lu\n", web.https.lastError());
        std::fflush(stdout);
        return -1;
    }
    return static_cast<std::int32_t>(status);
}

std::span<const std::uint8_t> receivedBody(const WebState& web, std::int32_t length) {
    if (length <= 0) return {};
    const std::size_t n = std::min(static_cast<std::size_t>(length), web.responseLength);
    return {web.responseBuffer, n};
}

}  // namespace orvane::web
