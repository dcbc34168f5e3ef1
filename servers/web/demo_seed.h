#pragma once
// The lab's demo users: the accounts the demo talkers speak with (3001, 3002, 3010), each with
// a card and a picture, and a shared picture on channel 1.
#include "servers/web/store.h"

namespace orvane::webserver {

bool seedDemo(Store& store);

}  // namespace orvane::webserver
