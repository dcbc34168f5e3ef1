#pragma once
// What the account fetches show the user. The web code fetches and reads the replies; the
// user-interface side (display/account_view.h) draws the talker card on the main window and
// shows the notices, so that nothing here draws.
#include <string_view>

#include "platform/canvas.h"
#include "platform/image.h"

namespace orvane::web {

class AccountView {
public:
    virtual ~AccountView() = default;
    // The picture of the peer heard last (a decoded PNG), at its place in the main window.
    virtual void showTalkerPicture(const platform::Image& picture) = 0;
    // The peer's first name, town and phrase (UTF-8) on the main window's background colour.
    virtual void showTalkerCard(platform::Colour background, std::string_view firstName, std::string_view town,
                                std::string_view phrase) = 0;
    // A stop notice: two single-byte (Windows-1252) texts joined, in a modal box. Returns when
    // the user has closed it.
    virtual void showStopNotice(std::string_view first, std::string_view second) = 0;
};

}  // namespace orvane::web
