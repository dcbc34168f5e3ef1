#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "skingen/bmp_writer.h"
#include "skingen/colour_quantizer.h"
#include "skingen/gif_encoder.h"
#include "skingen/led_container_writer.h"
#include "base/wav.h"
#include "tests/unit/skingen/binary_reading.h"
#include "tests/unit/skingen/gif_reading.h"

namespace orvane::skingen {
namespace {

using testing::le32;

std::vector<std::uint8_t> randomIndices(std::size_t n, unsigned colours, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> v(n);
    for (auto& i : v) i = static_cast<std::uint8_t>(rng() % colours);
    return v;
}

// Code widths change when the string table crosses a power of two, and the reader widens the
// end code one string after the last data code. Every prefix of an input ends once on each
// such boundary; over several inputs the end code lands on every bit alignment, so a wrong
// width cannot hide in the zero padding of the last byte.
TEST(Lzw, RoundTripsEveryLengthAcrossCodeWidthChanges) {
    struct Case {
        int minCodeSize;
        unsigned colours;
        std::size_t maxLength;
        unsigned inputs;
    } cases[] = {{2, 4, 700, 12}, {3, 6, 700, 6}, {8, 256, 1100, 2}};
    for (const Case& c : cases) {
        for (unsigned seed = 0; seed < c.inputs; ++seed) {
            const auto input = randomIndices(c.maxLength, c.colours, seed);
            for (std::size_t n = 0; n <= c.maxLength; ++n) {
                const std::span<const std::uint8_t> prefix(input.data(), n);
                const auto decoded = testing::lzwDecode(lzwCompress(prefix, c.minCodeSize), c.minCodeSize);
                ASSERT_TRUE(decoded.has_value()) << "min code " << c.minCodeSize << " length " << n;
                ASSERT_TRUE(std::equal(decoded->begin(), decoded->end(), prefix.begin(), prefix.end()))
                    << "min code " << c.minCodeSize << " length " << n;
            }
        }
    }
}

TEST(Lzw, RefusesIndicesOutsideTheCodeSize) {
    const std::uint8_t wide[] = {0, 1, 4};
    EXPECT_TRUE(lzwCompress(wide, 2).empty());
    EXPECT_FALSE(lzwCompress(wide, 3).empty());
    EXPECT_TRUE(lzwCompress(wide, 9).empty());
}

TEST(Lzw, RoundTripsThroughFullTablesAndLongRuns) {
    const std::vector<std::vector<std::uint8_t>> inputs{
        randomIndices(200000, 256, 7),            // fills the table many times over
        std::vector<std::uint8_t>(300000, 3),     // one long run
        randomIndices(150000, 2, 9),              // few colours, long strings
    };
    for (const auto& input : inputs) {
        const auto decoded = testing::lzwDecode(lzwCompress(input, 8), 8);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(*decoded, input);
    }
}

TEST(Gif, AnimationRoundTripsWithDelaysLoopAndChangesOnly) {
    GifAnimation a;
    a.width = 33;
    a.height = 17;
    a.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int f = 0; f < 4; ++f) {
        a.frames.push_back({randomIndices(33 * 17, 4, static_cast<unsigned>(f)), 5 + f, -1});
        a.frames.back().indices[0] = 1;  // a pixel that never changes
    }
    std::vector<std::vector<std::uint32_t>> expected;
    for (const GifFrame& f : a.frames) {
        std::vector<std::uint32_t> rgb;
        for (std::uint8_t i : f.indices) rgb.push_back(a.palette[i]);
        expected.push_back(rgb);
    }
    keepOnlyChanges(a.frames, 4);
    EXPECT_EQ(a.frames[0].transparentIndex, -1);
    EXPECT_EQ(a.frames[2].indices[0], 4);

    const auto gif = testing::parseGif(encodeGif(a));
    ASSERT_TRUE(gif.has_value());
    EXPECT_EQ(gif->width, 33);
    EXPECT_EQ(gif->height, 17);
    EXPECT_EQ(gif->loopCount, 0);
    ASSERT_EQ(gif->frames.size(), 4u);
    for (int f = 0; f < 4; ++f) {
        EXPECT_EQ(gif->frames[static_cast<std::size_t>(f)].delayCentiseconds, 5 + f);
        EXPECT_EQ(gif->frames[static_cast<std::size_t>(f)].disposal, 1);
    }
    EXPECT_EQ(gif->composited(), expected);
}

TEST(Gif, RefusesInconsistentAnimations) {
    GifAnimation good;
    good.width = 2;
    good.height = 2;
    good.palette = {0, 0xFFFFFF};
    good.frames = {{{0, 1, 1, 0}, 8, -1}};
    ASSERT_FALSE(encodeGif(good).empty());

    auto broken = [&](auto change) {
        GifAnimation a = good;
        change(a);
        return encodeGif(a).empty();
    };
    EXPECT_TRUE(broken([](GifAnimation& a) { a.frames.clear(); }));
    EXPECT_TRUE(broken([](GifAnimation& a) { a.frames[0].indices.pop_back(); }));
    EXPECT_TRUE(broken([](GifAnimation& a) { a.frames[0].indices[3] = 2; }));
    EXPECT_TRUE(broken([](GifAnimation& a) { a.frames[0].transparentIndex = 2; }));
    EXPECT_TRUE(broken([](GifAnimation& a) { a.palette.clear(); }));
    EXPECT_TRUE(broken([](GifAnimation& a) { a.width = 0; }));
}

TEST(Bmp, RowsArePaddedAndStoredBottomUp) {
    for (int width : {1, 2, 3, 4, 5, 7}) {
        Raster r(width, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) r.at(x, y) = static_cast<std::uint32_t>(0x010203 * (y + 1) + 0x100000 * x);
        }
        const auto bytes = encodeBmp24(r);
        const auto bmp = testing::parseBmp24(bytes);
        ASSERT_TRUE(bmp.has_value()) << "width " << width;
        EXPECT_EQ(bmp->pixels, r.pixels) << "width " << width;
        // The first stored row is the bottom one.
        EXPECT_EQ(bytes[54 + 2], (r.at(0, 2) >> 16) & 0xFF);
    }
}

