// Pictures copied onto a GDI surface, straight or with black left out, wherever they fall:
// inside, across an edge or wholly off it.
#include <gtest/gtest.h>

#include <memory>

#include "platform/canvas.h"
#include "platform/image.h"
#include "platform/ui.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::platform {
namespace {

TEST(Win32CanvasBlits, StraightAndKeyedCopiesAcrossTheEdges) {
    std::unique_ptr<Ui> ui = test::makeHostUi();
    ASSERT_TRUE(ui);
    // A 3 x 3 sprite: black (the key) on its diagonal, a colour of its own elsewhere.
    Image sprite(3, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) sprite.at(x, y) = x == y ? 0xFF000000u : 0xFF000000u | (0x10 * (y * 3 + x + 1));
    }
    const struct {
        int x, y;
        bool keyed;
    } cases[] = {{1, 1, false}, {1, 1, true}, {-1, -1, false}, {-1, -1, true}, {4, 2, true},
                 {4, 3, false}, {-3, 0, false}, {0, 5, true}};
    for (const auto& c : cases) {
        Image target(6, 5, 0xFF777777u);
        {
            auto canvas = createImageCanvas(target);
            if (c.keyed) {
                canvas->blitTransparent(sprite, c.x, c.y);
            } else {
                canvas->blit(sprite, c.x, c.y);
            }
        }
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const int sx = x - c.x, sy = y - c.y;
                std::uint32_t expected = 0xFF777777u;
                if (sx >= 0 && sx < 3 && sy >= 0 && sy < 3 && !(c.keyed && sx == sy)) expected = sprite.at(sx, sy);
                EXPECT_EQ(target.at(x, y), expected)
                    << "at (" << x << ", " << y << ") for the sprite at (" << c.x << ", " << c.y << ")"
                    << (c.keyed ? " keyed" : "");
            }
        }
    }
}

}  // namespace
}  // namespace orvane::platform
