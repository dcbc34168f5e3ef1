#include "display/account_view.h"

#include "display/notice.h"
#include "display/talker_card.h"

namespace orvane::display {

void MainWindowAccountView::showTalkerPicture(const platform::Image& picture) {
    if (platform::Window* main = state_.ui.mainWindow.load()) drawTalkerPicture(*main, picture);
}

void MainWindowAccountView::showTalkerCard(platform::Colour background, std::string_view firstName,
                                           std::string_view town, std::string_view phrase) {
    if (platform::Window* main = state_.ui.mainWindow.load()) drawTalkerCard(*main, background, firstName, town, phrase);
}

void MainWindowAccountView::showStopNotice(std::string_view first, std::string_view second) {
    showTwoPartNotice(ui_, first, second);
}

}  // namespace orvane::display
