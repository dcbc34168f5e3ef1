#pragma once
// A UI without a toolkit. What is drawn on a window is kept twice: every canvas call as a line of
// text (ops, as RecordingCanvas writes them) and the pixels of fills, frames and blits on a
// surface of the window's size (texts are listed, not drawn). Timers tick when the test says,
// message boxes are answered at once and recorded, the file chooser gives the answers the test
// queued, posted work runs when the test says.
#include <algorithm>
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

struct DrawnText {
    int x = 0, y = 0;
    std::string text;
    platform::Colour colour = 0;
};

// Records each call in `ops`, lists texts in `texts` and paints fills, frames and blits on
// `surface` (clipped to it); stretched blits and rounded shapes are recorded only. While it
// lives it holds the window's surface lock, as a real window's canvas does (`locks` counts).
class FakeCanvas final : public platform::Canvas {
public:
    FakeCanvas(platform::Image& surface, std::vector<DrawnText>& texts, std::vector<std::string>& ops, int& locks)
        : record_(&ops), surface_(surface), texts_(texts), locks_(locks) {
        ++locks_;
    }
    ~FakeCanvas() override { --locks_; }
    FakeCanvas(const FakeCanvas&) = delete;
    FakeCanvas& operator=(const FakeCanvas&) = delete;

    void fillRect(platform::Rect r, platform::Colour c) override {
        record_.fillRect(r, c);
        paint(r, c);
    }
    void frameRect(platform::Rect r, platform::Colour c) override {
        record_.frameRect(r, c);
        paint({r.left, r.top, r.right, r.top + 1}, c);
        paint({r.left, r.bottom - 1, r.right, r.bottom}, c);
        paint({r.left, r.top, r.left + 1, r.bottom}, c);
        paint({r.right - 1, r.top, r.right, r.bottom}, c);
    }
    void roundRect(platform::Rect r, int w, int h, platform::Colour pen, int penWidth, platform::Colour fill) override {
        record_.roundRect(r, w, h, pen, penWidth, fill);
    }
    void line(platform::Point a, platform::Point b, platform::Colour c, int w) override { record_.line(a, b, c, w); }
    void ellipse(platform::Rect r, platform::Colour pen, int w, platform::Colour fill) override {
        record_.ellipse(r, pen, w, fill);
    }
    void text(int x, int y, std::string_view t, const platform::Font& f, platform::Colour fg,
              std::optional<platform::Colour> bg) override {
        record_.text(x, y, t, f, fg, bg);
        texts_.push_back({x, y, std::string(t), fg});
    }
    void textCentred(platform::Rect r, std::string_view t, const platform::Font& f, platform::Colour fg,
                     std::optional<platform::Colour> bg, bool vertically) override {
        record_.textCentred(r, t, f, fg, bg, vertically);
    }
    void blit(const platform::Image& img, int x, int y) override {
        record_.blit(img, x, y);
        for (int j = 0; j < img.height; ++j)
            for (int i = 0; i < img.width; ++i) put(x + i, y + j, img.at(i, j));
    }
    void blitStretched(const platform::Image& img, platform::Rect r) override { record_.blitStretched(img, r); }
    void blitTransparent(const platform::Image& img, int x, int y) override { record_.blitTransparent(img, x, y); }
    // What the surface holds there; opaque black outside it.
    platform::Image readRegion(platform::Rect r) override {
        platform::Image out(r.width(), r.height());
        for (int j = 0; j < r.height(); ++j)
            for (int i = 0; i < r.width(); ++i)
                out.at(i, j) = inside(r.left + i, r.top + j) ? surface_.at(r.left + i, r.top + j) : 0xFF000000u;
        return out;
    }

private:
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < surface_.width && y < surface_.height; }
    void put(int x, int y, std::uint32_t p) {
        if (inside(x, y)) surface_.at(x, y) = p;
    }
    void paint(platform::Rect r, platform::Colour c) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) put(x, y, platform::toPixel(c));
    }
    RecordingCanvas record_;
    platform::Image& surface_;
    std::vector<DrawnText>& texts_;
    int& locks_;
};

