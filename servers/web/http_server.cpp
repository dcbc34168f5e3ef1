#include "servers/web/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <fstream>
#include <sstream>

namespace orvane::webserver {

struct WebServer::Impl {
    Store* store = nullptr;
    ServerOptions options;
    MHD_Daemon* daemon = nullptr;
    std::atomic<std::uint64_t> connections{0};
    std::atomic<std::uint64_t> requests{0};
};

namespace {

// One request in progress: its raw target (kept before the library decodes it) and its body.
struct RequestContext {
    std::string target;
    Bytes body;
    std::size_t announced = 0;  // Content-Length, trusted only to refuse, never to reserve
    bool started = false;
    bool upload = false;  // the one route whose body is kept whole
    bool tooLarge = false;
};

// Bodies of the other routes are at most the 20-byte colour record; what goes beyond this is
// read and dropped. A longer body still fails their exact-size check the same way.
constexpr std::size_t kSmallBodyKept = 1024;

void* onUri(void* cls, const char* uri, MHD_Connection*) {
    static_cast<WebServer::Impl*>(cls)->requests.fetch_add(1, std::memory_order_relaxed);
    auto* ctx = new RequestContext;
    ctx->target = uri != nullptr ? uri : "";
    return ctx;
}

void onConnection(void* cls, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        static_cast<WebServer::Impl*>(cls)->connections.fetch_add(1, std::memory_order_relaxed);
}

void onCompleted(void*, MHD_Connection*, void** reqCls, MHD_RequestTerminationCode) {
    delete static_cast<RequestContext*>(*reqCls);
    *reqCls = nullptr;
}

// "127.0.0.1:54321" or "[::1]:54321": the peer of one connection.
std::string peerOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr) return "?";
    char text[INET6_ADDRSTRLEN] = "?";
    const sockaddr* a = info->client_addr;
    if (a->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(a);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
    }
    if (a->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(a);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {  // an IPv4 client of the dual-stack socket
            inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text, sizeof text);
            return std::string(text) + ":" + std::to_string(ntohs(v6->sin6_port));
        }
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
    }
    return "?";
}

void logRequest(const WebServer::Impl& impl, MHD_Connection* connection, std::string_view method,
                std::string_view target, int status) {
    if (!impl.options.requestLog) return;
    std::string line = "request " + peerOf(connection) + " " + std::string(method) + " ";
    for (const char c : target) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && b != '\\') {
            line += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            line += hex;
        }
    }
    line += " " + std::to_string(status);
    impl.options.requestLog(line);
}

MHD_Result send(MHD_Connection* connection, const HttpReply& reply) {
    MHD_Response* response = MHD_create_response_from_buffer(reply.body.size(),
                                                              const_cast<std::uint8_t*>(reply.body.data()),
                                                              MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, "Content-Type", reply.contentType.c_str());
    const MHD_Result r = MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return r;
}

