#pragma once
// A small HTTPS (or plain HTTP) server whose replies the test writes: per path a status, extra
// headers and a body; every other path gets 404. It records each request (method, raw target,
// body size) and counts the TCP connections it accepted, so a test can see how many requests
// went over one connection and where a redirect led. Its certificate comes from a throw-away
// authority of its own (servers/web/make-test-ca.sh); restart() serves again on the same port,
// with the same certificate or one of a new authority.
#include <microhttpd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace orvane::test {

struct ScriptedReply {
    unsigned status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct SeenRequest {
    std::string method;
    std::string target;
    std::size_t bodyBytes = 0;
};

class ScriptedHttpsServer {
public:
    // tls false: plain HTTP (what a redirect to http would reach).
    explicit ScriptedHttpsServer(bool tls = true) : tls_(tls) {
        static std::atomic<int> serial{0};
        dir_ = std::filesystem::temp_directory_path() /
               ("orvane-scripted-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
    }
    ~ScriptedHttpsServer() {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScriptedHttpsServer(const ScriptedHttpsServer&) = delete;
    ScriptedHttpsServer& operator=(const ScriptedHttpsServer&) = delete;

    // Serves on `port` (0: a free one). A new authority each time `newAuthority` is true (the
    // first start always makes one).
    bool start(std::uint16_t port = 0, bool newAuthority = false) {
        if (tls_ && (authorities_ == 0 || newAuthority)) {
            const std::string ca = (dir_ / ("ca" + std::to_string(++authorities_))).string();
            const std::string cmd = "bash '" ORVANE_SOURCE_DIR "/servers/web/make-test-ca.sh' '" + ca +
                                    "' 'Scripted CA " + std::to_string(::getpid()) + "-" +
                                    std::to_string(authorities_) + "' >/dev/null";
            if (std::system(cmd.c_str()) != 0 || !readFile(ca + "/server.pem", cert_) ||
                !readFile(ca + "/server.key", key_))
                return false;
            caFile_ = ca + "/ca.pem";
        }
        unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD;
        if (tls_) flags |= MHD_USE_TLS;
        daemon_ = tls_ ? MHD_start_daemon(flags, port, nullptr, nullptr, &onRequest, this, MHD_OPTION_HTTPS_MEM_KEY,
                                          key_.c_str(), MHD_OPTION_HTTPS_MEM_CERT, cert_.c_str(),
                                          MHD_OPTION_NOTIFY_CONNECTION, &onConnection, this,
                                          MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, this,
                                          MHD_OPTION_CONNECTION_TIMEOUT, idleTimeoutSeconds, MHD_OPTION_END)
                       : MHD_start_daemon(flags, port, nullptr, nullptr, &onRequest, this,
                                          MHD_OPTION_NOTIFY_CONNECTION, &onConnection, this,
                                          MHD_OPTION_NOTIFY_COMPLETED, &onCompleted, this,
                                          MHD_OPTION_CONNECTION_TIMEOUT, idleTimeoutSeconds, MHD_OPTION_END);
        if (daemon_ == nullptr) return false;
        const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
        port_ = info != nullptr ? info->port : port;
        return true;
    }
    void stop() {
        if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
    }
    // Stops and serves again on the same port.
    bool restart(bool newAuthority) {
        stop();
        return start(port_, newAuthority);
    }

    void reply(const std::string& path, ScriptedReply r) {
        std::lock_guard<std::mutex> hold(lock_);
        replies_[path] = std::move(r);
    }
    // A redirect with `status` to `location`, with a body of its own that must not be taken
    // for the reply.
    void redirect(const std::string& path, unsigned status, const std::string& location) {
        reply(path, {status, {{"Location", location}}, "moved"});
    }

    std::uint16_t port() const { return port_; }
    const std::string& caFile() const { return caFile_; }
    std::string origin() const { return std::string(tls_ ? "https" : "http") + "://localhost:" + std::to_string(port_); }
    int connections() const { return connections_.load(); }
    std::vector<SeenRequest> seen() {
        std::lock_guard<std::mutex> hold(lock_);
        return seen_;
    }

    unsigned idleTimeoutSeconds = 20;  // before start()

private:
    struct Context {
        std::string body;
    };

    static bool readFile(const std::string& path, std::string& out) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        std::ostringstream s;
        s << in.rdbuf();
        out = s.str();
        return true;
    }

    static void onConnection(void* cls, MHD_Connection*, void**, MHD_ConnectionNotificationCode code) {
        if (code == MHD_CONNECTION_NOTIFY_STARTED) ++static_cast<ScriptedHttpsServer*>(cls)->connections_;
    }
    static void onCompleted(void*, MHD_Connection*, void** reqCls, MHD_RequestTerminationCode) {
        delete static_cast<Context*>(*reqCls);
        *reqCls = nullptr;
    }
    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                                const char*, const char* data, size_t* size, void** reqCls) {
        auto* self = static_cast<ScriptedHttpsServer*>(cls);
        if (*reqCls == nullptr) {
            *reqCls = new Context;
            return MHD_YES;
        }
        auto* ctx = static_cast<Context*>(*reqCls);
        if (*size != 0) {
            ctx->body.append(data, *size);
            *size = 0;
            return MHD_YES;
        }
        ScriptedReply r{404, {}, "not here"};
        {
            std::lock_guard<std::mutex> hold(self->lock_);
            self->seen_.push_back({method, url, ctx->body.size()});
            auto it = self->replies_.find(url);
            if (it != self->replies_.end()) r = it->second;
        }
        MHD_Response* response =
            MHD_create_response_from_buffer(r.body.size(), r.body.data(), MHD_RESPMEM_MUST_COPY);
        for (const auto& [name, value] : r.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
        const MHD_Result result = MHD_queue_response(connection, r.status, response);
        MHD_destroy_response(response);
        return result;
    }

    bool tls_;
    std::filesystem::path dir_;
    int authorities_ = 0;
    std::string cert_, key_, caFile_;
    MHD_Daemon* daemon_ = nullptr;
    std::uint16_t port_ = 0;
    std::atomic<int> connections_{0};
    std::mutex lock_;
    std::map<std::string, ScriptedReply> replies_;
    std::vector<SeenRequest> seen_;
};

}  // namespace orvane::test
