#include "app/main_control_ui.h"

#include "display/supervisor_notice.h"

namespace orvane {

void MainControlUi::showWarningBox(const char* text, const char* caption) {
    ui_.messageBox(state_.ui.mainWindow.load(), text, caption, platform::MessageIcon::Warning);
}

void MainControlUi::openUrl(const char* url) { system_.openUrl(url); }

void MainControlUi::showSupervisorNotice(const char* text) {
    display::showSupervisorNotice(ui_, state_, text ? text : "");
}

void MainControlUi::destroyMainWindow() {
    // A stale or missing window is ignored by the UI (it may already be gone).
    if (platform::Window* w = state_.ui.mainWindow.load()) ui_.destroyWindow(w);
}

}  // namespace orvane
