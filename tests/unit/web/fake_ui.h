#pragma once
// A UI that records what the web code asks of it: message boxes, the file chooser's answers,
// windows with a pixel surface the canvas really draws on (texts are logged, not drawn).
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/ui.h"

namespace orvane::test {

struct DrawnText {
    int x = 0, y = 0;
    std::string text;
    platform::Colour colour = 0;
};

class FakeCanvas final : public platform::Canvas {
public:
    FakeCanvas(platform::Image& s, std::vector<DrawnText>& texts, std::vector<std::string>& log)
        : surface_(s), texts_(texts), log_(log) {}
    void fillRect(platform::Rect r, platform::Colour c) override { paint(r, c); }
    void frameRect(platform::Rect r, platform::Colour c) override {
        paint({r.left, r.top, r.right, r.top + 1}, c);
        paint({r.left, r.bottom - 1, r.right, r.bottom}, c);
        paint({r.left, r.top, r.left + 1, r.bottom}, c);
        paint({r.right - 1, r.top, r.right, r.bottom}, c);
    }
    void roundRect(platform::Rect, int, int, platform::Colour, int, platform::Colour) override {}
    void line(platform::Point, platform::Point, platform::Colour, int) override {}
    void ellipse(platform::Rect, platform::Colour, int, platform::Colour) override {}
    void text(int x, int y, std::string_view t, const platform::Font&, platform::Colour fg,
              std::optional<platform::Colour>) override {
        texts_.push_back({x, y, std::string(t), fg});
    }
    void textCentred(platform::Rect, std::string_view, const platform::Font&, platform::Colour,
                     std::optional<platform::Colour>, bool) override {}
    void blit(const platform::Image& img, int x, int y) override {
        log_.push_back("blit");
        for (int j = 0; j < img.height; ++j)
            for (int i = 0; i < img.width; ++i) put(x + i, y + j, img.at(i, j));
    }
    void blitStretched(const platform::Image& img, platform::Rect r) override {
        log_.push_back(std::to_string(img.width) + "x" + std::to_string(img.height) + " at " + std::to_string(r.left) +
                       "," + std::to_string(r.top) + " " + std::to_string(r.width()) + "x" + std::to_string(r.height()));
    }
    void blitTransparent(const platform::Image&, int, int) override {}
    platform::Image readRegion(platform::Rect r) override {
        platform::Image out(r.width(), r.height());
        for (int j = 0; j < r.height(); ++j)
            for (int i = 0; i < r.width(); ++i) out.at(i, j) = inside(r.left + i, r.top + j) ? surface_.at(r.left + i, r.top + j) : 0xFF000000u;
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
    platform::Image& surface_;
    std::vector<DrawnText>& texts_;
    std::vector<std::string>& log_;
};

class FakeWindow final : public platform::Window {
public:
    FakeWindow(platform::WindowSpec s, platform::WindowHandler* h) : spec(std::move(s)), handler_(h), surface(spec.width, spec.height) {}
    std::unique_ptr<platform::Canvas> draw() override { return std::make_unique<FakeCanvas>(surface, texts, log); }
    void invalidate() override { ++invalidations; }
    platform::Rect screenRect() const override { return {spec.x, spec.y, spec.x + spec.width, spec.y + spec.height}; }
    int clientWidth() const override { return clientW; }
    int clientHeight() const override { return clientH; }
    void move(int, int) override {}
    void show() override { shown = true; }
    void setEnabled(bool e) override { enabledLog.push_back(e); }
    void setForeground() override { ++foregroundCalls; }
    bool isForeground() const override { return false; }
    void setScrollRanges(int h, int v) override { scroll = {h, v}; }
    void addControl(const platform::ControlSpec&) override {}
    void clearControls() override {}
    platform::WindowHandler* handler() const override { return handler_; }

    platform::WindowSpec spec;
    platform::WindowHandler* handler_;
    platform::Image surface;
    std::vector<DrawnText> texts;
    std::vector<std::string> log;
    std::vector<bool> enabledLog;
    int clientW = 584, clientH = 540, invalidations = 0, foregroundCalls = 0;
    platform::Point scroll;
    bool shown = false;
};

struct ShownBox {
    platform::Window* owner;
    std::string text, caption;
    platform::MessageIcon icon;
};

class FakeUi final : public platform::Ui {
public:
    std::vector<ShownBox> boxes;
    std::deque<std::string> chooserAnswers;  // none left: cancelled
    std::vector<std::unique_ptr<FakeWindow>> windows;
    std::vector<platform::Window*> destroyed, postedDestroys;
    std::string chooserFilter;

    // The main window: 550 x 730 at (400, 300).
    FakeWindow* mainWindow() {
        platform::WindowSpec s;
        s.x = 400, s.y = 300, s.width = 550, s.height = 730;
        return static_cast<FakeWindow*>(createWindow(s, nullptr));
    }
    platform::Window* createWindow(const platform::WindowSpec& spec, platform::WindowHandler* h) override {
        windows.push_back(std::make_unique<FakeWindow>(spec, h));
        return windows.back().get();
    }
    void destroyWindow(platform::Window* w) override {
        if (w->handler() != nullptr) w->handler()->onDestroy(*w);
        destroyed.push_back(w);
    }
    void postDestroy(platform::Window* w) override { postedDestroys.push_back(w); }
    int messageBox(platform::Window* owner, std::string_view text, std::string_view caption, platform::MessageIcon icon) override {
        boxes.push_back({owner, std::string(text), std::string(caption), icon});
        return 1;
    }
    void aboutBox(platform::Window*, std::string_view) override {}
    std::string chooseOpenFile(std::string_view filterName, std::string_view patterns) override {
        chooserFilter = std::string(filterName) + "|" + std::string(patterns);
        if (chooserAnswers.empty()) return {};
        std::string a = chooserAnswers.front();
        chooserAnswers.pop_front();
        return a;
    }
    bool chooseColour(platform::Window*, platform::Colour&) override { return false; }
    int startTimer(int, std::function<void()>) override { return 1; }
    void killTimer(int) override {}
    void invoke(const std::function<void()>& work) override { work(); }
    void post(std::function<void()> work) override { work(); }
    void runUntilDestroyed(platform::Window*) override {}
    int run() override { return 0; }
    void quit(int) override {}
    bool onUiThread() const override { return true; }
    int screenWidth() const override { return 1280; }
    int screenHeight() const override { return 1024; }
};

// Records the web addresses opened in the browser; nothing else works.
class FakeSystem final : public platform::System {
public:
    std::vector<std::string> opened;
    platform::MutexResult createNamedMutex(const std::string&) override { return platform::MutexResult::Failed; }
    bool namedMutexExists(const std::string&) override { return false; }
    std::string systemRoot() override { return {}; }
    bool volumeSerial(const std::string&, std::uint32_t&) override { return false; }
    bool isProcessRunning(const std::string&) override { return false; }
    bool startProgram(const std::string&) override { return false; }
    std::string programsFolder() override { return {}; }
    std::string temporaryFolder() override { return {}; }
    bool openUrl(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    bool playSoundAsync(const std::string&) override { return false; }
};

}  // namespace orvane::test
