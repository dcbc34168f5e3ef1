// Reads back the skin the build generated into the folder the programs run from (the test's
// working folder), the way the programs will find it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "tests/unit/skingen/binary_reading.h"
#include "tests/unit/skingen/gif_reading.h"

namespace orvane::skingen {
namespace {

using testing::Bmp24;
using testing::le16;
using testing::le32;

Bmp24 loadBmp(const std::string& name) {
    const auto bytes = testing::readFile(name);
    if (!bytes) {
        ADD_FAILURE() << name << " is missing";
        return {};
    }
    auto bmp = testing::parseBmp24(*bytes);
    if (!bmp) {
        ADD_FAILURE() << name << " is not a 24-bit bottom-up bitmap";
        return {};
    }
    return *bmp;
}

int red(std::uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int green(std::uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }
bool isAmber(std::uint32_t p) { return red(p) > 200 && green(p) > 110 && red(p) - blue(p) > 80; }

TEST(SkinFiles, EveryBitmapHasTheSizeThePanelsUse) {
    struct Expected {
        std::string name;
        int width, height;
    };
    std::vector<Expected> expected{{"btn-fleche.bmp", 60, 60}, {"btn-param.bmp", 60, 60}, {"doc_img.bmp", 60, 60},
                                   {"synthe_1.bmp", 64, 64},   {"vu_meter_2.bmp", 150, 84}, {"0.bmp", 180, 110}};
    for (int n = 1; n <= 10; ++n) expected.push_back({std::to_string(n) + ".bmp", 80, 60});
    for (const Expected& e : expected) {
        const Bmp24 bmp = loadBmp(e.name);
        EXPECT_EQ(bmp.width, e.width) << e.name;
        EXPECT_EQ(bmp.height, e.height) << e.name;
    }
}

// Black is see-through where the program keys it out: the corners must be black and the
// knob face must have no black holes, or the window would show through it.
TEST(SkinFiles, KeyedImagesAreBlackAroundAndSolidInside) {
    struct Keyed {
        std::string name;
        int solidRadius;  // around the centre, nothing may be pure black
    } cases[] = {{"btn-fleche.bmp", 22}, {"btn-param.bmp", 22}};
    for (const Keyed& k : cases) {
        const Bmp24 bmp = loadBmp(k.name);
        ASSERT_FALSE(bmp.pixels.empty());
        const int w = bmp.width, h = bmp.height;
        for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}}) EXPECT_EQ(bmp.at(x, y), 0u) << k.name;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (std::hypot(x + 0.5 - w / 2.0, y + 0.5 - h / 2.0) <= k.solidRadius) {
                    ASSERT_NE(bmp.at(x, y), 0u) << k.name << " hole at " << x << "," << y;
                }
            }
        }
    }
}

// The program turns the volume knob by 180 degrees at volume 0 and expects it to point
// down then: unturned, the arrow points up.
TEST(SkinFiles, VolumeKnobArrowPointsUp) {
    const Bmp24 knob = loadBmp("btn-fleche.bmp");
    int above = 0, below = 0, aside = 0;
    for (int y = 0; y < knob.height; ++y) {
        for (int x = 0; x < knob.width; ++x) {
            if (!isAmber(knob.at(x, y))) continue;
            if (std::abs(x + 0.5 - knob.width / 2.0) > 6) {
                ++aside;
            } else if (y < knob.height / 2) {
                ++above;
            } else {
                ++below;
            }
        }
    }
    EXPECT_GT(above, 40);
    EXPECT_EQ(below, 0);
    EXPECT_EQ(aside, 0);
}

TEST(SkinFiles, MeterRedZoneIsAtTheHighEndOfTheSweep) {
    const Bmp24 face = loadBmp("vu_meter_2.bmp");
    int left = 0, right = 0;
    for (int y = 0; y < face.height; ++y) {
        for (int x = 0; x < face.width; ++x) {
            const std::uint32_t p = face.at(x, y);
            if (red(p) > 160 && green(p) < 70 && blue(p) < 70) (x < face.width / 2 ? left : right) += 1;
        }
    }
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 60);
}

// Number images lie over the panel with black keyed out: their border must be black so the
// panel shows around the digits, and each must light a different pattern.
TEST(SkinFiles, ChannelNumbersAreDistinctDigitsOnBlack) {
    std::set<std::vector<bool>> patterns;
    for (int n = 1; n <= 10; ++n) {
        const Bmp24 bmp = loadBmp(std::to_string(n) + ".bmp");
        ASSERT_FALSE(bmp.pixels.empty());
        for (int x = 0; x < bmp.width; ++x) {
            EXPECT_EQ(bmp.at(x, 0), 0u);
            EXPECT_EQ(bmp.at(x, bmp.height - 1), 0u);
        }
        std::vector<bool> lit;
        for (std::uint32_t p : bmp.pixels) lit.push_back(isAmber(p));
        patterns.insert(lit);
    }
    EXPECT_EQ(patterns.size(), 10u);
}

