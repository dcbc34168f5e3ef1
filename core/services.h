#pragma once
// The program's real StartupServices: each call goes to the subsystem that owns the work.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/client_state.h"
#include "core/startup_services.h"
#include "audio/audio_ui.h"
#include "device/link_status.h"
#include "net/control_ui.h"
#include "platform/clock.h"
#include "platform/wake_event.h"
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

// The host's clock for the network threads, whose sleeps end early once the program stops:
// a thread between two steps then sees its run flag at once instead of after its pause.
class StoppableClock final : public platform::Clock {
public:
    explicit StoppableClock(platform::Clock& host) : host_(host) {}
    std::int64_t nowMs() override { return host_.nowMs(); }
    void sleepMs(int ms) override;
    void stop();

private:
    platform::Clock& host_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopped_ = false;
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
    // Starts `body` on a thread of its own, counted until it returns.
    void startWorker(std::function<void()> body);

    std::unique_ptr<windows::SecondaryWindows> windows_;  // made on the first secondary window
    windows::SecondaryWindows& secondaryWindows();
    std::atomic<bool> running_{true};
    StoppableClock clock_;
    std::vector<std::thread> threads_;
    std::mutex endedLock_;
    std::condition_variable endedCv_;
    std::size_t ended_ = 0;
    // USB-serial device link: the link status with its picture, and the serial device thread.
    std::unique_ptr<device::LinkStatus> usbLink_;
    std::thread serialThread_;
    platform::WakeEvent serialStop_;
};

}  // namespace orvane
