// The secondary windows on the seam's fakes: geometry, routing, what each draw fetches and where
// it puts the pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "tests/fakes/fake_audio.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/fake_https.h"
#include "tests/fakes/fake_image.h"
#include "audio/capture_devices.h"
#include "web/colour_save.h"
#include "panes/secondary_windows.h"

namespace orvane::test {
namespace {

using panes::SecondaryWindows;

class WindowsTest : public ::testing::Test {
protected:
    WindowsTest() : web(std::make_unique<web::WebState>(state, https)) {
        ui.workAreas = {{0, 0, 1920, 1040}};  // one monitor, its task bar at the bottom
        web->ui = &ui;
        web->host = "web.test";
        platform::WindowSpec spec;
        spec.title = "main";
        spec.x = 300;
        spec.y = 100;
        spec.width = 550;
        spec.height = 730;
        main = static_cast<FakeWindow*>(ui.createWindow(spec, nullptr));
        state.ui.mainWindow = main;
        w = std::make_unique<SecondaryWindows>(state, *web, ui, endpoints, audioUi);
        w->sleepMs = [](int) {};
    }
    void members(int channel, std::initializer_list<int> accounts) {
        int i = 0;
        for (int a : accounts) state.channel.channelRoster[channel][i++] = a;
        state.channel.rosterCount[channel] = i;
    }
    int requests() const { return static_cast<int>(https.sent.size()); }

    ClientState state;
    FakeHttps https;
    FakeUi ui;
    FakeEndpoints endpoints;
    FakeAudioUi audioUi;
    FakeWindow* main = nullptr;
    std::unique_ptr<web::WebState> web;
    std::unique_ptr<SecondaryWindows> w;
};

TEST(WindowsGeometry, RowsMarkersAndGrid) {
    EXPECT_EQ(panes::rowTop(1), 10);
    EXPECT_EQ(panes::rowTop(10), 469);
    const platform::Rect first = panes::rowCell(1, 0), last = panes::rowCell(10, 15);
    EXPECT_EQ(first.left, 20);
    EXPECT_EQ(first.right, 53);
    EXPECT_EQ(first.bottom, 51);
    EXPECT_EQ(last.left, 590);
    EXPECT_EQ(last.top, 469);
    EXPECT_EQ(panes::markerSquare(10, 666).top, 480);
    EXPECT_EQ(panes::markerSquare(1, 666).left, 631);
    EXPECT_EQ(panes::markerSquare(1, 666).top, 21);
    const int xs[4] = {10, 81, 152, 223}, ys[4] = {10, 98, 186, 274};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(panes::networkCell(i).x, xs[i % 4]) << i;
        EXPECT_EQ(panes::networkCell(i).y, ys[i / 4]) << i;
    }
    EXPECT_EQ(panes::drawableCount(40), 16);
    EXPECT_EQ(panes::drawableCount(-3), 0);
}

TEST(WindowsText, CaptionsAndColour) {
    EXPECT_EQ(panes::inputDeviceCaption(-1), "INPUT DEVICE (Default)");
    EXPECT_EQ(panes::inputDeviceCaption(3), "INPUT DEVICE (3)          ");
    EXPECT_EQ(panes::colourText(0x0000FF), "255.0.0");
    EXPECT_EQ(panes::colourText(0x10203F), "63.32.16");
}

TEST_F(WindowsTest, GroupListOpensUnfoldedAndClosesOnSecondClick) {
    ASSERT_EQ(panes::toggleGroupListWindow(*w), 1);
    FakeWindow* g = ui.find(panes::kGroupTitle);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->spec.background, 0xFF0000u);
    EXPECT_EQ(g->spec.owner, main);
    EXPECT_EQ(g->spec.x, 400 + 50);  // x0 + 200/4 after the first part
    EXPECT_EQ(g->spec.y, 235 - 200);
    EXPECT_TRUE(w->groupReady);
    EXPECT_EQ(ui.timersWithPeriod(1000), 1);
    EXPECT_EQ(panes::toggleGroupListWindow(*w), 1);
    ui.runPosted();
    EXPECT_TRUE(g->destroyed);
    EXPECT_FALSE(w->groupOpen);
    EXPECT_EQ(ui.timersWithPeriod(1000), 0);
}

