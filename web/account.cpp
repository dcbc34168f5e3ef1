#include "web/account.h"

#include <string>

#include "base/text.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "web/account_reply.h"
#include "web/account_view.h"
#include "web/decoders.h"
#include "web/https_lamp.h"
#include "web/web_client.h"
#include "web/web_paths.h"
#include "web/xml_tags.h"

namespace orvane::web {

namespace {

constexpr char kStopPrefix[] = "Le programme va s'arr\xEAter\n";
constexpr char kNoParametersText[] =
    "Aucun param\xE8tre n'a \xE9t\xE9 trouv\xE9 sur votre compte\nles param\xE8tres par d\xE9"
    "faut seront utilis\xE9s.";
constexpr char kNoParametersCaption[] = "Acquisition des param\xE8tres";

std::string pathFor(const WebState& web, std::int32_t number, int code) {
    switch (code) {
        case kTalkerPicture: return userPath(number, "images.php?N=2");
        case kTalkerCard:
        case kOwnCard: return userPath(number, "client.xml");
        case kAccountRequest: return accountRequestPath(web.state.identity.machineId, web.state.identity.versionText);
        default: return userPath(number, "params.xml");
    }
}

template <std::size_t N>
void readField(std::span<const std::uint8_t> body, const char* tag, char (&field)[N]) {
    readTag(body, tag, field, N);
    field[N - 1] = '\0';
}

void showTalkerPicture(WebState& web, std::int32_t length) {
    const auto picture = decodePng(web, length);
    if (picture && web.view != nullptr) web.view->showTalkerPicture(*picture);
}

void showTalkerCard(WebState& web, std::span<const std::uint8_t> body) {
    char firstName[64] = {};
    char town[64] = {};
    char phrase[128] = {};
    readField(body, "PRENOM", firstName);
    readField(body, "VILLE", town);
    readField(body, "PHRASE", phrase);
    decodeEacute(firstName);
    decodeEacute(town);
    decodeEacute(phrase);
    if (web.view != nullptr) web.view->showTalkerCard(web.state.ui.backgroundColour, firstName, town, phrase);
}

void storeOwnCard(AccountProfile& p, std::span<const std::uint8_t> body) {
    readField(body, "PRENOM", p.firstName);
    readField(body, "VILLE", p.town);
    readField(body, "PHRASE", p.phrase);
    readField(body, "EMAIL", p.email);
    readField(body, "FOLDER", p.folder);
    for (char* field : {p.firstName, p.town, p.phrase, p.email, p.folder}) decodeEacute(field);
}

void storeOwnParameters(WebState& web, std::span<const std::uint8_t> body) {
    char value[64] = {};
    if (!readTag(body, "BACKGROUND", value, sizeof value)) return;
    decodeEacute(value);
    web.state.ui.backgroundColour = parseHexColour(value);
}

// Stops the program as the account reply asks: a notice, the installer page for an update,
// then the main window goes (which ends the message loop).
void stopProgram(WebState& web, const std::string& message, bool openInstaller) {
    platform::Window* main = web.state.ui.mainWindow;
    if (main != nullptr) main->setEnabled(false);
    if (web.view != nullptr) web.view->showStopNotice(kStopPrefix, message);
    if (openInstaller && web.system != nullptr) web.system->openUrl(web.installerUrl);
    web.stopRequested = true;
    if (main == nullptr) return;
    main->setEnabled(true);
    if (web.ui != nullptr) {
        web.ui->destroyWindow(main);
        // Nobody may draw on or own boxes with a window that is gone.
        web.state.ui.mainWindow = nullptr;
    }
}

void handleAccountReply(WebState& web, std::span<const std::uint8_t> body) {
    const AccountReply reply = parseAccountReply(body);
    if (reply.accountNumber) web.state.identity.accountNumber = *reply.accountNumber;
    if (!reply.status) return;
    if (*reply.status == kAccountStopStatus || *reply.status == kAccountClosedStatus) {
        stopProgram(web, reply.message, false);
    } else if (*reply.status == kAccountUpdateStatus) {
        stopProgram(web, reply.message, true);
    }
}

void handleReply(WebState& web, int code, std::int32_t length) {
    const auto body = receivedBody(web, length);
    switch (code) {
        case kTalkerPicture: showTalkerPicture(web, length); break;
        case kTalkerCard: showTalkerCard(web, body); break;
        case kOwnCard: storeOwnCard(web.profile, body); break;
        case kAccountRequest: handleAccountReply(web, body); break;
        case kOwnParameters: storeOwnParameters(web, body); break;
        default: break;
    }
}

}  // namespace

std::int32_t fetchAccountResource(WebState& web, std::int32_t number, int code) {
    auto hold = web.lockRequests();
    httpsLampStep(web.state, web.accountFetchCounter);
    if (!web.state.ui.talkerRedrawPending) {
        if (code == kTalkerPicture && number == web.lastTalkerPictureAccount) return 0;
        if (code == kTalkerCard && number == web.lastTalkerCardAccount) return 0;
    }
    web.state.ui.talkerRedrawPending = false;
    // Recorded before the request: a failed fetch is not tried again for the same number.
    if (code == kTalkerPicture) web.lastTalkerPictureAccount = number;
    if (code == kTalkerCard) web.lastTalkerCardAccount = number;

    bool bodyRead = false;
    const std::int32_t n = getPath(web, pathFor(web, number, code), &bodyRead);
    if (bodyRead && n > 0) handleReply(web, code, n);
    return n;
}

std::int32_t startupAccountFetches(WebState& web) {
    fetchAccountResource(web, web.state.identity.accountNumber, kAccountRequest);
    fetchAccountResource(web, web.state.identity.accountNumber, kOwnCard);
    const std::int32_t params = fetchAccountResource(web, web.state.identity.accountNumber, kOwnParameters);
    if (params == 0 && web.ui != nullptr) {
        platform::Window* main = web.state.ui.mainWindow;
        if (main != nullptr) main->setEnabled(false);
        web.ui->messageBox(main, base::cp1252ToUtf8(kNoParametersText), base::cp1252ToUtf8(kNoParametersCaption),
                           platform::MessageIcon::None);
        if (main != nullptr) main->setEnabled(true);
    }
    return params;
}

void talkerCardTick(WebState& web) {
    const std::int32_t talker = web.state.channel.talkerAccount;
    // A repaint of the main window erased the whole card, its texts as well as its picture: both
    // are fetched again, not the picture alone (which would leave the talker without a name).
    const bool repainted = web.state.ui.talkerRedrawPending;
    fetchAccountResource(web, talker, kTalkerPicture);
    if (repainted) web.state.ui.talkerRedrawPending = true;
    fetchAccountResource(web, talker, kTalkerCard);
}

}  // namespace orvane::web
