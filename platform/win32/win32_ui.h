#pragma once
// The UI seam on Win32: a window class per window of the design, a persistent GDI surface per
// window, and a hidden message window through which other threads hand work to the UI thread.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog_answerer.h"
#include "platform/ui.h"
#include "platform/win32/gdi_canvas.h"

namespace orvane::platform::win32 {

class Win32Ui;

// A window. The object outlives its native window (a destroyed window stays a harmless shell)
// so that a thread holding a stale pointer never touches freed memory.
class Win32Window final : public Window {
public:
    Win32Window(Win32Ui& ui, const WindowSpec& spec, WindowHandler* handler);
    ~Win32Window() override = default;

    std::unique_ptr<Canvas> draw() override;
    void invalidate() override;
    Rect screenRect() const override;
    Rect workArea() const override;
    int clientWidth() const override { return width_.load(); }
    int clientHeight() const override { return height_.load(); }
    void move(int x, int y) override;
    void show() override;
    void setEnabled(bool enabled) override;
    void setForeground() override;
    bool isForeground() const override;
    void setScrollRanges(int horizontalMax, int verticalMax) override;
    void addControl(const ControlSpec& c) override;
    void clearControls() override;
    WindowHandler* handler() const override { return handler_; }
    void setGeometry(int x, int y, int width, int height) override;
    void updateNow() override;

    // UI thread.
    bool create(const WindowSpec& spec);
    LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool alive() const { return alive_.load(); }
    // The UI is going: the window goes without calling its procedure, whose owner may be gone.
    void forget() { alive_.store(false); }
    bool destroyed() const { return destroyed_.load(); }
    HWND hwnd() const { return hwnd_.load(); }
    Window* parentWindow() const { return parent_; }
    Window* ownerWindow() const { return owner_; }

private:
    void paint(HWND hwnd);
    void resizeSurface(int width, int height);
    void requestPresent(const RECT& area);
    bool key(UINT message, WPARAM wParam, LPARAM lParam);

    Win32Ui& ui_;
    WindowHandler* handler_;
    Window* parent_;
    Window* owner_;
    Colour background_;
    std::atomic<HWND> hwnd_{nullptr};
    std::atomic<bool> alive_{false};
    std::atomic<bool> destroyed_{false};
    std::atomic<int> width_{1};
    std::atomic<int> height_{1};
    std::atomic<bool> paintPending_{true};
    mutable std::mutex surfaceLock_;
    Surface surface_;
    // What the screen was last given of the surface (under surfaceLock_): a present covers
    // only the pixels that differ from it.
    std::vector<std::uint32_t> shown_;
    std::vector<HWND> controls_;
};

class Win32Ui final : public Ui {
public:
    explicit Win32Ui(HINSTANCE instance);
    ~Win32Ui() override;
    bool ready() const { return messageWindow_ != nullptr; }

    Window* createWindow(const WindowSpec& spec, WindowHandler* handler) override;
    void destroyWindow(Window* w) override;
    void postDestroy(Window* w) override;
    int messageBox(Window* owner, std::string_view textUtf8, std::string_view captionUtf8,
                   MessageIcon icon) override;
    void aboutBox(Window* owner, std::string_view textUtf8) override;
    std::string chooseOpenFile(std::string_view filterNameUtf8, std::string_view patterns) override;
    bool chooseColour(Window* owner, Colour& colour) override;
    bool chooseColour(Window* owner, Colour& colour, Colour (&custom)[16]) override;
    int startTimer(int periodMs, std::function<void()> tick) override;
    void killTimer(int id) override;
    void invoke(const std::function<void()>& work) override;
    void post(std::function<void()> work) override;
    void runUntilDestroyed(Window* w) override;
    void setTerminateHandler(std::function<void()> handler) override;
    int run() override;
    void quit(int code) override;
    bool onUiThread() const override { return GetCurrentThreadId() == uiThread_; }
    int screenWidth() const override;
    int screenHeight() const override;
    Colour menuColour() const override;

    // For tests and unattended runs: when set, message and about boxes are not shown; the
    // function gets (text, caption) and its result is the box's answer.
    void setDialogAnswerer(DialogAnswerer::Answer answer) { answerer_.set(std::move(answer)); }
    DialogAnswerer& answerer() { return answerer_; }

    // UI thread.
    Win32Window* live(Window* w) const;
    HINSTANCE instance() const { return instance_; }
    const wchar_t* classFor(const WindowSpec& spec);
    void notifyDestroyed();
    LRESULT messageProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Any thread: the system asked the program to end.
    void requestTerminate();

private:
    void expectLoop();

    HINSTANCE instance_;
    DWORD uiThread_;
    HWND messageWindow_ = nullptr;
    std::set<std::wstring> registered_;
    std::vector<std::unique_ptr<Win32Window>> windows_;  // every window ever made (shells included)
    // Timers of one period share one system timer: each WM_TIMER is a trip through the message
    // queue (under Wine, through its server), and several panels tick every 50 ms or every
    // second. Each timer keeps its own id and is killed alone.
    struct TimerGroup {
        int periodMs = 0;
        std::vector<std::pair<int, std::shared_ptr<std::function<void()>>>> ticks;  // (id, tick)
    };
    std::map<UINT_PTR, TimerGroup> timerGroups_;  // by system timer id
    std::map<int, UINT_PTR> timerOf_;             // our id -> its group's system timer id
    UINT_PTR nextSystemTimerId_ = 1;
    int nextTimerId_ = 1;
    std::atomic<bool> quitRequested_{false};
    std::atomic<int> quitCode_{0};
    std::atomic<bool> loopRunning_{false};
    std::atomic<bool> loopEnded_{false};
    std::mutex waitLock_;
    std::condition_variable waitCv_;
    DialogAnswerer answerer_;
    std::function<void()> terminate_;
};

}  // namespace orvane::platform::win32
