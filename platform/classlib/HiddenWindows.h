// Hidden windows that carry messages to a handler, and the window-system set-up that every window
// of the class library needs first.
#pragma once

#include <functional>

#include "platform/classlib/ControlTypes.h"

// Registers the library with the window system once, and again after the window system was reset.
void EnsureWindowing();
// A hidden window whose messages go to handler (unhandled ones: set Result from DefWindowProc
// yourself); errors go to the application's exception handler.
HWND AllocateHWnd(std::function<void(TMessage&)> handler);
void DeallocateHWnd(HWND hwnd);
