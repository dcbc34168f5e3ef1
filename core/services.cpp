#include "core/services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/audio_engine.h"
#include "audio/codec_pair.h"
#include "audio/endpoint_volume.h"
#include "net/audio_sender.h"

#include "net/control.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "net/voice_receive.h"
#include "platform/clock.h"
#include "platform/udp.h"
#include "speech/speech_socket.h"
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

ProductionServices::ProductionServices(ClientState& state, platform::Ui& ui, platform::System& system)
    : state_(state), audioUi_(ui),
      web_(std::make_unique<web::WebState>(state, platform::systemHttps())) {
    web_->ui = &ui;
    web_->system = &system;
}

ProductionServices::~ProductionServices() { stopThreads(); }

void ProductionServices::stopThreads() {
    running_.store(false);
    for (auto& t : threads_) {
        if (t.joinable()) t.join();
    }
    threads_.clear();
    // Shutdown lowered audioRunFlag and did not wait; the engine leaves its loop within a
    // playback cycle. Waiting for it here keeps ClientState alive as long as the engine uses it.
    if (audioThread_.joinable()) audioThread_.join();
}

// ---- Voice network -------------------------------------------------------------------------

void ProductionServices::openServerSockets() { net::openServerSockets(state_, platform::systemUdp()); }

void ProductionServices::startNetworkThreads() {
    auto& udp = platform::systemUdp();
    auto& clock = platform::systemClock();
    threads_.emplace_back([this, &udp, &clock] { net::keepaliveThread(state_, udp, clock, running_); });
    threads_.emplace_back([this, &udp, &clock] { net::voiceReceiveThread(state_, udp, clock, running_); });
    if (controlUi_ != nullptr) {
        threads_.emplace_back([this, &udp, &clock] { net::controlThread(state_, udp, clock, *controlUi_, running_); });
    }
    threads_.emplace_back([this, &udp, &clock] { speech::speechCommandThread(state_, udp, clock, running_); });
}

// ---- Speech --------------------------------------------------------------------------------

void ProductionServices::openSpeechSocketAndGreet() {
    auto& udp = platform::systemUdp();
    if (!speech::openSpeechSocket(state_, udp)) return;
    speech::sendSpeakRequest(state_, udp, kGreeting, std::strlen(kGreeting));
}

void ProductionServices::sendSpeechStopRequest() { speech::sendStopRequest(state_, platform::systemUdp()); }

// Launching the speech program and the spoken help are not wired yet.
void ProductionServices::toggleSpeechProgram() {}
void ProductionServices::spokenHelp(platform::Point) {}

// ---- Audio ---------------------------------------------------------------------------------

float ProductionServices::readMicVolume() { return audio::readMicVolume(); }
void ProductionServices::setMicVolume(float scalar) { audio::setMicVolume(scalar); }
float ProductionServices::readSpeakerVolume() { return audio::readSpeakerVolume(); }
void ProductionServices::setSpeakerVolume(float scalar) { audio::setSpeakerVolume(scalar); }
void ProductionServices::createCodecPair() { audio::createCodecPair(state_); }
void ProductionServices::destroyCodecPair() { audio::destroyCodecPair(state_); }

void ProductionServices::startAudioEngine() {
    auto sink = [this](const std::uint8_t* frame) { net::sendAudioFrame(state_, platform::systemUdp(), frame); };
    audioThread_ = audio::startAudioEngine(state_, sink, audioUi_);
}

// ---- Web account and sharing ----------------------------------------------------------------

void ProductionServices::fetchAccount() { web::fetchAccountResource(*web_, 0, web::kAccountRequest); }

void ProductionServices::fetchOwnCard() {
    web::fetchAccountResource(*web_, state_.identity.accountNumber.load(), web::kOwnCard);
}

int ProductionServices::fetchOwnParams() {
    return web::fetchAccountResource(*web_, state_.identity.accountNumber.load(), web::kOwnParameters);
}

void ProductionServices::talkerCardTick() { web::talkerCardTick(*web_); }
void ProductionServices::pictureZoneClicked() { web::toggleCanvasWindow(*web_); }

// ---- USB-serial device (not wired yet) ------------------------------------------------------

void ProductionServices::requestUsbStatusPicture(int) {}
void ProductionServices::drawUsbStatusPicture(platform::Canvas&) {}
void ProductionServices::deleteUsbStatusPicture() {}
void ProductionServices::startSerialDeviceThread() {}
void ProductionServices::stopSerialDeviceThread() {}

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
