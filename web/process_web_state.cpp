// Kept apart so that code built against a fake HTTPS does not pull in the system's.
#include "web/web_state.h"

namespace orvane::web {

WebState& processWebState(ClientState& state) {
    // Static storage: the 20 MB of buffers start zeroed without being touched.
    static WebState web(state, platform::systemHttps());
    return web;
}

}  // namespace orvane::web
