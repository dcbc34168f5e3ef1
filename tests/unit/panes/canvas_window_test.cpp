#include "panes/canvas_window.h"

#include <gtest/gtest.h>

#include "tests/fakes/web_fixture.h"

namespace orvane::test {
namespace {

TEST(FitPicture, ScalesToFitAndCentres) {
    const struct {
        int w, h, pw, ph, left, top, right, bottom;
    } cases[] = {{584, 540, 1000, 500, 0, 124, 584, 416}, {584, 540, 100, 100, 22, 0, 562, 540}, {584, 540, 0, 10, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        const platform::Rect r = panes::fitPicture(c.w, c.h, c.pw, c.ph);
        EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({c.left, c.top, c.right, c.bottom}));
    }
}

class CanvasTest : public WebTest {
protected:
    CanvasTest() : canvasWindow(*web) {
        state.channel.channelPort = 30003;
        ui.frame = {16, 60};  // a 600 x 600 window with a menu bar: 584 x 540 inside
    }
    panes::CanvasWindow canvasWindow;
    FakeWindow* canvas() { return ui.windows.size() > 1 ? ui.windows[1].get() : nullptr; }
    void paint() { canvas()->handler()->onPaint(*canvas()); }
    void command(int id) { canvas()->handler()->onCommand(*canvas(), id); }
};

TEST_F(CanvasTest, OpensBesideTheMainWindowExceptOnChannelZero) {
    ui.workAreas = {{-1920, 0, 0, 1040}, {0, 0, 1920, 1040}};  // a monitor left of the primary one
    state.channel.channelPort = 30000;
    canvasWindow.toggle();
    EXPECT_EQ(canvas(), nullptr);

    state.channel.channelPort = 30003;
    canvasWindow.toggle();
    ASSERT_NE(canvas(), nullptr);
    const platform::WindowSpec& s = canvas()->spec;
    EXPECT_EQ(s.title, "Orvane Echange et Partage");
    EXPECT_EQ(std::vector<int>({s.x, s.y, s.width, s.height}), std::vector<int>({200, 350, 600, 600}));
    EXPECT_EQ(s.owner, main);
    ASSERT_EQ(s.menus.size(), 1u);
    EXPECT_EQ(s.menus[0].title + " " + s.menus[0].items.at(0).text + std::to_string(s.menus[0].items[0].id) + " " +
                  s.menus[0].items.at(1).text + std::to_string(s.menus[0].items[1].id),
              "Fichier Actualiser32000 Envoyer32001");
    EXPECT_TRUE(canvas()->shown);
    EXPECT_EQ(main->foregroundCalls, 1);  // the keyboard stays with the main window

    state.channel.channelPort = 30000;  // on channel 0 a click leaves it open
    canvasWindow.toggle();
    EXPECT_TRUE(ui.postedDestroys.empty());
    state.channel.channelPort = 30003;
    canvasWindow.toggle();
    EXPECT_EQ(ui.postedDestroys.size(), 1u);
    ui.destroyWindow(canvas());
    EXPECT_FALSE(canvasWindow.isOpen());

    // By the left edge of the monitor left of the primary one, low: it stays on that monitor.
    main->move(-1800, 600);
    canvasWindow.toggle();
    ASSERT_EQ(ui.windows.size(), 3u);
    EXPECT_EQ(ui.windows[2]->spec.x, -1920);
    EXPECT_EQ(ui.windows[2]->spec.y, 1040 - 600);
}

TEST_F(CanvasTest, ThePictureIsFetchedOncePerShowingAndKeptOn404) {
    https.queue(FakeReply::ok(pngHeader(1000, 500)));
    canvasWindow.toggle();  // showing the window paints it
    paint();
    paint();  // a repaint only scales again
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].path, "/echange/pc_img_share_get.php?F=3&N=1");
    EXPECT_EQ(canvas()->last("blitStretched"), "blitStretched 0 124 584 416 1000x500");
    EXPECT_EQ(canvas()->scroll.x, 400);

    state.channel.channelPort = 30005;  // "Actualiser" on a channel without picture
    command(32000);
    EXPECT_EQ(canvas()->invalidations, 1);
    canvas()->ops.clear();
    paint();
    EXPECT_EQ(https.sent.back().path, "/echange/pc_img_share_get.php?F=5&N=1");
    EXPECT_EQ(canvas()->last("blitStretched"), "blitStretched 0 124 584 416 1000x500");

    command(32001);  // "Envoyer", chooser cancelled: reloads all the same
    https.queue(FakeReply::failing(FakeReply::FailAt::Send));
    paint();
    EXPECT_FALSE(canvasWindow.picture().has_value());  // a failed request leaves no picture
}

}  // namespace
}  // namespace orvane::test
