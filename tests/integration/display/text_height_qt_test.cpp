// Font heights as the design gives them: a positive height is the whole character cell, so the
// labels keep their places and a town name stays inside the strip that is cleared under it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/canvas.h"
#include "platform/linux/qt_canvas.h"
#include "tests/fakes/qt_test_ui.h"
#include "display/talker_card.h"

namespace orvane {
namespace {

using platform::Colour;
using platform::Font;
using platform::Image;
using platform::rgb;

constexpr Colour kBackground = rgb(0, 0, 128);
constexpr Colour kCell = rgb(10, 200, 30);

// Rows of the image that hold at least one pixel other than `plain` (or, when `only` is
// given, one pixel of that colour).
int paintedRows(const Image& img, int& first, std::optional<Colour> only = std::nullopt) {
    first = -1;
    int rows = 0;
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            const Colour p = platform::fromPixel(img.at(x, y));
            if (only ? p == *only : p != kBackground) {
                if (first < 0) first = y;
                ++rows;
                break;
            }
        }
    }
    return rows;
}

Image canvasImage(int w, int h) {
    Image img(w, h);
    auto c = platform::createImageCanvas(img);
    c->fillRect({0, 0, w, h}, kBackground);
    return img;
}

TEST(TextHeights, APositiveHeightIsTheCellAndANegativeOneTheGlyphs) {
    test::testUi();
    struct Case {
        int height;
        int weight;
        int cellMin, cellMax;
    } cases[] = {
        {14, 700, 14, 14}, {20, 700, 20, 20}, {16, 700, 16, 16}, {17, 700, 17, 17},
        {30, 700, 30, 30}, {14, 400, 14, 14},
        // A glyph height of 14 pixels: the cell is about 12 % taller.
        {-14, 700, 15, 17},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE("height " + std::to_string(k.height) + " weight " + std::to_string(k.weight));
        Image img = canvasImage(120, 60);
        {
            auto c = platform::createImageCanvas(img);
            // The opaque cell of the text: exactly what GDI fills behind TextOut.
            c->text(5, 10, "Hpgj", Font{"Arial", k.height, k.weight}, rgb(255, 255, 255), kCell);
        }
        int first = 0;
        const int rows = paintedRows(img, first, kCell);
        EXPECT_EQ(first, 10);
        EXPECT_GE(rows, k.cellMin);
        EXPECT_LE(rows, k.cellMax);
    }
}

TEST(TextHeights, ATownAfterALongerOneLeavesNothingBelowTheClearedStrip) {
    test::testUi();
    const platform::Rect strip = display::kTalkerNameStrip;
    Image img = canvasImage(330, 360);
    const Font card{"Arial", 20, 700};
    auto drawCard = [&](const char* first, const char* town) {
        auto c = platform::createImageCanvas(img);
        c->fillRect(strip, kBackground);
        c->text(display::kTalkerFirstNameAt.x, display::kTalkerFirstNameAt.y, first, card, rgb(255, 255, 255), std::nullopt);
        c->text(display::kTalkerTownAt.x, display::kTalkerTownAt.y, town, card, rgb(255, 255, 255), std::nullopt);
    };
    drawCard("Gypsy", "Puy-l\xC3\xA9v\xC3\xAAque Jqg");  // descenders in both names
    drawCard("Yo", "Lyon");
    for (int y = 0; y < img.height; ++y) {
        if (y >= strip.top && y < strip.bottom) continue;
        for (int x = 0; x < img.width; ++x) {
            ASSERT_EQ(platform::fromPixel(img.at(x, y)), kBackground) << "left over at (" << x << "," << y << ")";
        }
    }
    int first = 0;
    EXPECT_GT(paintedRows(img, first), 0);
    EXPECT_GE(first, strip.top);
}

// Opaque text drawn again (every timer tick) comes from a stamp of the first drawing: the
// pixels must be the very ones the painter draws, in both placements.
TEST(TextHeights, TextDrawnAgainIsPixelForPixelTheFirstDrawing) {
    test::testUi();
    struct Case {
        const char* text;
        Font font;
        bool centred;
    } cases[] = {
        {"SERVER LOAD once", {"Arial", 14, 700}, false},
        {"Bienvenue sur le r\xC3\xA9seau, once", {"Arial", 17, 700}, true},
        {"\xC3\x89t\xC3\xA9 \xC3\x80 Gypsy once", {"Arial", 20, 700}, false},  // accents above the cell
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        auto draw = [&] {
            Image img = canvasImage(300, 40);
            auto c = platform::createImageCanvas(img);
            if (k.centred) {
                c->textCentred({3, 5, 297, 30}, k.text, k.font, rgb(20, 255, 71), kCell, true);
            } else {
                c->text(7, 9, k.text, k.font, rgb(255, 255, 255), kCell);
            }
            c.reset();
            return img;
        };
        const Image first = draw();
        const Image again = draw();
        EXPECT_TRUE(first.pixels == again.pixels);
        int top = 0;
        EXPECT_GT(paintedRows(first, top, rgb(255, 255, 255)) + paintedRows(first, top, rgb(20, 255, 71)), 5);
    }
}

// Opaque text is remembered to be replayed, within a bound: the countdown draws a text it never
// draws again every second, which must not pile up, and the texts drawn again and again (the
// caption beside it) keep being replayed from memory rather than shaped anew.
TEST(TextHeights, RememberedTextsStayWithinTheirBound) {
    test::testUi();
    Image img = canvasImage(550, 730);
    const Font bold{"Arial", 20, 700};
    std::size_t most = 0;
    for (int s = 4500; s > 4500 - 1200; --s) {
        char countdown[16];
        std::snprintf(countdown, sizeof countdown, "%02d:%02d:%02d", s / 3600, s % 3600 / 60, s % 60);
        auto c = platform::createImageCanvas(img);
        c->text(455, 270, countdown, bold, rgb(255, 255, 0), kBackground);
        c->text(455, 293, "TIME LEFT", Font{"Arial", 14, 700}, rgb(255, 255, 255), kBackground);
        most = std::max(most, platform::qt::textMemoBytes());
    }
    EXPECT_GT(most, 0u);
    EXPECT_LE(most, 512u * 1024u) << "remembered texts took " << most / 1024 << " kB";
}

}  // namespace
}  // namespace orvane
