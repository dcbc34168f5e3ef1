// decodePng and decodeImage over any reply body held in the reply buffer, with a length that
// may claim more than was received.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "state/client_state.h"
#include "platform/https.h"
#include "web/decoders.h"

namespace {

struct Web {
    orvane::ClientState state;
    std::unique_ptr<orvane::web::WebState> web;
    Web() : web(std::make_unique<orvane::web::WebState>(state, orvane::platform::systemHttps())) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Web w;
    if (size < 1) return 0;
    const std::size_t body = size - 1;
    std::memcpy(w.web->responseBuffer, data + 1, body);
    w.web->responseLength = body;
    // The first byte picks a claimed length around the real one.
    const std::int32_t claimed = static_cast<std::int32_t>(body) + (static_cast<std::int8_t>(data[0]) % 16);
    if (data[0] & 1) {
        orvane::web::decodePng(*w.web, claimed);
    } else {
        orvane::web::decodeImage(*w.web, claimed);
    }
    return 0;
}
