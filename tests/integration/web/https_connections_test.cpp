// The platform's HTTPS under the web client: how many connections a run of requests costs,
// what happens when the server closes one, that every new connection checks the certificate,
// and which redirects are followed. Against a scripted server whose replies the test writes.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/https.h"
#include "state/client_state.h"
#include "tests/integration/web/scripted_https_server.h"
#include "web/colour_save.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

class HttpsConnections : public ::testing::Test {
protected:
    HttpsConnections() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {
        web->host = "localhost";
    }
    ~HttpsConnections() override { platform::setExtraCaFile(""); }

    void serve(unsigned idleTimeoutSeconds = 20) {
        server.idleTimeoutSeconds = idleTimeoutSeconds;
        ASSERT_TRUE(server.start()) << "the scripted server did not start";
        platform::setExtraCaFile(server.caFile());
        web->port = server.port();
    }
    std::int32_t get(const std::string& path) { return web::getPath(*web, path); }
    std::string body() const { return std::string(reinterpret_cast<const char*>(web->body()), web->bodyLength()); }

    ScriptedHttpsServer server;
    ClientState state;
    std::unique_ptr<web::WebState> web;
};

// The group list's pictures, a missing one among them and a colour save: one TCP connection and
// one TLS handshake for all of them, each request as it was, each result as it was.
TEST_F(HttpsConnections, ARunOfRequestsGoesOverOneConnection) {
    serve();
    server.reply("/users//images.php", {200, {{"Content-Type", "image/png"}}, std::string(3000, 'p')});
    server.reply("/users/7/params.php", {200, {}, "OK"});
    state.identity.accountNumber = 7;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(web::webGet(*web, "/users/", 100 + i, 1), 3000);
    EXPECT_EQ(web::webGet(*web, "/echange/", 3, 1), 0);  // 404: its page is read and dropped
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x00FF00), 200);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(web::webGet(*web, "/users/", 200 + i, 1), 3000);
    const auto seen = server.seen();
    ASSERT_EQ(seen.size(), 42u);
    EXPECT_EQ(seen[20].target, "/echange/pc_img_share_get.php");
    EXPECT_EQ(seen[21].method + " " + seen[21].target + " " + std::to_string(seen[21].bodyBytes),
              "POST /users/7/params.php 20");
    EXPECT_EQ(server.connections(), 1);
}

// The server drops a connection idle for its time-out; the next request goes out on a new one
// without a word (no error line, the same result).
TEST_F(HttpsConnections, AConnectionTheServerClosedIsReplacedSilently) {
    serve(1);
    server.reply("/a", {200, {}, "alpha"});
    server.reply("/users/7/params.php", {200, {}, "OK"});
    state.identity.accountNumber = 7;
    EXPECT_EQ(get("/a"), 5);
    EXPECT_EQ(get("/a"), 5);
    EXPECT_EQ(server.connections(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the server closes it after 1 s
    testing::internal::CaptureStdout();
    EXPECT_EQ(get("/a"), 5);
    EXPECT_EQ(body(), "alpha");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x0000FF), 200);  // a POST after it too
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(server.connections(), 3);
    EXPECT_EQ(server.seen().size(), 4u);
}

// A kept connection does not carry trust over to a new one: the server's replacement, with a
// certificate of an authority nobody trusts, is refused; trusted again, it is taken.
TEST_F(HttpsConnections, EveryNewConnectionChecksTheCertificate) {
    serve();
    server.reply("/a", {200, {}, "alpha"});
    EXPECT_EQ(get("/a"), 5);
    ASSERT_TRUE(server.restart(true)) << "could not serve again on port " << server.port();
    server.reply("/a", {200, {}, "alpha"});
    EXPECT_EQ(get("/a"), -1);
    platform::setExtraCaFile(server.caFile());
    EXPECT_EQ(get("/a"), 5);
    ASSERT_TRUE(server.restart(false));  // same certificate: simply a new connection
    EXPECT_EQ(get("/a"), 5);
}

