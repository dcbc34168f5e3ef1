#include <gtest/gtest.h>

#include "platform/https.h"
#include "web/web_paths.h"

namespace orvane::web {
namespace {

struct PathCase {
    const char* prefix;
    int number;
    int kind;
    const char* path;
};

TEST(WebPaths, EveryCombinationInUse) {
    const PathCase cases[] = {
        {"/users/", 12, 1, "/users//images.php?F=12&N=1"},
        {"/users/", 65535, 1, "/users//images.php?F=65535&N=1"},
        {"/echange/", 3, 1, "/echange/pc_img_share_get.php?F=3&N=1"},
        {"/echange/", 0, 1, "/echange/pc_img_share_get.php?F=0&N=1"},
        {"/echange/", 7, 3, "/echange/pc_img_share_post.php"},
        {"/usb/", 99, 1, "/usb//usb_black.png"},
        {"/usb/", 0, 2, "/usb//usb_green.png"},
        {"/usb/", 0, 3, "/usb//usb_red.png"},
        // Combinations nobody uses give the prefix alone rather than a made-up path.
        {"/usb/", 0, 4, "/usb/"},
        {"/users", 12, 1, "/users"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(buildWebPath(c.prefix, c.number, c.kind), c.path) << c.prefix << " " << c.kind;
    }
}

TEST(WebPaths, AccountAndUserPaths) {
    EXPECT_EQ(accountRequestPath("0000001234567890", "0.7.6"),
              "/Hv3Km8Qz2R.php?S=2&I=0000001234567890&V=TALMERA 0.7.6&A=&F=");
    EXPECT_EQ(userPath(42, "client.xml"), "/users/42/client.xml");
    EXPECT_EQ(userPath(0, "images.php?N=2"), "/users/0/images.php?N=2");
    EXPECT_LE(accountRequestPath(std::string(300, '9'), "0.7.6").size(), kMaxPathLength);
}

TEST(WebPaths, EscapingKeepsSlashesAndEncodesUnsafeBytes) {
    EXPECT_EQ(platform::escapeRequestPath("/Hv3Km8Qz2R.php?S=2&I=1&V=TALMERA 0.7.6&A=&F="),
              "/Hv3Km8Qz2R.php?S=2&I=1&V=TALMERA%200.7.6&A=&F=");
    EXPECT_EQ(platform::escapeRequestPath("/usb//usb_red.png"), "/usb//usb_red.png");
    EXPECT_EQ(platform::escapeRequestPath("/a/./b/../c%41"), "/a/./b/../c%41");
    EXPECT_EQ(platform::escapeRequestPath("/x\"<>#\x01\xE9"), "/x%22%3C%3E%23%01%E9");
}

}  // namespace
}  // namespace orvane::web
