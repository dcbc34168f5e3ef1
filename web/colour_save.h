#pragma once
// Saving the background colour to the user's account: a 20-byte record of five little-endian
// int32 values, 1, red, green, blue and the account number, posted to the user's params.php.
#include <array>
#include <cstdint>

#include "platform/canvas.h"
#include "web/web_state.h"

namespace orvane::web {

inline constexpr std::size_t kColourRecordSize = 20;

std::array<std::uint8_t, kColourRecordSize> colourRecord(platform::Colour colour, std::uint16_t accountNumber);

// Posts the record for accountNumber. Returns the reply's status code, or -1 when the save
// failed (nothing is reported to the user). Does not touch the HTTPS lamp.
std::int32_t saveBackgroundColour(WebState& web, platform::Colour colour);

}  // namespace orvane::web
