#include "web/web_client.h"

#include <gtest/gtest.h>

#include "tests/unit/web/web_fixture.h"
#include "web/account.h"
#include "web/picture_upload.h"

namespace orvane::test {
namespace {

using web::webGet;
using Fail = FakeReply::FailAt;

class WebClientTest : public WebTest {};

TEST_F(WebClientTest, GetStoresTheBodyAndTerminatesIt) {
    https.queue(FakeReply::ok("hello"));
    EXPECT_EQ(webGet(*web, "/usb/", 0, 2), 5);
    EXPECT_EQ(bodyText(), "hello");
    EXPECT_EQ(web->body()[5], 0);
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].verb, "GET");
    EXPECT_EQ(https.sent[0].path, "/usb//usb_green.png");
    EXPECT_EQ(https.sent[0].header, "");
    EXPECT_EQ(https.host, "web.test");
    EXPECT_EQ(https.port, 4430);
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(WebClientTest, FailuresGiveTheirResultCodesAndCloseEverything) {
    const struct {
        Fail at;
        int result;
    } cases[] = {
        {Fail::Open, 1}, {Fail::Connect, -1}, {Fail::OpenRequest, -1}, {Fail::Send, -1}, {Fail::Receive, -1},
    };
    for (const auto& c : cases) {
        https.queue(FakeReply::failing(c.at));
        EXPECT_EQ(webGet(*web, "/usb/", 0, 1), c.result) << static_cast<int>(c.at);
        EXPECT_EQ(https.openHandles, 0);
        EXPECT_EQ(web->currentRequest, nullptr);
    }
}

TEST_F(WebClientTest, AStatusOtherThan200KeepsThePreviousBody) {
    https.queue(FakeReply::ok("first body"));
    https.queue(FakeReply::withStatus(404, "Not Found"));
    https.queue(FakeReply::ok(""));
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 10);
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 0);
    EXPECT_EQ(bodyText(), "first body");
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 0);  // an empty 200 body
    EXPECT_EQ(web->bodyLength(), 0u);
}

TEST_F(WebClientTest, AFailedStatusQueryReadsTheBodyAnyway) {
    FakeReply r = FakeReply::ok("body");
    r.failAt = Fail::StatusQuery;
    https.queue(r);
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 4);
}

TEST_F(WebClientTest, BufferBounds) {
    // Exactly 10,000,000 bytes in 16 KiB chunks: read whole, and still terminated.
    FakeReply exact;
    const std::string chunk(16384, 'z');
    std::size_t total = 0;
    while (total < web::kResponseCapacity) {
        const std::size_t n = std::min(chunk.size(), web::kResponseCapacity - total);
        exact.chunks.push_back(chunk.substr(0, n));
        total += n;
    }
    https.queue(exact);
    EXPECT_EQ(webGet(*web, "/echange/", 1, 1), 10'000'000);
    EXPECT_EQ(web->body()[10'000'000], 0);

    // One byte more: the chunk that does not fit ends the read; what fitted stays.
    FakeReply longer = exact;
    longer.chunks.back() += 'y';
    https.queue(longer);
    const std::int32_t n = webGet(*web, "/echange/", 1, 1);
    EXPECT_EQ(n, static_cast<std::int32_t>(10'000'000 - longer.chunks.back().size() + 1));
    EXPECT_EQ(web->body()[n], 0);
}

TEST_F(WebClientTest, EachKindOfRequestHasItsOwnLampCounter) {
    // GETs: green four times, blue four times, then green again.
    std::vector<int> lamps;
    for (int i = 0; i < 9; ++i) {
        https.queue(FakeReply::failing(Fail::Connect));
        webGet(*web, "/usb/", 0, 1);
        lamps.push_back(state.lamps.lampHttps);
    }
    EXPECT_EQ(lamps, (std::vector<int>{3, 3, 3, 3, 5, 5, 5, 5, 3}));

    // The account fetch counter starts from 0 on its own, the upload counter too.
    web::fetchAccountResource(*web, 1, web::kOwnCard);
    EXPECT_EQ(state.lamps.lampHttps, kLampGreen);
    for (int i = 0; i < 4; ++i) web::fetchAccountResource(*web, 1, web::kOwnCard);
    EXPECT_EQ(state.lamps.lampHttps, kLampBlue);
    web::uploadSharedPicture(*web, 1);  // cancelled chooser
    EXPECT_EQ(state.lamps.lampHttps, kLampGreen);
}

TEST_F(WebClientTest, PostSendsTheRawRecordWithOneHeader) {
    https.queue(FakeReply::withStatus(201, "created"));
    const std::uint8_t record[4] = {1, 2, 3, 4};
    auto hold = web->lockRequests();
    platform::HttpsHandle root = https.open("Orvane/1.0");
    platform::HttpsHandle conn = https.connect(root, "h", 1);
    platform::HttpsHandle req = web::postRecord(*web, conn, "/x", record, sizeof record);
    ASSERT_NE(req, nullptr);
    web->currentRequest = req;
    EXPECT_EQ(web::readStatusCode(*web), 201);
    https.close(req);
    web->currentRequest = nullptr;
    EXPECT_EQ(web::readStatusCode(*web), -1);
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].verb, "POST");
    EXPECT_EQ(https.sent[0].header, "Content-Type: multipart/form-data\r\n");
    EXPECT_EQ(https.sent[0].body, std::vector<std::uint8_t>(record, record + 4));

    https.queue(FakeReply::failing(Fail::Send));
    testing::internal::CaptureStdout();
    EXPECT_EQ(web::postRecord(*web, conn, "/x", record, sizeof record), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur WinHttpSendRequest: 12029\n");
    https.close(conn);
    https.close(root);
    EXPECT_EQ(https.openHandles, 0);
}

}  // namespace
}  // namespace orvane::test
