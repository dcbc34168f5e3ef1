#include "app/services.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "audio/audio_engine.h"
#include "audio/codec_pair.h"
#include "audio/endpoint_volume.h"
#include "device/link_status.h"
#include "device/serial_device.h"
#include "device/usb_picture.h"
#include "display/account_view.h"
#include "net/audio_sender.h"
#include "net/control.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "net/voice_receive.h"
#include "panes/canvas_window.h"
#include "panes/secondary_windows.h"
#include "platform/clock.h"
#include "platform/udp.h"
#include "speech/speech_socket.h"
#include "speech/spoken_help.h"
#include "web/account.h"
#include "web/web_state.h"

namespace orvane {

namespace {
constexpr char kGreeting[] = "Bonjour. Le synth\xE9tiseur est actif. Sur la cl\xE9 droite de la souris";
}

void ProcessAudioUi::showMessage(std::string_view textUtf8, std::string_view captionUtf8,
                                 platform::MessageIcon icon) {
    ui_.messageBox(nullptr, textUtf8, captionUtf8, icon);
}

void ProcessAudioUi::exitProcess(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

ProductionServices::ProductionServices(ClientState& state, platform::Ui& ui, platform::System& system)
    : state_(state), system_(system), audioUi_(ui),
      web_(std::make_unique<web::WebState>(state, platform::systemHttps())), clock_(platform::systemClock()) {
    web_->ui = &ui;
    web_->system = &system;
    accountView_ = std::make_unique<display::MainWindowAccountView>(state_, &ui);
    web_->view = accountView_.get();
    usbLink_ = std::make_unique<device::LinkStatus>(state_, [this](int status) { return device::fetchUsbPicture(*web_, status); });
}

ProductionServices::~ProductionServices() { stopThreads(); }

bool ProductionServices::stopThreads(int boundMs) {
    running_.store(false);
    stopSerialDeviceThread();
    clock_.stop();
    // The engine finishes its playback cycle, lets its queued output play out and opens and
    // closes the capture device once: well under the bound unless the sound server hangs. The
    // network threads end within their socket wait (500 ms).
    return workers_.stopAll(boundMs);
}

// ---- Voice network -------------------------------------------------------------------------

void ProductionServices::openServerSockets() { net::openServerSockets(state_, platform::systemUdp()); }

void ProductionServices::startNetworkThreads() {
    auto& udp = platform::systemUdp();
    auto& clock = clock_;
    workers_.start([this, &udp, &clock] { net::keepaliveThread(state_, udp, clock, running_); });
    workers_.start([this, &udp, &clock] { net::voiceReceiveThread(state_, udp, clock, running_); });
    if (controlUi_ != nullptr) {
        workers_.start([this, &udp, &clock] { net::controlThread(state_, udp, clock, *controlUi_, running_); });
    }
    workers_.start([this, &udp, &clock] { speech::speechCommandThread(state_, udp, clock, running_); });
}

// ---- Speech --------------------------------------------------------------------------------

void ProductionServices::openSpeechSocketAndGreet() {
    auto& udp = platform::systemUdp();
    if (!speech::openSpeechSocket(state_, udp)) return;
    speech::sendSpeakRequest(state_, udp, kGreeting, std::strlen(kGreeting));
}

void ProductionServices::sendSpeechStopRequest() { speech::sendStopRequest(state_, platform::systemUdp()); }

void ProductionServices::toggleSpeechProgram() {
    const char* message = speech::toggleParlo(state_, system_, platform::systemUdp());
    platform::Window* w = state_.ui.mainWindow.load();
    auto* proc = w ? dynamic_cast<MainWindowProc*>(w->handler()) : nullptr;
    if (proc == nullptr) return;
    auto c = w->draw();
    speech::drawMessageZoneText(*c, proc->zones.message, message, state_.ui.backgroundColour.load());
}

void ProductionServices::spokenHelp(platform::Point click) {
    platform::Window* w = state_.ui.mainWindow.load();
    auto* proc = w ? dynamic_cast<MainWindowProc*>(w->handler()) : nullptr;
    if (proc == nullptr) return;
    const MainZones& z = proc->zones;
    const speech::HelpZones zones{z.network, z.channel, z.documentation, z.picture, z.designer,
                                  proc->knobRects.volume, proc->knobRects.mic, proc->knobRects.params, z.speech};
    speech::spokenHelp(state_, platform::systemUdp(), zones, click);
}

// ---- Audio ---------------------------------------------------------------------------------

bool ProductionServices::readMicVolume(float& scalar) { return audio::readMicVolume(scalar); }
void ProductionServices::setMicVolume(float scalar) { audio::setMicVolume(scalar); }
float ProductionServices::readSpeakerVolume() { return audio::readSpeakerVolume(); }
void ProductionServices::setSpeakerVolume(float scalar) { audio::setSpeakerVolume(scalar); }
void ProductionServices::createCodecPair() { audio::createCodecPair(state_); }
void ProductionServices::destroyCodecPair() { audio::destroyCodecPair(state_); }

void ProductionServices::startAudioEngine() {
    // The sink holds only the process-wide state and the host's network, never this object.
    ClientState& state = state_;
    platform::UdpNetwork& udp = platform::systemUdp();
    auto sink = [&state, &udp](const std::uint8_t* frame) { net::sendAudioFrame(state, udp, frame); };
    workers_.startWith([&](std::function<void()> ended) {
        return audio::startAudioEngine(state, sink, audioUi_, std::move(ended));
    });
}

// ---- Web account and sharing ----------------------------------------------------------------

int ProductionServices::startupAccountFetches() { return web::startupAccountFetches(*web_); }

void ProductionServices::talkerCardTick() { web::talkerCardTick(*web_); }
void ProductionServices::pictureZoneClicked() {
    if (!canvas_) canvas_ = std::make_unique<panes::CanvasWindow>(*web_);
    canvas_->toggle();
}

// ---- USB-serial device ---------------------------------------------------------------------

void ProductionServices::requestUsbStatusPicture(int state) { usbLink_->set(state); }
void ProductionServices::drawUsbStatusPicture(platform::Canvas& c) { usbLink_->draw(c); }
void ProductionServices::deleteUsbStatusPicture() { usbLink_->release(); }

void ProductionServices::startSerialDeviceThread() {
    if (serialThread_.joinable()) return;
    // Raised here rather than by the thread itself, so that a shutdown that comes before the
    // thread has run cannot be undone by it.
    state_.ui.serialRunFlag.store(true);
    serialThread_ = std::thread([this] { device::serialDeviceThread(state_, *usbLink_, serialStop_); });
}

void ProductionServices::stopSerialDeviceThread() {
    if (!serialThread_.joinable()) return;
    state_.ui.serialRunFlag.store(false);
    serialStop_.signal();  // ends its wait between two searches at once
    serialThread_.join();
    // Leaving an open link still fetched the black picture after shutdown deleted the last one.
    usbLink_->release();
}

// ---- Secondary windows ----------------------------------------------------------------------

panes::SecondaryWindows& ProductionServices::secondaryWindows() {
    if (!windows_) {
        windows_ = std::make_unique<panes::SecondaryWindows>(state_, *web_, *web_->ui, platform::hostAudioEndpoints(),
                                                               audioUi_);
    }
    return *windows_;
}

void ProductionServices::openParametersWindow() { panes::toggleParametersWindow(secondaryWindows()); }
void ProductionServices::openNetworkWindow() { panes::toggleNetworkWindow(secondaryWindows()); }
void ProductionServices::openGroupListWindow() { panes::toggleGroupListWindow(secondaryWindows()); }

}  // namespace orvane
