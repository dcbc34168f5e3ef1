#pragma once
// Everything the web client keeps for the whole process: the reply buffer that every GET fills,
// the request in progress, the activity counters of the HTTPS lamp, the account profile, the
// talker memory and the upload record. About 20 MB, so it is made once, apart from
// ClientState, and never copied.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "state/client_state.h"
#include "platform/https.h"
#include "platform/image.h"

namespace orvane::platform {
class Ui;
class System;
class Window;
class WindowHandler;
}  // namespace orvane::platform

namespace orvane::web {

class AccountView;

inline constexpr std::size_t kResponseCapacity = 10'000'000;
inline constexpr std::size_t kUploadDataSize = 10'000'000;
inline constexpr std::size_t kUploadNameOffset = 10'000'000;
inline constexpr std::size_t kUploadNameSize = 256;
inline constexpr std::size_t kUploadSizeOffset = 10'000'256;
inline constexpr std::size_t kUploadNameLengthOffset = 10'000'260;
inline constexpr std::size_t kUploadChannelOffset = 10'000'264;
inline constexpr std::size_t kUploadRecordSize = 10'000'268;
inline constexpr char kUserAgent[] = "Orvane/1.0";

// The user's own card, NUL-terminated UTF-8 texts, written only by the own-card fetch.
struct AccountProfile {
    char email[128] = {};
    char town[64] = {};
    char folder[64] = {};
    char firstName[64] = {};
    char phrase[128] = {};
};

class WebState {
public:
    WebState(ClientState& clientState, platform::Https& httpsService);
    ~WebState();
    WebState(const WebState&) = delete;
    WebState& operator=(const WebState&) = delete;

    // Held from the start of a request until its caller is done with responseBuffer, so that
    // the user-interface thread and the serial device thread never mix their replies. The
    // request functions take it themselves; a caller that reads the buffer afterwards holds
    // it across both (it is recursive).
    std::unique_lock<std::recursive_mutex> lockRequests() {
        return std::unique_lock<std::recursive_mutex>(requestLock);
    }

    // The body of the last successful GET, as far as it was received.
    const std::uint8_t* body() const { return responseBuffer; }
    std::size_t bodyLength() const { return responseLength; }

    ClientState& state;
    platform::Https& https;
    platform::Ui* ui = nullptr;          // message boxes, file chooser
    AccountView* view = nullptr;         // what the account fetches show (drawn by display/)
    platform::System* system = nullptr;  // the browser

    // Build values, replaceable by tests and the lab.
    std::string host;
    std::uint16_t port = 443;
    std::string installerUrl;

    std::recursive_mutex requestLock;
    platform::HttpsHandle currentRequest = nullptr;
    // Room for 10,000,000 body bytes and a terminator. Bytes past responseLength mean nothing.
    std::uint8_t responseBuffer[kResponseCapacity + 1];
    std::size_t responseLength = 0;

    // HTTPS lamp activity counters, 0..7 (guarded by requestLock).
    std::int32_t accountFetchCounter = 0;
    std::int32_t getCounter = 0;
    std::int32_t uploadCounter = 0;

    AccountProfile profile;
    std::int32_t lastTalkerPictureAccount = 0;
    std::int32_t lastTalkerCardAccount = 0;
    // Set when the account reply told the program to stop (its main window is gone).
    bool stopRequested = false;

    // The upload record, sent whole from here (layout in picture_upload.h).
    std::uint8_t uploadRecord[kUploadRecordSize];
};

// The process's web state, made on first call with the system's HTTPS. Lives until exit.
WebState& processWebState(ClientState& state);

}  // namespace orvane::web
