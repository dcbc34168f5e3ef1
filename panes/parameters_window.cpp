// The parameters window: the current input and output devices with their icons, the user's own
// card and the background colour, which a click on its swatch changes and saves on the server.
#include <algorithm>

#include "audio/capture_devices.h"
#include "base/text.h"
#include "display/draw.h"
#include "platform/image.h"
#include "web/colour_save.h"
#include "panes/secondary_windows.h"
#include "panes/unfold.h"

namespace orvane::panes {

namespace {

constexpr platform::Colour kWhite = 0xFFFFFF;
constexpr platform::Colour kYellow = 0x00FFFF;

std::string wide(const char16_t* text, std::size_t max) { return base::utf16ToUtf8({text, base::u16Length(text, max)}); }

// The device icon `number` of the icon file at (50, top), 64 x 64, on the desktop's menu colour.
// False (E_FAIL) when there is no such icon; nothing is drawn then.
bool drawDeviceIcon(SecondaryWindows& w, platform::Canvas& c, std::int32_t number, const char16_t* iconPath, int top) {
    const platform::Colour menu = w.ui.menuColour();
    auto icon = platform::loadIconImage(wide(iconPath, 260), number, 64, platform::toPixel(menu));
    if (!icon) return false;
    c.fillRect({50, top, 114, top + 64}, menu);
    c.blit(*icon, 50, top);
    return true;
}

class ParamsWindow final : public platform::WindowHandler {
public:
    explicit ParamsWindow(SecondaryWindows& w) : w_(w) {}

    void onPaint(platform::Window& win) override {
        if (!w_.paramsReady) return;
        auto c = win.draw();
        c->fillRect({0, 0, win.clientWidth(), win.clientHeight()}, kParamsBackground);
        drawParameters(w_, *c);
    }

    void onLeftButtonDown(platform::Window& win, platform::Point p) override {
        if (w_.colourSwatch.contains(p)) {
            chooseBackgroundColour(w_);
            if (platform::Window* main = w_.state.ui.mainWindow) {
                main->invalidate();
                win.invalidate();
                main->setForeground();
            }
        }
        if (w_.inputDeviceArea.contains(p)) toggleInputDeviceWindow(w_);
    }

    void onDestroy(platform::Window&) override {
        w_.paramsOpen = false;
        w_.paramsReady = false;
        w_.paramsWindow = nullptr;
    }

private:
    SecondaryWindows& w_;
};

}  // namespace

void drawParameters(SecondaryWindows& w, platform::Canvas& c) {
    ClientState& s = w.state;
    audio::EndpointDescription input;
    const std::int32_t id = s.audio.captureDeviceId;
    if (id == -1) {
        bool unmatched = false;
        audio::findDefaultInput(w.endpoints, input, unmatched);
        if (unmatched && !w.inputWarningShown) {
            // Shown once the paint has ended: this runs with the window's surface locked, and
            // a modal box repaints the window beneath it, which needs that lock.
            w.inputWarningShown = true;
            w.ui.post([&w] {
                w.audioUi.showMessage(audio::kNoDefaultInputText, audio::kNoDefaultInputCaption,
                                      platform::MessageIcon::Warning);
            });
        }
    } else if (id >= 0 && id < kCaptureDeviceSlots) {
        audio::describeCaptureEndpoint(w.endpoints, s.audio.captureDeviceTable[id].endpointIndex, input);
    }
    display::labelText(c, inputDeviceCaption(id).c_str(), 50, 10, kParamsBackground);
    drawDeviceIcon(w, c, input.iconNumber, input.iconPath, 30);
    c.text(20, 100, wide(input.friendlyName, 256), display::kLabelFont, kWhite, kParamsBackground);
    display::labelText(c, "OUTPUT DEVICE", 50, 140, kParamsBackground);
    audio::EndpointDescription output;
    audio::describeDefaultOutput(w.endpoints, output);
    drawDeviceIcon(w, c, output.iconNumber, output.iconPath, 160);
    c.text(20, 230, wide(output.friendlyName, 256), display::kLabelFont, kWhite, kParamsBackground);

    const web::AccountProfile& p = w.web.profile;
    display::utf8Text(c, p.firstName, 10, 260, kWhite);
    display::utf8Text(c, "City: ", 10, 280, kWhite);
    display::utf8Text(c, p.town, 50, 280, kWhite);
    display::utf8Text(c, p.phrase, 10, 300, kYellow);
    display::utf8Text(c, "-", 10, 320, kWhite);
    display::utf8Text(c, p.email, 10, 340, kYellow);
    display::utf8Text(c, "User: ", 10, 360, kYellow);
    display::utf8Text(c, p.folder, 55, 360, kYellow);
    display::utf8Text(c, "Color: ", 10, 380, kYellow);
    const platform::Colour bg = s.ui.backgroundColour;
    c.fillRect(w.colourSwatch, bg);
    display::utf8Text(c, colourText(bg), 80, 380, kYellow);
}

void chooseBackgroundColour(SecondaryWindows& w) {
    platform::Colour chosen = 0;
    if (!w.ui.chooseColour(w.paramsWindow, chosen, w.state.ui.customColours)) return;
    w.state.ui.backgroundColour = chosen;
    web::saveBackgroundColour(w.web, chosen);  // a failure keeps the colour for this run only
}

int toggleParametersWindow(SecondaryWindows& w) {
    if (w.paramsOpen) {
        if (w.paramsWindow != nullptr) w.ui.postDestroy(w.paramsWindow);
        return 1;
    }
    platform::Window* main = w.state.ui.mainWindow;
    if (main == nullptr) return 0;
    w.paramsOpen = true;
    w.paramsReady = false;
    w.inputWarningShown = false;
    const platform::Rect m = main->screenRect();
    const platform::Rect area = main->workArea();
    w.colourSwatch = {60, 383, 75, 398};
    w.inputDeviceArea = {0, 0, 150, 150};
    if (!w.paramsHandler) w.paramsHandler = std::make_unique<ParamsWindow>(w);
    w.paramsWindow = w.ui.createWindow(secondarySpec(platform::WindowKind::Parameters, kParamsTitle, area, m.left - 200, m.top + 200, main, kParamsBackground),
                                       w.paramsHandler.get());
    if (w.paramsWindow == nullptr) {
        w.paramsOpen = false;  // a later click tries again
        return 0;
    }
    platform::Window& win = *w.paramsWindow;
    win.show();
    for (int k = 0; k <= 200; k += 10) unfoldStep(w, win, area, m.left - k, m.top + 200 - k, k, k, 20);
    const platform::Rect p = win.screenRect();
    for (int h = 200; h <= 450; h += 10) unfoldStep(w, win, area, p.left, p.top, 200, h, 20);
    if (w.paramsWindow == nullptr) return 1;
    w.paramsReady = true;
    win.invalidate();
    main->setForeground();
    return 1;
}

}  // namespace orvane::panes
