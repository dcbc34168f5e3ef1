#pragma once
// The program's AccountView: the talker card drawn on the main window (while there is one),
// the stop notices in a modal box without owner.
#include "platform/ui.h"
#include "state/client_state.h"
#include "web/account_view.h"

namespace orvane::display {

class MainWindowAccountView final : public web::AccountView {
public:
    MainWindowAccountView(const ClientState& state, platform::Ui* ui) : state_(state), ui_(ui) {}

    void showTalkerPicture(const platform::Image& picture) override;
    void showTalkerCard(platform::Colour background, std::string_view firstName, std::string_view town,
                        std::string_view phrase) override;
    void showStopNotice(std::string_view first, std::string_view second) override;

private:
    const ClientState& state_;
    platform::Ui* ui_;
};

}  // namespace orvane::display
