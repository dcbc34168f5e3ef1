#pragma once
// The one process-wide record shared by the threads and subsystems of the client. Fixed in size
// (nothing of it lives on the heap), made once in main and passed by reference. Words that
// cross threads are Relaxed atomics of the stated width; transmitFlag is guarded by
// transmitLock and the jitter ring by ringLock.
#include <array>
#include <cstdint>
#include <mutex>

#include "state/relaxed.h"
#include "platform/udp.h"

struct OpusEncoder;
struct OpusDecoder;

namespace orvane {

namespace platform {
class Window;
}

// Status lamp and LED codes.
enum LampColour : std::int32_t {
    kLampOff = 0,
    kLampRed = 1,
    kLampDarkRed = 2,
    kLampGreen = 3,
    kLampYellow = 4,
    kLampBlue = 5,
    kLampDarkBlue = 6,
};

inline constexpr int kChannelCount = 11;
inline constexpr int kRosterSize = 16;
inline constexpr std::int32_t kFirstChannelPort = 30000;
inline constexpr std::int32_t kLastChannelPort = 30010;
inline constexpr std::int32_t kControlPortOffset = 1000;
inline constexpr std::uint16_t kDefaultAccountNumber = 19704;
inline constexpr int kAudioBlockBytes = 1000;
inline constexpr int kJitterSlots = 16;
// The LED ring around the network zone: one lamp code per LED, walked by the chasers of both
// directions.
inline constexpr int kChaserLedCount = 16;
inline constexpr int kCaptureDeviceSlots = 15;
inline constexpr std::int32_t kInactivityStartSeconds = 4500;

// The welcome text of the ticker, single-byte Windows-1252 like every ticker text.
inline constexpr char kWelcomeText[] = "Bienvenue sur le r\xE9seau Orvane de t\xE9l\xE9phonie de loisir";

struct ClientIdentity {
    char machineId[20] = {};                // 16 decimal digits, written once at start-up
    Relaxed<std::uint16_t> accountNumber{kDefaultAccountNumber};
    char versionText[8] = "0.7.6";
};

struct ChannelState {
    Relaxed<std::int32_t> channelPort{kFirstChannelPort};
    Relaxed<std::int32_t> serverLoad{99};
    Relaxed<std::int32_t> echoByte{0};
    Relaxed<std::int32_t> talkerAccount{0};
    Relaxed<std::uint8_t> lastVoiceSequence{0};
    Relaxed<std::int32_t> channelRoster[kChannelCount][kRosterSize] = {};
    // 0..10 per channel; 11: the current channel, -1 after a channel change until its reply.
    Relaxed<std::int32_t> rosterCount[kChannelCount + 1] = {};
};

struct LinkState {
    Relaxed<platform::SocketHandle> voiceSocket{platform::kInvalidSocket};
    Relaxed<platform::SocketHandle> controlSocket{platform::kInvalidSocket};
    Relaxed<platform::SocketHandle> speechSocket{platform::kInvalidSocket};
    Relaxed<std::uint32_t> serverAddress{0};  // IPv4, host byte order
    Relaxed<std::uint8_t> audioSequence{1};
    Relaxed<std::int32_t> keepalivePhase{0};
    Relaxed<std::int32_t> rosterPollIndex{0};
    Relaxed<std::int32_t> levelDecimator{0};
    Relaxed<std::int32_t> udpBlinkCounter{0};
};

// One entry of the capture device table; wide strings are UTF-16 code units.
struct CaptureDeviceEntry {
    std::int32_t deviceNumber = 0;
    std::int32_t endpointIndex = 0;
    char16_t iconPath[256] = {};
    char16_t displayName[256] = {};
    char16_t deviceName[256] = {};
    std::int32_t flag = 0;
};

struct AudioShared {
    // Read and written only through setTransmit / isTransmitting.
    std::int32_t transmitFlag = 0;
    mutable std::mutex transmitLock;

    Relaxed<std::int32_t> audioRunFlag{0};

    // A slot store with its index advance and playback's drain never interleave: both hold
    // ringLock.
    std::mutex ringLock;
    std::uint8_t jitterRing[kJitterSlots * kAudioBlockBytes] = {};
    Relaxed<std::int32_t> ringWriteIndex{5};

    Relaxed<std::int32_t> captureDeviceId{-1};
    CaptureDeviceEntry captureDeviceTable[kCaptureDeviceSlots] = {};
    OpusEncoder* opusEncoder = nullptr;
    OpusDecoder* opusDecoder = nullptr;
    float micVolumeAtStart = 0.0f;
    // Whether start-up could read it: shutdown writes it back only then (writing back the
    // 0.0 of a failed read would mute the microphone).
    bool micVolumeAtStartRead = false;

    Relaxed<std::int32_t> leftNeedle{0};
    Relaxed<std::int32_t> rightNeedle{0};
    Relaxed<std::int16_t> smoothedPeak{0};
    // Bar meter levels, written by playback only (they keep their values while talking).
    Relaxed<std::int32_t> leftBarLevel{0};
    Relaxed<std::int32_t> rightBarLevel{0};
};

struct StatusLamps {
    Relaxed<std::int32_t> lampTst{0};
    Relaxed<std::int32_t> lampTxRx{0};
    Relaxed<std::int32_t> lampHttps{0};
    Relaxed<std::int32_t> lampUdp{0};
    Relaxed<std::int32_t> lampSvc{0};
    Relaxed<std::int32_t> lampTcp{0};
    Relaxed<std::int32_t> loadLamps[5] = {};
    Relaxed<std::int32_t> chaserLeds[kChaserLedCount] = {};
    Relaxed<std::int32_t> txChaserIndex{kChaserLedCount - 1};
    Relaxed<std::int32_t> rxChaserIndex{0};
};

struct UiShared {
    Relaxed<platform::Window*> mainWindow{nullptr};
    void* appInstance = nullptr;
    Relaxed<std::uint32_t> backgroundColour{0};  // COLORREF 0x00BBGGRR
    char tickerText[200] = {};                   // Windows-1252; UI thread only
    Relaxed<std::int32_t> inactivitySeconds{kInactivityStartSeconds};
    Relaxed<bool> talkerRedrawPending{false};
    Relaxed<bool> channelImagesReady{false};
    Relaxed<std::int32_t> closeButtonShown{0};
    Relaxed<bool> serialRunFlag{false};
    // The colour dialog's 16 custom colour boxes (COLORREF), kept between dialogs; UI thread only.
    std::uint32_t customColours[16] = {};
};

struct ClientState {
    ClientState();
    ClientState(const ClientState&) = delete;
    ClientState& operator=(const ClientState&) = delete;

    ClientIdentity identity;
    ChannelState channel;
    LinkState link;
    AudioShared audio;
    StatusLamps lamps;
    UiShared ui;

    void setTransmit(bool on);
    bool isTransmitting() const;
};

// Start-up's preparation of the capture device table: every entry gets device number and
// endpoint index -1, an empty icon path, both names "Windows Driver" and flag 0; the device
// choice goes back to the default (-1).
void resetCaptureDeviceTable(ClientState& state);

// Copies a NUL-terminated text into a fixed field, cutting it to fit and always terminating.
void copyText(char* field, std::size_t size, const char* text);

}  // namespace orvane
