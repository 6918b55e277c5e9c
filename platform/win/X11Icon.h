// The program's picture as the window manager's icon: the data of the _NET_WM_ICON property.
#pragma once

#include <vector>

#include "platform/gdi/Bitmap.h"

// Width, height and ARGB rows, one long per item as Xlib hands 32-bit properties: the picture at
// its own size, then halved while that stays at least 16 pixels. The colour of the bottom-left
// pixel is transparent, as in the platform's transparent bitmaps.
std::vector<long> NetWmIconOf(const TGdiBitmap& picture);
// The "MAINICON" bitmap among the program's resources as icon data; empty without one.
std::vector<long> ProgramNetWmIcon();
