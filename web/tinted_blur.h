#pragma once
// The blurred, green-tinted backdrop behind one line of text: every pixel at least two pixels
// inside the edge becomes the mean red and blue of its 5 x 5 neighbourhood with green 127;
// the two-pixel border keeps its values.
#include "platform/image.h"

namespace orvane::web {

platform::Image tintedBlur(const platform::Image& source);

}  // namespace orvane::web
