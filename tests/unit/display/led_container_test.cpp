#include <gtest/gtest.h>

#include "display/led_container.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane::display {
namespace {

using test::makeLedContainer;
using test::sixLeds;

int imageCount(const LedImages& leds) {
    int n = 0;
    for (int code = 1; code <= 6; ++code) n += leds.forCode(code) != nullptr;
    return n;
}

TEST(LedContainer, ReadsTheSixImagesByName) {
    auto file = makeLedContainer(sixLeds(), 6);
    LedImages leds = decodeLedContainer(file);
    ASSERT_EQ(imageCount(leds), 6);
    EXPECT_EQ(leds.forCode(kLampGreen)->at(3, 3), 0xFF00FF00u);
    EXPECT_EQ(leds.forCode(kLampDarkBlue)->at(0, 0), 0xFF000080u);
    EXPECT_EQ(leds.forCode(0), nullptr);
    EXPECT_EQ(leds.forCode(7), nullptr);
}

TEST(LedContainer, MoreThanTwentyEntriesGivesNoLeds) {
    auto images = sixLeds();
    while (images.size() < 21) images.push_back({"Spare.bmp", test::solidBmp(2, 2, 0)});
    EXPECT_EQ(imageCount(decodeLedContainer(makeLedContainer(images, 21))), 0);
    EXPECT_EQ(imageCount(decodeLedContainer(makeLedContainer(sixLeds(), 21))), 0);  // count says 21
    images.resize(20);
    EXPECT_EQ(imageCount(decodeLedContainer(makeLedContainer(images, 20))), 6);
}

TEST(LedContainer, MissingOrUnusableEntriesGiveNoImage) {
    auto images = sixLeds();
    images.erase(images.begin() + 2);  // no "LedGreen.bmp"
    images.insert(images.begin(), {"ledgreen.bmp", test::solidBmp(2, 2, 0xFFFFFF)});  // names compare exactly
    LedImages leds = decodeLedContainer(makeLedContainer(images, static_cast<std::uint32_t>(images.size())));
    EXPECT_EQ(leds.forCode(kLampGreen), nullptr);
    EXPECT_EQ(imageCount(leds), 5);

    auto file = makeLedContainer(sixLeds(), 6);
    file[4 + 32] = 0xF0;  // entry 0 ("LedRed.bmp") now points past the end of the file
    file[4 + 35] = 0x7F;
    EXPECT_EQ(decodeLedContainer(file).forCode(kLampRed), nullptr);

    auto cut = makeLedContainer(sixLeds(), 6);
    cut.resize(4 + 40 * 3);  // table shorter than its count
    EXPECT_EQ(imageCount(decodeLedContainer(cut)), 0);
    EXPECT_EQ(imageCount(decodeLedContainer({})), 0);
    EXPECT_EQ(imageCount(loadLedContainer("/nonexistent/mini_leds.bmf")), 0);
}

TEST(LedContainer, NameFilling32BytesIsNotReadPast) {
    std::string longName(32, 'L');
    auto file = makeLedContainer({{longName, test::solidBmp(2, 2, 0)}}, 1);
    for (int i = 0; i < 32; ++i) file[4 + i] = 'L';  // no terminator inside the field
    auto table = readLedTable(file);
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(std::string((*table)[0].name), longName);
}

TEST(LedContainer, FirstEntryOfANameWins) {
    auto images = sixLeds();
    images.insert(images.begin(), {"LedRed.bmp", test::solidBmp(3, 3, 0x123456)});
    LedImages leds = decodeLedContainer(makeLedContainer(images, static_cast<std::uint32_t>(images.size())));
    ASSERT_NE(leds.forCode(kLampRed), nullptr);
    EXPECT_EQ(leds.forCode(kLampRed)->width, 3);
}

}  // namespace
}  // namespace orvane::display