MHD_Result onRequest(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                     const char* uploadData, size_t* uploadSize, void** reqCls) {
    auto* impl = static_cast<WebServer::Impl*>(cls);
    auto* ctx = static_cast<RequestContext*>(*reqCls);
    if (ctx == nullptr) return MHD_NO;
    if (!ctx->started) {
        ctx->started = true;
        // Refuse an announced body that is too long before reading any of it.
        const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length != nullptr && std::strtoull(length, nullptr, 10) > kMaxBodySize) {
            logRequest(*impl, connection, method, ctx->target, 413);
            return send(connection, {413, "text/plain; charset=utf-8", Bytes{'T', 'o', 'o', ' ', 'l', 'a', 'r', 'g', 'e', '\n'}});
        }
        ctx->announced = length != nullptr ? std::strtoull(length, nullptr, 10) : 0;
        ctx->upload = std::string_view(method) == "POST" &&
                      std::string_view(ctx->target).substr(0, ctx->target.find('?')) == "/echange/pc_img_share_post.php";
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        if (ctx->body.size() + *uploadSize > kMaxBodySize) {
            ctx->tooLarge = true;
        } else if (!ctx->upload) {
            const std::size_t room = kSmallBodyKept - std::min(kSmallBodyKept, ctx->body.size());
            ctx->body.insert(ctx->body.end(), uploadData, uploadData + std::min(room, *uploadSize));
        } else {
            // Memory for the record only once its bytes arrive.
            if (ctx->body.empty()) ctx->body.reserve(std::min(ctx->announced, kMaxBodySize));
            ctx->body.insert(ctx->body.end(), uploadData, uploadData + *uploadSize);
        }
        *uploadSize = 0;
        return MHD_YES;
    }
    if (ctx->tooLarge) {
        logRequest(*impl, connection, method, ctx->target, 413);
        return send(connection, {413, "text/plain; charset=utf-8", Bytes{'T', 'o', 'o', ' ', 'l', 'a', 'r', 'g', 'e', '\n'}});
    }
    const HttpRequest request{method, ctx->target, ctx->body};
    const HttpReply reply = handleRequest(*impl->store, impl->options.routes, request);
    logRequest(*impl, connection, method, ctx->target, reply.status);
    return send(connection, reply);
}

}  // namespace

WebServer::WebServer(Store& store) : store_(store) {}

WebServer::~WebServer() { stop(); }

bool WebServer::start(const ServerOptions& options, std::string& error) {
    if (MHD_is_feature_supported(MHD_FEATURE_TLS) != MHD_YES) {
        error = "libmicrohttpd was built without TLS";
        return false;
    }
    impl_ = std::make_unique<Impl>();
    impl_->store = &store_;
    impl_->options = options;
    const unsigned threads = options.threads > 0 ? static_cast<unsigned>(options.threads) : 1u;
    for (const unsigned flags : {MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_TLS | MHD_USE_DUAL_STACK,
                                 MHD_USE_AUTO_INTERNAL_THREAD | MHD_USE_TLS}) {
        impl_->daemon = MHD_start_daemon(flags, options.port, nullptr, nullptr, &onRequest, impl_.get(),
                                         MHD_OPTION_HTTPS_MEM_KEY, impl_->options.keyPem.c_str(),
                                         MHD_OPTION_HTTPS_MEM_CERT, impl_->options.certPem.c_str(),
                                         MHD_OPTION_URI_LOG_CALLBACK, &onUri, impl_.get(),
                                         MHD_OPTION_NOTIFY_CONNECTION, &onConnection, impl_.get(),
                                         MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, nullptr,
                                         MHD_OPTION_THREAD_POOL_SIZE, threads,
                                         MHD_OPTION_HTTPS_PRIORITIES, kTlsPriorities,
                                         MHD_OPTION_CONNECTION_LIMIT, options.connectionLimit,
                                         MHD_OPTION_PER_IP_CONNECTION_LIMIT, options.perAddressLimit,
                                         MHD_OPTION_CONNECTION_TIMEOUT, options.idleTimeoutSeconds,
                                         MHD_OPTION_END);
        if (impl_->daemon != nullptr) break;
    }
    if (impl_->daemon == nullptr) {
        error = "cannot start the HTTPS daemon on port " + std::to_string(options.port) +
                " (port in use, or a bad certificate or key)";
        impl_.reset();
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(impl_->daemon, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info != nullptr ? info->port : options.port;
    return true;
}

WebServer::Counters WebServer::counters() const {
    Counters c;
    if (impl_) {
        c.connections = impl_->connections.load(std::memory_order_relaxed);
        c.requests = impl_->requests.load(std::memory_order_relaxed);
    }
    return c;
}

void WebServer::stop() {
    if (impl_ && impl_->daemon != nullptr) MHD_stop_daemon(impl_->daemon);
    impl_.reset();
}

bool readTextFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

}  // namespace orvane::webserver