// The part of `a` inside `b` (empty when they do not meet).
inline platform::Rect intersection(platform::Rect a, platform::Rect b) {
    platform::Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) return {};
    return r;
}

// The work area of the monitor that holds most of `window`, or the nearest one to it when it
// lies on none (as MonitorFromWindow with MONITOR_DEFAULTTONEAREST picks it).
inline platform::Rect monitorWorkAreaOf(platform::Rect window, const std::vector<platform::Rect>& workAreas) {
    platform::Rect best{};
    long long bestArea = -1;
    long long bestDistance = -1;
    for (const platform::Rect& a : workAreas) {
        const platform::Rect in = intersection(window, a);
        const long long area = static_cast<long long>(in.width()) * in.height();
        const auto gap = [](int lo, int hi, int from, int to) { return std::max({0, from - hi, lo - to}); };
        const long long dx = gap(window.left, window.right, a.left, a.right);
        const long long dy = gap(window.top, window.bottom, a.top, a.bottom);
        const long long distance = dx * dx + dy * dy;
        if (area > bestArea || (area == 0 && bestArea == 0 && distance < bestDistance)) {
            best = a;
            bestArea = area;
            bestDistance = distance;
        }
    }
    return best;
}

class FakeWindow final : public platform::Window {
public:
    // `frame`: what borders, title and menu bar take from the window's size (captioned windows).
    // `workAreas`: the monitors' work areas the window may lie on (none: one of 1024 x 768).
    FakeWindow(const platform::WindowSpec& s, platform::WindowHandler* h, platform::Point frame = {},
               const std::vector<platform::Rect>* workAreas = nullptr)
        : spec(s), surface(std::max(s.width, 0), std::max(s.height, 0)), frame_(frame), handler_(h), workAreas_(workAreas) {}

    platform::WindowSpec spec;
    bool destroyed = false;
    bool enabled = true;
    bool shown = false;
    bool foreground = true;
    int foregroundCalls = 0;
    int invalidations = 0;
    std::vector<bool> enabledHistory;
    std::vector<std::string> ops;  // every canvas call, across canvases
    platform::Image surface;       // what fills, frames and blits left, at the size of creation
    std::vector<DrawnText> texts;
    platform::Point scroll;  // the last scroll ranges set
    std::vector<platform::ControlSpec> controls;
    int surfaceLocks = 0;    // canvases of this window alive now

    // How many recorded lines start with `prefix`.
    int count(const std::string& prefix) const {
        return static_cast<int>(
            std::count_if(ops.begin(), ops.end(), [&](const std::string& op) { return op.rfind(prefix, 0) == 0; }));
    }
    // The last recorded line that starts with `prefix` ("" when none does).
    std::string last(const std::string& prefix) const {
        for (auto op = ops.rbegin(); op != ops.rend(); ++op) {
            if (op->rfind(prefix, 0) == 0) return *op;
        }
        return {};
    }

    std::unique_ptr<platform::Canvas> draw() override {
        return std::make_unique<FakeCanvas>(surface, texts, ops, surfaceLocks);
    }
    void invalidate() override { ++invalidations; }
    platform::Rect screenRect() const override {
        return {spec.x, spec.y, spec.x + spec.width, spec.y + spec.height};
    }
    platform::Rect workArea() const override {
        static const std::vector<platform::Rect> kOneMonitor{{0, 0, 1024, 768}};
        return monitorWorkAreaOf(screenRect(), workAreas_ != nullptr && !workAreas_->empty() ? *workAreas_ : kOneMonitor);
    }
    int clientWidth() const override { return spec.width - frame_.x; }
    int clientHeight() const override { return spec.height - frame_.y; }
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
    void setForeground() override {
        foreground = true;
        ++foregroundCalls;
    }
    bool isForeground() const override { return foreground; }
    void setScrollRanges(int h, int v) override { scroll = {h, v}; }
    void addControl(const platform::ControlSpec& c) override { controls.push_back(c); }
    void clearControls() override { controls.clear(); }
    platform::WindowHandler* handler() const override { return handler_; }

private:
    platform::Point frame_;
    platform::WindowHandler* handler_;
    const std::vector<platform::Rect>* workAreas_;
};

