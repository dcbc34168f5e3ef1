#pragma once
// The drawings of the default skin, one function per picture. Each returns an opaque image;
// where the program keys black out as transparent, everything meant to be seen is kept off
// pure black.
#include <QColor>
#include <QImage>
#include <string>

namespace orvane::skingen {

inline constexpr int kKnobSize = 60;
inline constexpr int kMeterWidth = 150;
inline constexpr int kMeterHeight = 84;
inline constexpr int kPanelWidth = 180;
inline constexpr int kPanelHeight = 110;
inline constexpr int kNumberWidth = 80;
inline constexpr int kNumberHeight = 60;
inline constexpr int kLedSize = 14;
inline constexpr int kAnimationSize = 150;

// Volume knob: its arrow points straight up; the program turns it to show the volume.
QImage drawArrowKnob();
// Parameters knob: a cog that looks the same when turned half a turn.
QImage drawParamsKnob();
QImage drawDocumentIcon();  // 60 x 60, shown at half size
QImage drawSpeechIcon();    // 64 x 64, shown at half size
QImage drawMeterFace();
QImage drawChannelPanel();
// Channel number 1..10 as lit display digits, to lay over the panel's display window.
QImage drawChannelNumber(int number);

struct LedLook {
    QColor lit;   // lens colour at full brightness
    bool dimmed;  // an unlit lamp: darker lens, softer highlight
};
QImage drawLed(const LedLook& look);

// Frame `index` of `count` of the looping atom animation.
QImage drawElectronFrame(int index, int count);

// The program's icon for the desktop's icon theme, `size` x `size`, transparent around its
// rounded square (unlike the skin's pictures), and the same drawing as SVG text.
inline constexpr int kAppIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
QImage drawAppIcon(int size);
std::string appIconSvg();

}  // namespace orvane::skingen
