#include <gtest/gtest.h>

#include "base/text.h"

namespace orvane {
namespace {

TEST(Text, Cp1252ToUtf16KeepsTheFiveUndefinedBytes) {
    const std::u16string expected{0x20AC, 0x0081, 0x0153, 0x00E9, u'a'};
    EXPECT_EQ(base::cp1252ToUtf16("\x80\x81\x9C\xE9" "a"), expected);
    EXPECT_EQ(base::utf16ToUtf8(base::cp1252ToUtf16("d\xE9j\xE0 \x92")), base::cp1252ToUtf8("d\xE9j\xE0 \x92"));
}

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
        EXPECT_EQ(base::cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(base::utf8ToCp1252(c.utf8), c.cp1252);
    }
}

// Every malformed sequence becomes U+FFFD, one per byte that cannot start a character, and
// the bytes after it are read afresh; nothing is dropped and nothing past the end is read.
TEST(Text, MalformedUtf8BecomesReplacementCharacters) {
    const struct {
        const char* utf8;
        std::u16string utf16;
    } cases[] = {
        {"\xC3", u"\uFFFD"},                           // truncated two-byte sequence
        {"a\xE2\x82", u"a\uFFFD\uFFFD"},               // truncated three-byte sequence
        {"\xFF\xFEz", u"\uFFFD\uFFFDz"},               // bytes that start nothing
        {"\x80x", u"\uFFFDx"},                          // stray continuation byte
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                 // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},       // overlong '/' in three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},       // a surrogate, encoded
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xC3\x28", u"\uFFFD("},                      // a lead byte without its continuation
        {"\xC3\xA9", u"\u00E9"},                       // and well-formed input is left alone
    };
    for (const auto& c : cases) {
        EXPECT_EQ(base::utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(base::utf16ToUtf8(base::utf8ToUtf16(c.utf8)), base::utf16ToUtf8(c.utf16));
    }
    EXPECT_EQ(base::utf8ToCp1252("\xE2\x98\x83"), "?");  // snowman has no single byte
    EXPECT_EQ(base::utf8ToCp1252("\xC0\xAF"), "??");      // nor does U+FFFD
}

TEST(Text, UnpairedUtf16SurrogatesBecomeReplacementCharacters) {
    const std::u16string lone{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(base::utf16ToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(Text, Utf16SurrogatesRoundTrip) {
    std::string s = "a\xF0\x9F\x8E\xA4z";  // U+1F3A4
    EXPECT_EQ(base::utf8ToUtf16(s).size(), 4u);
    EXPECT_EQ(base::utf16ToUtf8(base::utf8ToUtf16(s)), s);
}

}  // namespace
}  // namespace orvane
