// The Win32 UI family where it could go wrong unseen: GIF frames laid over each other with their
// delays, the black key of the transparent blit, work handed to the UI thread before its loop
// runs, and each window's class.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "skingen/gif_encoder.h"
#include "platform/canvas.h"
#include "platform/image.h"
#include "platform/ui.h"
#include "tests/fakes/make_host_ui.h"

namespace orvane::platform {
namespace {

TEST(Win32Images, GifFramesAreWholePicturesWithTheirDelays) {
    // Two 4x4 frames: all red, then the left half blue; the second carries only what changed.
    skingen::GifAnimation gif;
    gif.width = gif.height = 4;
    gif.palette = {0xFF0000, 0x0000FF, 0x000000, 0xFFFFFF};
    skingen::GifFrame first{std::vector<std::uint8_t>(16, 0), 7, -1};
    skingen::GifFrame second{std::vector<std::uint8_t>(16, 0), 12, -1};
    for (int y = 0; y < 4; ++y) second.indices[y * 4] = second.indices[y * 4 + 1] = 1;
    gif.frames = {first, second};
    skingen::keepOnlyChanges(gif.frames, 3);
    const std::vector<std::uint8_t> bytes = skingen::encodeGif(gif);
    ASSERT_FALSE(bytes.empty());
    char dir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
    const std::string path = std::string(dir) + "orvane-win32-ui-test.gif";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));

    std::optional<AnimationFile> file = loadAnimationFile(path);
    std::remove(path.c_str());
    ASSERT_TRUE(file);
    ASSERT_EQ(file->frames.size(), 2u);
    ASSERT_TRUE(file->hasDelays);
    EXPECT_EQ(file->delaysMs, (std::vector<int>{70, 120}));
    EXPECT_EQ(file->frames[0].at(3, 3), 0xFFFF0000u);
    EXPECT_EQ(file->frames[1].at(0, 0), 0xFF0000FFu);
    EXPECT_EQ(file->frames[1].at(3, 3), 0xFFFF0000u) << "the unchanged half shows the frame before";
}

// A device's icon location names an icon file and the number of an icon in it: two devices
// whose icons live in one file show two different icons. This program holds two (two_icons.rc).
TEST(Win32Images, DeviceIconsAreTheNumberedIconsOfTheirFile) {
    wchar_t self[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    char path[4 * MAX_PATH] = {};
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, self, -1, path, sizeof path, nullptr, nullptr), 0);
    constexpr std::uint32_t kMenu = 0xFFD4D0C8u;
    constexpr std::uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;
    const struct {
        int number;
        std::uint32_t centre;  // nothing: 0
    } cases[] = {{0, kRed}, {1, kBlue}, {-201, kRed}, {-202, kBlue}, {2, 0}, {-203, 0}};
    for (const auto& c : cases) {
        std::optional<Image> icon = loadIconImage(path, c.number, 64, kMenu);
        if (c.centre == 0) {
            EXPECT_FALSE(icon) << c.number;
            continue;
        }
        ASSERT_TRUE(icon) << c.number;
        ASSERT_EQ(icon->width, 64);
        EXPECT_EQ(icon->at(32, 32), c.centre) << c.number;
    }
    EXPECT_FALSE(loadIconImage(std::string(path) + ".missing", 0, 64, kMenu));
}

