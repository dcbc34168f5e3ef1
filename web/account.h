#pragma once
// The account: the account request at start-up, the user's own card and parameters, and the
// card of the peer heard last, all through one fetch selected by a code.
#include <cstdint>

#include "web/web_state.h"

namespace orvane::web {

enum FetchCode : int {
    kTalkerPicture = 0,  // "/users/N/images.php?N=2", drawn at (10, 340)
    kTalkerCard = 1,     // "/users/N/client.xml", drawn in the main window
    kOwnCard = 2,        // "/users/N/client.xml", into the account profile
    kAccountRequest = 3, // the account request, number ignored
    kOwnParameters = 4,  // "/users/N/params.xml", BACKGROUND into backgroundColour
};

// Runs one fetch and acts on a non-empty 200 reply. Returns the body length (0 also when the
// fetch was skipped), 1 when the root handle cannot be made, -1 when the request fails.
// Codes 0 and 1 are skipped when `number` is the one of their last fetch, unless the main
// window was repainted since (talkerRedrawPending), which every fetch clears.
std::int32_t fetchAccountResource(WebState& web, std::int32_t number, int code);

// Start-up's fetches, in order: account request, own card, own parameters. When the
// parameters come back without a usable body (result 0) the user is told the defaults are
// used. Returns the result of the parameters fetch.
std::int32_t startupAccountFetches(WebState& web);

// The talker-card timer (every 1000 ms): picture, then card, of talkerAccount.
void talkerCardTick(WebState& web);

}  // namespace orvane::web
