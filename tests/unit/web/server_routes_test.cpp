#include "servers/web/routes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "servers/web/demo_seed.h"
#include "servers/web/png_writer.h"

namespace orvane::webserver {
namespace {

class RoutesTest : public ::testing::Test {
protected:
    RoutesTest() : dir(std::filesystem::temp_directory_path() / ("orvane-routes-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir);
        std::string error;
        EXPECT_TRUE(store.open((dir / "web.db").string(), error)) << error;
        options.picturesDir = dir.string();
    }
    ~RoutesTest() override { std::filesystem::remove_all(dir); }

    HttpReply get(const std::string& target) { return handleRequest(store, options, {"GET", target, {}}); }
    int post(const std::string& target, const Bytes& body) { return handleRequest(store, options, {"POST", target, body}).status; }
    std::string text(const HttpReply& r) { return std::string(r.body.begin(), r.body.end()); }
    HttpReply account(const std::string& machine) { return get("/Hv3Km8Qz2R.php?S=2&I=" + machine + "&V=TALMERA%200.7.6&A=&F="); }

    std::filesystem::path dir;
    Store store;
    RouteOptions options;
};

TEST_F(RoutesTest, AccountsAreMadeOnFirstSightWithUniqueNumbers) {
    EXPECT_EQ(text(account("1")).substr(34, 5), "01001");
    EXPECT_EQ(text(account("2")).substr(34, 5), "01002");
    EXPECT_EQ(text(account("1")).substr(34, 5), "01001");
    ASSERT_TRUE(store.setStatus("2", 220, std::string(29, 'a') + "bcd"));
    const HttpReply r = account("2");
    ASSERT_EQ(r.body.size(), kAccountReplySize);
    EXPECT_EQ(r.body[2], 220);
    EXPECT_EQ(text(r).substr(98, 29), std::string(29, 'a'));
    EXPECT_EQ(text(r).substr(130, 4), std::string("bcd\0", 4));
    EXPECT_EQ(get("/Hv3Km8Qz2R.php?S=2&V=x&A=&F=").status, 400);
}

TEST_F(RoutesTest, DemoUsersKeepTheirNumbers) {
    ASSERT_TRUE(seedDemo(store));
    ASSERT_TRUE(seedDemo(store));  // again: nothing changes
    EXPECT_NE(text(get("/users/3010/client.xml")).find("<PRENOM>H&#xE9;l\xC3\xA8ne</PRENOM>"), std::string::npos);
    EXPECT_EQ(get("/users/3002/images.php?N=2").contentType, "image/png");
    EXPECT_FALSE(store.createAccount("other", 3001).has_value());
    EXPECT_EQ(text(account("new")).substr(34, 5), "03011");
}

TEST_F(RoutesTest, CardColourAndPicturesOfAUser) {
    account("1");
    EXPECT_EQ(get("/users/1001/client.xml").status, 404);
    EXPECT_EQ(get("/users/1001/params.xml").status, 404);
    ASSERT_TRUE(store.setCard(1001, {std::string("L\xC3\xA9o"), std::string("Nice"), std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(text(get("/users/1001/client.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CLIENT>\n<PRENOM>L&#xE9;o</PRENOM>\n<VILLE>Nice</VILLE>\n</CLIENT>\n");
    EXPECT_EQ(get("/users/01001/client.xml").status, 404);
    EXPECT_EQ(get("/users/999/client.xml").status, 404);

    Bytes red = {1, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE9, 0x03, 0, 0};
    EXPECT_EQ(post("/users/1001/params.php", red), 200);
    EXPECT_EQ(text(get("/users/1001/params.xml")), "<PARAMS><BACKGROUND>0000FF</BACKGROUND></PARAMS>\n");
    red[16] = 0xEA;  // another account's record
    EXPECT_EQ(post("/users/1001/params.php", red), 400);
    EXPECT_EQ(post("/users/1001/params.php", Bytes(19, 0)), 400);

    const Bytes png = usbIcon(0x123456);
    ASSERT_TRUE(store.setPicture(1001, png));
    EXPECT_EQ(get("/users/1001/images.php?N=2").body, png);
    EXPECT_EQ(get("/users//images.php?F=1001&N=1").body, png);
    EXPECT_EQ(get("/users/images.php?F=1001&N=1").status, 404);
    EXPECT_EQ(get("/usb//usb_red.png").status, 200);
    EXPECT_EQ(get("/usb/usb_red.png").status, 404);  // byte for byte
}

TEST_F(RoutesTest, SharedPictureUploadIsValidatedAndKept) {
    Bytes record(kUploadRecordSize, 0);
    auto put = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(record.data(), "GIF89a", 6);
    std::memcpy(record.data() + 10'000'000, "../../etc/x.gif", 15);
    put(10'000'256, 6);
    put(10'000'260, 15);
    put(10'000'264, 7);
    EXPECT_EQ(post("/echange/pc_img_share_post.php", record), 200);
    const HttpReply r = get("/echange/pc_img_share_get.php?F=7&N=1");
    EXPECT_EQ(text(r) + " " + r.contentType, "GIF89a image/gif");
    EXPECT_TRUE(std::filesystem::exists(dir / "channel-7-_.._.._etc_x.gif"));  // stays in its folder

    const std::pair<std::size_t, std::int32_t> bad[] = {
        {10'000'256, 0}, {10'000'256, 10'000'001}, {10'000'264, 11}, {10'000'264, -1}, {10'000'260, 256}};
    for (const auto& [at, value] : bad) {
        Bytes keep = record;
        put(at, value);
        EXPECT_EQ(post("/echange/pc_img_share_post.php", record), 400) << at << " " << value;
        record = keep;
    }
    record.pop_back();
    EXPECT_EQ(post("/echange/pc_img_share_post.php", record), 400);
}

}  // namespace
}  // namespace orvane::webserver
