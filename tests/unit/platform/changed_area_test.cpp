// The part of a drawing that the screen must be given again.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/changed_area.h"

namespace orvane::platform {
namespace {

constexpr int kW = 20, kH = 10;

struct Pictures {
    std::vector<std::uint32_t> now = std::vector<std::uint32_t>(kW * kH, 0x00102030u);
    std::vector<std::uint32_t> shown = now;
    void set(int x, int y, std::uint32_t v) { now[y * kW + x] = v; }
    Rect take(Rect area) { return takeChangedArea(now.data(), shown.data(), kW, kH, area); }
};

bool same(Rect a, Rect b) { return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom; }

TEST(ChangedArea, TheSmallestRectangleOfTheDrawnAreaThatHoldsEveryChange) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> changedPixels;
        Rect drawn;
        Rect expected;
    };
    const Case cases[] = {
        {"nothing changed", {}, {0, 0, kW, kH}, {}},
        {"one pixel", {{5, 3}}, {0, 0, kW, kH}, {5, 3, 6, 4}},
        {"two far apart", {{1, 8}, {18, 2}}, {0, 0, kW, kH}, {1, 2, 19, 9}},
        {"a change outside the drawn area is not this drawing's", {{1, 1}, {10, 5}}, {5, 4, 15, 8}, {10, 5, 11, 6}},
        {"corners", {{0, 0}, {kW - 1, kH - 1}}, {0, 0, kW, kH}, {0, 0, kW, kH}},
        {"an area beyond the picture is clipped", {{19, 9}}, {-5, -5, kW + 5, kH + 5}, {19, 9, 20, 10}},
        {"an empty area", {{3, 3}}, {4, 4, 4, 9}, {}},
    };
    for (const Case& c : cases) {
        Pictures p;
        for (auto [x, y] : c.changedPixels) p.set(x, y, 0x00FFFFFFu);
        EXPECT_TRUE(same(p.take(c.drawn), c.expected)) << c.what;
    }
}

TEST(ChangedArea, WhatWasTakenIsShownSoTheSameDrawingAgainNeedsNothing) {
    Pictures p;
    p.set(4, 4, 0x00FF0000u);
    p.set(1, 1, 0x0000FF00u);  // outside the area drawn: stays to be shown
    EXPECT_TRUE(same(p.take({2, 2, 8, 8}), {4, 4, 5, 5}));
    EXPECT_EQ(p.shown[4 * kW + 4], 0x00FF0000u);
    EXPECT_EQ(p.shown[1 * kW + 1], 0x00102030u);
    EXPECT_TRUE(same(p.take({2, 2, 8, 8}), {}));
    EXPECT_TRUE(same(p.take({0, 0, kW, kH}), {1, 1, 2, 2}));
}

TEST(ChangedArea, OnlyTheColourCountsNotTheTopByte) {
    Pictures p;
    p.set(7, 7, 0xFF102030u);  // GDI may set or clear the byte above the colour
    EXPECT_TRUE(same(p.take({0, 0, kW, kH}), {}));
}

}  // namespace
}  // namespace orvane::platform
