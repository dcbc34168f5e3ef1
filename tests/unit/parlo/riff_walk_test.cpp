#include "parlo/riff_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane::parlo {
namespace {

std::vector<std::uint8_t> chunk(const char* id, std::uint32_t size, std::size_t contentBytes) {
    std::vector<std::uint8_t> c(id, id + 4);
    for (int i = 0; i < 4; ++i) c.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    for (std::size_t i = 0; i < contentBytes; ++i) c.push_back(static_cast<std::uint8_t>(0x40 + i));
    return c;
}

std::vector<std::uint8_t> stream(std::initializer_list<std::vector<std::uint8_t>> chunks) {
    std::string head = "RIFF\0\0\0\0WAVE";
    std::vector<std::uint8_t> s(head.begin(), head.begin() + 12);
    for (const auto& c : chunks) s.insert(s.end(), c.begin(), c.end());
    return s;
}

TEST(RiffWalk, FindsTheSamplesAsTheChunksSay) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        bool found;
        std::size_t offset, length;
    };
    const Case cases[] = {
        // LIST of odd size 5: "data" starts 13 bytes after LIST, no padding byte.
        {"odd LIST then data", stream({chunk("LIST", 5, 5), chunk("data", 6, 6)}), true, 12 + 13 + 8, 6},
        {"fmt then data", stream({chunk("fmt ", 16, 16), chunk("data", 10, 10)}), true, 12 + 24 + 8, 10},
        {"odd data size rounded down", stream({chunk("data", 7, 7)}), true, 20, 6},
        {"no data chunk", stream({chunk("fmt ", 16, 16), chunk("LIST", 2, 2)}), false, 0, 0},
        {"data size 1", stream({chunk("data", 1, 1)}), false, 0, 0},
        {"data size 0", stream({chunk("data", 0, 0)}), false, 0, 0},
        {"data past the end is cut", stream({chunk("data", 1000, 9)}), true, 20, 8},
        {"huge chunk size skips past the end", stream({chunk("LIST", 0xFFFFFFFFu, 3)}), false, 0, 0},
        {"header only", stream({}), false, 0, 0},
        {"shorter than a header", {'R', 'I', 'F', 'F'}, false, 0, 0},
        {"chunk header cut short", [] { auto s = stream({}); s.insert(s.end(), {'d', 'a', 't', 'a', 9}); return s; }(),
         false, 0, 0},
    };
    for (const Case& c : cases) {
        const RawSamples r = findRawSamples(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(r.found, c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(r.offset, c.offset) << c.what;
            EXPECT_EQ(r.length, c.length) << c.what;
            EXPECT_LE(r.offset + r.length, c.bytes.size()) << c.what;
        }
    }
}

}  // namespace
}  // namespace orvane::parlo
