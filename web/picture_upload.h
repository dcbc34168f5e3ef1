#pragma once
// Sharing a picture with the users of a channel: the user chooses a file, which is sent whole
// in the fixed upload record, 10,000,268 bytes whatever its size:
//   0           10,000,000  the file's bytes, zeros after them
//   10,000,000  256         file name (last path component, Windows-1252, zero-terminated)
//   10,000,256  4           int32 file size
//   10,000,260  4           int32 length of the file name
//   10,000,264  4           int32 channel index
// Integers are little-endian.
#include <cstdint>
#include <string>
#include <string_view>

#include "web/web_state.h"

namespace orvane::web {

inline constexpr std::size_t kMaxUploadPathBytes = 200;  // with its terminator
inline constexpr char kUploadFilterName[] = "Images (*.png;*.jpg;*.jpeg;*.bmp;*.gif)";
inline constexpr char kUploadPatterns[] = "*.png;*.jpg;*.jpeg;*.bmp;*.gif";

// Asks for a file and sends it. Returns the reply's status code, 0 when no file was chosen,
// -1 on any failure (nothing is sent then).
std::int32_t uploadSharedPicture(WebState& web, std::int32_t channelIndex);

// Sends the file at `pathUtf8` as if the chooser had returned it (no lamp step).
std::int32_t uploadFile(WebState& web, const std::string& pathUtf8, std::int32_t channelIndex);

// The text of the size refusal.
std::string uploadSizeRefusalText();

}  // namespace orvane::web