TEST_F(WindowsTest, GroupListFullPaintFetchesEveryRowAndTicksRefreshTheNextRow) {
    members(1, {11, 12});
    members(10, {21});
    state.channel.rosterCount[5] = 99;  // a corrupt count draws 16 members at most
    for (int i = 0; i < 16; ++i) state.channel.channelRoster[5][i] = 100 + i;
    panes::toggleGroupListWindow(*w);
    FakeWindow* g = ui.find(panes::kGroupTitle);
    w->rowCounter = 10;
    g->handler()->onPaint(*g);
    EXPECT_EQ(requests(), 2 + 1 + 16);
    EXPECT_EQ(https.sent[0].path, "/users//images.php?F=11&N=1");
    EXPECT_EQ(w->rowCounter, 1);  // a full paint also moves the counter on
    g->ops.clear();
    ui.tickAll();
    // Row 1 refreshed: its marker red, row 10's (top 480) erased.
    EXPECT_EQ(g->count("fillRect 631 21 641 31"), 1);
    EXPECT_EQ(g->count("fillRect 631 480 641 490"), 1);
    EXPECT_EQ(g->count("text 5 20 01"), 1);
    EXPECT_EQ(w->rowCounter, 2);
}

TEST_F(WindowsTest, GroupRowSkipsMembersWithoutPicture) {
    members(3, {1, 2, 3});
    https.queue(FakeReply::ok(pngHeader(40, 40)));
    https.queue(FakeReply::ok("", 404));
    https.queue(FakeReply::ok(pngHeader(40, 40)));
    panes::toggleGroupListWindow(*w);
    FakeWindow* g = ui.find(panes::kGroupTitle);
    g->ops.clear();
    w->rowCounter = 3;
    panes::refreshGroupRow(*w);
    EXPECT_EQ(g->count("blitStretched 20 112 53 153"), 1);
    EXPECT_EQ(g->count("blitStretched 58 112 91 153"), 1);
    EXPECT_EQ(g->count("blitStretched"), 2);
    EXPECT_EQ(g->count("text 200 550 Ne pas laisser cette fen\xC3\xAAtre longtemps ouverte"), 1);
}

TEST_F(WindowsTest, NetworkGridThreeMembersThenGreen) {
    state.channel.channelPort = 30004;
    members(4, {7, 8, 9});
    state.channel.rosterCount[11] = 3;
    for (int i = 0; i < 3; ++i) https.queue(FakeReply::ok(pngHeader(66, 83)));
    ASSERT_EQ(panes::toggleNetworkWindow(*w), 1);
    FakeWindow* n = ui.find(panes::kNetworkTitle);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->spec.background, 0x00FFFFu);
    n->ops.clear();
    n->handler()->onPaint(*n);
    EXPECT_EQ(n->count("blitStretched 10 10 76 93"), 1);
    EXPECT_EQ(n->count("blitStretched 81 10 147 93"), 1);
    EXPECT_EQ(n->count("blitStretched 152 10 218 93"), 1);
    EXPECT_EQ(n->count("fillRect 223 10 289 93"), 1);
    EXPECT_EQ(n->count("fillRect 223 274 289 357"), 1);
    EXPECT_EQ(n->count("fillRect") - 1, 13);  // the background, then 13 green cells

    // The timer redraws on a count change only.
    const int before = requests();
    ui.tickAll();
    EXPECT_EQ(requests(), before + 3);  // last drawn -1 after opening
    members(4, {7, 8, 10});
    ui.tickAll();
    EXPECT_EQ(requests(), before + 3);
    state.channel.rosterCount[11] = 2;
    members(4, {7, 8});
    ui.tickAll();
    EXPECT_EQ(requests(), before + 5);

    // Channel 0 closes it at the next tick.
    state.channel.channelPort = 30000;
    ui.tickAll();
    ui.runPosted();
    EXPECT_TRUE(n->destroyed);
    EXPECT_FALSE(w->networkOpen);
    EXPECT_EQ(panes::toggleNetworkWindow(*w), 1);  // nothing on channel 0
    EXPECT_EQ(ui.find(panes::kNetworkTitle), n);
}

// The network window follows the user from channel to channel and closes on channel 0, and on
// no other: at the timer's tick, and at a paint that comes first.
TEST_F(WindowsTest, NetworkWindowClosesOnChannelZeroAndNoOther) {
    for (const bool byTick : {true, false}) {
        state.channel.channelPort = 30003;
        ASSERT_EQ(panes::toggleNetworkWindow(*w), 1);
        FakeWindow* n = static_cast<FakeWindow*>(w->networkWindow);
        ASSERT_NE(n, nullptr);
        for (int channel = 1; channel <= 10; ++channel) {
            state.channel.channelPort = 30000 + channel;
            state.channel.rosterCount[11] = -1;  // as after a channel change
            ui.tickAll();
            n->handler()->onPaint(*n);
            ui.runPosted();
            EXPECT_FALSE(n->destroyed) << "closed on channel " << channel;
        }
        state.channel.channelPort = 30000;
        if (byTick) {
            ui.tickAll();
        } else {
            n->handler()->onPaint(*n);
        }
        ui.runPosted();
        EXPECT_TRUE(n->destroyed) << (byTick ? "the tick" : "the paint") << " left it open on channel 0";
        EXPECT_FALSE(w->networkOpen);
    }
}

