#include <gtest/gtest.h>

#include "display/animation.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane::display {
namespace {

platform::AnimationFile frames(int n, std::vector<int> delays) {
    platform::AnimationFile f;
    for (int i = 0; i < n; ++i) f.frames.emplace_back(10, 10, 0xFF000000u | static_cast<std::uint32_t>(i + 1));
    f.hasDelays = !delays.empty();
    f.delaysMs = std::move(delays);
    return f;
}

TEST(Animation, FirstFramesDelayPacesEveryFrame) {
    struct Case {
        platform::AnimationFile file;
        int period;
    } cases[] = {
        {frames(3, {100, 500, 500}), 100},
        {frames(2, {}), 100},  // no delays in the picture
        {frames(2, {0, 40}), 100},
        {frames(1, {70}), 70},
        {frames(0, {}), 0},  // no frames: no timer
    };
    for (const Case& c : cases) {
        Animation a;
        a.prepare(c.file);
        EXPECT_EQ(a.periodMs(), c.period);
    }
    Animation a;
    a.prepare(frames(3, {100, 500, 500}));
    EXPECT_EQ(a.delaysMs(), (std::vector<int>{100, 500, 500}));
}

TEST(Animation, ShowsFramesInOrderScaledToTheFrameAndLoops) {
    Animation a;
    auto file = frames(3, {});
    file.frames[1] = platform::Image();  // a frame that could not be made
    a.prepare(file);
    test::RecordingCanvas c;
    for (int i = 0; i < 4; ++i) a.showNext(c);
    const std::vector<std::string> expected = {"blit 350 450 150x150", "blit 350 450 150x150", "blit 350 450 150x150"};
    EXPECT_EQ(c.ops(), expected);  // the empty frame's tick draws nothing
    EXPECT_EQ(a.nextIndex(), 1u);
    Animation none;
    none.showNext(c);
    EXPECT_EQ(c.ops().size(), 3u);
}

TEST(Animation, MissingFileSaysSoAndEndsTheProgram) {
    test::FakeUi ui;
    platform::Window* main = ui.createWindow(platform::WindowSpec{}, nullptr);
    Animation a;
    EXPECT_FALSE(loadAnimation(ui, main, "/nonexistent/electron-animation.gif", a));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Orvane System");
    ui.runPosted();
    EXPECT_TRUE(static_cast<test::FakeWindow*>(main)->destroyed);

    std::string dir = test::makeSkinFolder();
    Animation real;
    EXPECT_TRUE(loadAnimation(ui, main, dir + "electron-animation.gif", real));
    EXPECT_EQ(real.frameCount(), 1u);
    EXPECT_EQ(real.periodMs(), 100);  // 10 hundredths
    test::removeFolder(dir);
}

}  // namespace
}  // namespace orvane::display
