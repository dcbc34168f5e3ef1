// The link pictures from the real web server, decoded by the platform and drawn on a window's
// surface at (314, 500); and the whole link on a pseudo-terminal turning that picture red.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "device/serial_device.h"
#include "device/usb_picture.h"
#include "platform/ui.h"
#include "tests/integration/device/pty_peer.h"
#include "tests/integration/device/pty_ports.h"
#include "tests/fakes/web_server_suite.h"
#include "web/web_state.h"

namespace orvane::test {
namespace {

using namespace std::chrono_literals;

// A window that is only a surface, drawn through the platform's image canvas.
class SurfaceWindow final : public platform::Window {
public:
    SurfaceWindow() : surface_(550, 730, 0xFF123456u) {}
    std::unique_ptr<platform::Canvas> draw() override {
        struct Locked final : platform::Canvas {
            Locked(std::unique_lock<std::mutex> l, platform::Image& img)
                : lock(std::move(l)), inner(platform::createImageCanvas(img)) {}
            void fillRect(platform::Rect r, platform::Colour c) override { inner->fillRect(r, c); }
            void frameRect(platform::Rect r, platform::Colour c) override { inner->frameRect(r, c); }
            void roundRect(platform::Rect r, int w, int h, platform::Colour p, int pw, platform::Colour f) override {
                inner->roundRect(r, w, h, p, pw, f);
            }
            void line(platform::Point a, platform::Point b, platform::Colour c, int w) override { inner->line(a, b, c, w); }
            void ellipse(platform::Rect r, platform::Colour p, int w, platform::Colour f) override { inner->ellipse(r, p, w, f); }
            void text(int x, int y, std::string_view s, const platform::Font& f, platform::Colour fg,
                      std::optional<platform::Colour> bg) override {
                inner->text(x, y, s, f, fg, bg);
            }
            void textCentred(platform::Rect r, std::string_view s, const platform::Font& f, platform::Colour fg,
                             std::optional<platform::Colour> bg, bool v) override {
                inner->textCentred(r, s, f, fg, bg, v);
            }
            void blit(const platform::Image& i, int x, int y) override { inner->blit(i, x, y); }
            void blitStretched(const platform::Image& i, platform::Rect r) override { inner->blitStretched(i, r); }
            void blitTransparent(const platform::Image& i, int x, int y) override { inner->blitTransparent(i, x, y); }
            platform::Image readRegion(platform::Rect r) override { return inner->readRegion(r); }
            std::unique_lock<std::mutex> lock;
            std::unique_ptr<platform::Canvas> inner;
        };
        return std::make_unique<Locked>(std::unique_lock<std::mutex>(lock_), surface_);
    }
    std::uint32_t pixel(int x, int y) {
        std::lock_guard<std::mutex> l(lock_);
        return surface_.at(x, y);
    }
    void invalidate() override {}
    platform::Rect screenRect() const override { return {0, 0, 550, 730}; }
    platform::Rect workArea() const override { return {0, 0, 1024, 768}; }
    int clientWidth() const override { return 550; }
    int clientHeight() const override { return 730; }
    void move(int, int) override {}
    void show() override {}
    void setEnabled(bool) override {}
    void setForeground() override {}
    bool isForeground() const override { return true; }
    void setScrollRanges(int, int) override {}
    void addControl(const platform::ControlSpec&) override {}
    void clearControls() override {}
    platform::WindowHandler* handler() const override { return nullptr; }

private:
    std::mutex lock_;
    platform::Image surface_;
};

// The plug's body in the server's icons is at (4..22, 12..20) of the 32 x 32 picture.
constexpr int kPlugX = 314 + 10, kPlugY = 500 + 16;
constexpr std::uint32_t kBlack = 0xFF000000u, kGreen = 0xFF00C000u, kRed = 0xFFE00000u;

class UsbPictureTest : public WebServerSuite {
protected:
    UsbPictureTest() { state.ui.mainWindow.store(&window); }
    device::PictureFetcher fetcher() {
        return [this](int s) { return device::fetchUsbPicture(*web, s); };
    }

    SurfaceWindow window;
};

TEST_F(UsbPictureTest, EachStatusDrawsItsPictureAtOnceAndOnRepaint) {
    device::LinkStatus link(state, fetcher());
    EXPECT_EQ(window.pixel(kPlugX, kPlugY), 0xFF123456u);
    struct Step {
        int status;
        std::uint32_t colour;
    } steps[] = {{1, kBlack}, {2, kGreen}, {3, kRed}, {1, kBlack}};
    for (const auto& s : steps) {
        link.set(s.status);
        EXPECT_EQ(window.pixel(kPlugX, kPlugY), s.colour) << s.status;
        EXPECT_EQ(window.pixel(314, 500), 0xFFC0C0C0u);  // the icon's own background, top-left corner
        EXPECT_EQ(window.pixel(313, 500), 0xFF123456u);  // nothing outside the 32 x 32 place
        EXPECT_EQ(window.pixel(346, 532), 0xFF123456u);
    }
    platform::Image repaint(550, 730, 0xFFFFFFFFu);
    link.draw(*platform::createImageCanvas(repaint));
    EXPECT_EQ(repaint.at(kPlugX, kPlugY), kBlack);
}

TEST_F(UsbPictureTest, UnreachableServerLeavesNoPicture) {
    device::LinkStatus link(state, fetcher());
    link.set(2);
    ASSERT_TRUE(link.hasPicture());
    web->port = 1;  // nobody listens there
    link.set(3);
    EXPECT_FALSE(link.hasPicture());
    EXPECT_EQ(window.pixel(kPlugX, kPlugY), kGreen);  // nothing drawn over the old one until a repaint
}

TEST_F(UsbPictureTest, EchoingAdapterTurnsThePictureRedAndShutdownBlack) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.start(PtyPeer::Mode::Echo);
    PtyPorts ports(peer.portName());
    device::LinkStatus link(state, fetcher());
    link.set(device::kLinkClosed);
    device::SerialDevice dev(state, ports, platform::systemClock(), link, nullptr);
    state.ui.serialRunFlag.store(true);
    std::thread t([&] { dev.run(); });
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (window.pixel(kPlugX, kPlugY) != kRed && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    EXPECT_EQ(window.pixel(kPlugX, kPlugY), kRed);
    state.ui.serialRunFlag.store(false);
    t.join();
    EXPECT_EQ(window.pixel(kPlugX, kPlugY), kBlack);
}

}  // namespace
}  // namespace orvane::test
