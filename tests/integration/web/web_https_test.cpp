// The web client against the real web server over HTTPS with a test authority.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "core/client_state.h"
#include "net/datagrams.h"
#include "tests/integration/web/web_server_fixture.h"
#include "tests/unit/web/fake_ui.h"
#include "web/account.h"
#include "web/colour_save.h"
#include "web/picture_upload.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

class WebHttpsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new WebServerFixture;
        ASSERT_TRUE(server->makeAuthority("trusted"));
        ASSERT_TRUE(server->makeAuthority("stranger"));
        std::string error;
        ASSERT_TRUE(server->start("trusted", error)) << error;
        platform::setExtraCaFile(server->caFile("trusted"));
    }
    static void TearDownTestSuite() {
        platform::setExtraCaFile("");
        delete server;
        server = nullptr;
    }

    WebHttpsTest() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {
        web->host = "localhost";
        web->port = server->port();
        web->ui = &ui;
        main = ui.mainWindow();
        state.ui.mainWindow = main;
    }

    std::string body() const { return std::string(reinterpret_cast<const char*>(web->body()), web->bodyLength()); }

    // An account for a fresh machine identifier, as start-up gets it.
    int newAccount() {
        static int next = 0;
        std::snprintf(state.identity.machineId, sizeof state.identity.machineId, "%016d", 4242000 + ++next);
        EXPECT_GT(web::fetchAccountResource(*web, 0, web::kAccountRequest), 0);
        return state.identity.accountNumber;
    }

    static WebServerFixture* server;
    ClientState state;
    FakeUi ui;
    FakeWindow* main = nullptr;
    std::unique_ptr<web::WebState> web;
};

WebServerFixture* WebHttpsTest::server = nullptr;

TEST_F(WebHttpsTest, AccountNumberReachesTheDatagrams) {
    EXPECT_EQ(state.identity.accountNumber, kDefaultAccountNumber);
    const int number = newAccount();
    EXPECT_GE(number, webserver::kFirstAccountNumber);
    EXPECT_NE(number, kDefaultAccountNumber);
    const auto account = server->store().accountByNumber(number);
    ASSERT_TRUE(account.has_value());
    EXPECT_EQ(account->machineId, state.identity.machineId);

    std::uint8_t datagram[64];
    const std::size_t n = net::buildKeepalive(datagram, net::KeepaliveVariant::N, state.identity.accountNumber,
                                              state.identity.machineId, state.identity.versionText);
    const net::Keepalive k = net::parseKeepalive(datagram, n);
    ASSERT_TRUE(k.valid);
    EXPECT_EQ(k.account, number);

    // The same machine keeps its number; another one gets its own.
    EXPECT_GT(web::fetchAccountResource(*web, 0, web::kAccountRequest), 0);
    EXPECT_EQ(state.identity.accountNumber, number);
    EXPECT_NE(newAccount(), number);
}

TEST_F(WebHttpsTest, StartupGetsCardAndColourOrWarns) {
    std::snprintf(state.identity.machineId, sizeof state.identity.machineId, "%016d", 777);
    const int number = server->store().findOrCreateAccount(state.identity.machineId, "")->number;
    webserver::Card card;
    card.firstName = "Z\xC3\xA9lie";
    card.town = "Arles";
    card.phrase = "Bonjour \xC3\xA0 tous";
    ASSERT_TRUE(server->store().setCard(number, card));

    // No colour saved yet: the defaults message.
    EXPECT_EQ(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.identity.accountNumber, number);
    EXPECT_STREQ(web->profile.firstName, "Z\xC3\xA9lie");
    EXPECT_STREQ(web->profile.phrase, "Bonjour \xC3\xA0 tous");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Acquisition des param\xC3\xA8tres");

    // The colour saved from the parameters window comes back at the next start.
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x00FF0000), 200);  // blue
    state.ui.backgroundColour = 0;
    EXPECT_GT(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(server->store().background(number), 0x00FF0000u);
}

TEST_F(WebHttpsTest, StopStatusFromTheOperator) {
    std::snprintf(state.identity.machineId, sizeof state.identity.machineId, "%016d", 888);
    server->store().findOrCreateAccount(state.identity.machineId, "");
    ASSERT_TRUE(server->store().setStatus(state.identity.machineId, 240, "Compte ferm\xE9"));
    web::fetchAccountResource(*web, 0, web::kAccountRequest);
    EXPECT_TRUE(web->stopRequested);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Le programme va s'arr\xC3\xAAter\nCompte ferm\xC3\xA9");
    EXPECT_EQ(ui.destroyed.size(), 1u);
}

