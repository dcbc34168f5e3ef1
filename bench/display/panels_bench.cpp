// One timer tick of each panel, drawn on an off-screen 550 x 730 surface.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <memory>

#include "display/knobs.h"
#include "display/meters.h"
#include "display/panels.h"
#include "platform/ui.h"

namespace {

using namespace orvane;

struct Fixture {
    Fixture() {
        for (int code = 1; code <= 6; ++code) leds.byCode[code] = platform::Image(12, 12, 0xFF00FF00u);
        for (auto& img : skin.channelImages) img = platform::Image(180, 110, 0xFF203040u);
        skin.knobArrow = platform::Image(60, 60, 0xFF808080u);
        skin.knobParams = platform::Image(60, 60, 0xFF808080u);
        skin.docIcon = platform::Image(30, 30);
        skin.speechIcon = platform::Image(32, 32);
        state.ui.channelImagesReady.store(true);
        state.channel.channelPort.store(30005);
        copyText(state.ui.tickerText, sizeof state.ui.tickerText, kWelcomeText);
    }
    std::unique_ptr<ClientState> stateHolder = std::make_unique<ClientState>();
    ClientState& state = *stateHolder;
    display::LedImages leds;
    display::Skin skin;
    platform::Image surface{550, 730};
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_LedRing(benchmark::State& s) {
    auto& f = fixture();
    for (auto _ : s) display::drawLedRing(*platform::createImageCanvas(f.surface), f.state, f.leds);
}
void BM_StatusLamps(benchmark::State& s) {
    auto& f = fixture();
    for (auto _ : s) display::drawStatusLamps(*platform::createImageCanvas(f.surface), f.state, f.leds, true);
}
void BM_ChannelPanel(benchmark::State& s) {
    auto& f = fixture();
    for (auto _ : s) display::drawChannelPanel(*platform::createImageCanvas(f.surface), f.state, f.skin);
}
void BM_TickerBox(benchmark::State& s) {
    auto& f = fixture();
    for (auto _ : s) display::drawTickerBox(*platform::createImageCanvas(f.surface), f.state);
}
void BM_BarMeters(benchmark::State& s) {
    auto& f = fixture();
    for (auto _ : s) display::drawBarMeters(*platform::createImageCanvas(f.surface), f.state);
}
void BM_Knobs(benchmark::State& s) {
    auto& f = fixture();
    display::KnobRects rects;
    for (auto _ : s) display::drawKnobPanel(*platform::createImageCanvas(f.surface), f.skin, 0.4f, 0.7f, 0, rects);
}

BENCHMARK(BM_LedRing);
BENCHMARK(BM_StatusLamps);
BENCHMARK(BM_ChannelPanel);
BENCHMARK(BM_TickerBox);
BENCHMARK(BM_BarMeters);
BENCHMARK(BM_Knobs);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto ui = orvane::platform::createHostUi(argc, argv);  // text needs the toolkit's fonts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
