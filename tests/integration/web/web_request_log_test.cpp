// The web server's request log (--log-requests): one line per answered request with the peer's
// address and port, so that requests can be counted per TCP connection.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "platform/https.h"
#include "state/client_state.h"
#include "tests/fakes/web_server_fixture.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

TEST(WebRequestLog, OneLinePerRequestWithItsPeerMethodTargetAndStatus) {
    std::mutex lock;
    std::vector<std::string> lines;
    WebServerFixture server;
    std::string error;
    ASSERT_TRUE(server.start(error, [&](std::string_view line) {
        std::lock_guard<std::mutex> hold(lock);
        lines.emplace_back(line);
    })) << error;
    server.trust();
    ClientState state;
    auto owned = std::make_unique<web::WebState>(state, platform::systemHttps());  // too big for the stack
    web::WebState& web = *owned;
    web.host = server.host();
    web.port = server.port();

    EXPECT_GT(web::webGet(web, "/usb/", 0, 3), 0);
    EXPECT_EQ(web::webGet(web, "/echange/", 9, 1), 0);  // no picture on channel 9
    EXPECT_EQ(web::getPath(web, "/users/12/client xml\x01"), 0);

    std::lock_guard<std::mutex> hold(lock);
    ASSERT_EQ(lines.size(), 3u);
    const std::string peer = R"(request (127\.0\.0\.1|\[::1\]):[0-9]{1,5} )";
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(peer + R"(GET /usb//usb_red\.png 200)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(peer + R"(GET /echange/pc_img_share_get\.php\?F=9&N=1 404)")))
        << lines[1];
    // The target as it came, escaped by the client: the log itself holds only printable bytes.
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(peer + R"(GET /users/12/client%20xml%01 404)"))) << lines[2];
}

}  // namespace
}  // namespace orvane::test
