#pragma once
// The main window's panel timers and the needle meters' timers, on the UI thread. Each tick
// draws its panel only when what the panel shows has changed since it was last drawn.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "app/startup_services.h"
#include "display/skin.h"
#include "platform/ui.h"
#include "state/client_state.h"

namespace orvane {

// Timer periods (ms).
// The needles and the bars follow the sound 20 times a second: smooth to the eye, and a meter
// needs no more (the levels they read change once per 31.25 ms block at most).
inline constexpr int kMeterPeriodMs = 50;
// The LED ring shows the chasers, which move once per block or group of blocks.
inline constexpr int kLedRingPeriodMs = 50;
inline constexpr int kStatusLampsPeriodMs = 200;
inline constexpr int kChannelPanelPeriodMs = 500;
inline constexpr int kTickerPeriodMs = 500;
// The system's volumes, which another program may change, are read back once a second.
inline constexpr int kKnobsPeriodMs = 1000;
inline constexpr int kTalkerCardPeriodMs = 1000;
// The inactivity countdown counts seconds.
inline constexpr int kCountdownPeriodMs = 1000;

// What a timer's panel was last drawn from. Drawing the same inputs again would give the same
// pixels, so a tick whose inputs did not change draws nothing (no surface lock, no present);
// a paint of the window under the panel counts as an input, as it covers the panel.
template <std::size_t N>
class DrawnFrom {
public:
    using Inputs = std::array<std::int64_t, N>;
    // True when `inputs` differ from the last drawing's, which they then become.
    bool changed(const Inputs& inputs) {
        if (drawn_ && inputs == last_) return false;
        last_ = inputs;
        drawn_ = true;
        return true;
    }
    void forget() { drawn_ = false; }

private:
    Inputs last_{};
    bool drawn_ = false;
};

class PanelTimers {
public:
    PanelTimers(ClientState& state, platform::Ui& ui, StartupServices& services, display::Skin& skin,
                MainWindowProc& main)
        : state_(state), ui_(ui), services_(services), skin_(skin), main_(main) {}

    // The two needle meters' windows (the left one also draws the bars under both).
    void startMeters(platform::Window* left, platform::Window* right);
    // Channel panel, LED ring, knobs, talker card, ticker and status lamps.
    void startPanels();
    void killAll();

private:
    std::unique_ptr<platform::Canvas> drawMain();
    // How many times the main window was painted (each paint covers every panel).
    std::int64_t mainPaints() const;
    int add(int periodMs, std::function<void()> tick) { return ui_.startTimer(periodMs, std::move(tick)); }

    ClientState& state_;
    platform::Ui& ui_;
    StartupServices& services_;
    display::Skin& skin_;
    MainWindowProc& main_;
    platform::Window* leftMeter_ = nullptr;
    platform::Window* rightMeter_ = nullptr;

    // The panels' last inputs (see DrawnFrom): the LED ring's are its lamp codes, the
    // background and the main window's paints.
    DrawnFrom<1> leftNeedleDrawn_, rightNeedleDrawn_;
    DrawnFrom<3> barsDrawn_;
    DrawnFrom<kChaserLedCount + 2> ledRingDrawn_;
    DrawnFrom<10> statusLampsDrawn_;
    DrawnFrom<5> channelPanelDrawn_;
    DrawnFrom<4> knobsDrawn_;
    DrawnFrom<2> tickerDrawn_;
    std::string tickerDrawnText_;

    int leftMeterTimer_ = 0;
    int rightMeterTimer_ = 0;
    int ledRingTimer_ = 0;
    int statusLampsTimer_ = 0;
    int knobsTimer_ = 0;
    int channelPanelTimer_ = 0;
    int talkerCardTimer_ = 0;
    int tickerTimer_ = 0;
};

}  // namespace orvane
