#pragma once
// The program's real StartupServices: each call goes to the subsystem that owns the work.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/client_state.h"
#include "core/startup_services.h"
#include "audio/audio_ui.h"
#include "net/control_ui.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace orvane::web {
class WebState;
}
namespace orvane::windows {
struct SecondaryWindows;
}

namespace orvane {

// A failing audio device: message boxes without owner, then the end of the process.
class ProcessAudioUi final : public audio::AudioUi {
public:
    explicit ProcessAudioUi(platform::Ui& ui) : ui_(ui) {}
    void showMessage(std::string_view textUtf8, std::string_view captionUtf8, platform::MessageIcon icon) override;
    void exitProcess(int code) override;

private:
    platform::Ui& ui_;
};

class ProductionServices final : public StartupServices {
public:
    ProductionServices(ClientState& state, platform::Ui& ui, platform::System& system);
    ~ProductionServices() override;

    // The control thread's window on the user interface (set before start-up).
    void setControlUi(net::ControlUi* controlUi) { controlUi_ = controlUi; }
    // Lets the background threads end and waits for them (the program's very end).
    void stopThreads();

    float readMicVolume() override;
    void setMicVolume(float scalar) override;
    float readSpeakerVolume() override;
    void setSpeakerVolume(float scalar) override;
    void createCodecPair() override;
    void destroyCodecPair() override;
    void openServerSockets() override;
    void startNetworkThreads() override;
    void startAudioEngine() override;
    void requestUsbStatusPicture(int state) override;
    void drawUsbStatusPicture(platform::Canvas& c) override;
    void deleteUsbStatusPicture() override;
    void fetchAccount() override;
    void fetchOwnCard() override;
    int fetchOwnParams() override;
    void talkerCardTick() override;
    void openSpeechSocketAndGreet() override;
    void sendSpeechStopRequest() override;
    void startSerialDeviceThread() override;
    void stopSerialDeviceThread() override;
    void openParametersWindow() override;
    void openNetworkWindow() override;
    void openGroupListWindow() override;
    void pictureZoneClicked() override;
    void toggleSpeechProgram() override;
    void spokenHelp(platform::Point click) override;

private:
    ClientState& state_;
    net::ControlUi* controlUi_ = nullptr;
    ProcessAudioUi audioUi_;
    std::unique_ptr<web::WebState> web_;
    std::unique_ptr<windows::SecondaryWindows> windows_;  // made on the first secondary window
    windows::SecondaryWindows& secondaryWindows();
    std::atomic<bool> running_{true};
    std::vector<std::thread> threads_;
    std::thread audioThread_;
};

}  // namespace orvane
