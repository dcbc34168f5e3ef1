#pragma once
// The Parlo program: single instance, its window, the three announcements, the receive
// thread, and the exit codes (0 normal end or no window; 1 no instance mutex, another Parlo
// or no Orvane; -1 no receive thread).
#include <string>

#include "parlo/receive.h"
#include "parlo/speak.h"
#include "platform/system.h"
#include "platform/udp.h"
#include "platform/ui.h"

namespace orvane::parlo {

inline constexpr char kInstanceMutex[] = "Orvane-Synthe";
inline constexpr char kOrvaneMutex[] = "Orvane";
inline constexpr char kWindowTitle[] = "Orvane Synth\xC3\xA9tiseur vocal";
inline constexpr char kVersionLine[] = "Version : 2025-3";
inline constexpr char kNoticeLine[] = "Synth\xC3\xA8se pour Orvane";
inline constexpr int kWindowWidth = 380;
inline constexpr int kWindowHeight = 200;

inline constexpr char kSecondInstanceText[] =
    "Another instance of application Orvane Synthesizer\nis already running.\n"
    "Une autre instance de l\xE2\x80\x99" "application Synth\xC3\xA9tiseur pour Orvane\n"
    "est d\xC3\xA9j\xC3\xA0 en cours d\xE2\x80\x99" "ex\xC3\xA9" "cution.\n";
inline constexpr char kSecondInstanceCaption[] = "Orvane System";
inline constexpr char kNoOrvaneText[] = "Veuillez d\xC3\xA9marrer Orvane et r\xC3\xA9" "essayer.";
inline constexpr char kNoOrvaneCaption[] = "Synth\xC3\xA9tiseur - Erreur";

// The spoken sentences (UTF-8 here; spoken as UTF-16).
inline constexpr char kGreeting[] = "Bonjour. Le synth\xC3\xA9tiseur pour Orvane est charg\xC3\xA9.";
inline constexpr char kNoOrvane1[] =
    "L'application Orvane doit \xC3\xAAtre lanc\xC3\xA9" "e avant d'utiliser le synth\xC3\xA9tiseur. ";
inline constexpr char kNoOrvane2[] = "Veuillez d\xC3\xA9marrer Orvane et r\xC3\xA9" "essayer";
inline constexpr char kHowTo1[] = "Lors d'un clic droit sur un \xC3\xA9l\xC3\xA9ment de Orvane ";
inline constexpr char kHowTo2[] = "le synth\xC3\xA9tiseur vous indiquera \xC3\xA0 quoi sert cet \xC3\xA9l\xC3\xA9ment.";

// Parlo's window: the notice and version lines, and the last sender.
class ParloWindow final : public platform::WindowHandler {
public:
    explicit ParloWindow(platform::Ui& ui, LastSender& sender) : ui_(ui), sender_(sender) {}
    void onPaint(platform::Window& w) override;
    void onDestroy(platform::Window& w) override;

private:
    platform::Ui& ui_;
    LastSender& sender_;
};

struct ParloRun {
    int code = 0;
    bool receiverStarted = false;  // the receive thread may still be speaking
};

ParloRun runParlo(platform::Ui& ui, platform::System& system, platform::UdpNetwork& udp, SpeakContext& speak);

}  // namespace orvane::parlo
