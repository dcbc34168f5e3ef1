#include "core/services.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audio_engine.h"
#include "audio/codec_pair.h"
#include "audio/endpoint_volume.h"
#include "device/link_status.h"
#include "device/serial_device.h"
#include "device/usb_picture.h"
#include "net/audio_sender.h"

#include "net/control.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "net/voice_receive.h"
#include "platform/clock.h"
#include "platform/udp.h"
#include "core/main_window.h"
#include "speech/speech_socket.h"
#include "speech/spoken_help.h"
#include "web/account.h"
#include "web/canvas_window.h"
#include "web/web_state.h"
#include "windows/secondary_windows.h"

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

void StoppableClock::sleepMs(int ms) {
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait_for(hold, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return stopped_; });
}

void StoppableClock::stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
    }
    wake_.notify_all();
}

ProductionServices::ProductionServices(ClientState& state, platform::Ui& ui, platform::System& system)
    : state_(state), system_(system), audioUi_(ui),
      web_(std::make_unique<web::WebState>(state, platform::systemHttps())), clock_(platform::systemClock()) {
    web_->ui = &ui;
    web_->system = &system;
    usbLink_ = std::make_unique<device::LinkStatus>(state_, [this](int status) { return device::fetchUsbPicture(*web_, status); });
}

ProductionServices::~ProductionServices() { stopThreads(); }

void ProductionServices::startWorker(std::function<void()> body) {
    threads_.emplace_back([this, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> hold(endedLock_);
        ++ended_;
        endedCv_.notify_all();
    });
}

bool ProductionServices::stopThreads(int boundMs) {
    running_.store(false);
    stopSerialDeviceThread();
    clock_.stop();
    // The engine finishes its playback cycle, lets its queued output play out and opens and
    // closes the capture device once: well under the bound unless the sound server hangs. The
    // network threads end within their socket wait (500 ms).
    bool allEnded = false;
    {
        std::unique_lock<std::mutex> hold(endedLock_);
        allEnded = endedCv_.wait_for(hold, std::chrono::milliseconds(boundMs),
                                     [this] { return ended_ == threads_.size(); });
    }
    for (auto& t : threads_) {
        if (!t.joinable()) continue;
        if (allEnded) {
            t.join();
        } else {
            t.detach();
        }
    }
    threads_.clear();
    {
        std::lock_guard<std::mutex> hold(endedLock_);
        ended_ = 0;
    }
    return allEnded;
}

// ---- Voice network -------------------------------------------------------------------------

void ProductionServices::openServerSockets() { net::openServerSockets(state_, platform::systemUdp()); }

void ProductionServices::startNetworkThreads() {
    auto& udp = platform::systemUdp();
    auto& clock = clock_;
    startWorker([this, &udp, &clock] { net::keepaliveThread(state_, udp, clock, running_); });
    startWorker([this, &udp, &clock] { net::voiceReceiveThread(state_, udp, clock, running_); });
    if (controlUi_ != nullptr) {
        startWorker([this, &udp, &clock] { net::controlThread(state_, udp, clock, *controlUi_, running_); });
    }
    startWorker([this, &udp, &clock] { speech::speechCommandThread(state_, udp, clock, running_); });
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
    // Raised here, before the thread exists, as startAudioEngine does.
    state_.audio.audioRunFlag.store(1);
    startWorker([&state, sink, this] { audio::audioEngineThread(state, sink, audioUi_); });
}

// ---- Web account and sharing ----------------------------------------------------------------

int ProductionServices::startupAccountFetches() { return web::startupAccountFetches(*web_); }

void ProductionServices::talkerCardTick() { web::talkerCardTick(*web_); }
void ProductionServices::pictureZoneClicked() { web::toggleCanvasWindow(*web_); }

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

windows::SecondaryWindows& ProductionServices::secondaryWindows() {
    if (!windows_) {
        windows_ = std::make_unique<windows::SecondaryWindows>(state_, *web_, *web_->ui, platform::hostAudioEndpoints(),
                                                               audioUi_);
    }
    return *windows_;
}

void ProductionServices::openParametersWindow() { windows::toggleParametersWindow(secondaryWindows()); }
void ProductionServices::openNetworkWindow() { windows::toggleNetworkWindow(secondaryWindows()); }
void ProductionServices::openGroupListWindow() { windows::toggleGroupListWindow(secondaryWindows()); }

}  // namespace orvane
