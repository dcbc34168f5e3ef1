// The real web server program under visitors that hold connections: it keeps no more than its
// limits, closes silent connections, takes no memory from announced lengths, refuses old TLS,
// and keeps answering a normal client from another address all the while.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/fakes/web_server_fixture.h"
#include "tests/integration/web/tls_probe.h"

namespace orvane::test {
namespace {

using Probes = std::vector<std::unique_ptr<TlsProbe>>;

bool waitUntil(const std::function<bool()>& done, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

int openCount(const Probes& probes) {
    int n = 0;
    for (const auto& p : probes) n += p->closedByServer(0) ? 0 : 1;
    return n;
}

class WebLimits : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.startProgram(ORVANE_WEB_SERVER_PROGRAM,
                                        {"--per-address", "8", "--max-connections", "64", "--idle-timeout", "4"}, error))
            << error;
    }
    bool normalClientServed() {
        TlsProbe p;
        return p.open("127.0.0.1", server.port()) &&
               p.send("GET /usb//usb_black.png HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n") &&
               p.readAll().rfind("HTTP/1.1 200", 0) == 0;
    }

    WebServerFixture server;
};

TEST_F(WebLimits, HeldConnectionsAreBoundedAndANormalClientIsStillServed) {
    const ProcessMemory before = processMemory(server.pid());
    Probes idle, uploads;
    for (int i = 0; i < 20; ++i) {
        idle.push_back(std::make_unique<TlsProbe>());
        ASSERT_TRUE(idle.back()->open("127.0.0.2", server.port(), ""));
    }
    // The server accepts the connections beyond its per-address limit and closes them at once.
    EXPECT_TRUE(waitUntil([&] { return openCount(idle) <= 8; })) << openCount(idle) << " idle connections kept";
    EXPECT_EQ(openCount(idle), 8);
    EXPECT_TRUE(normalClientServed());

    // Uploads announced at 10 MB, 64 kB of each sent, then silence.
    const std::string head = "POST /echange/pc_img_share_post.php HTTP/1.1\r\nHost: localhost\r\n"
                             "Content-Type: multipart/form-data\r\nContent-Length: 10000268\r\n\r\n";
    int handshakes = 0;
    for (int i = 0; i < 20; ++i) {
        uploads.push_back(std::make_unique<TlsProbe>());
        if (uploads.back()->open("127.0.0.3", server.port(), "NORMAL", 10000)) {
            ++handshakes;
            EXPECT_TRUE(uploads.back()->send(head) && uploads.back()->send(std::string(64 * 1024, 'x')));
        }
    }
    EXPECT_LE(handshakes, 8);
    EXPECT_GE(handshakes, 1);
    EXPECT_TRUE(normalClientServed());
    const ProcessMemory loaded = processMemory(server.pid());
    // Eight held uploads at most, each with what it sent: far below the 10 MB each announced
    // (the memory reserved from announced lengths was 10 MB of address space per connection).
    EXPECT_LT(loaded.rssKb - before.rssKb, 32 * 1024);
    // Address space also grows by the C library's per-thread heaps (64 MB each), more of which
    // appear when the server's threads contend on a busy machine: leave room for four.
    EXPECT_LT(loaded.sizeKb - before.sizeKb, 8 * 11 * 1024 + 4 * 64 * 1024);

    // Silent connections are closed after the idle time-out, uploads and plain ones alike.
    EXPECT_TRUE(waitUntil([&] { return openCount(idle) == 0 && openCount(uploads) == 0; }));
    EXPECT_TRUE(normalClientServed());
}

TEST_F(WebLimits, OnlyTls12AndNewer) {
    const struct {
        const char* priority;
        bool accepted;
    } cases[] = {
        {"NORMAL:-VERS-ALL:+VERS-TLS1.3", true},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.2", true},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.1", false},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.0", false},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.2:-CIPHER-ALL:+AES-128-CBC:-MAC-ALL:+SHA1", false},
    };
    for (const auto& c : cases) {
        TlsProbe p;
        EXPECT_EQ(p.open("127.0.0.1", server.port(), c.priority, 10000), c.accepted) << c.priority;
    }
    EXPECT_TRUE(normalClientServed());
}

}  // namespace
}  // namespace orvane::test
