#include "core/unattended_ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvane {

namespace {

class UnattendedUi final : public platform::Ui {
public:
    explicit UnattendedUi(platform::Ui& host) : host_(host) {}

    platform::Window* createWindow(const platform::WindowSpec& spec, platform::WindowHandler* handler) override {
        return host_.createWindow(spec, handler);
    }
    void destroyWindow(platform::Window* w) override { host_.destroyWindow(w); }
    void postDestroy(platform::Window* w) override { host_.postDestroy(w); }

    int messageBox(platform::Window*, std::string_view text, std::string_view caption,
                   platform::MessageIcon) override {
        // One line per box: the text's line breaks become " | ".
        std::string flat(text);
        for (std::size_t at = flat.find('\n'); at != std::string::npos; at = flat.find('\n', at)) {
            flat.replace(at, 1, " | ");
        }
        std::fprintf(stderr, "orvane box answered: [%.*s] %s\n", static_cast<int>(caption.size()), caption.data(),
                     flat.c_str());
        std::fflush(stderr);
        return 1;
    }
    void aboutBox(platform::Window* owner, std::string_view text) override { messageBox(owner, text, "About", {}); }
    std::string chooseOpenFile(std::string_view, std::string_view) override { return {}; }
    bool chooseColour(platform::Window*, platform::Colour&) override { return false; }

    int startTimer(int periodMs, std::function<void()> tick) override { return host_.startTimer(periodMs, std::move(tick)); }
    void killTimer(int id) override { host_.killTimer(id); }
    void invoke(const std::function<void()>& work) override { host_.invoke(work); }
    void post(std::function<void()> work) override { host_.post(std::move(work)); }
    void runUntilDestroyed(platform::Window* w) override { host_.runUntilDestroyed(w); }
    void setTerminateHandler(std::function<void()> handler) override { host_.setTerminateHandler(std::move(handler)); }
    int run() override { return host_.run(); }
    void quit(int code) override { host_.quit(code); }
    bool onUiThread() const override { return host_.onUiThread(); }
    int screenWidth() const override { return host_.screenWidth(); }
    int screenHeight() const override { return host_.screenHeight(); }

private:
    platform::Ui& host_;
};

}  // namespace

std::unique_ptr<platform::Ui> makeUnattendedUi(platform::Ui& host) { return std::make_unique<UnattendedUi>(host); }

std::unique_ptr<platform::Ui> makeUnattendedUiIfAsked(platform::Ui& host) {
    const char* asked = std::getenv(kAnswerBoxesVariable);
    if (asked == nullptr || std::strcmp(asked, "1") != 0) return nullptr;
    return makeUnattendedUi(host);
}

}  // namespace orvane