class FakeUi final : public platform::Ui {
public:
    struct Box {
        std::string text;
        std::string caption;
        platform::MessageIcon icon;
        platform::Window* owner;
        // A window's surface was locked (a canvas alive) when the box came: a modal box repaints
        // the windows beneath it, and that paint would wait for the lock its own thread holds.
        bool surfaceLocked = false;
    };
    struct Timer {
        int periodMs;
        std::function<void()> tick;
    };

    std::vector<Box> boxes;
    std::vector<std::string> abouts;
    std::vector<std::unique_ptr<FakeWindow>> windows;
    std::vector<platform::Window*> destroyCalls;    // every window destroyWindow was asked for
    std::vector<platform::Window*> postedDestroys;  // every window postDestroy was asked for
    std::map<int, Timer> timers;
    std::deque<std::function<void()>> posted;
    std::deque<std::string> chooserAnswers;  // the file chooser's next answers; none left: cancelled
    std::string chooserFilter;               // the last chooser's "name|patterns"
    bool quitRequested = false;
    int quitCode = 0;
    int screenW = 1024;
    int screenH = 768;
    platform::Point frame;  // what a captioned window's frame, title and menu bar take from its size
    // The monitors' work areas (screen coordinates; a monitor left of or above the primary one
    // has negative ones). Empty: one monitor of 1024 x 768.
    std::vector<platform::Rect> workAreas;
    std::function<void(FakeUi&)> whileNoticeShown;  // runUntilDestroyed's stand-in for the user
    std::function<void()> terminate;                // as set by the program

    // The program's main window, 550 x 730 at (400, 300), without a handler.
    FakeWindow* mainWindow() {
        platform::WindowSpec s;
        s.x = 400, s.y = 300, s.width = 550, s.height = 730;
        return static_cast<FakeWindow*>(createWindow(s, nullptr));
    }
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
        const bool captioned = !spec.borderless && spec.parent == nullptr;
        windows.push_back(std::make_unique<FakeWindow>(spec, handler, captioned ? frame : platform::Point{}, &workAreas));
        FakeWindow* w = windows.back().get();
        if (handler) handler->onCreate(*w);
        return w;
    }
    void destroyWindow(platform::Window* w) override {
        destroyCalls.push_back(w);
        auto* f = static_cast<FakeWindow*>(w);
        if (f == nullptr || f->destroyed) return;
        f->destroyed = true;
        if (f->handler()) f->handler()->onDestroy(*f);
        for (auto& other : windows) {
            if (!other->destroyed && (other->spec.parent == w || other->spec.owner == w)) destroyWindow(other.get());
        }
    }
    void postDestroy(platform::Window* w) override {
        postedDestroys.push_back(w);
        posted.push_back([this, w] { destroyWindow(w); });
    }
    int messageBox(platform::Window* owner, std::string_view text, std::string_view caption,
                   platform::MessageIcon icon) override {
        bool locked = false;
        for (const auto& w : windows) locked = locked || w->surfaceLocks > 0;
        boxes.push_back({std::string(text), std::string(caption), icon, owner, locked});
        if (whileBoxShown) whileBoxShown();
        return 1;
    }
    std::function<void()> whileBoxShown;  // what happens while a box waits for the user
    void aboutBox(platform::Window*, std::string_view text) override { abouts.emplace_back(text); }
    std::string chooseOpenFile(std::string_view filterName, std::string_view patterns) override {
        chooserFilter = std::string(filterName) + "|" + std::string(patterns);
        if (chooserAnswers.empty()) return {};
        std::string answer = std::move(chooserAnswers.front());
        chooserAnswers.pop_front();
        return answer;
    }
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
    platform::Colour menuColour() const override { return menu; }
    platform::Colour menu = platform::rgb(212, 208, 200);  // the desktop's menu colour

private:
    int nextTimer_ = 1;
};

}  // namespace orvane::test
