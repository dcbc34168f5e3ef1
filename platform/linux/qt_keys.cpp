#include "platform/linux/qt_keys.h"

#include <Qt>

#include "platform/ui.h"

namespace orvane::platform::qt {

int virtualKeyFor(int key, bool keypad) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return (keypad ? vk::kNumpad0 : vk::kDigit0) + (key - Qt::Key_0);
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return vk::kLetterA + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return vk::kF1 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Escape: return vk::kEscape;
        case Qt::Key_Space: return vk::kSpace;
        case Qt::Key_Plus: return keypad ? vk::kAdd : 0xBB;
        case Qt::Key_Minus: return keypad ? 0x6D : 0xBD;
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Slash: return keypad ? 0x6F : 0xBF;
        case Qt::Key_Period: return keypad ? 0x6E : 0xBE;
        case Qt::Key_Comma: return 0xBC;
        case Qt::Key_Backspace: return 0x08;
        case Qt::Key_Tab: return 0x09;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 0x0D;
        case Qt::Key_Shift: return 0x10;
        case Qt::Key_Control: return 0x11;
        case Qt::Key_Alt: return 0x12;
        case Qt::Key_Pause: return 0x13;
        case Qt::Key_CapsLock: return 0x14;
        case Qt::Key_PageUp: return 0x21;
        case Qt::Key_PageDown: return 0x22;
        case Qt::Key_End: return 0x23;
        case Qt::Key_Home: return 0x24;
        case Qt::Key_Left: return 0x25;
        case Qt::Key_Up: return 0x26;
        case Qt::Key_Right: return 0x27;
        case Qt::Key_Down: return 0x28;
        case Qt::Key_Insert: return 0x2D;
        case Qt::Key_Delete: return 0x2E;
        case Qt::Key_Meta: return 0x5B;
        default: break;
    }
    // Any other real key still reaches the window procedure (which answers it as inactive).
    return (key > 0 && key != Qt::Key_unknown) ? 0xFF : 0;
}

KeyStroke keyStrokeFor(int qtKey, unsigned modifiers, unsigned scanCode) {
    const bool keypad = (modifiers & Qt::KeypadModifier) != 0;
    KeyStroke stroke;
    // On an X server the top-row keys 1..0 have scan codes 10..19 whatever the layout, so the
    // digit keys choose channels even where digits need Shift.
    if (!keypad && scanCode >= 10 && scanCode <= 19) {
        stroke.virtualKey = vk::kDigit0 + static_cast<int>(scanCode - 9) % 10;
    } else {
        stroke.virtualKey = virtualKeyFor(qtKey, keypad);
    }
    stroke.systemKey = isSystemKey(stroke.virtualKey, (modifiers & Qt::AltModifier) != 0,
                                   (modifiers & Qt::ControlModifier) != 0);
    return stroke;
}

}  // namespace orvane::platform::qt
