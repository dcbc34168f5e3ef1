#include "app/panel_timers.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "display/meters.h"
#include "display/panels.h"

namespace orvane {

std::unique_ptr<platform::Canvas> PanelTimers::drawMain() {
    platform::Window* w = state_.ui.mainWindow.load();
    return w ? w->draw() : nullptr;
}

std::int64_t PanelTimers::mainPaints() const { return main_.paints.load(); }

void PanelTimers::startMeters(platform::Window* left, platform::Window* right) {
    leftMeter_ = left;
    rightMeter_ = right;
    leftMeterTimer_ = add(kMeterPeriodMs, [this] {
        if (state_.ui.mainWindow.load() == nullptr || leftMeter_ == nullptr) return;
        // Only the meters draw on their windows, so the needle's value is all a tick reads.
        const std::int32_t needle = state_.audio.leftNeedle.load();
        if (leftNeedleDrawn_.changed({needle})) {
            auto c = leftMeter_->draw();
            display::drawNeedleMeter(*c, skin_.meterFaceLeft ? &*skin_.meterFaceLeft : nullptr, needle);
        }
        const std::int32_t left = state_.audio.leftBarLevel.load(), right = state_.audio.rightBarLevel.load();
        if (barsDrawn_.changed({left, right, mainPaints()})) {
            if (auto c = drawMain()) display::drawBarMeters(*c, left, right);
        }
    });
    rightMeterTimer_ = add(kMeterPeriodMs, [this] {
        if (state_.ui.mainWindow.load() == nullptr || rightMeter_ == nullptr) return;
        const std::int32_t needle = state_.audio.rightNeedle.load();
        if (!rightNeedleDrawn_.changed({needle})) return;
        auto c = rightMeter_->draw();
        display::drawNeedleMeter(*c, skin_.meterFaceRight ? &*skin_.meterFaceRight : nullptr, needle);
    });
}

void PanelTimers::startPanels() {
    channelPanelTimer_ = add(kChannelPanelPeriodMs, [this] {
        const bool ready = state_.ui.channelImagesReady.load();
        if (!channelPanelDrawn_.changed({ready, state_.ui.backgroundColour.load(), state_.channel.channelPort.load(),
                                         state_.channel.rosterCount[kChannelCount].load(), mainPaints()})) {
            return;
        }
        if (auto c = drawMain()) display::drawChannelPanel(*c, state_, skin_);
    });
    ledRingTimer_ = add(kLedRingPeriodMs, [this] {
        decltype(ledRingDrawn_)::Inputs inputs;
        std::int32_t codes[kChaserLedCount];
        for (int k = 0; k < kChaserLedCount; ++k) inputs[k] = codes[k] = state_.lamps.chaserLeds[k].load();
        const platform::Colour bg = state_.ui.backgroundColour.load();
        inputs[kChaserLedCount] = bg;
        inputs[kChaserLedCount + 1] = mainPaints();
        if (!ledRingDrawn_.changed(inputs)) return;
        if (auto c = drawMain()) display::drawLedRing(*c, codes, bg, skin_.leds);
    });
    knobsTimer_ = add(kKnobsPeriodMs, [this] {
        if (state_.ui.mainWindow.load() == nullptr || !skin_.knobArrow) return;
        float mic = 0.0f;
        services_.readMicVolume(mic);
        const float speaker = services_.readSpeakerVolume();
        const platform::Colour bg = state_.ui.backgroundColour.load();
        // Turning three knob images is the costliest drawing of all: only when a knob moved.
        if (!knobsDrawn_.changed({std::bit_cast<std::int32_t>(mic), std::bit_cast<std::int32_t>(speaker), bg,
                                  mainPaints()})) {
            return;
        }
        if (auto c = drawMain()) display::drawKnobPanel(*c, skin_, mic, speaker, bg, main_.knobRects);
    });
    talkerCardTimer_ = add(kTalkerCardPeriodMs, [this] { services_.talkerCardTick(); });
    tickerTimer_ = add(kTickerPeriodMs, [this] {
        const char* raw = state_.ui.tickerText;
        const std::string_view text(raw, strnlen(raw, sizeof state_.ui.tickerText));
        const bool same = text == tickerDrawnText_;
        if (!tickerDrawn_.changed({state_.ui.backgroundColour.load(), mainPaints()}) && same) return;
        if (!same) tickerDrawnText_.assign(text);
        if (auto c = drawMain()) display::drawTickerBox(*c, state_);
    });
    statusLampsTimer_ = add(kStatusLampsPeriodMs, [this] {
        platform::Window* w = state_.ui.mainWindow.load();
        if (w == nullptr) return;
        const bool foreground = w->isForeground();
        const StatusLamps& l = state_.lamps;
        if (!statusLampsDrawn_.changed({l.lampTst.load(), l.lampHttps.load(), l.lampTxRx.load(), l.lampUdp.load(),
                                        l.lampSvc.load(), l.lampTcp.load(), state_.channel.serverLoad.load(),
                                        foreground, state_.ui.backgroundColour.load(), mainPaints()})) {
            return;
        }
        auto c = w->draw();
        display::drawStatusLamps(*c, state_, skin_.leds, foreground);
    });
}

void PanelTimers::killAll() {
    for (int* id : {&ledRingTimer_, &statusLampsTimer_, &knobsTimer_, &channelPanelTimer_, &talkerCardTimer_,
                    &tickerTimer_, &leftMeterTimer_, &rightMeterTimer_}) {
        if (*id != 0) ui_.killTimer(*id);
        *id = 0;
    }
}

}  // namespace orvane
