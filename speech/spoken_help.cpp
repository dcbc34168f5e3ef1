#include "speech/spoken_help.h"

#include <cstdio>
#include <cstring>

#include "speech/speech_socket.h"

namespace orvane::speech {

namespace {

using platform::Rect;

constexpr char kNothingHere[] = "Il n'y a rien de sp\xE9" "cial ici";

struct HelpRow {
    Rect HelpZones::*zone;
    const char* text;  // Windows-1252
    bool spoken;
};

constexpr HelpRow kHelpRows[] = {
    {&HelpZones::network, "Cliquez sur NETWORK pour voir les correspondants", true},
    {&HelpZones::channel, "Cliquez dans ce cadre pour voir tous les groupes", true},
    {&HelpZones::documentation, "Cliquez sur cette icon pour ouvrir la documentation", true},
    {&HelpZones::picture, "Cliquez sur cette animation pour ouvrir l'image partag\xE9" "e", true},
    {&HelpZones::designer, "Cliquez ici pour plus d'information sur le concepteur", true},
    {&HelpZones::volumeKnob, "Cliquez autour de ce bouton pour r\xE9gler le volume sonore", true},
    {&HelpZones::micKnob, "Cliquez autour de ce bouton pour r\xE9gler le niveau d'entr\xE9" "e du microphone", true},
    {&HelpZones::paramsButton, "Cliquez sur ce bouton pour acc\xE9" "der \xE0 vos param\xE8tres de r\xE9glage", true},
    {&HelpZones::speech, "Cliquez ici pour activer le synth\xE9tiseur vocal", false},
};

}  // namespace

const char* toggleParlo(ClientState& state, platform::System& system, platform::UdpNetwork& udp,
                        const ParloLocation& where) {
    const std::string folder = system.programsFolder();
    if (folder.empty()) return kNoProgramsFolder;
    char path[4096];
    const int n = std::snprintf(path, sizeof path, where.pathFormat, folder.c_str());
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) return kNoProgramsFolder;
    if (system.isProcessRunning(where.processName)) {
        // Parlo ends once it has spoken what is already queued for it.
        sendStopRequest(state, udp);
        return kParloClosing;
    }
    system.startProgram(path);  // a failed start says the same: later requests are lost
    return kParloStarted;
}

HelpChoice helpFor(const HelpZones& zones, platform::Point p) {
    for (const HelpRow& row : kHelpRows) {
        if ((zones.*row.zone).contains(p)) return {row.text, row.spoken ? row.text : nullptr};
    }
    return {kWelcomeText, kNothingHere};
}

void spokenHelp(ClientState& state, platform::UdpNetwork& udp, const HelpZones& zones, platform::Point p) {
    const HelpChoice choice = helpFor(zones, p);
    char* ticker = state.ui.tickerText;
    copyText(ticker, sizeof state.ui.tickerText, choice.ticker);
    if (choice.spoken == nullptr) return;
    // Rows with the ticker's own text send it as it now stands in the ticker.
    const char* spoken = choice.spoken == choice.ticker ? ticker : choice.spoken;
    sendSpeakRequest(state, udp, spoken, std::strlen(spoken));
}

void drawMessageZoneText(platform::Canvas& c, platform::Rect zone, const char* utf8, platform::Colour background) {
    // Inside the zone's rounded frame: the previous text goes, the frame stays.
    const Rect inner{zone.left + 8, zone.top + 6, zone.right - 8, zone.bottom - 6};
    c.fillRect(inner, background);
    c.textCentred(zone, utf8, platform::Font{"Arial", 16, 700}, platform::rgb(255, 255, 0), background, true);
}

}  // namespace orvane::speech
