#include "servers/web/routes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "servers/web/png_writer.h"

namespace orvane::webserver {
namespace {

class RoutesTest : public ::testing::Test {
protected:
    RoutesTest() {
        dir = std::filesystem::temp_directory_path() / ("orvane-routes-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        std::string error;
        EXPECT_TRUE(store.open((dir / "web.db").string(), error)) << error;
    }
    ~RoutesTest() override { std::filesystem::remove_all(dir); }

    HttpReply get(std::string_view target) { return handleRequest(store, options, {"GET", target, {}}); }
    HttpReply post(std::string_view target, const Bytes& body) {
        return handleRequest(store, options, {"POST", target, body});
    }
    int account(const std::string& machine) {
        const HttpReply r = get("/Hv3Km8Qz2R.php?S=2&I=" + machine + "&V=TALMERA%200.7.6&A=&F=");
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body.size(), kAccountReplySize);
        return std::stoi(std::string(r.body.begin() + 34, r.body.begin() + 39));
    }
    std::string text(const HttpReply& r) { return std::string(r.body.begin(), r.body.end()); }

    std::filesystem::path dir;
    Store store;
    RouteOptions options;
};

TEST_F(RoutesTest, AccountsAreMadeOnFirstSightWithUniqueNumbers) {
    const int a = account("0000000000000001");
    const int b = account("0000000000000002");
    EXPECT_EQ(a, kFirstAccountNumber);
    EXPECT_NE(a, b);
    EXPECT_EQ(account("0000000000000001"), a);
    EXPECT_EQ(get("/Hv3Km8Qz2R.php?S=2&V=x&A=&F=").status, 400);
    EXPECT_EQ(get("/Hv3Km8Qz2R.php?S=1&I=9&V=x&A=&F=").status, 400);
}

TEST_F(RoutesTest, AccountReplyLayoutWithStatusAndMessage) {
    const int n = account("0000000000000003");
    const std::string message = std::string(29, 'a') + "bcd";
    ASSERT_TRUE(store.setStatus("0000000000000003", 220, message));
    const HttpReply r = get("/Hv3Km8Qz2R.php?S=2&I=0000000000000003&V=TALMERA%200.7.6&A=&F=");
    EXPECT_EQ(r.body[2], 220);
    EXPECT_EQ(std::string(r.body.begin() + 34, r.body.begin() + 39), "0" + std::to_string(n));
    EXPECT_EQ(std::string(r.body.begin() + 98, r.body.begin() + 127), std::string(29, 'a'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r.body[130])), "bcd");
}

TEST_F(RoutesTest, CardColourAndPicturesOfAUser) {
    const int n = account("0000000000000004");
    const std::string u = "/users/" + std::to_string(n);
    EXPECT_EQ(get(u + "/client.xml").status, 404);
    EXPECT_EQ(get(u + "/params.xml").status, 404);
    EXPECT_EQ(get("/users/999/client.xml").status, 404);
    EXPECT_EQ(get("/users/0" + std::to_string(n) + "/client.xml").status, 404);

    ASSERT_TRUE(store.setCard(n, {std::string("L\xC3\xA9o"), std::string("Nice"), std::nullopt, std::nullopt, std::nullopt}));
    const HttpReply card = get(u + "/client.xml");
    EXPECT_EQ(card.status, 200);
    EXPECT_NE(text(card).find("<PRENOM>L&#xE9;o</PRENOM>"), std::string::npos);
    EXPECT_NE(text(card).find("<VILLE>Nice</VILLE>"), std::string::npos);
    EXPECT_EQ(text(card).find("PHRASE"), std::string::npos);

    // The colour record: 1, red, green, blue, account.
    Bytes red = {1, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) red.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    EXPECT_EQ(post(u + "/params.php", red).status, 200);
    EXPECT_EQ(text(get(u + "/params.xml")), "<PARAMS><BACKGROUND>0000FF</BACKGROUND></PARAMS>\n");
    Bytes wrongAccount = red;
    wrongAccount[16] ^= 1;
    EXPECT_EQ(post(u + "/params.php", wrongAccount).status, 400);
    EXPECT_EQ(post(u + "/params.php", Bytes(19, 0)).status, 400);
    EXPECT_EQ(get(u + "/params.php").status, 405);

    const Bytes png = usbIcon(0x123456);
    ASSERT_TRUE(store.setPicture(n, png));
    EXPECT_EQ(get(u + "/images.php?N=2").body, png);
    EXPECT_EQ(get("/users//images.php?F=" + std::to_string(n) + "&N=1").body, png);
    EXPECT_EQ(get("/users/images.php?F=" + std::to_string(n) + "&N=1").status, 404);
}

TEST_F(RoutesTest, PathsMatchByteForByte) {
    for (const char* colour : {"black", "green", "red"}) {
        const HttpReply r = get(std::string("/usb//usb_") + colour + ".png");
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.contentType, "image/png");
        EXPECT_EQ(get(std::string("/usb/usb_") + colour + ".png").status, 404);
    }
    EXPECT_EQ(get("/installer.php").status, 200);
    EXPECT_EQ(get("/echange/pc_img_share_get.php?F=3&N=1").status, 404);
    EXPECT_EQ(get("/echange/pc_img_share_get.php?F=11&N=1").status, 404);
}

TEST_F(RoutesTest, SharedPictureUploadIsValidatedAndKept) {
    options.picturesDir = dir.string();
    Bytes record(kUploadRecordSize, 0);
    const char* name = "../../etc/x.gif";
    std::memcpy(record.data() + 10'000'000, name, std::strlen(name));
    auto put = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) record[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(record.data(), "GIF89a", 6);
    put(10'000'256, 6);
    put(10'000'260, static_cast<std::int32_t>(std::strlen(name)));
    put(10'000'264, 7);
    EXPECT_EQ(post("/echange/pc_img_share_post.php", record).status, 200);
    const HttpReply r = get("/echange/pc_img_share_get.php?F=7&N=1");
    EXPECT_EQ(text(r), "GIF89a");
    EXPECT_EQ(r.contentType, "image/gif");
    // The copy on disk stays inside the pictures folder whatever the name says.
    EXPECT_TRUE(std::filesystem::exists(dir / "channel-7-_.._.._etc_x.gif"));

    const struct {
        std::size_t at;
        std::int32_t value;
    } bad[] = {{10'000'256, 0}, {10'000'256, 10'000'001}, {10'000'264, 11}, {10'000'264, -1}, {10'000'260, 256}};
    for (const auto& b : bad) {
        Bytes broken = record;
        for (int i = 0; i < 4; ++i) broken[b.at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b.value >> (8 * i));
        EXPECT_EQ(post("/echange/pc_img_share_post.php", broken).status, 400) << b.at << " " << b.value;
    }
    record.pop_back();
    EXPECT_EQ(post("/echange/pc_img_share_post.php", record).status, 400);
}

TEST(PngWriter, WritesAValidSignatureAndHeader) {
    const Bytes png = encodePng(3, 2, std::vector<std::uint32_t>(6, 0xFF0000));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8), 0);
    EXPECT_EQ(std::memcmp(png.data() + 12, "IHDR", 4), 0);
    EXPECT_EQ(png[19], 3);
    EXPECT_EQ(png[23], 2);
}

}  // namespace
}  // namespace orvane::webserver
