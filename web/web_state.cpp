#include "web/web_state.h"

#include "platform/ui.h"

#ifndef ORVANE_WEB_HOST
#define ORVANE_WEB_HOST "localhost"
#endif
#ifndef ORVANE_WEB_PORT
#define ORVANE_WEB_PORT 443
#endif
#ifndef ORVANE_INSTALLER_URL
#define ORVANE_INSTALLER_URL ""
#endif

namespace orvane::web {

// The two big areas are deliberately not cleared here: in static storage they start zeroed
// without touching 20 MB of pages, and nothing reads them beyond what was written.
WebState::WebState(ClientState& clientState, platform::Https& httpsService)
    : state(clientState),
      https(httpsService),
      host(ORVANE_WEB_HOST),
      port(static_cast<std::uint16_t>(ORVANE_WEB_PORT)),
      installerUrl(ORVANE_INSTALLER_URL) {
    responseBuffer[0] = 0;
}

WebState::~WebState() = default;

}  // namespace orvane::web
