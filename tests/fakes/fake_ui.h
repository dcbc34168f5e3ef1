#pragma once
// A UI without a toolkit: windows record what is drawn on them, timers tick when the test says,
// message boxes are answered at once and recorded, posted work runs when the test says.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "tests/fakes/recording_canvas.h"

namespace orvane::test {

class FakeUi;

class FakeWindow final : public platform::Window {
public:
    FakeWindow(const platform::WindowSpec& s, platform::WindowHandler* h) : spec(s), handler_(h) {}

    platform::WindowSpec spec;
    bool destroyed = false;
    bool enabled = true;
    bool shown = false;
    bool foreground = true;
    int invalidations = 0;
    std::vector<bool> enabledHistory;
    std::vector<std::string> ops;  // everything drawn, across canvases

    std::unique_ptr<platform::Canvas> draw() override { return std::make_unique<RecordingCanvas>(&ops); }
    void invalidate() override { ++invalidations; }
    platform::Rect screenRect() const override {
        return {spec.x, spec.y, spec.x + spec.width, spec.y + spec.height};
    }
    int clientWidth() const override { return spec.width; }
    int clientHeight() const override { return spec.height; }
    void move(int x, int y) override {
        spec.x = x;
        spec.y = y;
    }
    void setGeometry(int x, int y, int w, int h) override {
        spec.x = x;
        spec.y = y;
        spec.width = w;
        spec.height = h;
    }
    void show() override {
        shown = true;
        if (handler_) handler_->onPaint(*this);
    }
    void setEnabled(bool e) override {
        enabled = e;
        enabledHistory.push_back(e);
    }
    void setForeground() override { foreground = true; }
    bool isForeground() const override { return foreground; }
    void setScrollRanges(int, int) override {}
    void addControl(const platform::ControlSpec& c) override { controls.push_back(c); }
    void clearControls() override { controls.clear(); }
    platform::WindowHandler* handler() const override { return handler_; }

    std::vector<platform::ControlSpec> controls;

private:
    platform::WindowHandler* handler_;
};

class FakeUi final : public platform::Ui {
public:
    struct Box {
        std::string text;
        std::string caption;
        platform::MessageIcon icon;
        platform::Window* owner;
    };
    struct Timer {
        int periodMs;
        std::function<void()> tick;
    };

    std::vector<Box> boxes;
    std::vector<std::string> abouts;
    std::vector<std::unique_ptr<FakeWindow>> windows;
    std::map<int, Timer> timers;
    std::deque<std::function<void()>> posted;
    bool quitRequested = false;
    int quitCode = 0;
    int screenW = 1024;
    int screenH = 768;
    std::function<void(FakeUi&)> whileNoticeShown;  // runUntilDestroyed's stand-in for the user
    std::function<void()> terminate;                // as set by the program

    FakeWindow* find(const std::string& title) const {
        for (const auto& w : windows) {
            if (w->spec.title == title) return w.get();
        }
        return nullptr;
    }
    int boxesWithCaption(const std::string& caption) const {
        int n = 0;
        for (const auto& b : boxes) n += b.caption == caption;
        return n;
    }
    int boxesContaining(const std::string& part) const {
        int n = 0;
        for (const auto& b : boxes) n += b.text.find(part) != std::string::npos;
        return n;
    }
    int timersWithPeriod(int ms) const {
        int n = 0;
        for (const auto& [id, t] : timers) n += t.periodMs == ms;
        return n;
    }
    void tickAll() {
        auto copy = timers;
        for (auto& [id, t] : copy) {
            if (timers.count(id)) t.tick();
        }
    }
    void runPosted() {
        while (!posted.empty()) {
            auto work = std::move(posted.front());
            posted.pop_front();
            work();
        }
    }

    platform::Window* createWindow(const platform::WindowSpec& spec, platform::WindowHandler* handler) override {
        windows.push_back(std::make_unique<FakeWindow>(spec, handler));
        FakeWindow* w = windows.back().get();
        if (handler) handler->onCreate(*w);
        return w;
    }
    void destroyWindow(platform::Window* w) override {
        auto* f = static_cast<FakeWindow*>(w);
        if (f == nullptr || f->destroyed) return;
        f->destroyed = true;
        if (f->handler()) f->handler()->onDestroy(*f);
        for (auto& other : windows) {
            if (!other->destroyed && (other->spec.parent == w || other->spec.owner == w)) destroyWindow(other.get());
        }
    }
    void postDestroy(platform::Window* w) override {
        posted.push_back([this, w] { destroyWindow(w); });
    }
    int messageBox(platform::Window* owner, std::string_view text, std::string_view caption,
                   platform::MessageIcon icon) override {
        boxes.push_back({std::string(text), std::string(caption), icon, owner});
        return 1;
    }
    void aboutBox(platform::Window*, std::string_view text) override { abouts.emplace_back(text); }
    std::string chooseOpenFile(std::string_view, std::string_view) override { return {}; }
    bool chooseColour(platform::Window*, platform::Colour& c) override {
        ++colourDialogs;
        if (!colourAnswer) return false;
        c = *colourAnswer;
        return true;
    }
    int colourDialogs = 0;
    std::optional<platform::Colour> colourAnswer;  // what the user picks; nothing: cancel
    int startTimer(int periodMs, std::function<void()> tick) override {
        int id = nextTimer_++;
        timers[id] = {periodMs, std::move(tick)};
        return id;
    }
    void killTimer(int id) override { timers.erase(id); }
    void invoke(const std::function<void()>& work) override { work(); }
    void post(std::function<void()> work) override { posted.push_back(std::move(work)); }
    void runUntilDestroyed(platform::Window* w) override {
        if (whileNoticeShown) whileNoticeShown(*this);
        runPosted();
        (void)w;
    }
    void setTerminateHandler(std::function<void()> handler) override { terminate = std::move(handler); }
    int run() override {
        runPosted();
        return quitRequested ? quitCode : 0;
    }
    void quit(int code) override {
        if (quitRequested) return;
        quitRequested = true;
        quitCode = code;
    }
    bool onUiThread() const override { return true; }
    int screenWidth() const override { return screenW; }
    int screenHeight() const override { return screenH; }

private:
    int nextTimer_ = 1;
};

}  // namespace orvane::test
