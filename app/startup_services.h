#pragma once
// Everything start-up, shutdown and the main window ask of the other subsystems, behind one
// interface: the program's real implementation calls them, tests record the calls.
#include "platform/canvas.h"

namespace orvane {

class StartupServices {
public:
    virtual ~StartupServices() = default;

    // Master volumes of the default capture (microphone) and render (speaker) devices, 0..1.
    // A read that fails gives 0 (the microphone's read also says whether it succeeded); a set
    // that fails does nothing.
    virtual bool readMicVolume(float& scalar) = 0;
    virtual void setMicVolume(float scalar) = 0;
    virtual float readSpeakerVolume() = 0;
    virtual void setSpeakerVolume(float scalar) = 0;

    // The codec pair (failures are silent).
    virtual void createCodecPair() = 0;
    virtual void destroyCodecPair() = 0;

    // The three server sockets and the hellos.
    virtual void openServerSockets() = 0;
    // Keepalive, voice receive and control threads, then the speech command reader.
    virtual void startNetworkThreads() = 0;
    virtual void startAudioEngine() = 0;

    // The USB link picture: fetched for a state, drawn at its place (32 x 32), deleted.
    virtual void requestUsbStatusPicture(int state) = 0;
    virtual void drawUsbStatusPicture(platform::Canvas& c) = 0;
    virtual void deleteUsbStatusPicture() = 0;

    // Start-up's account fetches (account request, own card, own parameters, and the
    // defaults message when the parameters have no usable body); the parameters fetch's result.
    virtual int startupAccountFetches() = 0;
    // The talker card timer's work (every second).
    virtual void talkerCardTick() = 0;

    // The speech socket and the greeting to the speech program; the stop request at shutdown.
    virtual void openSpeechSocketAndGreet() = 0;
    virtual void sendSpeechStopRequest() = 0;

    // The serial device thread; stopping clears its run flag and waits for it.
    virtual void startSerialDeviceThread() = 0;
    virtual void stopSerialDeviceThread() = 0;

    // Main window actions.
    virtual void openParametersWindow() = 0;
    virtual void openNetworkWindow() = 0;
    virtual void openGroupListWindow() = 0;
    virtual void pictureZoneClicked() = 0;
    virtual void toggleSpeechProgram() = 0;
    virtual void spokenHelp(platform::Point click) = 0;
};

}  // namespace orvane
