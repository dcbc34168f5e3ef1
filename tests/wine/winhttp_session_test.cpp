// The web client over WinHTTP under Wine, against the reference web server that the installed
// program's test (tests/wine/installed_test.sh) starts with a short idle time-out and its
// request log: requests to one host share the process's session and its connections, a
// connection the server closed while idle is replaced without the caller seeing it, every
// result code stays what the request sequence gives, and certificates are still verified.
//   ORVANE_WINE_WEB_PORT       the server (its authority trusted in the prefix), --idle-timeout 1
//   ORVANE_WINE_WEB_LOG        its --log-requests output (a Windows path)
//   ORVANE_WINE_UNTRUSTED_PORT a server whose authority the prefix does not trust
//   ORVANE_WINE_CLOSING_PORT   tests/wine/closing_server.py (trusted), which drops every kept
//   ORVANE_WINE_CLOSING_LOG    connection when its second request comes, and its log
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/https.h"
#include "state/client_state.h"
#include "web/account.h"
#include "web/colour_save.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

struct LogLine {
    std::string peer;  // address:port, one per TCP connection
    std::string method;
    std::string target;
    int status = 0;
};

std::vector<std::string> readLines(const std::string& file) {
    std::vector<std::string> out;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<LogLine> readLog() {
    std::vector<LogLine> out;
    std::ifstream in(env("ORVANE_WINE_WEB_LOG"));
    for (std::string line; std::getline(in, line);) {
        char peer[64] = {}, method[16] = {}, target[512] = {};
        int status = 0;
        if (std::sscanf(line.c_str(), "request %63s %15s %511s %d", peer, method, target, &status) == 4) {
            out.push_back({peer, method, target, status});
        }
    }
    return out;
}

class WinHttpSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (env("ORVANE_WINE_WEB_PORT").empty()) GTEST_FAIL() << "run by tests/wine/installed_test.sh";
        web = std::make_unique<web::WebState>(state, platform::systemHttps());
        web->host = "localhost";
        web->port = static_cast<std::uint16_t>(std::atoi(env("ORVANE_WINE_WEB_PORT").c_str()));
        logged = readLog().size();
    }
    // The lines logged since the test began.
    std::vector<LogLine> newLines() {
        std::vector<LogLine> all = readLog();
        return std::vector<LogLine>(all.begin() + static_cast<std::ptrdiff_t>(logged), all.end());
    }

    ClientState state;
    std::unique_ptr<web::WebState> web;
    std::size_t logged = 0;
};

TEST_F(WinHttpSession, RequestsToOneHostShareOneConnectionWithTheirResultsUnchanged) {
    for (int kind : {1, 2, 3, 1}) EXPECT_GT(web::webGet(*web, "/usb/", 0, kind), 8) << kind;
    const std::string icon(reinterpret_cast<const char*>(web->body()), web->bodyLength());
    // A 404 gives 0 and leaves the previous body; its page is read away, so the connection
    // still serves the next request.
    EXPECT_EQ(web::webGet(*web, "/echange/", 9, 1), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(web->body()), web->bodyLength()), icon);
    EXPECT_GT(web::webGet(*web, "/usb/", 0, 2), 8);

    const auto lines = newLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4].status, 404);
    for (const LogLine& l : lines) EXPECT_EQ(l.peer, lines[0].peer) << l.target;
}

TEST_F(WinHttpSession, APostGoesOverTheSameConnectionAsTheGetsBeforeIt) {
    std::snprintf(state.identity.machineId, sizeof state.identity.machineId, "%016d", 777001);
    ASSERT_GT(web::fetchAccountResource(*web, 0, web::kAccountRequest), 0);
    ASSERT_NE(state.identity.accountNumber, kDefaultAccountNumber);
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x00123456), 200);
    EXPECT_GT(web::fetchAccountResource(*web, state.identity.accountNumber, web::kOwnParameters), 0);
    EXPECT_EQ(state.ui.backgroundColour, 0x00123456u);

    const auto lines = newLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].method, "POST");
    EXPECT_EQ(lines[1].status, 200);
    for (const LogLine& l : lines) EXPECT_EQ(l.peer, lines[0].peer) << l.target;
}

TEST_F(WinHttpSession, AConnectionTheServerClosedWhileIdleIsReplacedSilently) {
    EXPECT_GT(web::webGet(*web, "/usb/", 0, 1), 8);
    Sleep(2500);  // the server closes a connection idle for 1 s
    EXPECT_GT(web::webGet(*web, "/usb/", 0, 3), 8);
    EXPECT_GT(web::webGet(*web, "/usb/", 0, 2), 8);

    const auto lines = newLines();
    ASSERT_EQ(lines.size(), 3u);  // each request reached the server once
    EXPECT_NE(lines[1].peer, lines[0].peer);
    EXPECT_EQ(lines[2].peer, lines[1].peer);
}

TEST_F(WinHttpSession, ARequestOnAKeptConnectionThatTheServerDropsIsSentOnceMoreOnAFreshOne) {
    web->port = static_cast<std::uint16_t>(std::atoi(env("ORVANE_WINE_CLOSING_PORT").c_str()));
    ASSERT_NE(web->port, 0);
    const std::size_t before = readLines(env("ORVANE_WINE_CLOSING_LOG")).size();
    for (int kind : {1, 2, 3}) EXPECT_GT(web::webGet(*web, "/usb/", 0, kind), 8) << kind;

    const auto all = readLines(env("ORVANE_WINE_CLOSING_LOG"));
    const std::vector<std::string> lines(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    ASSERT_EQ(lines.size(), 5u);
    // Each request that met a dropped connection went once more, on the next connection.
    EXPECT_NE(lines[0].find("request 1 answered /usb//usb_black.png"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("request 2 dropped /usb//usb_green.png"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("request 1 answered /usb//usb_green.png"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("request 2 dropped /usb//usb_red.png"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find("request 1 answered /usb//usb_red.png"), std::string::npos) << lines[4];
}

TEST_F(WinHttpSession, AServerOfAnUnknownAuthorityIsRefusedOnEveryAttempt) {
    const auto trusted = web->port;
    web->port = static_cast<std::uint16_t>(std::atoi(env("ORVANE_WINE_UNTRUSTED_PORT").c_str()));
    ASSERT_NE(web->port, 0);
    EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);
    EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);  // nothing kept from the failure lets it through
    web->port = trusted;
    EXPECT_GT(web::webGet(*web, "/usb/", 0, 1), 8);
}

}  // namespace
}  // namespace orvane::test
