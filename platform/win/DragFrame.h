// The frame that moving and sizing loops draw on the screen: inverted in an 8 x 8 checker
// pattern, so that drawing the same frame again takes it away.
#pragma once

#include "platform/win/WinTypes.h"

// The band between r and r shrunk by thickness on every side, in screen coordinates; the
// desktop's surface and the display both show it.
void DrawXorFrame(const TRect& r, int thickness);
