// The decoders, the talker card and the canvas window on the platform's real images and
// windows (off-screen), fed by the real web server.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <cstring>

#include "state/client_state.h"
#include "platform/ui.h"
#include "servers/web/png_writer.h"
#include "tests/fakes/web_server_fixture.h"
#include "web/account.h"
#include "display/account_view.h"
#include "panes/canvas_window.h"
#include "platform/linux/qt_ui.h"
#include "web/decoders.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::test {
namespace {

std::uint32_t pixelAt(platform::Window& w, int x, int y) { return w.draw()->readRegion({x, y, x + 1, y + 1}).at(0, 0); }

class WebWindowTest : public ::testing::Test {
protected:
    WebWindowTest() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {}

    std::int32_t receive(const std::string& body) {
        std::memcpy(web->responseBuffer, body.data(), body.size());
        web->responseLength = body.size();
        return static_cast<std::int32_t>(body.size());
    }

    // The web state fetches from a started, trusted server and draws on a host UI of its own.
    void serveFrom(WebServerFixture& server, std::unique_ptr<platform::Ui>& ui) {
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        server.trust();
        ui = test::makeHostUi();
        ASSERT_NE(ui, nullptr);
        web->host = server.host();
        web->port = server.port();
        web->ui = ui.get();
    }

    ClientState state;
    std::unique_ptr<web::WebState> web;
};

// 2 x 1 GIF: a red pixel and a transparent one.
constexpr char kGif[] =
    "GIF89a\x02\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00\x21\xF9\x04\x01\x00\x00\x01\x00"
    "\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02\x02\x44\x0A\x00\x3B";

TEST_F(WebWindowTest, DecodersPngOnlyOrAnyFormatOnBlack) {
    const auto png = webserver::usbIcon(0x00C000);
    const std::int32_t n = receive(std::string(png.begin(), png.end()));
    const auto icon = web::decodePng(*web, n);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->width * 100 + icon->height, 3232);
    EXPECT_EQ(icon->at(10, 16), 0xFF00C000u);
    EXPECT_FALSE(web::decodePng(*web, 7).has_value());
    EXPECT_FALSE(web::decodePng(*web, n / 2).has_value());  // cut short

    const std::int32_t g = receive(std::string(kGif, sizeof kGif - 1));
    EXPECT_FALSE(web::decodePng(*web, g).has_value());
    const auto gif = web::decodeImage(*web, g);
    ASSERT_TRUE(gif.has_value());
    EXPECT_EQ(gif->at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(gif->at(1, 0), 0xFF000000u);  // transparency on opaque black
    EXPECT_FALSE(web::decodeImage(*web, receive("not a picture")).has_value());
    EXPECT_FALSE(web::decodeImage(*web, -1).has_value());
}

TEST_F(WebWindowTest, TalkerCardAndSharedPicture) {
    WebServerFixture server;
    std::unique_ptr<platform::Ui> ui;
    ASSERT_NO_FATAL_FAILURE(serveFrom(server, ui));
    display::MainWindowAccountView view(state, ui.get());
    web->view = &view;
    platform::WindowSpec spec;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::WindowHandler mainHandler;
    platform::Window* main = ui->createWindow(spec, &mainHandler);
    ASSERT_NE(main, nullptr);
    state.ui.mainWindow = main;

    const int talker = server.store().findOrCreateAccount("42", "")->number;
    ASSERT_TRUE(server.store().setPicture(talker, webserver::usbIcon(0x00C000)));
    ASSERT_TRUE(server.store().setCard(talker, {std::string("Lo\xC3\xAF" "c"), std::string("Brest"), std::string("Hi"), std::nullopt, std::nullopt}));
    state.channel.talkerAccount = talker;
    web::talkerCardTick(*web);
    EXPECT_EQ(pixelAt(*main, 10, 340), 0xFFFF0000u);  // the red frame
    EXPECT_EQ(pixelAt(*main, 41, 371), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(*main, 20, 356), 0xFF00C000u);  // the picture
    EXPECT_EQ((pixelAt(*main, 275, 635) >> 8) & 0xFF, 0x7Fu);  // the tinted strip

    ASSERT_TRUE(server.store().setSharedPicture(4, {"p.png", webserver::usbIcon(0xE00000)}));
    state.channel.channelPort = 30004;
    panes::CanvasWindow canvasWindow(*web);
    canvasWindow.toggle();
    platform::Window* canvas = canvasWindow.window();
    ASSERT_NE(canvas, nullptr);
    canvas->handler()->onPaint(*canvas);
    const std::uint32_t centre = pixelAt(*canvas, canvas->clientWidth() / 2, canvas->clientHeight() / 2);
    EXPECT_GT((centre >> 16) & 0xFF, 0xD0u) << std::hex << centre;  // the enlarged red plug
    EXPECT_LT((centre >> 8) & 0xFF, 0x20u) << std::hex << centre;
    ui->destroyWindow(canvas);
    EXPECT_FALSE(canvasWindow.isOpen());
}

// A shared picture larger than the window gets scroll bars, which take their room from the
// client area as a window's bars do: the picture is fitted into what they leave, whole and of
// its own shape, instead of being drawn under them.
TEST_F(WebWindowTest, ScrollBarsShrinkTheSharedPicturesArea) {
    WebServerFixture server;
    std::unique_ptr<platform::Ui> ui;
    ASSERT_NO_FATAL_FAILURE(serveFrom(server, ui));
    platform::WindowSpec spec;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::WindowHandler mainHandler;
    state.ui.mainWindow = ui->createWindow(spec, &mainHandler);

    constexpr std::uint32_t kBlue = 0x2060E0;
    ASSERT_TRUE(server.store().setSharedPicture(
        5, {"big.png", webserver::encodePng(1200, 1000, std::vector<std::uint32_t>(1200 * 1000, kBlue))}));
    state.channel.channelPort = 30005;
    panes::CanvasWindow canvasWindow(*web);
    canvasWindow.toggle();
    auto* canvas = static_cast<platform::qt::QtWindow*>(canvasWindow.window());
    ASSERT_NE(canvas, nullptr);
    canvas->handler()->onPaint(*canvas);
    canvas->presentNow();

    // What the user sees of the client area, the bars included.
    const QImage seen = canvas->clientWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int left = seen.width(), top = seen.height(), right = -1, bottom = -1;
    for (int y = 0; y < seen.height(); ++y) {
        for (int x = 0; x < seen.width(); ++x) {
            if ((seen.pixel(x, y) & 0xFFFFFFu) != kBlue) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    EXPECT_EQ(canvas->clientWidth(), seen.width() - 16) << "the vertical bar took no room";
    EXPECT_EQ(canvas->clientHeight(), seen.height() - 16) << "the horizontal bar took no room";
    const platform::Rect drawn = panes::fitPicture(canvas->clientWidth(), canvas->clientHeight(), 1200, 1000);
    EXPECT_EQ(std::vector<int>({left, top, right + 1, bottom + 1}),
              std::vector<int>({drawn.left, drawn.top, drawn.right, drawn.bottom}))
        << "the picture is not all in sight";
    ui->destroyWindow(canvas);
}

}  // namespace
}  // namespace orvane::test
