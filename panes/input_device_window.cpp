// The input device window: one radio button per capture device of the table; a choice becomes
// the device the next transmission records from.
#include "audio/capture_devices.h"
#include "base/text.h"
#include "panes/secondary_windows.h"
#include "panes/unfold.h"

namespace orvane::panes {

namespace {

class InputDeviceWindow final : public platform::WindowHandler {
public:
    explicit InputDeviceWindow(SecondaryWindows& w) : w_(w) {}

    void onCreate(platform::Window&) override { buttonsMade_ = false; }

    void onPaint(platform::Window& win) override {
        // The buttons are made once per window: a repaint must not stack new ones on them.
        if (buttonsMade_) return;
        buttonsMade_ = true;
        const std::int32_t chosen = w_.state.audio.captureDeviceId;
        for (int i = 0; i < kCaptureDeviceSlots; ++i) {
            const CaptureDeviceEntry& e = w_.state.audio.captureDeviceTable[i];
            platform::ControlSpec b;
            b.kind = platform::ControlKind::RadioButton;
            b.id = i;
            b.text = base::utf16ToUtf8({e.displayName, base::u16Length(e.displayName, 256)});
            b.x = 10;
            b.y = 10 + 30 * i;
            b.width = 350;
            b.height = 25;
            b.checked = i == chosen;
            win.addControl(b);
        }
    }

    void onCommand(platform::Window& win, int id) override {
        w_.ui.postDestroy(&win);
        if (id >= 0 && id < kCaptureDeviceSlots) audio::chooseCaptureDevice(w_.state, id);
    }

    void onDestroy(platform::Window&) override {
        w_.inputOpen = false;
        w_.inputWindow = nullptr;
        if (w_.paramsWindow != nullptr) w_.paramsWindow->invalidate();
        // The keyboard goes back to the main window, as after every other secondary window's
        // opening: the space bar talks and the digits choose the channel at once, without a
        // click on the main window first.
        if (platform::Window* main = w_.state.ui.mainWindow) main->setForeground();
    }

private:
    SecondaryWindows& w_;
    bool buttonsMade_ = false;
};

}  // namespace

void toggleInputDeviceWindow(SecondaryWindows& w) {
    if (w.inputOpen) {
        if (w.inputWindow != nullptr) w.ui.postDestroy(w.inputWindow);
        return;
    }
    platform::Window* main = w.state.ui.mainWindow;
    if (main == nullptr) return;
    w.inputOpen = true;
    // The table is filled before the first paint names the buttons from it.
    audio::fillCaptureDeviceTable(w.state, w.endpoints);
    const platform::Rect m = main->screenRect();
    platform::WindowSpec spec;
    spec.kind = platform::WindowKind::InputDevice;
    spec.title = kInputDeviceTitle;
    spec.width = 400;
    spec.height = 500;
    const platform::Point at = insideWorkArea(main->workArea(), m.left - 300, m.top + 200, spec.width, spec.height);
    spec.x = at.x;
    spec.y = at.y;
    spec.resizable = false;
    spec.owner = main;
    spec.background = kInputDeviceBackground;
    spec.visible = false;
    if (!w.inputHandler) w.inputHandler = std::make_unique<InputDeviceWindow>(w);
    w.inputWindow = w.ui.createWindow(spec, w.inputHandler.get());
    if (w.inputWindow == nullptr) {
        w.inputOpen = false;
        return;
    }
    w.inputWindow->show();
    w.inputWindow->invalidate();
    main->setForeground();
}

}  // namespace orvane::panes
