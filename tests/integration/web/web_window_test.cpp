// The talker card and the canvas window on the platform's real windows (off-screen), fed by the
// real web server.
#include <gtest/gtest.h>

#include "core/client_state.h"
#include "platform/ui.h"
#include "servers/web/png_writer.h"
#include "tests/integration/web/web_server_fixture.h"
#include "web/account.h"
#include "web/canvas_window.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

std::uint32_t pixelAt(platform::Window& w, int x, int y) {
    return w.draw()->readRegion({x, y, x + 1, y + 1}).at(0, 0);
}

class WebWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.makeAuthority("windows"));
        std::string error;
        ASSERT_TRUE(server.start("windows", error)) << error;
        platform::setExtraCaFile(server.caFile("windows"));
        static int argc = 1;
        static char name[] = "web_window_test";
        static char* argv[] = {name, nullptr};
        ui = platform::createHostUi(argc, argv);
        ASSERT_NE(ui, nullptr);
        web = std::make_unique<web::WebState>(state, platform::systemHttps());
        web->host = "localhost";
        web->port = server.port();
        web->ui = ui.get();
        platform::WindowSpec spec;
        spec.title = "ORVANE";
        spec.width = 550;
        spec.height = 730;
        spec.borderless = true;
        main = ui->createWindow(spec, &mainHandler);
        ASSERT_NE(main, nullptr);
        main->show();
        state.ui.mainWindow = main;
    }
    void TearDown() override { platform::setExtraCaFile(""); }

    WebServerFixture server;
    ClientState state;
    std::unique_ptr<platform::Ui> ui;
    std::unique_ptr<web::WebState> web;
    platform::WindowHandler mainHandler;
    platform::Window* main = nullptr;
};

TEST_F(WebWindowTest, TalkerCardAndSharedPicture) {
    const int talker = server.store().findOrCreateAccount("0000000000000042", "")->number;
    ASSERT_TRUE(server.store().setPicture(talker, webserver::usbIcon(0x00C000)));
    ASSERT_TRUE(server.store().setCard(talker, {std::string("Lo\xC3\xAF" "c"), std::string("Brest"),
                                                std::string("Hi"), std::nullopt, std::nullopt}));
    state.channel.talkerAccount = talker;
    web::talkerCardTick(*web);
    EXPECT_EQ(pixelAt(*main, 10, 340), 0xFFFF0000u);        // the red frame
    EXPECT_EQ(pixelAt(*main, 41, 371), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(*main, 20, 356), 0xFF00C000u);        // the picture itself
    EXPECT_EQ((pixelAt(*main, 275, 635) >> 8) & 0xFF, 0x7Fu);  // the tinted strip

    const auto icon = webserver::usbIcon(0xE00000);
    ASSERT_TRUE(server.store().setSharedPicture(4, {"p.png", icon}));
    state.channel.channelPort = 30004;
    web::toggleCanvasWindow(*web);
    ASSERT_TRUE(web->canvasOpen);
    platform::Window* canvas = web->canvasWindow;
    ASSERT_NE(canvas, nullptr);
    canvas->handler()->onPaint(*canvas);
    ASSERT_TRUE(web->sharedPicture.has_value());
    const std::uint32_t centre = pixelAt(*canvas, canvas->clientWidth() / 2, canvas->clientHeight() / 2);
    EXPECT_GT((centre >> 16) & 0xFF, 0xD0u) << std::hex << centre;
    EXPECT_LT((centre >> 8) & 0xFF, 0x20u) << std::hex << centre;
    ui->destroyWindow(canvas);
    EXPECT_FALSE(web->canvasOpen);
    EXPECT_EQ(web->canvasWindow, nullptr);
}

}  // namespace
}  // namespace orvane::test
