#pragma once
// The client's life on the UI thread: start-up step by step, the message loop, shutdown.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "state/client_state.h"
#include "app/heartbeat.h"
#include "app/main_control_ui.h"
#include "app/main_window.h"
#include "app/panel_timers.h"
#include "app/startup_services.h"
#include "display/animation.h"
#include "display/skin.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace orvane {

inline constexpr char kInstanceMutexName[] = "Orvane";
inline constexpr char kChimeFile[] = "chimes.wav";

struct ClientConfig {
    std::string folder;               // prefixed to every skin file ("" = working directory);
                                      // the program gives System::dataFolder()
    std::string chimePath = kChimeFile;
    const char* documentationUrl = "";
};

// Writes the machine identifier: the system volume's serial as 16 digits, 9999999999999999
// when it cannot be read, 8888888888888888 without a system root.
void computeMachineId(ClientState& state, platform::System& system);

class Client {
public:
    Client(ClientState& state, platform::Ui& ui, platform::System& system, StartupServices& services,
           ClientConfig config);
    ~Client();

    // Start-up, the message loop and shutdown; the program's exit code.
    int run();

    // Start-up alone: an exit code when the program must end at once, else nothing (go on with
    // the message loop, which may end at once when start-up destroyed the main window).
    std::optional<int> startup();
    // Shutdown after the loop; returns `quitCode`.
    int shutdown(int quitCode);

    platform::Window* mainWindow() const { return mainWindow_; }
    MainWindowProc& mainHandler() { return *mainHandler_; }
    display::Skin& skin() { return skin_; }
    display::Animation& animation() { return animation_; }
    MainControlUi& controlUi() { return controlUi_; }
    platform::Window* leftMeter() const { return leftMeter_; }
    platform::Window* rightMeter() const { return rightMeter_; }

private:
    bool createMainWindow();
    void startAnimation();
    void createMeterWindows();
    void startCountdown();
    void countdownTick();
    // The main window's canvas, or null once it is gone.
    std::unique_ptr<platform::Canvas> drawMain();
    int addTimer(int periodMs, std::function<void()> tick);
    void killTimer(int& id);

    ClientState& state_;
    platform::Ui& ui_;
    platform::System& system_;
    StartupServices& services_;
    ClientConfig config_;
    display::Skin skin_;
    display::Animation animation_;
    std::unique_ptr<MainWindowProc> mainHandler_;
    MainControlUi controlUi_;
    Heartbeat heartbeat_;
    platform::Window* mainWindow_ = nullptr;
    platform::Window* leftMeter_ = nullptr;
    platform::Window* rightMeter_ = nullptr;
    platform::WindowHandler meterHandler_;  // meters draw only on their timers

    PanelTimers panelTimers_;
    int animationTimer_ = 0;
    int countdownTimer_ = 0;
};

}  // namespace orvane
