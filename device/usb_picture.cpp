#include "device/usb_picture.h"

#include "web/decoders.h"
#include "web/web_client.h"
#include "web/web_state.h"

namespace orvane::device {

PictureDownload fetchUsbPicture(web::WebState& web, int status) {
    using Outcome = PictureDownload::Outcome;
    // The reply buffer stays ours from the request until the picture is decoded.
    auto lock = web.lockRequests();
    const std::int32_t n = web::webGet(web, "/usb/", 0, status);
    if (n == 0) return {Outcome::NoBytes, std::nullopt};
    // A failure result (1 or -1) is no PNG either: decodePng refuses it.
    auto picture = web::decodePng(web, n);
    if (!picture) return {Outcome::Failed, std::nullopt};
    return {Outcome::Picture, std::move(picture)};
}

}  // namespace orvane::device
