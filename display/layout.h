#pragma once
// Where things sit on the 550 x 730 main window (client coordinates).
#include "platform/canvas.h"

namespace orvane::display {

using platform::Point;
using platform::Rect;

inline constexpr int kMainWidth = 550;
inline constexpr int kMainHeight = 730;
inline constexpr int kMainCornerEllipse = 20;

inline constexpr Rect kTitleRect{125, 15, 425, 35};
inline constexpr Rect kCloseRect{510, 10, 540, 40};
inline constexpr Rect kTickerRect{10, 45, 540, 65};
inline constexpr Rect kChannelPanelRect{10, 80, 190, 190};
inline constexpr Rect kChannelNameRect{20, 85, 180, 105};
inline constexpr Point kChannelNumberPos{50, 100};
inline constexpr Point kChannelCountPos{160, 168};
inline constexpr Point kChannelLabelPos{18, 182};
inline constexpr Rect kNetworkZone{375, 335, 480, 440};
inline constexpr Point kLedRingCentre{420, 380};
inline constexpr int kLedRingRadius = 40;
inline constexpr Point kNetworkLabelPos{402, 380};
inline constexpr Rect kPictureRect{350, 450, 500, 600};
inline constexpr int kPictureSize = 150;
inline constexpr Rect kCountdownRect{455, 270, 510, 285};
inline constexpr Rect kMessageZone{10, 650, 540, 720};
inline constexpr Rect kDocIconRect{315, 610, 345, 640};
inline constexpr Rect kSpeechIconRect{15, 8, 47, 40};
inline constexpr Point kForegroundLampLeft{125, 18};
// The borderless window is dragged by the band across its top (the title and its sides).
inline constexpr Rect kDragZone{50, 0, 500, 100};
// The designer's mark sits a fixed distance from the bottom-right corner of the client area,
// wherever that corner is.
inline constexpr Rect designerZone(int clientWidth, int clientHeight) {
    return {clientWidth - 160, clientHeight - 120, clientWidth - 15, clientHeight - 80};
}
inline constexpr Point kForegroundLampRight{409, 18};

// The needle meters (child windows) and the bar meters under them.
inline constexpr Rect kLeftMeterRect{200, 80, 350, 164};
inline constexpr Rect kRightMeterRect{370, 80, 520, 164};
inline constexpr int kBarWidth = 150;
inline constexpr int kLeftBarX = 200;
inline constexpr int kRightBarX = 370;
inline constexpr int kBarTop = 166;
inline constexpr int kBarBottom = 176;
inline constexpr Point kAudioLeftLabelPos{245, 179};
inline constexpr Point kAudioRightLabelPos{415, 179};

// Knobs: top-left corners.
inline constexpr Point kParamsKnobPos{25, 220};
inline constexpr Point kMicKnobPos{115, 220};
inline constexpr Point kVolumeKnobPos{205, 220};

}  // namespace orvane::display