// Redirects as the platform's request library follows them by default: to https only, at most
// ten in a row; the redirect's own page is never taken for the reply.
TEST_F(HttpsConnections, RedirectsAreFollowedToHttpsOnlyAndAtMostTen) {
    serve();
    ScriptedHttpsServer plain(false);
    ASSERT_TRUE(plain.start());
    ScriptedHttpsServer stranger;  // an authority nobody trusts
    ASSERT_TRUE(stranger.start());
    stranger.reply("/final", {200, {}, "stranger"});
    plain.reply("/final", {200, {}, "plain"});
    server.reply("/final", {200, {}, "final"});
    for (unsigned status : {301u, 302u, 303u, 307u, 308u})
        server.redirect("/moved" + std::to_string(status), status, "/final");
    server.redirect("/absolute", 302, server.origin() + "/final");
    for (int i = 0; i < 11; ++i) server.redirect("/hop" + std::to_string(i), 302, "/hop" + std::to_string(i + 1));
    server.reply("/hop11", {200, {}, "far"});
    server.redirect("/to-http", 302, plain.origin() + "/final");
    server.redirect("/to-stranger", 302, stranger.origin() + "/final");
    server.reply("/no-location", {302, {}, "stay"});

    const struct {
        const char* path;
        std::int32_t result;
        const char* body;
    } cases[] = {
        {"/moved301", 5, "final"}, {"/moved302", 5, "final"}, {"/moved303", 5, "final"},
        {"/moved307", 5, "final"}, {"/moved308", 5, "final"}, {"/absolute", 5, "final"},
        {"/hop1", 3, "far"},       // ten redirects
        {"/hop0", -1, nullptr},    // eleven
        {"/to-http", -1, nullptr}, // https to http: refused
        {"/to-stranger", -1, nullptr},
        {"/no-location", 0, nullptr},  // not a redirect: a status that is not 200
    };
    for (const auto& c : cases) {
        EXPECT_EQ(get(c.path), c.result) << c.path;
        if (c.body != nullptr) {
            EXPECT_EQ(body(), c.body) << c.path;
        }
    }
    EXPECT_TRUE(plain.seen().empty()) << "a request went out in the clear";
    EXPECT_TRUE(stranger.seen().empty());
}

// A POST sent to a 307 or 308 goes to the new place with its body; a 301, 302 or 303 turns it
// into a GET there, as the platform's request library does.
TEST_F(HttpsConnections, PostRedirectsKeepOrDropTheBodyByStatus) {
    serve();
    server.reply("/saved", {200, {}, ""});
    for (unsigned status : {301u, 302u, 303u, 307u, 308u})
        server.redirect("/save" + std::to_string(status), status, "/saved");
    const std::string record(20, 'c');
    platform::Https& h = platform::systemHttps();
    for (unsigned status : {301u, 302u, 303u, 307u, 308u}) {
        platform::HttpsHandle root = h.open(web::kUserAgent);
        platform::HttpsHandle connection = h.connect(root, "localhost", server.port());
        platform::HttpsHandle request =
            web::postRecord(*web, connection, "/save" + std::to_string(status), record.data(), record.size());
        ASSERT_NE(request, nullptr) << status;
        web->currentRequest = request;
        EXPECT_EQ(web::readStatusCode(*web), 200) << status;
        h.close(request);
        web->currentRequest = nullptr;
        h.close(connection);
        h.close(root);
        const SeenRequest last = server.seen().back();
        const bool keeps = status == 307 || status == 308;
        EXPECT_EQ(last.method + " " + last.target + " " + std::to_string(last.bodyBytes),
                  std::string(keeps ? "POST" : "GET") + " /saved " + (keeps ? "20" : "0"))
            << status;
    }
    EXPECT_EQ(server.connections(), 1);
}

// The rest of a reply the caller did not read keeps its connection when it is short (an error
// page); a long one is left, with its connection, and the next request takes a new one.
TEST_F(HttpsConnections, AnUnreadShortRestKeepsTheConnectionALongOneDoesNot) {
    serve();
    server.reply("/missing", {404, {}, std::string(2000, 'e')});
    server.reply("/big", {200, {}, std::string(2'000'000, 'b')});
    server.reply("/a", {200, {}, "alpha"});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(get("/missing"), 0);
    EXPECT_EQ(get("/a"), 5);
    EXPECT_EQ(server.connections(), 1);

    platform::Https& h = platform::systemHttps();
    platform::HttpsHandle root = h.open(web::kUserAgent);
    platform::HttpsHandle connection = h.connect(root, "localhost", server.port());
    platform::HttpsHandle request = h.openRequest(connection, "GET", "/big");
    ASSERT_TRUE(h.sendRequest(request, {}, nullptr, 0));
    ASSERT_TRUE(h.receiveResponse(request));
    std::uint32_t code = 0;
    EXPECT_TRUE(h.queryStatusCode(request, code));
    EXPECT_EQ(code, 200u);
    h.close(request);  // 2 MB left unread
    h.close(connection);
    h.close(root);
    EXPECT_EQ(get("/a"), 5);
    EXPECT_EQ(body(), "alpha");
    EXPECT_EQ(server.connections(), 2);
}

}  // namespace
}  // namespace orvane::test
