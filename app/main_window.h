#pragma once
// The main window procedure: painting the frame and fixed texts, keys, hover help, clicks.
#include <atomic>
#include <cstdint>

#include "state/client_state.h"
#include "app/main_zones.h"
#include "app/startup_services.h"
#include "display/draw.h"
#include "display/knobs.h"
#include "display/skin.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace orvane {

inline constexpr int kCommandDestroy = 105;

// Texts of the main window (the hover help is single-byte, as every ticker text).
inline constexpr char kInactiveKeyText[] = "D\xC3\xA9sol\xC3\xA9.\nCette touche est inactive !";
inline constexpr char kInactiveKeyCaption[] = "Info Clavier";
inline constexpr char kDesignerLine[] = "Atelier Orvane";
inline constexpr char kAboutText[] =
    "Orvane, R\xC3\xA9seau social d'\xC3\xA9" "change\n\n"
    "Con\xC3\xA7u et r\xC3\xA9" "alis\xC3\xA9 par l'atelier Orvane,\n"
    "pour les amateurs de radio entre amis.";

// The hover help text (Windows-1252) for a point of the main window.
const char* hoverHelpFor(const MainZones& zones, platform::Point p);

class MainWindowProc final : public platform::WindowHandler {
public:
    MainWindowProc(ClientState& state, platform::Ui& ui, platform::System& system, StartupServices& services,
               display::Skin& skin, const char* documentationUrl);

    MainZones zones;
    display::KnobRects knobRects;
    display::CloseMark closeMark;

    // Counts the main window's paints: a panel drawn before the last paint must be drawn again.
    std::atomic<std::uint32_t> paints{0};
    void onPaint(platform::Window& w) override;
    void onKeyDown(platform::Window& w, int virtualKey, bool autoRepeat) override;
    void onKeyUp(platform::Window& w, int virtualKey) override;
    // System keys (Alt, F10, Alt+key) keep the default handling: no box, no channel change.
    // Only the release of Space is heard, so that transmission never outlives the key.
    void onSystemKeyUp(platform::Window& w, int virtualKey) override;
    platform::HitTest onHitTest(platform::Window& w, platform::Point client) override;
    void onMouseMove(platform::Window& w, platform::Point p) override;
    void onLeftButtonDown(platform::Window& w, platform::Point p) override;
    void onRightButtonDown(platform::Window& w, platform::Point p) override;
    void onCommand(platform::Window& w, int id) override;
    void onDestroy(platform::Window& w) override;

    void showAbout(platform::Window& w);

private:
    void chooseChannel(int n);

    ClientState& state_;
    platform::Ui& ui_;
    platform::System& system_;
    StartupServices& services_;
    display::Skin& skin_;
    const char* documentationUrl_;
};

}  // namespace orvane
