#pragma once
// The panels the main window's timers redraw: channel panel, status lamps with the server-load
// gauge and the foreground lamps, the LED ring and the ticker box.
#include <array>
#include <string>

#include "state/client_state.h"
#include "display/led_images.h"
#include "display/skin.h"
#include "platform/canvas.h"

namespace orvane::display {

// The channel's name (UTF-8) by its port; null for a port outside 30000..30010.
const char* channelNameUtf8(std::int32_t port);

// Start-up: loads the LED images from the container at `containerPath` and sets every lamp to
// blue, the load lamps to dark blue and the ring to blue.
void prepareLampsAndLeds(ClientState& state, LedImages& leds, const std::string& containerPath);

// Every 500 ms. Nothing before the channel images are ready.
void drawChannelPanel(platform::Canvas& c, const ClientState& state, const Skin& skin);

// The five load lamps for a server-load code.
std::array<std::int32_t, 5> loadLampsFor(std::int32_t serverLoad);

// Every 200 ms: the six lamps with their labels, the load gauge (which also stores the load
// lamps), its label and the two foreground lamps.
void drawStatusLamps(platform::Canvas& c, ClientState& state, const LedImages& leds, bool foreground);

// Where LED k (0..15) of the ring is drawn.
platform::Point ledRingPosition(int k);
// Every 50 ms.
void drawLedRing(platform::Canvas& c, const ClientState& state, const LedImages& leds);
// The ring from codes already read (entry k is LED k).
void drawLedRing(platform::Canvas& c, const std::int32_t (&codes)[kChaserLedCount], platform::Colour background,
                 const LedImages& leds);

// Every 500 ms: the one-line help and status text.
void drawTickerBox(platform::Canvas& c, const ClientState& state);

// The inactivity countdown's text in its zone, with "TIME LEFT" under it.
void drawCountdown(platform::Canvas& c, const char* text, platform::Colour background);

}  // namespace orvane::display
