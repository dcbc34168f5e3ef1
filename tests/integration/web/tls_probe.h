#pragma once
// Raw connections to the web server, for the tests and measurements of its limits: a TCP
// connection from a chosen loopback source address (127.0.0.2, … so that "another machine"
// can be told from the normal client on 127.0.0.1), and a GnuTLS session on it that can stop
// anywhere (after the handshake, after the request head, in the middle of a body) and stay
// idle there, or try a TLS version the server should refuse. Certificates are not checked:
// these connections are the visitors a server must withstand, not the client.
#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string>

namespace orvane::test {

// A blocking TCP connection from `source` (port chosen by the system) to 127.0.0.1:port; -1
// when it cannot be made.
inline int connectFrom(const char* source, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True when the peer has closed (or reset) the connection; waits at most `waitMs` for it.
inline bool peerClosed(int fd, int waitMs) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, waitMs) <= 0) return false;
    if (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) return true;
    char c;
    const ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

class TlsProbe {
public:
    TlsProbe() = default;
    TlsProbe(const TlsProbe&) = delete;
    TlsProbe& operator=(const TlsProbe&) = delete;
    ~TlsProbe() { close(); }

    // Connects from `source` and, unless `priority` is empty, completes a TLS handshake with
    // that GnuTLS priority string within `timeoutMs`.
    bool open(const char* source, std::uint16_t port, const std::string& priority = "NORMAL", int timeoutMs = 20000) {
        fd_ = connectFrom(source, port);
        if (fd_ < 0 || priority.empty()) return fd_ >= 0;
        if (gnutls_certificate_allocate_credentials(&cred_) != GNUTLS_E_SUCCESS ||
            gnutls_init(&session_, GNUTLS_CLIENT) != GNUTLS_E_SUCCESS ||
            gnutls_priority_set_direct(session_, priority.c_str(), nullptr) != GNUTLS_E_SUCCESS ||
            gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, cred_) != GNUTLS_E_SUCCESS) {
            return false;
        }
        gnutls_server_name_set(session_, GNUTLS_NAME_DNS, "localhost", 9);
        gnutls_transport_set_int(session_, fd_);
        gnutls_handshake_set_timeout(session_, static_cast<unsigned>(timeoutMs));
        int r;
        do r = gnutls_handshake(session_);
        while (r < 0 && gnutls_error_is_fatal(r) == 0);
        handshaken_ = r == GNUTLS_E_SUCCESS;
        return handshaken_;
    }

    bool send(const std::string& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = session_ != nullptr && handshaken_
                                  ? gnutls_record_send(session_, bytes.data() + at, bytes.size() - at)
                                  : ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
            if (n <= 0) return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Everything the server sends until it closes the connection (or `timeoutMs` of silence).
    std::string readAll(int timeoutMs = 20000) {
        std::string out;
        if (!handshaken_) return out;
        char buffer[16384];
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (gnutls_record_check_pending(session_) == 0 && ::poll(&p, 1, timeoutMs) <= 0) break;
            const ssize_t n = gnutls_record_recv(session_, buffer, sizeof buffer);
            if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) continue;
            if (n <= 0) break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }

    bool closedByServer(int waitMs) const { return fd_ < 0 || peerClosed(fd_, waitMs); }
    const char* protocol() const { return session_ ? gnutls_protocol_get_name(gnutls_protocol_get_version(session_)) : ""; }

    void close() {
        if (session_ != nullptr) gnutls_deinit(session_);
        if (cred_ != nullptr) gnutls_certificate_free_credentials(cred_);
        if (fd_ >= 0) ::close(fd_);
        session_ = nullptr;
        cred_ = nullptr;
        fd_ = -1;
        handshaken_ = false;
    }

private:
    int fd_ = -1;
    gnutls_session_t session_ = nullptr;
    gnutls_certificate_credentials_t cred_ = nullptr;
    bool handshaken_ = false;
};

// Resident and virtual size of a process in kB, from /proc/PID/status (0 when unknown).
struct ProcessMemory {
    long rssKb = 0;
    long sizeKb = 0;
};
inline ProcessMemory processMemory(int pid) {
    ProcessMemory m;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == "VmRSS:" && in >> value) m.rssKb = value;
        else if (key == "VmSize:" && in >> value) m.sizeKb = value;
        else in.ignore(1 << 16, '\n');
    }
    return m;
}

}  // namespace orvane::test
