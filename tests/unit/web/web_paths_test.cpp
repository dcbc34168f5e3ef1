#include <gtest/gtest.h>

#include "platform/https.h"
#include "web/web_paths.h"

namespace orvane::web {
namespace {

TEST(WebPaths, EveryCombinationInUse) {
    const struct {
        const char* prefix;
        int number, kind;
        const char* path;
    } cases[] = {
        {"/users/", 12, 1, "/users//images.php?F=12&N=1"},
        {"/echange/", 3, 1, "/echange/pc_img_share_get.php?F=3&N=1"},
        {"/echange/", 7, 3, "/echange/pc_img_share_post.php"},
        {"/usb/", 99, 1, "/usb//usb_black.png"},
        {"/usb/", 0, 2, "/usb//usb_green.png"},
        {"/usb/", 0, 3, "/usb//usb_red.png"},
        {"/usb/", 0, 4, "/usb/"},  // unused combinations give the prefix alone
        {"/users", 12, 1, "/users"},
    };
    for (const auto& c : cases) EXPECT_EQ(buildWebPath(c.prefix, c.number, c.kind), c.path) << c.prefix << c.kind;
    EXPECT_EQ(accountRequestPath("0000001234567890", "0.7.6"),
              "/Hv3Km8Qz2R.php?S=2&I=0000001234567890&V=TALMERA 0.7.6&A=&F=");
    EXPECT_LE(accountRequestPath(std::string(300, '9'), "0.7.6").size(), kMaxPathLength);
}

TEST(WebPaths, EscapingKeepsSlashesAndEncodesUnsafeBytes) {
    EXPECT_EQ(platform::escapeRequestPath("/x.php?V=TALMERA 0.7.6&A="), "/x.php?V=TALMERA%200.7.6&A=");
    EXPECT_EQ(platform::escapeRequestPath("/usb//a/./b/../c%41"), "/usb//a/./b/../c%41");
    EXPECT_EQ(platform::escapeRequestPath("/x\"<>#\x01\xE9"), "/x%22%3C%3E%23%01%E9");
}

}  // namespace
}  // namespace orvane::web
