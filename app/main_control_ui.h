#pragma once
// What the control thread and the countdown need from the user interface, done with the main
// window: boxes and notices wait until closed, and the main window's destruction until done.
#include "state/client_state.h"
#include "net/control_ui.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace orvane {

class MainControlUi final : public net::ControlUi {
public:
    MainControlUi(ClientState& state, platform::Ui& ui, platform::System& system)
        : state_(state), ui_(ui), system_(system) {}

    void showWarningBox(const char* text, const char* caption) override;
    void openUrl(const char* url) override;
    void showSupervisorNotice(const char* text) override;
    void destroyMainWindow() override;

private:
    ClientState& state_;
    platform::Ui& ui_;
    platform::System& system_;
};

}  // namespace orvane
