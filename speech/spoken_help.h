#pragma once
// Orvane's side of the speech assistant beyond the socket: the speech icon's click that starts
// Parlo or asks it to end, and the right-click help shown in the ticker and spoken by Parlo.
#include <string>

#include "state/client_state.h"
#include "platform/canvas.h"
#include "platform/system.h"
#include "platform/udp.h"

namespace orvane::speech {

// Where Parlo is installed under the programs folder, and its process name.
using ParloLocation = platform::ProgramLocation;
inline constexpr ParloLocation kParloOnWindows = platform::kSpeechProgramOnWindows;
inline constexpr ParloLocation kParloOnLinux = platform::kSpeechProgramOnLinux;

// Texts of the message zone (UTF-8: they are only drawn).
inline constexpr char kNoProgramsFolder[] = "Impossible de trouver Program Files";
inline constexpr char kParloClosing[] = "Le synth\xC3\xA9tiseur se ferme ou va se fermer";
inline constexpr char kParloStarted[] = "Le synth\xC3\xA9tiseur est lanc\xC3\xA9";

// The speech zone's click: starts Parlo, or sends it the stop request when it runs. Returns the
// text to draw in the message zone.
const char* toggleParlo(ClientState& state, platform::System& system, platform::UdpNetwork& udp,
                        const ParloLocation& where = platform::speechProgramLocation());

// The right-click zones, in the order they are tested (knobs and button as drawn, not grown).
struct HelpZones {
    platform::Rect network, channel, documentation, picture, designer;
    platform::Rect volumeKnob, micKnob, paramsButton, speech;
};

struct HelpChoice {
    const char* ticker;  // Windows-1252
    const char* spoken;  // Windows-1252; null: nothing is sent
};

HelpChoice helpFor(const HelpZones& zones, platform::Point p);

// The right click: the ticker text changes and Parlo is asked to say it.
void spokenHelp(ClientState& state, platform::UdpNetwork& udp, const HelpZones& zones, platform::Point p);

// Draws a message-zone text: one line, centred, yellow on the background colour.
void drawMessageZoneText(platform::Canvas& c, platform::Rect zone, const char* utf8, platform::Colour background);

}  // namespace orvane::speech
