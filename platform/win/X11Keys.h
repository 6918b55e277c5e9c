// X key symbols as virtual keys: a key is known by its unshifted symbol, so Ctrl+Shift+5 is the
// key 5 with two modifiers held.
#pragma once

#include <cstdint>

// 0 for a symbol without a virtual key. numLock chooses the digit keys of the keypad over their
// movement keys.
uint16_t VirtualKeyOfKeysym(unsigned long keysym, bool numLock = false);
