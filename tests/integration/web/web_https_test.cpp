// The web client against the real web server over HTTPS with a test authority.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "display/account_view.h"
#include "state/client_state.h"
#include "protocol/datagrams.h"
#include "servers/web/png_writer.h"
#include "tests/fakes/web_server_suite.h"
#include "tests/fakes/fake_ui.h"
#include "web/account.h"
#include "web/colour_save.h"
#include "web/picture_upload.h"
#include "web/web_client.h"
#include "web/web_paths.h"

namespace orvane::test {
namespace {

class WebHttpsTest : public WebServerSuite {
protected:
    WebHttpsTest() {
        web->ui = &ui;
        web->view = &view;
        state.ui.mainWindow = ui.mainWindow();
        static int machine = 0;
        std::snprintf(state.identity.machineId, sizeof state.identity.machineId, "%016d", ++machine);
    }
    std::string body() const { return std::string(reinterpret_cast<const char*>(web->body()), web->bodyLength()); }

    FakeUi ui;
    display::MainWindowAccountView view{state, &ui};
};

TEST_F(WebHttpsTest, AccountCardAndColourRoundTrip) {
    ASSERT_GT(web::fetchAccountResource(*web, 0, web::kAccountRequest), 0);
    const int number = state.identity.accountNumber;
    EXPECT_NE(number, kDefaultAccountNumber);
    EXPECT_EQ(server->store().accountByNumber(number)->machineId, state.identity.machineId);
    std::uint8_t datagram[64];
    const std::size_t n = protocol::buildKeepalive(datagram, protocol::KeepaliveVariant::N, state.identity.accountNumber,
                                              state.identity.machineId, state.identity.versionText);
    EXPECT_EQ(protocol::parseKeepalive(datagram, n).account, number);

    ASSERT_TRUE(server->store().setCard(number, {std::string("Z\xC3\xA9lie"), std::string("Arles"), std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(web::startupAccountFetches(*web), 0);  // no colour saved yet: the defaults message
    EXPECT_EQ(state.identity.accountNumber, number);  // same machine, same number
    EXPECT_STREQ(web->profile.firstName, "Z\xC3\xA9lie");
    EXPECT_EQ(ui.boxes.size(), 1u);

    EXPECT_EQ(web::saveBackgroundColour(*web, 0x00FF0000), 200);
    state.ui.backgroundColour = 0;
    EXPECT_GT(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(WebHttpsTest, StopStatusFromTheOperator) {
    server->store().findOrCreateAccount(state.identity.machineId, "");
    ASSERT_TRUE(server->store().setStatus(state.identity.machineId, 240, "Compte ferm\xE9"));
    web::fetchAccountResource(*web, 0, web::kAccountRequest);
    EXPECT_TRUE(web->stopRequested);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Le programme va s'arr\xC3\xAAter\nCompte ferm\xC3\xA9");
}

TEST_F(WebHttpsTest, DoubledSlashesAnd404) {
    for (int kind = 1; kind <= 3; ++kind) {
        EXPECT_GT(web::webGet(*web, "/usb/", 0, kind), 8) << kind;
        EXPECT_EQ(body().substr(0, 4), "\x89PNG");
    }
    const std::string before = body();
    EXPECT_EQ(web::webGet(*web, "/echange/", 9, 1), 0);  // channel 9 has no picture
    EXPECT_EQ(body(), before);
}

TEST_F(WebHttpsTest, TwoThreadsNeverMixTheirReplies) {
    // The serial device thread fetches its icon while the user-interface thread reads cards.
    const int number = server->store().findOrCreateAccount(state.identity.machineId, "")->number;
    ASSERT_TRUE(server->store().setCard(number, {std::string("Ana"), std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    const auto red = webserver::usbIcon(0xE00000);
    const std::string icon(red.begin(), red.end());
    int iconsOk = 0, cardsOk = 0;
    std::thread serial([&] {
        for (int i = 0; i < 20; ++i) {
            auto hold = web->lockRequests();
            if (web::webGet(*web, "/usb/", 0, 3) > 0 && body() == icon) ++iconsOk;
        }
    });
    for (int i = 0; i < 20; ++i) {
        auto hold = web->lockRequests();
        if (web::getPath(*web, web::userPath(number, "client.xml")) > 0 && body().find("<PRENOM>Ana</PRENOM>") != std::string::npos) ++cardsOk;
    }
    serial.join();
    EXPECT_EQ(iconsOk, 20);
    EXPECT_EQ(cardsOk, 20);
}

TEST_F(WebHttpsTest, BodiesUpToTheBufferSize) {
    webserver::SharedPicture big{"big.bin", webserver::Bytes(10'000'000, 'x')};
    ASSERT_TRUE(server->store().setSharedPicture(6, big));
    EXPECT_EQ(web::webGet(*web, "/echange/", 6, 1), 10'000'000);
    EXPECT_EQ(web->body()[10'000'000], 0);
    big.data.push_back('y');  // longer: the read stops at the last chunk that fitted
    ASSERT_TRUE(server->store().setSharedPicture(6, big));
    const std::int32_t n = web::webGet(*web, "/echange/", 6, 1);
    EXPECT_GT(n, 9'900'000);
    EXPECT_LT(n, 10'000'000);
    EXPECT_EQ(web->body()[n], 0);
}

TEST_F(WebHttpsTest, UnreachableServerOrUnknownAuthorityGiveMinusOne) {
    WebServerFixture stranger;  // an authority nobody trusts
    std::string error;
    ASSERT_TRUE(stranger.start(error)) << error;
    web->port = stranger.port();
    EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);
    EXPECT_EQ(web::fetchAccountResource(*web, 0, web::kAccountRequest), -1);

    web->port = 1;  // nothing listens there
    std::vector<int> lamps;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(web::webGet(*web, "/usb/", 0, 1), -1);
        lamps.push_back(state.lamps.lampHttps);
    }
    EXPECT_EQ(lamps, (std::vector<int>{3, 3, 3, 5}));  // the lamp still moves (one GET went before)
    EXPECT_EQ(state.identity.accountNumber, kDefaultAccountNumber);
}

TEST_F(WebHttpsTest, UploadRoundTripAndBodyLimit) {
    const auto path = server->dir() / "Vacances \xC3\xA9t\xC3\xA9.bmp";
    std::string bytes = "BM";
    for (int i = 0; i < 50'000; ++i) bytes.push_back(static_cast<char>(i * 7));
    std::ofstream(path, std::ios::binary) << bytes;
    ui.chooserAnswers.push_back(path.string());
    EXPECT_EQ(web::uploadSharedPicture(*web, 8), 200);
    EXPECT_EQ(server->store().sharedPicture(8)->name, "Vacances \xE9t\xE9.bmp");
    EXPECT_EQ(web::webGet(*web, "/echange/", 8, 1), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(body(), bytes);
    EXPECT_TRUE(std::filesystem::exists(server->dir() / "pictures" / "channel-8-Vacances__t_.bmp"));

    // A body one byte longer than the record is refused before it is read, also when its
    // first 10,000,268 bytes would make a valid record (which the store must then not get).
    platform::Https& h = platform::systemHttps();
    platform::HttpsHandle root = h.open(web::kUserAgent);
    platform::HttpsHandle conn = h.connect(root, web->host, web->port);
    std::vector<std::uint8_t> record(webserver::kMaxBodySize + 1, 0);
    const auto put = [&](std::size_t at, std::int32_t v) { std::memcpy(record.data() + at, &v, 4); };
    record[10'000'000] = 'x';
    put(10'000'256, 10);
    put(10'000'260, 1);
    put(10'000'264, 7);
    web->currentRequest = web::postRecord(*web, conn, "/echange/pc_img_share_post.php", record.data(), record.size());
    // The server answers 413 without reading the body; on a slow machine it may close the
    // connection before the client has finished sending, which the client sees as a failed
    // send. Either way the body must be refused: an accepted one would answer 200.
    if (web->currentRequest) {
        EXPECT_EQ(web::readStatusCode(*web), 413);
        h.close(web->currentRequest);
    }
    EXPECT_FALSE(server->store().sharedPicture(7));
    h.close(conn);
    h.close(root);
}

}  // namespace
}  // namespace orvane::test
