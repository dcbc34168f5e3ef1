#pragma once
// The canvas window "Orvane Echange et Partage": the picture the server holds for the current
// channel, scaled to fit and centred, with a menu to reload it or send one's own. Channel 0
// has no shared picture.
#include "platform/canvas.h"
#include "platform/ui.h"
#include "web/web_state.h"

namespace orvane::web {

inline constexpr char kCanvasTitle[] = "Orvane Echange et Partage";
inline constexpr int kCanvasSize = 600;
inline constexpr int kRefreshCommand = 32000;
inline constexpr int kSendCommand = 32001;

// The main window's click in its picture zone: on channel 0 nothing happens; otherwise the
// canvas window opens to the left of the main window, or closes when it is open.
void toggleCanvasWindow(WebState& web);

// Where a pw x ph picture is drawn in a w x h client area: as large as fits, same aspect,
// centred.
platform::Rect fitPicture(int w, int h, int pw, int ph);

class CanvasWindow final : public platform::WindowHandler {
public:
    explicit CanvasWindow(WebState& web) : web_(web) {}
    void onPaint(platform::Window& window) override;
    void onCommand(platform::Window& window, int id) override;
    void onLeftButtonUp(platform::Window& window, platform::Point) override;
    void onDestroy(platform::Window& window) override;

private:
    WebState& web_;
};

}  // namespace orvane::web