TEST_F(WindowsTest, ParametersClickAreasColourChoiceAndSave) {
    state.identity.accountNumber = 4321;
    endpoints.deviceNames = {"Micro"};
    endpoints.endpoints = {{"src0", "Micro", "audio-input-microphone,0"}};
    endpoints.defaultInput = endpoints.endpoints[0];
    endpoints.defaultOutput = {"sink0", "Speakers", "audio-speakers,0"};
    ASSERT_EQ(panes::toggleParametersWindow(*w), 1);
    FakeWindow* p = ui.find(panes::kParamsTitle);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->spec.background, 0x0000FFu);
    EXPECT_EQ(p->spec.x, 100);
    EXPECT_EQ(p->spec.y, 100);
    p->ops.clear();
    p->handler()->onPaint(*p);
    EXPECT_EQ(p->count("text 50 10 INPUT DEVICE (Default)"), 1);
    EXPECT_EQ(p->count("blit 50 30 64x64"), 1);   // the microphone icon
    EXPECT_EQ(p->count("blit 50 160"), 0);        // the theme has no speaker icon: E_FAIL
    EXPECT_EQ(p->count("text 20 100 Micro"), 1);
    EXPECT_EQ(p->count("fillRect 60 383 75 398"), 1);

    // Outside both areas: nothing.
    p->handler()->onLeftButtonDown(*p, {75, 398});
    p->handler()->onLeftButtonDown(*p, {150, 10});
    EXPECT_EQ(ui.colourDialogs, 0);
    EXPECT_EQ(ui.find(panes::kInputDeviceTitle), nullptr);

    // Cancel still repaints both windows.
    const int mainInvalidations = main->invalidations;
    p->handler()->onLeftButtonDown(*p, {60, 383});
    EXPECT_EQ(ui.colourDialogs, 1);
    EXPECT_EQ(main->invalidations, mainInvalidations + 1);
    EXPECT_TRUE(https.sent.empty());

    ui.colourAnswer = 0x0000FF;
    p->handler()->onLeftButtonDown(*p, {60, 383});
    EXPECT_EQ(state.ui.backgroundColour.load(), 0x0000FFu);
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].path, "/users/4321/params.php");
    const auto expected = web::colourRecord(0x0000FF, 4321);
    EXPECT_EQ(https.sent[0].body, std::vector<std::uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(https.sent[0].body[4], 255);
    p->ops.clear();
    p->handler()->onPaint(*p);
    EXPECT_EQ(p->count("text 80 380 255.0.0"), 1);
}

// Both devices' icons live in one icon file ("devices.dll": icon 0 red, icon 1 blue): each shows
// its own icon, 64 x 64 on the desktop's menu colour.
TEST_F(WindowsTest, DeviceIconsAreTheirNumberedIconsOnTheMenuColour) {
    endpoints.deviceNames = {"Micro"};
    endpoints.endpoints = {{"src0", "Micro", "devices.dll,0"}};
    endpoints.defaultInput = endpoints.endpoints[0];
    endpoints.defaultOutput = {"sink0", "Speakers", "devices.dll,1"};
    ui.menu = platform::rgb(10, 20, 30);
    platform::Image surface(200, 450, 0xFF000000u);
    std::vector<DrawnText> texts;
    std::vector<std::string> ops;
    int locks = 0;
    {
        FakeCanvas c(surface, texts, ops, locks);
        panes::drawParameters(*w, c);
    }
    EXPECT_EQ(surface.at(82, 62), 0xFFFF0000u) << "input: icon 0";
    EXPECT_EQ(surface.at(82, 192), 0xFF0000FFu) << "output: icon 1";
    for (platform::Point p : {platform::Point{50, 30}, {113, 93}, {50, 160}, {113, 223}}) {
        EXPECT_EQ(surface.at(p.x, p.y), 0xFF0A141Eu) << p.x << "," << p.y;  // the menu colour behind
    }
}

