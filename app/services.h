#pragma once
// The program's real StartupServices: each call goes to the subsystem that owns the work.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "state/client_state.h"
#include "app/startup_services.h"
#include "app/workers.h"
#include "audio/audio_ui.h"
#include "device/link_status.h"
#include "net/control_ui.h"
#include "platform/clock.h"
#include "platform/wake_event.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace orvane::web {
class WebState;
class AccountView;
}  // namespace orvane::web
namespace orvane::panes {
struct SecondaryWindows;
class CanvasWindow;
}  // namespace orvane::panes

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
    // The program's very end, after shutdown lowered audioRunFlag: lets the network threads
    // end and waits for them and the audio engine, at most `boundMs`. True when every thread
    // has ended (all joined); false when some still run (they are let go: the caller must then
    // end the process without tearing down what they use).
    bool stopThreads(int boundMs = kStopBoundMs);

    static constexpr int kStopBoundMs = 1500;

    bool readMicVolume(float& scalar) override;
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
    int startupAccountFetches() override;
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
    platform::System& system_;
    net::ControlUi* controlUi_ = nullptr;
    ProcessAudioUi audioUi_;
    std::unique_ptr<web::WebState> web_;
    std::unique_ptr<web::AccountView> accountView_;
    std::unique_ptr<panes::CanvasWindow> canvas_;  // made on the first click in the picture zone

    std::unique_ptr<panes::SecondaryWindows> windows_;  // made on the first secondary window
    panes::SecondaryWindows& secondaryWindows();
    std::atomic<bool> running_{true};
    StoppableClock clock_;
    Workers workers_;
    // USB-serial device link: the link status with its picture, and the serial device thread.
    std::unique_ptr<device::LinkStatus> usbLink_;
    std::thread serialThread_;
    platform::WakeEvent serialStop_;
};

}  // namespace orvane
