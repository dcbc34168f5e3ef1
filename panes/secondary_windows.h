#pragma once
// The windows that unfold from the main window: the group list (every channel's members), the
// network window (the current channel's members), the parameters window and its input device
// window. Everything here runs on the user-interface thread.
#include <cstdint>
#include <functional>
#include <memory>

#include "audio/audio_ui.h"
#include "state/client_state.h"
#include "platform/audio_endpoints.h"
#include "platform/ui.h"
#include "web/web_state.h"

namespace orvane::panes {

inline constexpr char kGroupTitle[] = "Orvane Group List";
inline constexpr char kNetworkTitle[] = "Orvane Network";
inline constexpr char kParamsTitle[] = "Orvane Params";
inline constexpr char kInputDeviceTitle[] = "Orvane Input device";

inline constexpr platform::Colour kGroupBackground = 0xFF0000;    // blue
inline constexpr platform::Colour kNetworkBackground = 0x00FFFF;  // yellow
inline constexpr platform::Colour kParamsBackground = 0x0000FF;   // red
inline constexpr platform::Colour kInputDeviceBackground = platform::rgb(127, 127, 127);
inline constexpr platform::Colour kCyan = 0xFFFF00;
inline constexpr platform::Colour kGreen = 0x00FF00;
inline constexpr platform::Colour kMarkerRed = 0x0000FF;

inline constexpr int kGroupTimerId = 14;
inline constexpr int kNetworkTimerId = 13;
inline constexpr int kRefreshPeriodMs = 1000;

// The warning lines, Windows-1252.
inline constexpr char kWarningLine1[] = "Ne pas laisser cette fen\xEAtre longtemps ouverte";
inline constexpr char kWarningLine2[] = "car elle consomme beaucoup de ressources r\xE9seau";

// Group list row geometry (client coordinates).
constexpr int rowTop(int r) { return 51 * r - 41; }
constexpr platform::Rect rowCell(int r, int i) { return {20 + 38 * i, rowTop(r), 20 + 38 * i + 33, rowTop(r) + 41}; }
// The marker square of row r for a window whose outer width is w.
constexpr platform::Rect markerSquare(int r, int w) { return {w - 35, 51 * r - 30, w - 25, 51 * r - 20}; }

// Network grid: cell `index` in reading order, 66 x 83.
platform::Point networkCell(int index);

// A roster count as far as it may be drawn: 0 to 16.
int drawableCount(std::int32_t count);

// What the windows share: the services they use and the state of each window. One per process.
struct SecondaryWindows {
    SecondaryWindows(ClientState& s, web::WebState& w, platform::Ui& u, platform::AudioEndpoints& e, audio::AudioUi& a);
    ~SecondaryWindows();

    ClientState& state;
    web::WebState& web;
    platform::Ui& ui;
    platform::AudioEndpoints& endpoints;
    audio::AudioUi& audioUi;
    // The animation's pauses (Sleep); tests replace it.
    std::function<void(int ms)> sleepMs;

    // Group list.
    platform::Window* groupWindow = nullptr;
    bool groupOpen = false;
    bool groupReady = false;
    int groupTimer = 0;
    int rowCounter = 1;  // the row refreshed next, 1..10; lives as long as the process

    // Network window.
    platform::Window* networkWindow = nullptr;
    bool networkOpen = false;
    bool networkReady = false;
    int networkTimer = 0;
    std::int32_t lastDrawnCount = -1;

    // Parameters window.
    platform::Window* paramsWindow = nullptr;
    bool paramsOpen = false;
    bool paramsReady = false;
    platform::Rect colourSwatch{};
    platform::Rect inputDeviceArea{};
    // The warning that the default input is not among the capture devices was shown during this
    // opening of the window: nothing the window can do changes that, so a repaint (every box
    // repaints the window beneath it) must not show it again.
    bool inputWarningShown = false;

    // Input device window.
    platform::Window* inputWindow = nullptr;
    bool inputOpen = false;

    std::unique_ptr<platform::WindowHandler> groupHandler, networkHandler, paramsHandler, inputHandler;
};

// The main window's clicks. Each returns 1, or 0 when its window cannot be created (the open
// flag is then cleared, so a later click tries again).
int toggleGroupListWindow(SecondaryWindows& w);
int toggleNetworkWindow(SecondaryWindows& w);
int toggleParametersWindow(SecondaryWindows& w);
// The parameters window's click in its input device area.
void toggleInputDeviceWindow(SecondaryWindows& w);

// Group list drawing.
void drawGroupRow(SecondaryWindows& w, platform::Canvas& c, int r);
void drawWarningLines(SecondaryWindows& w, platform::Canvas& c);
void refreshGroupRow(SecondaryWindows& w);  // one timer tick
// Network grid: full = true always draws, false only when the count changed.
void drawNetworkGrid(SecondaryWindows& w, bool full);
// Parameters window contents and the colour choice.
void drawParameters(SecondaryWindows& w, platform::Canvas& c);
void chooseBackgroundColour(SecondaryWindows& w);

// The caption above the input device icon.
std::string inputDeviceCaption(std::int32_t captureDeviceId);
// "%ld.%ld.%ld" of a colour's red, green and blue.
std::string colourText(platform::Colour c);

}  // namespace orvane::panes
