#include <gtest/gtest.h>

#include "core/text.h"

namespace orvane {
namespace {

TEST(Text, Cp1252RoundTripsThroughUtf8) {
    struct Case {
        const char* cp1252;
        const char* utf8;
    } cases[] = {
        {"r\xE9seau", "r\xC3\xA9seau"},
        {"\x80", "\xE2\x82\xAC"},                  // euro sign
        {"\x92", "\xE2\x80\x99"},                  // right single quote
        {"d\xE9j\xE0", "d\xC3\xA9j\xC3\xA0"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
    }
}

TEST(Text, MalformedUtf8NeverReadsPastTheEnd) {
    for (const char* bad : {"\xC3", "\xE2\x82", "\xFF\xFE", "a\xF0\x9F"}) {
        std::u16string w = utf8ToUtf16(bad);
        EXPECT_FALSE(w.empty());
    }
    EXPECT_EQ(utf8ToCp1252("\xE2\x98\x83"), "?");  // snowman has no single byte
}

TEST(Text, Utf16SurrogatesRoundTrip) {
    std::string s = "a\xF0\x9F\x8E\xA4z";  // U+1F3A4
    EXPECT_EQ(utf8ToUtf16(s).size(), 4u);
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(s)), s);
}

}  // namespace
}  // namespace orvane
