#pragma once
// Qt key codes to the virtual-key codes the window procedures use.
namespace orvane::platform::qt {

// `keypad`: the key came from the numeric keypad. 0 for a key with no code.
int virtualKeyFor(int qtKey, bool keypad);

// One key event as the window procedures see it.
struct KeyStroke {
    int virtualKey = 0;      // 0: no key to deliver
    bool systemKey = false;  // goes to the default handling (platform::isSystemKey)
};
// `modifiers`: the event's Qt::KeyboardModifiers; `scanCode`: its native scan code (0 when
// unknown).
KeyStroke keyStrokeFor(int qtKey, unsigned modifiers, unsigned scanCode);

}  // namespace orvane::platform::qt
