#pragma once
// What the main window shows of the peer heard last: the picture at (10, 340) in a red frame,
// the first name and town on a strip of the background colour, and the phrase in yellow on a
// blurred strip lower down.
#include <string_view>

#include "platform/canvas.h"
#include "platform/image.h"

namespace orvane::platform {
class Window;
}

namespace orvane::display {

inline constexpr platform::Point kTalkerPictureAt{10, 340};
inline constexpr platform::Rect kTalkerNameStrip{10, 318, 310, 339};
inline constexpr platform::Point kTalkerFirstNameAt{15, 319};
inline constexpr platform::Point kTalkerTownAt{170, 319};
inline constexpr platform::Rect kTalkerPhraseStrip{20, 620, 280, 640};
inline constexpr platform::Colour kTalkerFrameColour = 0x0000FF;
inline constexpr platform::Colour kTalkerNameColour = 0xFFFFFF;
inline constexpr platform::Colour kTalkerPhraseColour = 0x00FFFF;

void drawTalkerPicture(platform::Window& window, const platform::Image& picture);

// Texts are UTF-8.
void drawTalkerCard(platform::Window& window, platform::Colour background, std::string_view firstName,
                    std::string_view town, std::string_view phrase);

}  // namespace orvane::display
