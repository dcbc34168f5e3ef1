#include "web/colour_save.h"

#include "web/web_client.h"
#include "web/web_paths.h"

namespace orvane::web {

std::array<std::uint8_t, kColourRecordSize> colourRecord(platform::Colour colour, std::uint16_t accountNumber) {
    const std::uint32_t values[5] = {1, static_cast<std::uint32_t>(platform::redOf(colour)),
                                     static_cast<std::uint32_t>(platform::greenOf(colour)),
                                     static_cast<std::uint32_t>(platform::blueOf(colour)), accountNumber};
    std::array<std::uint8_t, kColourRecordSize> record{};
    for (int v = 0; v < 5; ++v) {
        for (int i = 0; i < 4; ++i) record[v * 4 + i] = static_cast<std::uint8_t>(values[v] >> (8 * i));
    }
    return record;
}

std::int32_t saveBackgroundColour(WebState& web, platform::Colour colour) {
    auto hold = web.lockRequests();
    const std::uint16_t account = web.state.identity.accountNumber;
    const auto record = colourRecord(colour, account);
    platform::Https& h = web.https;
    platform::HttpsHandle root = h.open(kUserAgent);
    if (root == nullptr) return -1;
    std::int32_t status = -1;
    if (platform::HttpsHandle connection = h.connect(root, web.host, web.port)) {
        platform::HttpsHandle request = postRecord(web, connection, userPath(account, "params.php"), record.data(),
                                                   record.size());
        if (request != nullptr) {
            web.currentRequest = request;
            status = readStatusCode(web);
            h.close(request);
            web.currentRequest = nullptr;
        }
        h.close(connection);
    }
    h.close(root);
    return status;
}

}  // namespace orvane::web
