// Moving and sizing a top-level window from its own caption and frame: the loop that follows the
// pointer until the button goes up, for displays without a window manager to do it for us.
#pragma once

#include "platform/win/WinTypes.h"

// The hit codes of a sizing frame's edges and corners.
bool IsSizingHit(int hit);
// Follows the pointer from the screen point start: moves the window (HTCAPTION) or drags the edges
// the hit code names, until the left button goes up, the capture goes elsewhere or the window is
// destroyed; Escape puts the window back where it was.
void RunMoveSize(HWND hwnd, int hit, TPoint start);
