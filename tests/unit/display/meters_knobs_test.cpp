#include <gtest/gtest.h>

#include <cmath>

#include "display/knobs.h"
#include "display/meters.h"
#include "tests/fakes/recording_canvas.h"

namespace orvane::display {
namespace {

using platform::rgb;

TEST(BarMeter, ColourRampAtItsBreakpoints) {
    struct Case {
        int column;
        platform::Colour colour;
    } cases[] = {
        {0, rgb(0, 255, 0)},      {52, rgb(126, 255, 0)},  // 52/150 = 0.3467 -> 126
        {104, rgb(252, 255, 0)},  {105, rgb(255, 255, 0)},  // 0.7 starts the yellow-to-red part
        {120, rgb(255, 128, 0)},  {134, rgb(255, 9, 0)},   {135, rgb(255, 0, 0)}, {149, rgb(255, 0, 0)},
    };
    for (const Case& c : cases) EXPECT_EQ(barColour(c.column, 150), c.colour) << c.column;
    EXPECT_EQ(barColour(10, 10), rgb(255, 255, 255));  // past the fill
}

TEST(BarMeter, FillIsLevelOver64WithinTheBar) {
    EXPECT_EQ(barFill(0), 0);
    EXPECT_EQ(barFill(-500), 0);
    EXPECT_EQ(barFill(6400), 100);
    EXPECT_EQ(barFill(32767), 150);
    ClientState state;
    test::RecordingCanvas c;
    drawBarMeters(c, state);
    EXPECT_EQ(c.count("fillRect"), 300);
    EXPECT_EQ(c.ops().front(), "fillRect 200 166 201 176");
    EXPECT_EQ(c.ops().back(), "fillRect 519 166 520 176");
}

TEST(NeedleMeter, OutOfRangeValuesPointAt218) {
    EXPECT_EQ(needleAngle(0), 218);
    EXPECT_EQ(needleAngle(217), 218);
    EXPECT_EQ(needleAngle(320), 320);
    EXPECT_EQ(needleAngle(321), 218);
    auto up = needleTip(270, 150, 84);
    EXPECT_EQ(up.x, 75);
    EXPECT_EQ(up.y, 14);
    auto low = needleTip(0, 150, 84);
    EXPECT_EQ(low.x, 75 + static_cast<int>(70 * std::cos(218 * 3.14159265358979 / 180)));
    platform::Image face(150, 84);
    test::RecordingCanvas c;
    drawNeedleMeter(c, &face, 270);
    const std::vector<std::string> expected = {"blit 0 0 150x84", "line 75 84 75 14"};
    EXPECT_EQ(c.ops(), expected);
}

TEST(Knobs, ClickAngleGivesTheVolume) {
    const platform::Rect knob{100, 100, 160, 160};  // centre (130, 130)
    struct Case {
        platform::Point click;
        float scalar;
    } cases[] = {
        {{130, 170}, 0.0f},  // straight below
        {{90, 130}, 0.3f},   // left
        {{130, 90}, 0.6f},   // above
        {{170, 130}, 0.9f},  // right
        {{150, 170}, 1.0f},  // between 30 degrees below the right and straight below
        {{131, 170}, 1.0f},
    };
    for (const Case& c : cases) EXPECT_NEAR(knobClickScalar(knob, c.click), c.scalar, 1e-4) << c.click.x << "," << c.click.y;
}

TEST(Knobs, HitAreaIsGrownBy14AndNeverForAKnobNotDrawn) {
    const platform::Rect knob{100, 100, 160, 160};
    EXPECT_TRUE(knobHit(knob, {86, 86}));
    EXPECT_FALSE(knobHit(knob, {85, 120}));
    EXPECT_TRUE(knobHit(knob, {173, 173}));
    EXPECT_FALSE(knobHit(knob, {174, 120}));
    EXPECT_FALSE(knobHit(platform::Rect{}, {0, 0}));
}

TEST(Knobs, DotsRunClockwiseFromBelowTheCentre) {
    auto eight = knobDotCentres(25, 220, 60, 60, 8, 45.0);
    ASSERT_EQ(eight.size(), 8u);
    EXPECT_EQ(eight[0].x, 55);
    EXPECT_EQ(eight[0].y, 280);
    EXPECT_EQ(eight[2].x, 25);  // a quarter turn clockwise: left
    EXPECT_EQ(eight[2].y, 250);
    EXPECT_EQ(knobDotCentres(0, 0, 60, 60, 7, 360.0 / 7).size(), 7u);
    EXPECT_EQ(knobDotCentres(0, 0, 60, 60, 12, 90.0).size(), 4u);  // stops before a full turn
}

TEST(Knobs, PanelDrawsNothingWithoutTheArrowImageAndStoresRects) {
    Skin skin;
    KnobRects rects;
    test::RecordingCanvas none;
    drawKnobPanel(none, skin, 0.5f, 0.5f, 0, rects);
    EXPECT_TRUE(none.ops().empty());
    skin.knobArrow = platform::Image(60, 60);
    skin.knobParams = platform::Image(50, 50);
    test::RecordingCanvas c;
    drawKnobPanel(c, skin, 0.0f, 1.0f, 0, rects);
    EXPECT_EQ(rects.params.right, 75);
    EXPECT_EQ(rects.mic.left, 115);
    EXPECT_EQ(rects.volume.bottom, 280);
    EXPECT_EQ(c.count("ellipse"), 8 + 7 + 7);
    EXPECT_EQ(c.count("text 213 290 VOLUME"), 1);
}

}  // namespace
}  // namespace orvane::display
