#include "display/panels.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "base/text.h"
#include "display/draw.h"
#include "display/layout.h"
#include "display/led_container.h"

namespace orvane::display {

namespace {

constexpr const char* kChannelNames[kChannelCount] = {
    "Bienvenue",
    "Accueil G\xC3\xA9n\xC3\xA9ral",
    "Place du village",
    "Zone Technologie",
    "Les Ondes Radio",
    "Au caf\xC3\xA9 de la gare",
    "Evasion et camping",
    "La bonne ambiance",
    "Entre copines",
    "Musique en st\xC3\xA9r\xC3\xA9o",
    "Tests divers",
};

struct LampPlace {
    const char* label;
    Point labelPos;
    Point lampPos;
};

// The order of drawing: TST, HTTPS, TX-RX, UDP, SVC, TCP.
constexpr LampPlace kLampPlaces[6] = {
    {"TST", {417, 293}, {420, 270}}, {"HTTPS", {300, 293}, {310, 270}}, {"TX-RX", {361, 293}, {370, 270}},
    {"UDP", {307, 243}, {310, 220}}, {"SVC", {337, 243}, {340, 220}},   {"TCP", {367, 243}, {370, 220}},
};
constexpr Point kLoadLampPos[5] = {{420, 220}, {438, 220}, {456, 220}, {474, 220}, {492, 220}};
constexpr Point kLoadLabelPos{423, 243};

constexpr platform::Colour kTickerColour = platform::rgb(20, 255, 71);
constexpr platform::Colour kScrollbarGrey = platform::rgb(200, 200, 200);

}  // namespace

const char* channelNameUtf8(std::int32_t port) {
    if (port < kFirstChannelPort || port > kLastChannelPort) return nullptr;
    return kChannelNames[port - kFirstChannelPort];
}

void prepareLampsAndLeds(ClientState& state, LedImages& leds, const std::string& containerPath) {
    leds = loadLedContainer(containerPath);
    StatusLamps& l = state.lamps;
    for (auto* lamp : {&l.lampTst, &l.lampTxRx, &l.lampTcp, &l.lampUdp, &l.lampSvc, &l.lampHttps}) {
        lamp->store(kLampBlue);
    }
    for (auto& lamp : l.loadLamps) lamp.store(kLampDarkBlue);
    for (auto& led : l.chaserLeds) led.store(kLampBlue);
}

void drawChannelPanel(platform::Canvas& c, const ClientState& state, const Skin& skin) {
    if (!state.ui.channelImagesReady.load()) return;
    const Colour bg = state.ui.backgroundColour.load();
    const std::int32_t port = state.channel.channelPort.load();
    if (const Image* panel = skin.channelImage(0)) c.blit(*panel, kChannelPanelRect.left, kChannelPanelRect.top);
    if (port != kFirstChannelPort) {
        transparentBlit(c, skin.channelImage(port - kFirstChannelPort), kChannelNumberPos.x, kChannelNumberPos.y);
    }
    c.frameRect(kChannelPanelRect, kRed);
    if (const char* name = channelNameUtf8(port)) {
        c.textCentred(kChannelNameRect, name, platform::Font{"Arial", 16, 700}, kYellow, std::nullopt, false);
    }
    char count[16];
    std::snprintf(count, sizeof count, "%d", static_cast<int>(state.channel.rosterCount[kChannelCount].load()));
    labelText(c, count, kChannelCountPos.x, kChannelCountPos.y, bg);
    labelText(c, "CHANNEL", kChannelLabelPos.x, kChannelLabelPos.y, bg);
}

std::array<std::int32_t, 5> loadLampsFor(std::int32_t v) {
    std::array<std::int32_t, 5> lamps;
    lamps.fill(kLampDarkBlue);
    if (v >= 0 && v <= 2) {
        lamps[v] = kLampGreen;
    } else if (v == 3) {
        lamps[3] = kLampYellow;
    } else if (v == 4) {
        lamps[4] = kLampRed;
    } else if (v == 99) {
        lamps.fill(kLampRed);
    }
    return lamps;
}

void drawStatusLamps(platform::Canvas& c, ClientState& state, const LedImages& leds, bool foreground) {
    const Colour bg = state.ui.backgroundColour.load();
    const StatusLamps& l = state.lamps;
    const std::int32_t codes[6] = {l.lampTst.load(), l.lampHttps.load(), l.lampTxRx.load(),
                                   l.lampUdp.load(), l.lampSvc.load(),   l.lampTcp.load()};
    for (int i = 0; i < 6; ++i) {
        transparentBlit(c, leds.forCode(codes[i]), kLampPlaces[i].lampPos.x, kLampPlaces[i].lampPos.y);
        labelText(c, kLampPlaces[i].label, kLampPlaces[i].labelPos.x, kLampPlaces[i].labelPos.y, bg);
    }
    auto gauge = loadLampsFor(state.channel.serverLoad.load());
    for (int i = 0; i < 5; ++i) {
        state.lamps.loadLamps[i].store(gauge[i]);
        transparentBlit(c, leds.forCode(gauge[i]), kLoadLampPos[i].x, kLoadLampPos[i].y);
    }
    labelText(c, "SERVER LOAD", kLoadLabelPos.x, kLoadLabelPos.y, bg);
    const Image* fg = leds.forCode(foreground ? kLampGreen : kLampRed);
    transparentBlit(c, fg, kForegroundLampLeft.x, kForegroundLampLeft.y);
    transparentBlit(c, fg, kForegroundLampRight.x, kForegroundLampRight.y);
}

Point ledRingPosition(int k) {
    // Evenly round the circle: 2 pi / kChaserLedCount apart.
    const double phi = 2.0 * std::numbers::pi - k * (2.0 * std::numbers::pi / kChaserLedCount);
    return {kLedRingCentre.x + static_cast<int>(kLedRingRadius * std::sin(phi)),
            kLedRingCentre.y + static_cast<int>(kLedRingRadius * std::cos(phi))};
}

void drawLedRing(platform::Canvas& c, const ClientState& state, const LedImages& leds) {
    std::int32_t codes[kChaserLedCount];
    for (int k = 0; k < kChaserLedCount; ++k) codes[k] = state.lamps.chaserLeds[k].load();
    drawLedRing(c, codes, state.ui.backgroundColour.load(), leds);
}

void drawLedRing(platform::Canvas& c, const std::int32_t (&codes)[kChaserLedCount], platform::Colour background,
                 const LedImages& leds) {
    for (int k = 0; k < kChaserLedCount; ++k) {
        Point p = ledRingPosition(k);
        transparentBlit(c, leds.forCode(codes[k]), p.x, p.y);
    }
    labelText(c, "NETWORK", kNetworkLabelPos.x, kNetworkLabelPos.y, background);
}

void drawTickerBox(platform::Canvas& c, const ClientState& state) {
    c.frameRect(kTickerRect.grown(2), kYellow);
    c.fillRect(kTickerRect, kBlack);
    const char* raw = state.ui.tickerText;
    std::string text = base::cp1252ToUtf8(std::string_view(raw, strnlen(raw, sizeof state.ui.tickerText)));
    c.textCentred(kTickerRect, text, platform::Font{"Arial", 17, 700}, kTickerColour,
                  state.ui.backgroundColour.load(), true);
}

void drawCountdown(platform::Canvas& c, const char* text, platform::Colour background) {
    c.fillRect(kCountdownRect, kScrollbarGrey);
    c.text(kCountdownRect.left, kCountdownRect.top, text, platform::Font{"Arial", 15, 700}, kYellow, background);
    labelText(c, "TIME LEFT", kCountdownRect.left, kCountdownRect.top + 23, background);
}

}  // namespace orvane::display