TEST(Win32Canvas, TransparentBlitLeavesOutExactlyBlack) {
    std::unique_ptr<Ui> ui = test::makeHostUi();  // fonts and GDI need no more
    ASSERT_TRUE(ui);
    Image target(3, 2, 0xFFFFFFFFu);
    Image sprite(3, 1);
    sprite.at(0, 0) = 0xFF000000u;  // the key
    sprite.at(1, 0) = 0xFF010101u;  // all but black: drawn
    sprite.at(2, 0) = 0xFFFF0000u;
    {
        auto c = createImageCanvas(target);
        c->blitTransparent(sprite, 0, 0);
        c->blit(sprite, 0, 1);
        const Image outside = c->readRegion(Rect{2, 1, 4, 2});
        EXPECT_EQ(outside.at(1, 0), 0xFF000000u);
    }
    EXPECT_EQ(target.at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(target.at(1, 0), 0xFF010101u);
    EXPECT_EQ(target.at(2, 0), 0xFFFF0000u);
    EXPECT_EQ(target.at(0, 1), 0xFF000000u) << "a plain blit copies black too";
}

TEST(Win32UiThread, WorkHandedOverBeforeTheLoopRunsThereAndTimersTickThere) {
    std::unique_ptr<Ui> ui = test::makeHostUi();
    ASSERT_TRUE(ui);
    std::atomic<bool> invokedOnUi{false}, ticked{false};
    int ticks = 0;
    int timer = 0;
    // Handed over while the UI thread is not yet in its loop: runs once the loop starts.
    std::thread other([&] {
        ui->invoke([&] { invokedOnUi = ui->onUiThread(); });
        timer = ui->startTimer(20, [&] {
            ++ticks;
            ticked = ui->onUiThread();
            ui->killTimer(timer);  // from inside its own tick
            ui->post([&] { ui->quit(7); });
        });
    });
    EXPECT_EQ(ui->run(), 7);
    other.join();
    EXPECT_TRUE(invokedOnUi);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(ticks, 1);
}

// Each window gets the class of its kind, whatever its title: a renamed window keeps its class
// (and with it the main window's icons or the canvas's menu), and a title alone gives none.
TEST(Win32Windows, TheClassComesFromTheKindNeverFromTheTitle) {
    std::unique_ptr<Ui> ui = test::makeHostUi();
    ASSERT_TRUE(ui);
    const struct {
        WindowKind kind;
        const wchar_t* className;
    } cases[] = {
        {WindowKind::Main, L"X"},
        {WindowKind::LeftMeter, L"VuMeterLeftClass"},
        {WindowKind::RightMeter, L"VuMeterRightClass"},
        {WindowKind::GroupList, L"GroupWndClass"},
        {WindowKind::Network, L"NetworkWndClass"},
        {WindowKind::Parameters, L"ParamWndClass"},
        {WindowKind::InputDevice, L"InputDeviceWndClass"},
        {WindowKind::Canvas, L"CanvasWndClass"},
        {WindowKind::SupervisorNotice, L"CustomDialog"},
        {WindowKind::Parlo, L"SyntheVocalWindow"},
        {WindowKind::Other, L"OrvaneWndClass"},
    };
    WindowHandler handler;
    int n = 0;
    for (const auto& c : cases) {
        WindowSpec spec;
        spec.kind = c.kind;
        spec.title = "Renamed window " + std::to_string(++n);
        spec.visible = false;
        ASSERT_NE(ui->createWindow(spec, &handler), nullptr);
        const std::wstring title = L"Renamed window " + std::to_wstring(n);
        EXPECT_NE(FindWindowW(c.className, title.c_str()), nullptr) << n;
    }
    WindowSpec titledOnly;
    titledOnly.title = "ORVANE";  // the main window's title, but no kind
    titledOnly.visible = false;
    ASSERT_NE(ui->createWindow(titledOnly, &handler), nullptr);
    EXPECT_EQ(FindWindowW(L"X", L"ORVANE"), nullptr);
    EXPECT_NE(FindWindowW(L"OrvaneWndClass", L"ORVANE"), nullptr);
}

// A window's work area is that of its monitor: the screen less the task bars.
TEST(Win32Windows, AWindowsWorkAreaIsItsMonitorsWorkArea) {
    std::unique_ptr<Ui> ui = test::makeHostUi();
    ASSERT_TRUE(ui);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    WindowHandler handler;
    WindowSpec spec;
    spec.x = work.left + 20;
    spec.y = work.top + 20;
    spec.visible = false;
    Window* w = ui->createWindow(spec, &handler);
    ASSERT_NE(w, nullptr);
    const Rect r = w->workArea();
    EXPECT_EQ(std::vector<long>({r.left, r.top, r.right, r.bottom}), std::vector<long>({work.left, work.top, work.right, work.bottom}));
    ui->destroyWindow(w);
}

}  // namespace
}  // namespace orvane::platform
