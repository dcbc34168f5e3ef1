#pragma once
// Qt key codes to the virtual-key codes the window procedures use.
namespace orvane::platform::qt {

// `keypad`: the key came from the numeric keypad. 0 for a key with no code.
int virtualKeyFor(int qtKey, bool keypad);

}  // namespace orvane::platform::qt
