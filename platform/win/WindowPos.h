// Bounds, stacking and visibility changes: what the window units share of them.
#pragma once

#include "platform/win/WinState.h"

namespace winsys {

// Asks the window for its client area within its bounds.
void RecalcClient(TWindowRec& w);
// Sizes a top-level window's back buffer to its bounds.
void SyncSurface(TWindowRec& w);
void InvalidateInParent(TWindowRec& w, const TRect& boundsInParent);

}  // namespace winsys
