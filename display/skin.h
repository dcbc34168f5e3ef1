#pragma once
// The skin: the bitmaps of the main window, read by name from the program's folder. A missing
// one stops the program with a notice naming it.
#include <optional>
#include <string>

#include "state/client_state.h"
#include "display/led_images.h"
#include "platform/image.h"
#include "platform/ui.h"

namespace orvane::display {

inline constexpr char kKnobArrowFile[] = "btn-fleche.bmp";
inline constexpr char kKnobParamsFile[] = "btn-param.bmp";
inline constexpr char kDocIconFile[] = "doc_img.bmp";
inline constexpr char kSpeechIconFile[] = "synthe_1.bmp";
inline constexpr char kMeterFaceFile[] = "vu_meter_2.bmp";
inline constexpr char kAnimationFile[] = "electron-animation.gif";

struct Skin {
    std::optional<platform::Image> knobArrow;   // "MIC GAIN" and "VOLUME"
    std::optional<platform::Image> knobParams;  // "PARAMS"
    std::optional<platform::Image> docIcon;
    std::optional<platform::Image> speechIcon;
    std::optional<platform::Image> meterFaceLeft;
    std::optional<platform::Image> meterFaceRight;
    std::optional<platform::Image> channelImages[kChannelCount];  // 0: the panel background
    int channelImageWidth = 0;   // of image 1
    int channelImageHeight = 0;
    LedImages leds;

    const platform::Image* channelImage(int n) const {
        return (n >= 0 && n < kChannelCount && channelImages[n]) ? &*channelImages[n] : nullptr;
    }
};

// The stop notice texts (UTF-8): naming the file, or giving a reference.
std::string stopTextNamingFile(const std::string& fileName);
std::string stopTextWithReference(const char* reference);

// Stops the program: with the main window disabled, the notice (caption "Information",
// question icon); then the main window is destroyed. Does only the notice when the main
// window is already gone.
void stopProgram(platform::Ui& ui, platform::Window* mainWindow, const std::string& textUtf8);

// `folder` is prefixed to every file name ("" for the working directory).
// The knob images and the two icons, in start-up order; false when one was missing (the
// program is then being stopped).
bool loadButtonImages(platform::Ui& ui, platform::Window* mainWindow, Skin& skin, const std::string& folder);
// "0.bmp" then "1.bmp".."10.bmp"; one stop notice per missing image. False when one was missing.
bool loadChannelImages(platform::Ui& ui, platform::Window* mainWindow, Skin& skin, const std::string& folder);

}  // namespace orvane::display
