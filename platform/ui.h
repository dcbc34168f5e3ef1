#pragma once
// Windows, timers, dialogs and the UI thread. The UI thread owns every window; other threads
// reach it through invoke() (run and wait) or post() (run later), and draw through
// Window::draw(), which is safe from any thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace orvane::platform {

class Window;

// Virtual-key codes the window procedures use (the Windows values).
namespace vk {
inline constexpr int kEscape = 0x1B;
inline constexpr int kSpace = 0x20;
inline constexpr int kDigit0 = 0x30;   // '0'..'9' = 0x30..0x39
inline constexpr int kLetterA = 0x41;  // 'A'..'Z' = 0x41..0x5A
inline constexpr int kNumpad0 = 0x60;  // keypad 0..9 = 0x60..0x69
inline constexpr int kAdd = 0x6B;      // keypad '+'
inline constexpr int kMenu = 0x12;     // Alt
inline constexpr int kF1 = 0x70;
inline constexpr int kF10 = 0x79;
}  // namespace vk

// System keys go to the system's default handling, not to a window procedure's key handling
// (as WM_SYSKEYDOWN and WM_SYSKEYUP do): F10, Alt itself and any key pressed or released while
// Alt is held. With Ctrl also held the keys are ordinary ones: Ctrl+Alt is AltGr on many
// layouts.
constexpr bool isSystemKey(int virtualKey, bool altHeld, bool controlHeld) {
    if (virtualKey == vk::kF10) return true;
    return (virtualKey == vk::kMenu || altHeld) && !controlHeld;
}

enum class HitTest { Client, Caption };
enum class MessageIcon { None, Error, Warning, Question, Information };

// What a window procedure answers. Every callback runs on the UI thread.
class WindowHandler {
public:
    virtual ~WindowHandler() = default;
    virtual void onCreate(Window&) {}
    virtual void onPaint(Window&) {}
    virtual void onKeyDown(Window&, int /*virtualKey*/, bool /*autoRepeat*/) {}
    virtual void onKeyUp(Window&, int /*virtualKey*/) {}
    // System keys (isSystemKey). Default: the system's handling, nothing for the window.
    virtual void onSystemKeyDown(Window&, int /*virtualKey*/) {}
    virtual void onSystemKeyUp(Window&, int /*virtualKey*/) {}
    virtual HitTest onHitTest(Window&, Point /*client*/) { return HitTest::Client; }
    virtual void onMouseMove(Window&, Point) {}
    virtual void onLeftButtonDown(Window&, Point) {}
    virtual void onLeftButtonUp(Window&, Point) {}
    virtual void onRightButtonDown(Window&, Point) {}
    virtual void onCommand(Window&, int /*id*/) {}
    // The user asked to close the window (its close box). Default: destroy it.
    virtual bool onCloseRequest(Window&) { return true; }
    // The window is being destroyed; it is still valid during the call.
    virtual void onDestroy(Window&) {}
};

// Hands one key press or release to the procedure the way the platform sorts it: system keys
// to the system-key calls, every other key to the key calls.
inline void deliverKey(WindowHandler& h, Window& w, bool pressed, int virtualKey, bool systemKey, bool autoRepeat) {
    if (systemKey) {
        pressed ? h.onSystemKeyDown(w, virtualKey) : h.onSystemKeyUp(w, virtualKey);
    } else if (pressed) {
        h.onKeyDown(w, virtualKey, autoRepeat);
    } else {
        h.onKeyUp(w, virtualKey);
    }
}

struct MenuItem {
    std::string text;  // UTF-8
    int id = 0;
};
struct Menu {
    std::string title;  // UTF-8, a pop-up of the menu bar
    std::vector<MenuItem> items;
};

// Which of the programs' windows a window is. Windows gives each its own window class (the
// main window's with the program's icons, the canvas's with its menu and a repaint on every
// resize); a toolkit without window classes may ignore it. Never inferred from the title.
enum class WindowKind {
    Other,
    Main,              // "X"
    LeftMeter,         // "VuMeterLeftClass"
    RightMeter,        // "VuMeterRightClass"
    GroupList,         // "GroupWndClass"
    Network,           // "NetworkWndClass"
    Parameters,        // "ParamWndClass"
    InputDevice,       // "InputDeviceWndClass"
    Canvas,            // "CanvasWndClass"
    SupervisorNotice,  // "CustomDialog"
    Parlo,             // "SyntheVocalWindow"
};

struct WindowSpec {
    WindowKind kind = WindowKind::Other;
    std::string title;  // UTF-8
    int x = 0, y = 0, width = 100, height = 100;  // outer geometry, screen coordinates
    bool borderless = false;   // popup without caption or frame
    int cornerEllipse = 0;     // >0: rounded region with that corner ellipse (borderless only)
    bool resizable = true;     // captioned windows: the overlapped style
    bool noMaximize = false;   // captioned windows: caption, system menu and minimize box only
    Window* owner = nullptr;   // stays above its owner
    // When set, the window is a child control of `parent`: x and y are then client coordinates
    // of the parent, it has no frame and it is destroyed with its parent.
    Window* parent = nullptr;
    Colour background = 0;
    std::vector<Menu> menus;   // a menu bar when not empty
    bool visible = true;
};

