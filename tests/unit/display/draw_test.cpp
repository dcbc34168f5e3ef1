#include <gtest/gtest.h>

#include "display/draw.h"
#include "display/layout.h"
#include "platform/canvas.h"
#include "tests/fakes/host_ui_test.h"
#include "tests/fakes/recording_canvas.h"

namespace orvane::display {
namespace {

using platform::Image;

constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

TEST(TransparentBlit, LeavesBlackPixelsOfTheImageOut) {
    test::hostTestUi();
    Image target(8, 8, 0xFF112233u);
    Image sprite(4, 4, kOpaqueBlack);
    sprite.at(1, 1) = 0xFFFF0000u;
    sprite.at(2, 2) = 0xFF010000u;  // nearly black is not black
    {
        auto c = platform::createImageCanvas(target);
        transparentBlit(*c, &sprite, 2, 2);
        transparentBlit(*c, nullptr, 0, 0);
    }
    EXPECT_EQ(target.at(3, 3), 0xFFFF0000u);
    EXPECT_EQ(target.at(4, 4), 0xFF010000u);
    EXPECT_EQ(target.at(2, 2), 0xFF112233u);  // black: the target shows through
    EXPECT_EQ(target.at(5, 5), 0xFF112233u);
    EXPECT_EQ(target.at(0, 0), 0xFF112233u);
}

TEST(TransparentBlit, ClipsAtTheSurfaceEdges) {
    Image target(4, 4, 0xFF000000u);
    Image sprite(4, 4, 0xFFFFFFFFu);
    {
        auto c = platform::createImageCanvas(target);
        c->blitTransparent(sprite, -2, 2);
        c->blitTransparent(sprite, 100, 100);
    }
    EXPECT_EQ(target.at(1, 3), 0xFFFFFFFFu);
    EXPECT_EQ(target.at(2, 3), 0xFF000000u);
    EXPECT_EQ(target.at(1, 1), 0xFF000000u);
}

// Blits copy rows eight pixels at a time and the rest one by one: every width, both kinds, a
// source with black pixels scattered over it, against the rule pixel by pixel.
TEST(Blit, EveryWidthCopiesPixelByPixelRule) {
    test::hostTestUi();
    for (bool transparent : {false, true}) {
        for (int w = 1; w <= 19; ++w) {
            Image target(24, 3, 0xFF445566u);
            Image sprite(w, 2);
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < 2; ++y)
                    sprite.at(x, y) = (x * 7 + y) % 5 == 0 ? 0x00000000u : 0x00102030u + static_cast<std::uint32_t>(x);
            {
                auto c = platform::createImageCanvas(target);
                if (transparent) {
                    c->blitTransparent(sprite, 3, 1);
                } else {
                    c->blit(sprite, 3, 1);
                }
            }
            for (int x = 0; x < 24; ++x) {
                for (int y = 0; y < 3; ++y) {
                    std::uint32_t want = 0xFF445566u;
                    if (x >= 3 && x < 3 + w && y >= 1) {
                        const std::uint32_t p = sprite.at(x - 3, y - 1);
                        want = transparent && p == 0 ? 0xFF445566u : (p | 0xFF000000u);
                    }
                    ASSERT_EQ(target.at(x, y), want) << "width " << w << (transparent ? " transparent" : "") << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(RotateImage, CornersComeOutBlackAndTheCentreStays) {
    Image square(40, 40, 0xFFFFFFFFu);
    Image turned = platform::rotateImage(square, 45.0);
    ASSERT_EQ(turned.width, 40);
    ASSERT_EQ(turned.height, 40);
    for (auto [x, y] : {std::pair{0, 0}, {39, 0}, {0, 39}, {39, 39}}) EXPECT_EQ(turned.at(x, y), kOpaqueBlack);
    EXPECT_EQ(turned.at(20, 20), 0xFFFFFFFFu);
    // A half turn of an asymmetric image moves its marked corner to the opposite one. (The mark
    // is 3 x 3: Wine's GDI+ leaves the outermost row and column out of a turned picture.)
    Image marked(10, 10, kOpaqueBlack);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) marked.at(x, y) = 0xFFFF0000u;
    Image half = platform::rotateImage(marked, 180.0);
    EXPECT_GT((half.at(8, 8) >> 16) & 0xFF, 0x80u);
    EXPECT_EQ(half.at(1, 1), kOpaqueBlack);
}

TEST(TintedBlur, AveragesRedAndBlueSetsGreenAndKeepsTheEdges) {
    Image src(7, 6);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            src.at(x, y) = 0xFF000000u | (static_cast<std::uint32_t>(x * 40) << 16) | (0xAAu << 8) |
                           static_cast<std::uint32_t>(y * 30);
        }
    }
    Image out = tintedBlur(src);
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            const bool inner = x >= 2 && x <= src.width - 3 && y >= 2 && y <= src.height - 3;
            if (!inner) {
                EXPECT_EQ(out.at(x, y), src.at(x, y)) << x << "," << y;
                continue;
            }
            EXPECT_EQ((out.at(x, y) >> 8) & 0xFF, 127u);
            EXPECT_EQ((out.at(x, y) >> 16) & 0xFF, static_cast<std::uint32_t>(x * 40));  // mean of a linear ramp
            EXPECT_EQ(out.at(x, y) & 0xFF, static_cast<std::uint32_t>(y * 30));
            EXPECT_EQ(out.at(x, y) >> 24, 0xFFu);
        }
    }
    Image tiny(4, 4, 0xFF123456u);
    EXPECT_EQ(tintedBlur(tiny).pixels, tiny.pixels);  // no pixel is 2 away from every edge
}

TEST(TintedBlur, DrawsTheBlurredCopyBackInPlace) {
    Image surface(20, 20, 0xFFC80064u);
    {
        auto c = platform::createImageCanvas(surface);
        drawTintedBlur(*c, *c, {5, 5, 15, 15});
    }
    EXPECT_EQ(surface.at(10, 10), 0xFFC87F64u);
    EXPECT_EQ(surface.at(5, 5), 0xFFC80064u);  // edge of the rectangle
    EXPECT_EQ(surface.at(2, 2), 0xFFC80064u);  // outside
}

TEST(CloseMark, RedrawsOnlyWhenThePointerEntersOrLeaves) {
    ClientState state;
    CloseMark mark;
    test::RecordingCanvas c;
    mark.draw(c, state);
    EXPECT_TRUE(c.ops().empty());  // not shown yet
    state.ui.closeButtonShown.store(1);
    EXPECT_TRUE(mark.hover(c, state, {525, 25}));
    EXPECT_EQ(mark.state(), CloseMark::kHighlighted);
    EXPECT_FALSE(mark.hover(c, state, {530, 30}));
    EXPECT_TRUE(mark.hover(c, state, {100, 100}));
    EXPECT_FALSE(mark.hover(c, state, {101, 100}));
    EXPECT_EQ(c.count("line"), 4);
}

}  // namespace
}  // namespace orvane::display
