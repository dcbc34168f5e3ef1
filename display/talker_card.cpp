#include "display/talker_card.h"

#include "platform/ui.h"
#include "display/draw.h"

namespace orvane::display {

namespace {

const platform::Font kCardFont{"Arial", 20, 700};

}  // namespace

void drawTalkerPicture(platform::Window& window, const platform::Image& picture) {
    auto canvas = window.draw();
    canvas->blit(picture, kTalkerPictureAt.x, kTalkerPictureAt.y);
    canvas->frameRect({kTalkerPictureAt.x, kTalkerPictureAt.y, kTalkerPictureAt.x + picture.width,
                       kTalkerPictureAt.y + picture.height},
                      kTalkerFrameColour);
}

void drawTalkerCard(platform::Window& window, platform::Colour background, std::string_view firstName,
                    std::string_view town, std::string_view phrase) {
    auto canvas = window.draw();
    canvas->fillRect(kTalkerNameStrip, background);
    canvas->text(kTalkerFirstNameAt.x, kTalkerFirstNameAt.y, firstName, kCardFont, kTalkerNameColour, std::nullopt);
    canvas->text(kTalkerTownAt.x, kTalkerTownAt.y, town, kCardFont, kTalkerNameColour, std::nullopt);
    const platform::Image under = canvas->readRegion(kTalkerPhraseStrip);
    canvas->blit(tintedBlur(under), kTalkerPhraseStrip.left, kTalkerPhraseStrip.top);
    canvas->text(kTalkerPhraseStrip.left, kTalkerPhraseStrip.top, phrase, kCardFont, kTalkerPhraseColour,
                 std::nullopt);
}

}  // namespace orvane::display