TEST_F(WebHttpsTest, DoubledSlashesArriveAsSent) {
    for (int kind = 1; kind <= 3; ++kind) {
        const std::int32_t n = web::webGet(*web, "/usb/", 0, kind);
        EXPECT_GT(n, 8) << kind;
        EXPECT_EQ(std::memcmp(web->body(), "\x89PNG", 4), 0);
    }
}

TEST_F(WebHttpsTest, A404KeepsThePreviousBody) {
    ASSERT_GT(web::webGet(*web, "/usb/", 0, 3), 0);
    const std::string before = body();
    EXPECT_EQ(web::webGet(*web, "/echange/", 9, 1), 0);  // channel 9 has no picture
    EXPECT_EQ(body(), before);
}

TEST_F(WebHttpsTest, BodiesUpToTheBufferSize) {
    webserver::SharedPicture exact{"exact.bin", webserver::Bytes(10'000'000, 'x')};
    ASSERT_TRUE(server->store().setSharedPicture(6, exact));
    EXPECT_EQ(web::webGet(*web, "/echange/", 6, 1), 10'000'000);
    EXPECT_EQ(web->body()[9'999'999], 'x');
    EXPECT_EQ(web->body()[10'000'000], 0);

    // Longer: the read stops at the last chunk that fitted.
    exact.data.push_back('y');
    ASSERT_TRUE(server->store().setSharedPicture(6, exact));
    const std::int32_t n = web::webGet(*web, "/echange/", 6, 1);
    EXPECT_LT(n, 10'000'000);
    EXPECT_GT(n, 9'000'000);
    EXPECT_EQ(web->body()[n], 0);
}

TEST_F(WebHttpsTest, UnreachableServerGivesMinusOneAndTheLampStillMoves) {
    web->port = unusedPort();
    std::vector<int> lamps;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);
        lamps.push_back(state.lamps.lampHttps);
    }
    EXPECT_EQ(lamps, (std::vector<int>{3, 3, 3, 3, 5}));
    EXPECT_EQ(web::startupAccountFetches(*web), -1);
    EXPECT_EQ(state.identity.accountNumber, kDefaultAccountNumber);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(WebHttpsTest, UnknownAuthorityIsRefused) {
    WebServerFixture stranger;
    ASSERT_TRUE(stranger.makeAuthority("other"));
    std::string error;
    ASSERT_TRUE(stranger.start("other", error)) << error;
    web->port = stranger.port();
    EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);
    EXPECT_EQ(web::fetchAccountResource(*web, 0, web::kAccountRequest), -1);
}

TEST_F(WebHttpsTest, UploadRoundTrip) {
    const auto path = server->dir() / "Vacances \xC3\xA9t\xC3\xA9.bmp";
    std::string bytes = "BM";
    for (int i = 0; i < 50'000; ++i) bytes.push_back(static_cast<char>(i * 7));
    std::ofstream(path, std::ios::binary) << bytes;
    ui.chooserAnswers.push_back(path.string());
    EXPECT_EQ(web::uploadSharedPicture(*web, 8), 200);
    const auto stored = server->store().sharedPicture(8);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->name, "Vacances \xE9t\xE9.bmp");
    EXPECT_EQ(std::string(stored->data.begin(), stored->data.end()), bytes);

    EXPECT_EQ(web::webGet(*web, "/echange/", 8, 1), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(body(), bytes);
    EXPECT_TRUE(std::filesystem::exists(server->dir() / "pictures" / "channel-8-Vacances__t_.bmp"));
}

TEST_F(WebHttpsTest, AnOversizedBodyIsRefused) {
    auto hold = web->lockRequests();
    platform::Https& h = platform::systemHttps();
    platform::HttpsHandle root = h.open(web::kUserAgent);
    platform::HttpsHandle conn = h.connect(root, web->host, web->port);
    std::vector<std::uint8_t> record(webserver::kMaxBodySize + 1, 0);
    platform::HttpsHandle req = web::postRecord(*web, conn, "/echange/pc_img_share_post.php", record.data(), record.size());
    // Either the server answers 413 or it drops the connection before the body is through.
    if (req != nullptr) {
        web->currentRequest = req;
        EXPECT_EQ(web::readStatusCode(*web), 413);
        h.close(req);
        web->currentRequest = nullptr;
    }
    h.close(conn);
    h.close(root);
}

}  // namespace
}  // namespace orvane::test
