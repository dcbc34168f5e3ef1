#include "web/decoders.h"

#include <cstring>

#include "web/web_client.h"

namespace orvane::web {

std::optional<platform::Image> decodePng(const WebState& web, std::int32_t length) {
    const auto bytes = receivedBody(web, length);
    if (bytes.size() < sizeof kPngSignature || std::memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0) {
        return std::nullopt;
    }
    return platform::decodePngBytes(bytes);
}

std::optional<platform::Image> decodeImage(const WebState& web, std::int32_t length) {
    const auto bytes = receivedBody(web, length);
    if (bytes.empty()) return std::nullopt;
    return platform::decodeAnyImage(bytes);
}

}  // namespace orvane::web