TEST(LedContainer, LaysOutCountEntriesAndImages) {
    const std::vector<LedImageFile> images{{"A.bmp", {1, 2, 3}}, {std::string(31, 'n'), {4}}, {"C", {}}};
    const auto bytes = buildLedContainer(images);
    ASSERT_TRUE(bytes.has_value());
    const std::span<const std::uint8_t> b = *bytes;
    ASSERT_EQ(b.size(), 4u + 3 * 40 + 4);
    EXPECT_EQ(le32(b, 0), 3u);
    const std::uint32_t firstImage = 4 + 3 * 40;
    const std::uint32_t offsets[] = {firstImage, firstImage + 3, firstImage + 4};
    const std::uint32_t sizes[] = {3, 1, 0};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t entry = 4 + 40 * i;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[entry])), images[i].name);
        EXPECT_EQ(le32(b, entry + 32), offsets[i]);
        EXPECT_EQ(le32(b, entry + 36), sizes[i]);
    }
    EXPECT_EQ(b[firstImage + 3], 4);
}

TEST(LedContainer, RefusesWhatTheProgramsReaderWouldNotTake) {
    EXPECT_FALSE(buildLedContainer({{std::string(32, 'x'), {1}}}).has_value());
    EXPECT_FALSE(buildLedContainer({{"", {1}}}).has_value());
    EXPECT_TRUE(buildLedContainer({}).has_value());
    // The reader takes no table of more than 20 entries.
    std::vector<LedImageFile> many;
    for (int i = 0; i < 21; ++i) {
        std::string name = "L";  // built in two steps: MinGW's -Wrestrict misreads "L" + string
        name += std::to_string(i);
        many.push_back({name, {1}});
    }
    EXPECT_FALSE(buildLedContainer(many).has_value());
    many.pop_back();
    EXPECT_TRUE(buildLedContainer(many).has_value());
}

TEST(Quantizer, KeepsFewColoursExactlyAndBoundsThePalette) {
    Raster few(4, 1);
    few.pixels = {0x102030, 0xFFFFFF, 0x102030, 0x00FF00};
    const IndexedFrames exact = quantizeFrames({few, few});
    ASSERT_EQ(exact.palette.size(), 3u);
    for (std::size_t i = 0; i < few.pixels.size(); ++i) EXPECT_EQ(exact.palette[exact.frames[1][i]], few.pixels[i]);

    Raster many(256, 64);
    for (std::size_t i = 0; i < many.pixels.size(); ++i) many.pixels[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFF;
    const IndexedFrames reduced = quantizeFrames({many}, 255);
    EXPECT_EQ(reduced.palette.size(), 255u);
    // Each pixel maps to its nearest palette colour, never to a far one.
    for (std::size_t i = 0; i < many.pixels.size(); i += 97) {
        const std::uint32_t p = many.pixels[i], q = reduced.palette[reduced.frames[0][i]];
        for (int shift : {0, 8, 16}) EXPECT_LT(std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)), 128);
    }
}

TEST(Wav, HeaderDescribesThePcmData) {
    const std::int16_t samples[] = {0, 1000, -1000, 32767, -32768, 5};
    const auto bytes = base::encodeWavPcm16(samples, 2, 8000);
    const std::span<const std::uint8_t> b = bytes;
    ASSERT_EQ(b.size(), 44u + 12);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    EXPECT_EQ(testing::le16(b, 22), 2u);      // channels
    EXPECT_EQ(le32(b, 28), 8000u * 4);        // bytes per second
    EXPECT_EQ(testing::le16(b, 32), 4u);      // block align
    EXPECT_EQ(le32(b, 40), 12u);
    EXPECT_EQ(testing::le16(b, 44 + 8), 0x8000u);  // -32768 little-endian
}

}  // namespace
}  // namespace orvane::skingen
