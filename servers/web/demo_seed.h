#pragma once
// The lab's demo users: the accounts the demo talkers speak with (3001, 3002, 3010), each with
// a card and a picture, and a shared picture on channel 1.
#include "servers/web/store.h"

namespace orvane::webserver {

bool seedDemo(Store& store);

// A member picture (64 x 64 PNG): a face of `colour` (0xRRGGBB) with `number` written on its
// chest, so that each member is recognised in the group list and network windows.
Bytes portrait(int number, std::uint32_t colour);
// A colour of its own for each account number.
std::uint32_t portraitColour(int number);

}  // namespace orvane::webserver
