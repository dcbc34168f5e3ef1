// What the web server withstands from visitors that hold connections: the real program in its
// own process, N idle TCP connections from one address, then N TLS connections from another
// that announce a 10 MB upload, send 64 kB of it and stay silent; after each wave, how many
// the server kept, its memory (from /proc) and how long a normal request takes from 127.0.0.1.
//
//   web_limits_bench [N] [-- extra server arguments]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/fakes/web_server_fixture.h"
#include "tests/integration/web/tls_probe.h"

namespace {

using namespace orvane::test;

void report(const char* what, int pid, int kept, int total) {
    const ProcessMemory m = processMemory(pid);
    std::printf("%-44s kept %4d of %4d   RSS %7ld kB   VmSize %8ld kB\n", what, kept, total, m.rssKb, m.sizeKb);
}

void normalRequest(std::uint16_t port) {
    const auto t0 = std::chrono::steady_clock::now();
    TlsProbe p;
    std::string reply;
    if (p.open("127.0.0.1", port, "NORMAL", 30000) && p.send("GET /usb//usb_black.png HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n")) {
        reply = p.readAll(30000);
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("  normal client from 127.0.0.1: %s in %.1f ms\n",
                reply.rfind("HTTP/1.1 200", 0) == 0 ? "200" : ("no answer (" + std::to_string(reply.size()) + " bytes)").c_str(), ms);
}

int kept(std::vector<std::unique_ptr<TlsProbe>>& probes) {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    int n = 0;
    for (auto& p : probes) n += p->closedByServer(0) ? 0 : 1;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 200;
    std::vector<std::string> extra;
    int i = 1;
    if (i < argc && std::string(argv[i]) != "--") count = std::atoi(argv[i++]);
    if (i < argc && std::string(argv[i]) == "--") ++i;
    for (; i < argc; ++i) extra.emplace_back(argv[i]);
    rlimit fds{4096, 4096};
    ::setrlimit(RLIMIT_NOFILE, &fds);

    WebServerFixture server;
    std::string error;
    if (!server.startProgram(ORVANE_WEB_SERVER_PROGRAM, extra, error)) {
        std::fprintf(stderr, "web_limits_bench: no server: %s\n", error.c_str());
        return 1;
    }
    report("started", server.pid(), 0, 0);
    normalRequest(server.port());

    std::vector<std::unique_ptr<TlsProbe>> idle;
    for (int k = 0; k < count; ++k) {
        idle.push_back(std::make_unique<TlsProbe>());
        idle.back()->open("127.0.0.2", server.port(), "");
    }
    report("idle TCP connections from 127.0.0.2", server.pid(), kept(idle), count);
    normalRequest(server.port());

    std::vector<std::unique_ptr<TlsProbe>> uploads;
    const std::string head = "POST /echange/pc_img_share_post.php HTTP/1.1\r\nHost: localhost\r\n"
                             "Content-Type: multipart/form-data\r\nContent-Length: 10000268\r\n\r\n";
    const std::string part(64 * 1024, 'x');
    int handshaken = 0;
    for (int k = 0; k < count; ++k) {
        uploads.push_back(std::make_unique<TlsProbe>());
        if (uploads.back()->open("127.0.0.3", server.port(), "NORMAL", 5000)) {
            ++handshaken;
            uploads.back()->send(head) && uploads.back()->send(part);
        }
    }
    std::printf("  (%d TLS handshakes completed)\n", handshaken);
    report("+ 10 MB uploads announced, 64 kB sent, 127.0.0.3", server.pid(), kept(uploads), count);
    normalRequest(server.port());
    idle.clear();
    uploads.clear();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    report("all closed", server.pid(), 0, 0);
    return 0;
}
