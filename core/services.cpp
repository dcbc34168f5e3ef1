#include "core/services.h"

#include <cstring>

#include "net/control.h"
#include "net/keepalive.h"
#include "net/server_sockets.h"
#include "net/voice_receive.h"
#include "platform/clock.h"
#include "platform/udp.h"
#include "speech/speech_socket.h"

namespace orvane {

namespace {
constexpr char kGreeting[] = "Bonjour. Le synth\xE9tiseur est actif. Sur la cl\xE9 droite de la souris";
}

ProductionServices::ProductionServices(ClientState& state, platform::Ui& ui, platform::System& system)
    : state_(state), ui_(ui), system_(system) {}

ProductionServices::~ProductionServices() { stopThreads(); }

void ProductionServices::stopThreads() {
    running_.store(false);
    for (auto& t : threads_) {
        if (t.joinable()) t.join();
    }
    threads_.clear();
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

// ---- Audio (not wired yet: silent defaults) -------------------------------------------------

float ProductionServices::readMicVolume() { return 0.0f; }
void ProductionServices::setMicVolume(float) {}
float ProductionServices::readSpeakerVolume() { return 0.0f; }
void ProductionServices::setSpeakerVolume(float) {}
void ProductionServices::createCodecPair() {}
void ProductionServices::destroyCodecPair() {}
void ProductionServices::startAudioEngine() {}

// ---- Web account (not wired yet) ------------------------------------------------------------

void ProductionServices::fetchAccount() {}
void ProductionServices::fetchOwnCard() {}
int ProductionServices::fetchOwnParams() { return -1; }
void ProductionServices::talkerCardTick() {}
void ProductionServices::pictureZoneClicked() {}

// ---- USB-serial device (not wired yet) ------------------------------------------------------

void ProductionServices::requestUsbStatusPicture(int) {}
void ProductionServices::drawUsbStatusPicture(platform::Canvas&) {}
void ProductionServices::deleteUsbStatusPicture() {}
void ProductionServices::startSerialDeviceThread() {}
void ProductionServices::stopSerialDeviceThread() {}

// ---- Secondary windows (not wired yet) ------------------------------------------------------

void ProductionServices::openParametersWindow() {}
void ProductionServices::openNetworkWindow() {}
void ProductionServices::openGroupListWindow() {}

}  // namespace orvane
