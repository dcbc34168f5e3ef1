#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "web/xml_tags.h"

namespace orvane::web {
namespace {

std::span<const std::uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string tagOf(const std::string& body, const char* tag, std::size_t size) {
    std::vector<char> field(size + 1, 'x');
    field[size] = '\0';
    if (!readTag(bytes(body), tag, field.data(), size)) return "<unchanged>";
    return field.data();
}

TEST(ReadTag, TakesContentShorterThanTheField) {
    const std::string name63(63, 'a');
    const std::string name64(64, 'b');
    EXPECT_EQ(tagOf("<PRENOM>" + name63 + "</PRENOM>", "PRENOM", 64), name63);
    EXPECT_EQ(tagOf("<PRENOM>" + name64 + "</PRENOM>", "PRENOM", 64), "<unchanged>");
    EXPECT_EQ(tagOf("<PRENOM></PRENOM>", "PRENOM", 64), "");
}

TEST(ReadTag, MatchesExactlyAndTakesTheFirstElement) {
    const struct {
        std::string body;
        const char* tag;
        const char* expected;
    } cases[] = {
        {"<X><VILLE>Lyon</VILLE><VILLE>Paris</VILLE></X>", "VILLE", "Lyon"},
        {"<ville>Lyon</ville>", "VILLE", "<unchanged>"},
        {"<VILLE a='1'>Lyon</VILLE>", "VILLE", "<unchanged>"},
        {"<VILLE> Lyon </VILLE>", "VILLE", " Lyon "},
        {"<VILLE>Lyon", "VILLE", "<unchanged>"},
        {"</VILLE><VILLE>Lyon</VILLE>", "VILLE", "Lyon"},
        {"<PHRASE>a &amp; b</PHRASE>", "PHRASE", "a &amp; b"},
    };
    for (const auto& c : cases) EXPECT_EQ(tagOf(c.body, c.tag, 64), c.expected) << c.body;
}

TEST(ReadTag, NeverReadsPastTheBodyOrItsFirstZero) {
    // The closing tag lies beyond the received bytes: it must not be found.
    const std::string whole = "<VILLE>Lyon</VILLE>";
    std::vector<std::uint8_t> buffer(whole.begin(), whole.end());
    std::span<const std::uint8_t> cut(buffer.data(), 12);
    char field[64] = "old";
    EXPECT_FALSE(readTag(cut, "VILLE", field, sizeof field));
    EXPECT_STREQ(field, "old");
    // A zero byte ends the text, as for a terminated reply.
    const std::string zeroed("<VILLE>Ly\0on</VILLE>", 20);
    EXPECT_EQ(tagOf(zeroed, "VILLE", 64), "<unchanged>");
    EXPECT_FALSE(readTag({}, "VILLE", field, sizeof field));
}

TEST(DecodeEacute, OnlyTheUpperCaseReferenceIsDecoded) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Caf&#xE9;", "Caf\xC3\xA9"},
        {"Caf&#xe9;", "Caf&#xe9;"},
        {"&#xE9;t&#xE9;", "\xC3\xA9t\xC3\xA9"},
        {"&#xE9", "&#xE9"},
        {"&amp;", "&amp;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        char text[64];
        std::strcpy(text, c.in);
        decodeEacute(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

TEST(ParseHexColour, ReadsAColorrefAsTheCLibraryWould) {
    const struct {
        const char* text;
        std::uint32_t colour;
    } cases[] = {
        {"FF0000", 0x00FF0000},  // blue
        {"00FF00", 0x0000FF00},  // green
        {"0000FF", 0x000000FF},  // red
        {"  0x00ff80", 0x0000FF80},
        {"12G4", 0x12},
        {"zz", 0},
        {"", 0},
        {"-1", 0xFFFFFFFF},
        {"+10", 0x10},
        {"0x", 0},
        {"FFFFFFFFFF", 0x7FFFFFFF},
    };
    for (const auto& c : cases) EXPECT_EQ(parseHexColour(c.text), c.colour) << c.text;
}

}  // namespace
}  // namespace orvane::web
