// Pictures of windows as their back buffers hold them: for a look, and for tests.
#pragma once

#include "platform/gdi/Bitmap.h"
#include "platform/win/WinTypes.h"

// The whole window, frame included, cut from its top-level window's back buffer; the desktop
// window gives the screen. Empty for a handle that is no window.
TGdiBitmap GetWindowImage(HWND hwnd);
// Writes the window's picture as a PNG file; raises EWindowError for a handle that is no window.
void SaveWindowPng(HWND hwnd, const AnsiString& fileName);
