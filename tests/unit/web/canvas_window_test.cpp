#include "web/canvas_window.h"

#include <gtest/gtest.h>

#include "tests/unit/web/web_fixture.h"
#include "web/tinted_blur.h"

namespace orvane::test {
namespace {

TEST(FitPicture, ScalesToFitAndCentres) {
    const struct {
        int w, h, pw, ph;
        platform::Rect r;
    } cases[] = {
        {584, 540, 1000, 500, {0, 124, 584, 416}},
        {584, 540, 100, 100, {22, 0, 562, 540}},  // enlarged
        {600, 600, 600, 600, {0, 0, 600, 600}},
        {584, 540, 0, 10, {}},
    };
    for (const auto& c : cases) {
        const platform::Rect r = web::fitPicture(c.w, c.h, c.pw, c.ph);
        EXPECT_EQ(r.left, c.r.left);
        EXPECT_EQ(r.top, c.r.top);
        EXPECT_EQ(r.right, c.r.right);
        EXPECT_EQ(r.bottom, c.r.bottom);
    }
}

class CanvasTest : public WebTest {
protected:
    CanvasTest() {
        main = ui.mainWindow();
        state.ui.mainWindow = main;
        state.channel.channelPort = 30003;
    }
    FakeWindow* canvas() { return ui.windows.size() > 1 ? ui.windows[1].get() : nullptr; }
    void paint() { canvas()->handler()->onPaint(*canvas()); }
    FakeWindow* main = nullptr;
};

TEST_F(CanvasTest, ChannelZeroHasNoSharedPicture) {
    state.channel.channelPort = 30000;
    web::toggleCanvasWindow(*web);
    EXPECT_EQ(canvas(), nullptr);
    EXPECT_FALSE(web->canvasOpen);
}

TEST_F(CanvasTest, OpensBesideTheMainWindowAndGivesTheKeyboardBack) {
    web::toggleCanvasWindow(*web);
    ASSERT_NE(canvas(), nullptr);
    const platform::WindowSpec& s = canvas()->spec;
    EXPECT_EQ(s.title, "Orvane Echange et Partage");
    EXPECT_EQ(s.x, 200);
    EXPECT_EQ(s.y, 350);
    EXPECT_EQ(s.width, 600);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.owner, main);
    ASSERT_EQ(s.menus.size(), 1u);
    EXPECT_EQ(s.menus[0].title, "Fichier");
    ASSERT_EQ(s.menus[0].items.size(), 2u);
    EXPECT_EQ(s.menus[0].items[0].text, "Actualiser");
    EXPECT_EQ(s.menus[0].items[0].id, 32000);
    EXPECT_EQ(s.menus[0].items[1].text, "Envoyer");
    EXPECT_EQ(s.menus[0].items[1].id, 32001);
    EXPECT_TRUE(canvas()->shown);
    EXPECT_EQ(main->foregroundCalls, 1);
    EXPECT_TRUE(web->canvasOpen);

    // A second click closes it (a posted destroy); on channel 0 a click leaves it open.
    state.channel.channelPort = 30000;
    web::toggleCanvasWindow(*web);
    EXPECT_TRUE(ui.postedDestroys.empty());
    state.channel.channelPort = 30003;
    web::toggleCanvasWindow(*web);
    EXPECT_EQ(ui.postedDestroys.size(), 1u);
}

TEST_F(CanvasTest, ThePictureIsFetchedOncePerShowingAndKeptOn404) {
    web::toggleCanvasWindow(*web);
    canvas()->clientW = 584;
    canvas()->clientH = 540;
    https.queue(FakeReply::ok(pngHeader(1000, 500)));
    paint();
    paint();  // a repaint only scales again
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].path, "/echange/pc_img_share_get.php?F=3&N=1");
    EXPECT_EQ(canvas()->log.back(), "stretch 0,124 584x292 of 1000x500");
    EXPECT_EQ(canvas()->scrollH, 400);
    EXPECT_EQ(canvas()->scrollV, -100);

    // "Actualiser" on a channel without picture: the last picture stays.
    state.channel.channelPort = 30005;
    canvas()->handler()->onCommand(*canvas(), 32000);
    EXPECT_EQ(canvas()->invalidations, 1);
    paint();
    EXPECT_EQ(https.sent.back().path, "/echange/pc_img_share_get.php?F=5&N=1");
    EXPECT_EQ(canvas()->log.back(), "stretch 0,124 584x292 of 1000x500");

    // A failed request leaves no picture; an undecodable body neither.
    canvas()->handler()->onCommand(*canvas(), 32000);
    https.queue(FakeReply::failing(FakeReply::FailAt::Send));
    paint();
    EXPECT_FALSE(web->sharedPicture.has_value());
}

TEST_F(CanvasTest, SendUploadsThenReloadsAndClosingForgetsTheShowing) {
    web::toggleCanvasWindow(*web);
    https.queue(FakeReply::ok(pngHeader(10, 10)));
    paint();
    canvas()->handler()->onCommand(*canvas(), 32001);  // chooser cancelled
    EXPECT_FALSE(web->sharedPictureLoaded);
    EXPECT_EQ(canvas()->invalidations, 1);
    canvas()->handler()->onLeftButtonUp(*canvas(), {1, 1});
    EXPECT_EQ(main->foregroundCalls, 2);
    ui.destroyWindow(canvas());
    EXPECT_FALSE(web->canvasOpen);
    EXPECT_TRUE(web->sharedPicture.has_value());  // it outlives the window
}

TEST(TintedBlur, MeansRedAndBlueTintsGreenKeepsTheBorder) {
    platform::Image img(7, 6, 0xFF000000u);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) img.at(x, y) = 0xFF000000u | (static_cast<std::uint32_t>(x * 10) << 16) | 0x3300 | 50u;
    img.at(3, 3) = 0xFFFF00FFu;
    const platform::Image out = web::tintedBlur(img);
    EXPECT_EQ(out.at(0, 0), img.at(0, 0));
    EXPECT_EQ(out.at(5, 3), img.at(5, 3));  // within two pixels of the right edge
    EXPECT_EQ(out.at(3, 4), img.at(3, 4));  // within two pixels of the bottom edge
    // (2, 2): reds 0..40 over five columns, one pixel replaced by 255 at (3, 3).
    const std::uint32_t reds = 5 * (0 + 10 + 20 + 30 + 40) - 30 + 255;
    const std::uint32_t blues = 24 * 50 + 255;
    EXPECT_EQ(out.at(2, 2), 0xFF000000u | ((reds / 25) << 16) | 0x7F00u | (blues / 25));
}

}  // namespace
}  // namespace orvane::test
