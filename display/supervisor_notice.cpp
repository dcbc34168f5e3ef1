#include "display/supervisor_notice.h"

#include <string>

namespace orvane::display {

namespace {

// Closes on its timer; the close box closes it too.
class NoticeHandler final : public platform::WindowHandler {
public:
    explicit NoticeHandler(platform::Ui& ui) : ui_(ui) {}
    void onCommand(platform::Window& w, int id) override {
        if (id == 1 || id == 2) ui_.postDestroy(&w);
    }
    void onDestroy(platform::Window&) override {
        if (timer_ != 0) ui_.killTimer(timer_);
        timer_ = 0;
    }
    int timer_ = 0;

private:
    platform::Ui& ui_;
};

}  // namespace

void showSupervisorNotice(platform::Ui& ui, const ClientState& state, std::string_view textUtf8) {
    platform::Window* main = state.ui.mainWindow.load();
    platform::Rect at = main ? main->screenRect() : platform::Rect{};
    platform::WindowSpec spec;
    spec.kind = platform::WindowKind::SupervisorNotice;
    spec.title = "Info du Superviseur";
    spec.x = at.left + 20;
    spec.y = at.top + 20;
    spec.width = kNoticeWidth;
    spec.height = kNoticeHeight;
    spec.owner = main;
    spec.background = platform::rgb(240, 240, 240);
    NoticeHandler handler(ui);
    platform::Window* w = ui.createWindow(spec, &handler);
    if (w == nullptr) return;
    platform::ControlSpec text;
    text.kind = platform::ControlKind::StaticText;
    text.text = std::string(textUtf8);
    text.x = 10;
    text.y = 10;
    text.width = 280;
    text.height = 150;
    w->addControl(text);
    ui.invoke([&] {
        handler.timer_ = ui.startTimer(kNoticeLifetimeMs, [&ui, w, &handler] {
            ui.killTimer(handler.timer_);
            handler.timer_ = 0;
            ui.destroyWindow(w);
        });
    });
    ui.runUntilDestroyed(w);
    // The handler lives on this stack: make sure the window is gone before it goes.
    ui.destroyWindow(w);
}

}  // namespace orvane::display
