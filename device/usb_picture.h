#pragma once
// The USB status pictures come from the web server: folder "/usb/", kind = link status.
#include "device/link_status.h"

namespace orvane::web {
class WebState;
}

namespace orvane::device {

// webGet("/usb/", 0, status) and decodePng of what came, under the request lock.
PictureDownload fetchUsbPicture(web::WebState& web, int status);

}  // namespace orvane::device
