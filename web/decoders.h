#pragma once
// Turning a reply body into a picture: PNG only for account pictures and status icons, any
// common format for the shared picture. Both read the first `length` bytes of the reply
// buffer, never past the body that was received, and composite transparency on opaque black.
#include <cstdint>
#include <optional>

#include "platform/image.h"
#include "web/web_state.h"

namespace orvane::web {

inline constexpr std::uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

std::optional<platform::Image> decodePng(const WebState& web, std::int32_t length);
std::optional<platform::Image> decodeImage(const WebState& web, std::int32_t length);

}  // namespace orvane::web
