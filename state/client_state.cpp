#include "state/client_state.h"

#include <cstring>

namespace orvane {

ClientState::ClientState() {
    copyText(ui.tickerText, sizeof ui.tickerText, kWelcomeText);
}

void ClientState::setTransmit(bool on) {
    std::lock_guard<std::mutex> hold(audio.transmitLock);
    audio.transmitFlag = on ? 1 : 0;
}

bool ClientState::isTransmitting() const {
    std::lock_guard<std::mutex> hold(audio.transmitLock);
    return audio.transmitFlag != 0;
}

static void copyWide(char16_t* field, std::size_t units, const char* ascii) {
    std::size_t i = 0;
    for (; ascii[i] != '\0' && i + 1 < units; ++i) field[i] = static_cast<char16_t>(ascii[i]);
    field[i] = u'\0';
}

void resetCaptureDeviceTable(ClientState& state) {
    for (CaptureDeviceEntry& e : state.audio.captureDeviceTable) {
        e.deviceNumber = -1;
        e.endpointIndex = -1;
        e.iconPath[0] = u'\0';
        copyWide(e.displayName, 256, "Windows Driver");
        copyWide(e.deviceName, 256, "Windows Driver");
        e.flag = 0;
    }
    state.audio.captureDeviceId = -1;
}

void copyText(char* field, std::size_t size, const char* text) {
    if (size == 0) return;
    std::size_t n = std::strlen(text);
    if (n >= size) n = size - 1;
    std::memcpy(field, text, n);
    field[n] = '\0';
}

}  // namespace orvane