// A main window near the screen's top-left corner: the windows that would open above or left
// of the screen stay on it, their close box and first row or buttons within reach.
TEST_F(WindowsTest, WindowsOpenedNearTheScreenCornerStayOnIt) {
    main->move(100, 20);
    ASSERT_EQ(panes::toggleGroupListWindow(*w), 1);
    FakeWindow* g = ui.find(panes::kGroupTitle);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->spec.x, 200 + 50);
    EXPECT_EQ(g->spec.y, 0);  // 155 - 200 as designed
    EXPECT_EQ(g->spec.height, 650);
    ASSERT_EQ(panes::toggleParametersWindow(*w), 1);
    FakeWindow* p = ui.find(panes::kParamsTitle);
    EXPECT_EQ(p->spec.x, 0);  // 100 - 200 as designed
    EXPECT_EQ(p->spec.y, 20);
    p->handler()->onLeftButtonDown(*p, {10, 10});
    FakeWindow* in = ui.find(panes::kInputDeviceTitle);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->spec.x, 0);  // 100 - 300 as designed
    EXPECT_EQ(in->spec.y, 220);
}

// Three monitors: one left of the primary (negative x), the primary with its task bar at the
// top, one above it (negative y). Each window opens inside the work area of the monitor that
// holds the main window, however near its edge the main window sits.
TEST_F(WindowsTest, WindowsStayInsideTheWorkAreaOfTheMainWindowsMonitor) {
    ui.workAreas = {{-1600, 0, 0, 860}, {0, 40, 1920, 1080}, {0, -1080, 1920, 0}};
    auto openInputDevice = [this] {
        panes::toggleParametersWindow(*w);
        w->paramsWindow->handler()->onLeftButtonDown(*w->paramsWindow, {10, 10});
        return 1;
    };
    const struct {
        const char* what;
        platform::Point main;
        const char* title;
        std::function<int()> open;
        platform::Point at;
    } cases[] = {
        {"left monitor", {-1500, 100}, panes::kParamsTitle, [this] { return panes::toggleParametersWindow(*w); }, {-1600, 100}},
        {"left monitor", {-1500, 100}, panes::kGroupTitle, [this] { return panes::toggleGroupListWindow(*w); }, {-1350, 35}},
        {"left monitor", {-1500, 100}, panes::kInputDeviceTitle, openInputDevice, {-1600, 300}},
        {"left monitor, low", {-1500, 300}, panes::kInputDeviceTitle, openInputDevice, {-1600, 360}},
        {"primary under its task bar", {300, 60}, panes::kGroupTitle, [this] { return panes::toggleGroupListWindow(*w); }, {450, 40}},
        {"primary, right edge", {1500, 300}, panes::kNetworkTitle, [this] { return panes::toggleNetworkWindow(*w); }, {1605, 300}},
        {"monitor above", {300, -900}, panes::kParamsTitle, [this] { return panes::toggleParametersWindow(*w); }, {100, -900}},
        {"monitor above", {300, -900}, panes::kGroupTitle, [this] { return panes::toggleGroupListWindow(*w); }, {450, -965}},
    };
    state.channel.channelPort = 30004;  // the network window opens off channel 0 only
    for (const auto& c : cases) {
        main->move(c.main.x, c.main.y);
        ASSERT_EQ(c.open(), 1) << c.what << ", " << c.title;
        FakeWindow* opened = nullptr;
        for (const auto& win : ui.windows) {
            if (win->spec.title == c.title && !win->destroyed) opened = win.get();
        }
        ASSERT_NE(opened, nullptr) << c.what << ", " << c.title;
        EXPECT_EQ(opened->spec.x, c.at.x) << c.what << ", " << c.title;
        EXPECT_EQ(opened->spec.y, c.at.y) << c.what << ", " << c.title;
        for (const auto& win : ui.windows) {
            if (win.get() != main && !win->destroyed) ui.destroyWindow(win.get());
        }
        ui.runPosted();
    }
}