// The channel name (yellow, no background) is written over the top strip of the panel and the
// member count over its bottom band: both must stay dark for the text to read.
TEST(SkinFiles, ChannelPanelKeepsItsTextAreasDark) {
    const Bmp24 panel = loadBmp("0.bmp");
    ASSERT_FALSE(panel.pixels.empty());
    struct Area {
        int left, top, right, bottom;
    } areas[] = {{10, 5, 170, 23}, {140, 88, 175, 104}};
    for (const Area& a : areas) {
        long sum = 0, count = 0;
        for (int y = a.top; y < a.bottom; ++y) {
            for (int x = a.left; x < a.right; ++x, ++count) sum += red(panel.at(x, y)) + green(panel.at(x, y)) + blue(panel.at(x, y));
        }
        EXPECT_LT(sum / (3 * count), 40) << "area at " << a.left << "," << a.top;
    }
}

TEST(SkinFiles, LedContainerHoldsTheSixLampsAsBitmaps) {
    const auto file = testing::readFile("mini_leds.bmf");
    ASSERT_TRUE(file.has_value());
    const std::span<const std::uint8_t> b = *file;
    ASSERT_GE(b.size(), 4u);
    const std::uint32_t count = le32(b, 0);
    ASSERT_LE(count, 20u);
    ASSERT_GE(b.size(), 4 + 40 * static_cast<std::size_t>(count));

    std::set<std::string> names;
    std::size_t end = 4 + 40 * static_cast<std::size_t>(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 4 + 40 * static_cast<std::size_t>(i);
        const auto nameField = b.subspan(entry, 32);
        const auto nul = std::find(nameField.begin(), nameField.end(), 0);
        ASSERT_NE(nul, nameField.end()) << "entry " << i << " name is not terminated";
        const std::string name(nameField.begin(), nul);
        names.insert(name);

        const std::uint32_t offset = le32(b, entry + 32), size = le32(b, entry + 36);
        EXPECT_GE(offset, end) << name << " overlaps the table or the previous image";
        ASSERT_LE(static_cast<std::size_t>(offset) + size, b.size()) << name;
        end = static_cast<std::size_t>(offset) + size;
        const auto image = b.subspan(offset, size);
        const auto led = testing::parseBmp24(image);
        ASSERT_TRUE(led.has_value()) << name;
        EXPECT_EQ(le32(image, 10), 54u) << name;
        EXPECT_EQ(led->width, 14) << name;
        EXPECT_EQ(led->height, 14) << name;
        EXPECT_EQ(led->at(0, 0), 0u) << name;
        EXPECT_NE(led->at(7, 7), 0u) << name;
    }
    EXPECT_EQ(end, b.size());
    const std::set<std::string> wanted{"LedRed.bmp",      "LedGreen.bmp",    "LedBlue.bmp",
                                       "LedDarkRed.bmp", "LedDarkBlue.bmp", "LedYellow.bmp"};
    EXPECT_EQ(names, wanted);
}

TEST(SkinFiles, AnimationLoopsForeverWithDelaysAndMoves) {
    const auto file = testing::readFile("electron-animation.gif");
    ASSERT_TRUE(file.has_value());
    const auto gif = testing::parseGif(*file);
    ASSERT_TRUE(gif.has_value()) << "not a well-formed GIF";
    EXPECT_EQ(gif->width, 150);
    EXPECT_EQ(gif->height, 150);
    EXPECT_EQ(gif->loopCount, 0);
    ASSERT_GE(gif->frames.size(), 8u);
    for (const auto& frame : gif->frames) EXPECT_EQ(frame.delayCentiseconds, 8);
    EXPECT_EQ(gif->frames.front().transparentIndex, -1) << "the first frame must be whole";

    const auto pictures = gif->composited();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        EXPECT_NE(pictures[i], pictures[(i + 1) % pictures.size()]) << "frame " << i << " repeats";
    }
}

TEST(SkinFiles, ChimeIsShortPcmStartingAndEndingQuietly) {
    const auto file = testing::readFile("chimes.wav");
    ASSERT_TRUE(file.has_value());
    const std::span<const std::uint8_t> b = *file;
    ASSERT_GE(b.size(), 44u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le16(b, 20), 1u);  // PCM
    EXPECT_EQ(le16(b, 34), 16u);
    const std::uint32_t channels = le16(b, 22), rate = le32(b, 24), bytes = le32(b, 40);
    ASSERT_EQ(b.size(), 44u + bytes);
    const double seconds = static_cast<double>(bytes) / (2.0 * channels * rate);
    EXPECT_GT(seconds, 0.3);
    EXPECT_LT(seconds, 1.0);

    auto sample = [&](std::size_t i) { return static_cast<std::int16_t>(le16(b, 44 + 2 * i)); };
    const std::size_t n = bytes / 2;
    int peak = 0;
    for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(static_cast<int>(sample(i))));
    EXPECT_GT(peak, 16000);
    EXPECT_LT(peak, 32767);  // not clipped
    EXPECT_EQ(sample(0), 0);
    EXPECT_LT(std::abs(static_cast<int>(sample(n - 1))), 100);
}

}  // namespace
}  // namespace orvane::skingen