// A child control on a window.
enum class ControlKind { StaticText, RadioButton, PushButton };
struct ControlSpec {
    ControlKind kind = ControlKind::StaticText;
    int id = 0;                  // sent to onCommand on click
    std::string text;            // UTF-8
    int x = 0, y = 0, width = 0, height = 0;
    bool checked = false;
};

class Window {
public:
    virtual ~Window() = default;
    // Locks the surface for drawing from any thread; presenting happens when the canvas dies.
    virtual std::unique_ptr<Canvas> draw() = 0;
    // Asks for onPaint (InvalidateRect); any thread.
    virtual void invalidate() = 0;
    virtual Rect screenRect() const = 0;   // outer rectangle in screen coordinates
    // The work area (the screen less the task bars and docks) of the monitor that holds most of
    // the window, or of the nearest one; screen coordinates, negative on a monitor left of or
    // above the primary one.
    virtual Rect workArea() const = 0;
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    virtual void move(int x, int y) = 0;
    virtual void show() = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual void setForeground() = 0;
    virtual bool isForeground() const = 0;
    virtual void setScrollRanges(int horizontalMax, int verticalMax) = 0;  // <=0 hides a bar
    virtual void addControl(const ControlSpec& c) = 0;
    virtual void clearControls() = 0;
    virtual WindowHandler* handler() const = 0;

    // Moves and sizes the window at once without activating it (SetWindowPos with
    // SWP_NOZORDER | SWP_NOACTIVATE); outer geometry in screen coordinates. The surface grows or
    // shrinks with the window, new parts in the background colour, and the window is due a paint.
    virtual void setGeometry(int x, int y, int /*width*/, int /*height*/) { move(x, y); }
    // Paints a pending paint now and shows the surface before returning (UpdateWindow).
    virtual void updateNow() {}
};

class Ui {
public:
    virtual ~Ui() = default;

    // Creates a window on the UI thread (marshalled and waited for when called elsewhere).
    // Null on failure. The handler must outlive the window.
    virtual Window* createWindow(const WindowSpec& spec, WindowHandler* handler) = 0;
    // Destroys a window: onDestroy runs on the UI thread; waits when called from another thread.
    virtual void destroyWindow(Window* w) = 0;
    // Queues the destruction (a posted WM_DESTROY) and returns at once.
    virtual void postDestroy(Window* w) = 0;

    // A modal message box; any thread; returns when closed (1 = OK).
    virtual int messageBox(Window* owner, std::string_view textUtf8, std::string_view captionUtf8,
                           MessageIcon icon) = 0;
    // The about box (modal).
    virtual void aboutBox(Window* owner, std::string_view textUtf8) = 0;
    // A file-open chooser with one filter; the chosen path (UTF-8) or empty.
    virtual std::string chooseOpenFile(std::string_view filterNameUtf8, std::string_view patterns) = 0;
    // The colour chooser; true and the colour when the user confirmed.
    virtual bool chooseColour(Window* owner, Colour& colour) = 0;
    // The same, with the dialog's 16 custom colour boxes taken from and written back to
    // `custom` (the caller keeps them between dialogs).
    virtual bool chooseColour(Window* owner, Colour& colour, Colour (&custom)[16]) {
        (void)custom;
        return chooseColour(owner, colour);
    }

    // Window-less timer on the UI thread. Returns an id > 0, or 0 on failure.
    virtual int startTimer(int periodMs, std::function<void()> tick) = 0;
    virtual void killTimer(int id) = 0;

    // Runs `work` on the UI thread and waits for it (runs directly on the UI thread).
    virtual void invoke(const std::function<void()>& work) = 0;
    // Runs `work` on the UI thread later.
    virtual void post(std::function<void()> work) = 0;

    // Runs the UI thread's messages until `w` is destroyed (a local message loop, as a modal
    // window has); returns at once when `w` is null. Called from another thread, it waits there.
    virtual void runUntilDestroyed(Window* w) = 0;

    // What to do when the system asks the program to end (SIGTERM, SIGINT, a session ending).
    // Runs on the UI thread; without a handler the loop quits with 0. (A UI that cannot be
    // asked to end ignores it.)
    virtual void setTerminateHandler(std::function<void()> /*handler*/) {}

    // The message loop: returns the quit code. Returns at once when quit() came first.
    virtual int run() = 0;
    virtual void quit(int code) = 0;
    virtual bool onUiThread() const = 0;

    virtual int screenWidth() const = 0;
    virtual int screenHeight() const = 0;
    // The desktop's menu colour (the system menu colour brush), behind device icons.
    virtual Colour menuColour() const = 0;
};

// The operating system's UI (one per process; creates the toolkit's application object).
// Null when no display can be opened.
std::unique_ptr<Ui> createHostUi(int& argc, char** argv);

}  // namespace orvane::platform
