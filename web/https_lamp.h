#pragma once
// The HTTPS lamp: each kind of request (account fetch, GET, upload) has its own counter 0..7;
// the lamp goes green for the first four requests of a kind and blue for the next four. It is
// never set back when a request ends.
#include <cstdint>

#include "state/client_state.h"

namespace orvane::web {

inline void httpsLampStep(ClientState& state, std::int32_t& counter) {
    state.lamps.lampHttps = (counter >= 0 && counter <= 3) ? kLampGreen : kLampBlue;
    counter = (counter + 1) % 8;
}

}  // namespace orvane::web
