#pragma once
// The canvas window "Orvane Echange et Partage": the picture the server holds for the current
// channel, scaled to fit and centred, with a menu to reload it or send one's own. Channel 0
// has no shared picture.
#include <optional>

#include "platform/canvas.h"
#include "platform/image.h"
#include "platform/ui.h"
#include "web/web_state.h"

namespace orvane::panes {

inline constexpr char kCanvasTitle[] = "Orvane Echange et Partage";
inline constexpr int kCanvasSize = 600;
inline constexpr int kRefreshCommand = 32000;
inline constexpr int kSendCommand = 32001;

// Where a pw x ph picture is drawn in a w x h client area: as large as fits, same aspect,
// centred.
platform::Rect fitPicture(int w, int h, int pw, int ph);

// The window and what it shows (user-interface thread only). Made once, lives until exit.
class CanvasWindow final : public platform::WindowHandler {
public:
    explicit CanvasWindow(web::WebState& web) : web_(web) {}

    // The main window's click in its picture zone: on channel 0 nothing happens; otherwise the
    // window opens to the left of the main window, or closes when it is open.
    void toggle();

    bool isOpen() const { return open_; }
    platform::Window* window() const { return window_; }
    const std::optional<platform::Image>& picture() const { return picture_; }

    void onPaint(platform::Window& window) override;
    void onCommand(platform::Window& window, int id) override;
    void onLeftButtonUp(platform::Window& window, platform::Point) override;
    void onDestroy(platform::Window& window) override;

private:
    web::WebState& web_;
    platform::Window* window_ = nullptr;
    bool open_ = false;
    bool pictureLoaded_ = false;
    std::optional<platform::Image> picture_;
};

}  // namespace orvane::panes
