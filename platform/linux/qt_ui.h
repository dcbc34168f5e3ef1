#pragma once
// The UI seam on Qt 6 Widgets. One QtUi per process, made on the thread that runs the loop.
#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/dialog_answerer.h"
#include "platform/ui.h"

class QEventLoop;
class QSocketNotifier;
class QMenuBar;
class QTimer;

namespace orvane::platform::qt {

class QtUi;
class SurfaceWidget;

// A window: a widget tree plus the persistent surface every thread draws on. The object outlives
// the widgets (a destroyed window stays a harmless shell) so that a thread holding a stale
// pointer never touches freed memory.
class QtWindow final : public Window {
public:
    QtWindow(QtUi& ui, const WindowSpec& spec, WindowHandler* handler);
    ~QtWindow() override;

    std::unique_ptr<Canvas> draw() override;
    void invalidate() override;
    Rect screenRect() const override;
    Rect workArea() const override;
    // What the scroll bars leave of the surface, as a window's client area shrinks beside them.
    int clientWidth() const override { return width_ - scrollBarRight_.load(); }
    int clientHeight() const override { return height_ - scrollBarBottom_.load(); }
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
    bool alive() const { return alive_; }
    QWidget* topWidget() const { return top_; }
    SurfaceWidget* surfaceWidget() const { return surface_; }
    QWidget* clientWidget() const;  // the widget that shows the surface and takes input
    Window* parentWindow() const { return parent_; }
    Window* ownerWindow() const { return owner_; }
    void paintIfPending();
    void presentNow();
    void blitSurface(QPainter& p, const QRect& area);
    void setInPaintEvent(bool on) { inPaintEvent_ = on; }
    void teardown();  // the widgets go; the shell stays
    void resizeSurface(int width, int height);  // UI thread
    void addLocalLoop(QEventLoop* loop) { localLoops_.push_back(loop); }
    void removeLocalLoop(QEventLoop* loop);

private:
    void requestPresent(const QRect& area);

    QtUi& ui_;
    WindowHandler* handler_;
    Window* parent_;
    Window* owner_;
    int width_;
    int height_;
    Colour background_ = 0;
    QWidget* top_ = nullptr;
    SurfaceWidget* surface_ = nullptr;
    QMenuBar* menuBar_ = nullptr;
    std::vector<QWidget*> controls_;
    std::vector<QWidget*> scrollBars_;
    std::atomic<int> scrollBarRight_{0};   // the vertical bar's width, 0 without it
    std::atomic<int> scrollBarBottom_{0};  // the horizontal bar's height
    std::vector<QEventLoop*> localLoops_;
    bool alive_ = true;
    bool destroying_ = false;
    bool inPaintEvent_ = false;  // the surface widget is being painted (UI thread)

    mutable std::mutex surfaceLock_;
    QImage surfaceImage_;
    // What the widget shows (UI thread only): a present copies in only the pixels that differ,
    // so a panel redrawn to the same look costs the screen nothing.
    QImage shownImage_;
    std::atomic<bool> paintPending_{true};
    std::atomic<bool> presentQueued_{false};
    std::mutex dirtyLock_;
    QRect dirty_;  // drawn on since the last present
    std::atomic<bool> destroyed_{false};
    friend class QtUi;
};

class QtUi final : public Ui {
public:
    QtUi(int& argc, char** argv);
    ~QtUi() override;

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
    bool onUiThread() const override;
    int screenWidth() const override;
    int screenHeight() const override;
    Colour menuColour() const override;

    // For tests and unattended runs: when set, message and about boxes are not shown; the
    // function gets (text, caption) and its result is the box's answer.
    void setDialogAnswerer(DialogAnswerer::Answer answer) { answerer_.set(std::move(answer)); }
    DialogAnswerer& answerer() { return answerer_; }

    // UI thread: the live window of a handle, or null.
    QtWindow* live(Window* w) const;
    void notifyDestroyed();

private:
    // The UI thread makes a window or a timer, which only a loop serves: a loop is coming (as
    // before the first one), so calls from other threads wait for it even after an earlier
    // loop ended.
    void expectLoop();

    std::unique_ptr<QApplication> app_;
    std::set<QtWindow*> windows_;            // every window ever made (shells included)
    std::map<int, QTimer*> timers_;
    int nextTimerId_ = 1;
    std::atomic<bool> quitRequested_{false};
    std::atomic<int> quitCode_{0};
    std::atomic<bool> loopRunning_{false};
    std::atomic<bool> loopEnded_{false};
    std::mutex waitLock_;
    std::condition_variable waitCv_;
    DialogAnswerer answerer_;
    std::function<void()> terminate_;
    QSocketNotifier* signalNotifier_ = nullptr;
};

}  // namespace orvane::platform::qt
