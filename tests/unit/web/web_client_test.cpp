#include "web/web_client.h"

#include <gtest/gtest.h>

#include "tests/fakes/web_fixture.h"
#include "web/account.h"
#include "web/picture_upload.h"

namespace orvane::test {
namespace {

using web::webGet;
using Fail = FakeReply::FailAt;
using WebClientTest = WebTest;

TEST_F(WebClientTest, GetStoresTheBodyAndTerminatesIt) {
    https.queue(FakeReply::ok("hello"));
    EXPECT_EQ(webGet(*web, "/usb/", 0, 2), 5);
    EXPECT_EQ(bodyText(), "hello");
    EXPECT_EQ(web->body()[5], 0);
    EXPECT_EQ(https.sent.at(0).verb + " " + https.sent[0].path, "GET /usb//usb_green.png");
    EXPECT_EQ(https.host + ":" + std::to_string(https.port), "web.test:4430");
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(WebClientTest, FailuresGiveTheirResultCodesAndCloseEverything) {
    const std::pair<Fail, int> cases[] = {{Fail::Open, 1}, {Fail::Connect, -1}, {Fail::OpenRequest, -1}, {Fail::Send, -1}, {Fail::Receive, -1}};
    for (const auto& [at, result] : cases) {
        https.queue(FakeReply::failing(at));
        EXPECT_EQ(webGet(*web, "/usb/", 0, 1), result) << static_cast<int>(at);
        EXPECT_EQ(https.openHandles, 0);
        EXPECT_EQ(web->currentRequest, nullptr);
    }
}

TEST_F(WebClientTest, OnlyA200ReplacesTheBody) {
    https.queue(FakeReply::ok("first body"));
    https.queue(FakeReply::ok("Not Found", 404));
    FakeReply noStatus = FakeReply::ok("body");  // an unreadable status counts as 200
    noStatus.failAt = Fail::StatusQuery;
    https.queue(noStatus);
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 10);
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 0);
    EXPECT_EQ(bodyText(), "first body");
    EXPECT_EQ(webGet(*web, "/usb/", 0, 1), 4);
}

TEST_F(WebClientTest, BufferBounds) {
    // Exactly 10,000,000 bytes in 16 KiB chunks: read whole, and still terminated.
    FakeReply exact;
    for (std::size_t total = 0; total < web::kResponseCapacity; total += exact.chunks.back().size())
        exact.chunks.push_back(std::string(std::min<std::size_t>(16384, web::kResponseCapacity - total), 'z'));
    https.queue(exact);
    EXPECT_EQ(webGet(*web, "/echange/", 1, 1), 10'000'000);
    EXPECT_EQ(web->body()[10'000'000], 0);
    // One byte more: the chunk that does not fit ends the read.
    exact.chunks.back() += 'y';
    https.queue(exact);
    const std::int32_t n = webGet(*web, "/echange/", 1, 1);
    EXPECT_EQ(n, static_cast<std::int32_t>(10'000'000 - exact.chunks.back().size() + 1));
    EXPECT_EQ(web->body()[n], 0);
}

TEST_F(WebClientTest, EachKindOfRequestHasItsOwnLampCounter) {
    std::vector<int> lamps;
    for (int i = 0; i < 9; ++i) {
        https.queue(FakeReply::failing(Fail::Connect));
        webGet(*web, "/usb/", 0, 1);
        lamps.push_back(state.lamps.lampHttps);
    }
    EXPECT_EQ(lamps, (std::vector<int>{3, 3, 3, 3, 5, 5, 5, 5, 3}));
    for (int i = 0; i < 5; ++i) web::fetchAccountResource(*web, 1, web::kOwnCard);
    EXPECT_EQ(state.lamps.lampHttps, kLampBlue);
    web::uploadSharedPicture(*web, 1);  // its own counter: green
    EXPECT_EQ(state.lamps.lampHttps, kLampGreen);
}

TEST_F(WebClientTest, PostSendsTheRawRecordWithOneHeader) {
    const std::uint8_t record[4] = {1, 2, 3, 4};
    platform::HttpsHandle root = https.open("a");
    platform::HttpsHandle conn = https.connect(root, "h", 1);
    https.queue(FakeReply::ok("created", 201));
    web->currentRequest = web::postRecord(*web, conn, "/x", record, sizeof record);
    ASSERT_NE(web->currentRequest, nullptr);
    EXPECT_EQ(web::readStatusCode(*web), 201);
    https.close(web->currentRequest);
    const SentRequest& s = https.sent.at(0);
    EXPECT_EQ(s.verb + s.header, "POSTContent-Type: multipart/form-data\r\n");
    EXPECT_EQ(s.body, std::vector<std::uint8_t>(record, record + 4));

    https.queue(FakeReply::failing(Fail::Send));
    testing::internal::CaptureStdout();
    EXPECT_EQ(web::postRecord(*web, conn, "/x", record, sizeof record), nullptr);
    web->currentRequest = nullptr;
    EXPECT_EQ(web::readStatusCode(*web), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur WinHttpSendRequest: 12029\nErreur WinHttpQueryHeaders: 12029\n");
    https.close(conn);
    https.close(root);
    EXPECT_EQ(https.openHandles, 0);
}

}  // namespace
}  // namespace orvane::test
