// Activation of top-level windows: which one comes next and the messages a change sends.
#pragma once

#include "platform/win/WinState.h"

namespace winsys {

// The next top-level window to activate after hwnd goes away or hides.
HWND NextActivation(HWND leaving);
void SendActivation(HWND old, HWND now, uint32_t how);
// Makes hwnd's top-level window the active one (0: none); returns the one active before.
HWND Activate(HWND hwnd, uint32_t how);

}  // namespace winsys