TEST_F(WindowsTest, InputDeviceWindowListsFifteenAndChoosesOne) {
    for (int i = 0; i < 18; ++i) {
        // Letters, not numbers: "Source 1" would be a prefix of "Source 14" and match it.
        const std::string name = std::string("Source ") + static_cast<char>('A' + i);
        endpoints.deviceNames.push_back(name);
        endpoints.endpoints.push_back({"s" + std::to_string(i), name, "audio-input-microphone,0"});
    }
    audio::fillCaptureDeviceTable(state, endpoints);
    state.audio.captureDeviceId = 3;
    panes::toggleParametersWindow(*w);
    FakeWindow* p = ui.find(panes::kParamsTitle);
    p->ops.clear();
    p->handler()->onPaint(*p);
    EXPECT_EQ(p->count("text 50 10 INPUT DEVICE (3)          "), 1);
    EXPECT_EQ(p->count("text 20 100 Source D"), 1);

    p->handler()->onLeftButtonDown(*p, {10, 10});
    FakeWindow* in = ui.find(panes::kInputDeviceTitle);
    ASSERT_NE(in, nullptr);
    ASSERT_EQ(in->controls.size(), 15u);
    EXPECT_EQ(in->controls[14].text, "Source O");
    EXPECT_TRUE(in->controls[3].checked);
    EXPECT_EQ(in->controls[10].y, 310);
    in->handler()->onPaint(*in);
    EXPECT_EQ(in->controls.size(), 15u);  // a repaint adds no buttons

    const int paramsInvalidations = p->invalidations;
    main->foreground = false;  // the user clicked in the input device window
    const int mainForegrounds = main->foregroundCalls;
    in->handler()->onCommand(*in, 7);
    ui.runPosted();
    EXPECT_TRUE(in->destroyed);
    EXPECT_EQ(state.audio.captureDeviceId.load(), 7);
    EXPECT_EQ(p->invalidations, paramsInvalidations + 1);
    // The keyboard is the main window's again: the space bar talks on the chosen microphone.
    EXPECT_TRUE(main->foreground);
    EXPECT_EQ(main->foregroundCalls, mainForegrounds + 1);

    // An entry without a device gives the default device.
    endpoints.deviceNames.resize(2);
    p->handler()->onLeftButtonDown(*p, {10, 10});
    FakeWindow* again = ui.windows.back().get();
    again->handler()->onCommand(*again, 9);
    ui.runPosted();
    EXPECT_EQ(state.audio.captureDeviceId.load(), -1);
}

// The program's audio UI shows its boxes on the UI, without owner.
class BoxesOnTheUi final : public audio::AudioUi {
public:
    explicit BoxesOnTheUi(platform::Ui& ui) : ui_(ui) {}
    void showMessage(std::string_view text, std::string_view caption, platform::MessageIcon icon) override {
        ui_.messageBox(nullptr, text, caption, icon);
    }
    void exitProcess(int) override {}

private:
    platform::Ui& ui_;
};

// A default input that is not among the capture devices (a monitor, say): the warning comes
// after the paint, never while the window's surface is locked (a modal box repaints the window
// beneath it, and that paint would wait on its own thread for the lock), and once per opening
// of the window, not at every repaint.
TEST_F(WindowsTest, UnknownDefaultInputWarnsAfterThePaintOncePerOpening) {
    BoxesOnTheUi boxes(ui);
    SecondaryWindows windows(state, *web, ui, endpoints, boxes);
    windows.sleepMs = [](int) {};
    endpoints.deviceNames = {"Micro"};
    endpoints.endpoints = {{"src0", "Micro", "audio-input-microphone,0"}};
    endpoints.defaultInput = {"sink0.monitor", "Monitor of Speakers", "audio-card,0"};
    ASSERT_EQ(panes::toggleParametersWindow(windows), 1);
    FakeWindow* p = ui.find(panes::kParamsTitle);
    ASSERT_NE(p, nullptr);
    for (int paint = 0; paint < 4; ++paint) {
        p->handler()->onPaint(*p);
        ui.runPosted();
    }
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, audio::kNoDefaultInputText);
    EXPECT_EQ(ui.boxes[0].caption, "Error");
    EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Warning);
    EXPECT_FALSE(ui.boxes[0].surfaceLocked) << "shown from inside the paint";
    EXPECT_EQ(p->count("text 50 10 INPUT DEVICE (Default)"), 4);  // the window is still drawn

    // Closed and opened again: said once more.
    panes::toggleParametersWindow(windows);
    ui.runPosted();
    ASSERT_EQ(panes::toggleParametersWindow(windows), 1);
    FakeWindow* again = static_cast<FakeWindow*>(windows.paramsWindow);
    again->handler()->onPaint(*again);
    again->handler()->onPaint(*again);
    ui.runPosted();
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_FALSE(ui.boxes[1].surfaceLocked);
}

// A UI that cannot make windows.
TEST_F(WindowsTest, WindowThatCannotBeCreatedClearsItsOpenFlag) {
    state.ui.mainWindow = nullptr;  // no main window: nothing to unfold from
    EXPECT_EQ(panes::toggleGroupListWindow(*w), 0);
    EXPECT_FALSE(w->groupOpen);
}

}  // namespace
}  // namespace orvane::test
