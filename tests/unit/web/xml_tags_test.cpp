#include "web/xml_tags.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace orvane::web {
namespace {

std::span<const std::uint8_t> bytes(const std::string& s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

std::string tagOf(const std::string& body, const char* tag, std::size_t size = 64) {
    std::string field(size, 'x');
    if (!readTag(bytes(body), tag, field.data(), size)) return "<unchanged>";
    return field.c_str();
}

TEST(ReadTag, ExactMatchFirstElementAndSizeLimit) {
    const struct {
        std::string body;
        const char* expected;
    } cases[] = {
        {"<PRENOM>" + std::string(63, 'a') + "</PRENOM>", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {"<PRENOM>" + std::string(64, 'b') + "</PRENOM>", "<unchanged>"},
        {"<PRENOM></PRENOM>", ""},
        {"<X><PRENOM>Ana</PRENOM><PRENOM>Bo</PRENOM></X>", "Ana"},
        {"</PRENOM><PRENOM> Ana </PRENOM>", " Ana "},
        {"<prenom>Ana</prenom>", "<unchanged>"},
        {"<PRENOM a='1'>Ana</PRENOM>", "<unchanged>"},
        {"<PRENOM>Ana", "<unchanged>"},
        {"<PRENOM>a &amp; b</PRENOM>", "a &amp; b"},
        {std::string("<PRENOM>A\0na</PRENOM>", 20), "<unchanged>"},  // a zero byte ends the text
    };
    for (const auto& c : cases) EXPECT_EQ(tagOf(c.body, "PRENOM"), c.expected) << c.body;
}

TEST(ReadTag, NeverReadsPastTheBody) {
    const std::string whole = "<VILLE>Lyon</VILLE>";
    char field[64] = "old";
    EXPECT_FALSE(readTag(bytes(whole).first(12), "VILLE", field, sizeof field));
    EXPECT_FALSE(readTag({}, "VILLE", field, sizeof field));
    EXPECT_STREQ(field, "old");
}

TEST(DecodeEacute, OnlyTheUpperCaseReferenceIsDecoded) {
    const struct {
        const char *in, *out;
    } cases[] = {{"Caf&#xE9;", "Caf\xC3\xA9"}, {"Caf&#xe9;", "Caf&#xe9;"}, {"&#xE9;t&#xE9;", "\xC3\xA9t\xC3\xA9"},
                 {"&#xE9", "&#xE9"}, {"&amp;", "&amp;"}, {"", ""}};
    for (const auto& c : cases) {
        char text[32];
        std::strcpy(text, c.in);
        decodeEacute(text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

TEST(ParseHexColour, ReadsAColorrefAsTheCLibraryWould) {
    const struct {
        const char* text;
        std::uint32_t colour;
    } cases[] = {{"FF0000", 0x00FF0000}, {"00FF00", 0x0000FF00}, {"0000FF", 0x000000FF}, {"  0x00ff80", 0x0000FF80},
                 {"12G4", 0x12}, {"zz", 0}, {"", 0}, {"0x", 0}, {"-1", 0xFFFFFFFF}, {"FFFFFFFFFF", 0x7FFFFFFF}};
    for (const auto& c : cases) EXPECT_EQ(parseHexColour(c.text), c.colour) << c.text;
}

}  // namespace
}  // namespace orvane::web
