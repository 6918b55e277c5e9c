// Hidden message-only windows that route their messages to an object's handler (timers, posted notices).
#pragma once

#include "platform/win/WinTypes.h"

// Makes a message-only window whose procedure is proc; 0 when the window system refuses it.
HWND AllocateHWnd(WNDPROC proc);
// Destroys a window made by AllocateHWnd; 0 or a window already gone is ignored.
void DeallocateHWnd(HWND hwnd);
