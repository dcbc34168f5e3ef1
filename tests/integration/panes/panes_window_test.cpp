// The secondary windows on the platform's real windows (off-screen), the members' pictures
// fetched from the real web server. Each window's look is saved next to the build as a PNG.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <cstdio>

#include "state/client_state.h"
#include "platform/ui.h"
#include "servers/web/png_writer.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/web_server_fixture.h"
#include "web/colour_save.h"
#include "panes/secondary_windows.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::test {
namespace {

std::uint32_t pixelAt(platform::Window& w, int x, int y) { return w.draw()->readRegion({x, y, x + 1, y + 1}).at(0, 0); }

void saveShot(platform::Window& w, const char* name) {
    platform::Image img = w.draw()->readRegion({0, 0, w.clientWidth(), w.clientHeight()});
    QImage q(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height, img.width * 4, QImage::Format_RGB32);
    q.save(QString(ORVANE_SHOT_DIR "/") + name);
}

double msSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

TEST(WindowsWindowTest, MembersPicturesFromTheServerAndEachWindowsLook) {
    WebServerFixture server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    server.trust();
    auto ui = test::makeHostUi();
    ASSERT_NE(ui, nullptr);
    ClientState state;
    auto web = std::make_unique<web::WebState>(state, platform::systemHttps());
    web->host = server.host();
    web->port = server.port();
    web->ui = ui.get();
    platform::WindowSpec spec;
    spec.x = 400;
    spec.y = 100;
    spec.width = 550;
    spec.height = 730;
    spec.borderless = true;
    platform::WindowHandler mainHandler;
    platform::Window* main = ui->createWindow(spec, &mainHandler);
    ASSERT_NE(main, nullptr);
    state.ui.mainWindow = main;
    state.ui.backgroundColour = 0x400000;

    const platform::Colour faces[3] = {0x00C000, 0xE00000, 0x0000E0};
    for (int i = 0; i < 3; ++i) {
        const int account = server.store().findOrCreateAccount(std::to_string(100 + i), "")->number;
        ASSERT_TRUE(server.store().setPicture(account, webserver::usbIcon(faces[i])));
        state.channel.channelRoster[2][i] = account;
    }
    state.channel.channelRoster[2][3] = 9999;  // no picture: skipped
    state.channel.rosterCount[2] = 4;

    FakeAudioUi audioUi;
    // No sound server here: the endpoints answer nothing, the windows draw without devices.
    FakeEndpoints endpoints;
    endpoints.broken = true;
    panes::SecondaryWindows w(state, *web, *ui, endpoints, audioUi);

    auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(panes::toggleGroupListWindow(w), 1);
    std::printf("group list opened in %.0f ms\n", msSince(t0));
    platform::Window* g = w.groupWindow;
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->screenRect().width(), 666);
    EXPECT_EQ(g->screenRect().height(), 650);
    g->handler()->onPaint(*g);
    const int top = panes::rowTop(2);
    EXPECT_EQ(platform::fromPixel(pixelAt(*g, 5, 5)), panes::kGroupBackground);
    EXPECT_EQ(platform::fromPixel(pixelAt(*g, 20 + 38 * 3 + 16, top + 20)), panes::kCyan);  // skipped member
    EXPECT_EQ(platform::fromPixel(pixelAt(*g, 20 + 38 * 5, top + 20)), panes::kCyan);
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t p = pixelAt(*g, 20 + 38 * i + 16, top + 20);
        EXPECT_NE(platform::fromPixel(p), panes::kCyan) << i;
    }
    panes::refreshGroupRow(w);
    saveShot(*g, "windows-group-list.png");

    state.channel.channelPort = 30002;
    state.channel.rosterCount[11] = 4;
    t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(panes::toggleNetworkWindow(w), 1);
    std::printf("network window opened in %.0f ms\n", msSince(t0));
    platform::Window* n = w.networkWindow;
    ASSERT_NE(n, nullptr);
    n->handler()->onPaint(*n);
    // Four members, one without a picture: three pictures, twelve green cells, the last one left.
    EXPECT_EQ(platform::fromPixel(pixelAt(*n, 223 + 30, 10 + 40)), panes::kGreen);
    EXPECT_EQ(platform::fromPixel(pixelAt(*n, 223 + 30, 274 + 40)), panes::kNetworkBackground);
    EXPECT_NE(platform::fromPixel(pixelAt(*n, 10 + 30, 10 + 40)), panes::kGreen);
    saveShot(*n, "windows-network.png");

    t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(panes::toggleParametersWindow(w), 1);
    std::printf("parameters window opened in %.0f ms\n", msSince(t0));
    platform::Window* p = w.paramsWindow;
    ASSERT_NE(p, nullptr);
    p->handler()->onPaint(*p);
    EXPECT_EQ(platform::fromPixel(pixelAt(*p, 190, 5)), panes::kParamsBackground);
    EXPECT_EQ(platform::fromPixel(pixelAt(*p, 67, 390)), 0x400000u);  // the swatch
    saveShot(*p, "windows-parameters.png");

    // A full repaint of the group list with every cell taken: 160 picture requests.
    for (int r = 1; r <= 10; ++r) {
        for (int i = 0; i < 16; ++i) state.channel.channelRoster[r][i] = state.channel.channelRoster[2][i % 3].load();
        state.channel.rosterCount[r] = 16;
    }
    t0 = std::chrono::steady_clock::now();
    g->handler()->onPaint(*g);
    std::printf("group list full repaint, 160 requests: %.0f ms\n", msSince(t0));
    EXPECT_NE(platform::fromPixel(pixelAt(*g, 20 + 38 * 15 + 16, panes::rowTop(10) + 20)), panes::kCyan);

    // The colour the parameters window saves reaches the user's account on the server.
    const int own = server.store().findOrCreateAccount("0000001234567890", "")->number;
    state.identity.accountNumber = static_cast<std::uint16_t>(own);
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x0000FF), 200);
    EXPECT_EQ(server.store().background(own).value_or(0), 0x0000FFu);

    ui->destroyWindow(g);
    ui->destroyWindow(n);
    ui->destroyWindow(p);
    EXPECT_FALSE(w.groupOpen || w.networkOpen || w.paramsOpen);
}

}  // namespace
}  // namespace orvane::test
