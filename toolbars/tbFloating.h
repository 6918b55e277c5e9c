// Floating tool windows on the move: the drag that carries a tool window between docks, rows and the
// floating state, the resize of a floating window by its borders, and the caption's close button.
// Each runs a modal mouse loop inside the press; the geometry they decide by is kept pure.
#pragma once

#include <vector>

#include "platform/win/WinTypes.h"
#include "toolbars/tbToolWindow.h"

// Whether a drag with the cursor at `cursor`, grabbed at `grab` of a window of size `window`, docks
// into the dock whose window rectangle is dockRect, given the candidate rectangle there.
bool DockDragHit(TRect dockRect, bool sideDock, TPoint cursor, TPoint grab, TSize window, const TRect& candidate);
// A rectangle of size `to` under the cursor, the grab point keeping its place scaled from `from`.
TRect PlaceWithGrab(TPoint cursor, TPoint grab, TSize from, TSize to);
// Moves a floating rectangle so that it reaches into the work area shrunk by frame + 4 on each
// side, and its top stays no higher than the work area's top less the caption and frame.
TRect KeepReachable(TRect r, const TRect& workArea, int frame, int captionHeight);
// The docks a drag may end on, in the order they are tried: per level top, bottom, left, right
// docks, then the other windowed children, depth first; the tool window's own form first.
std::vector<TtbDock*> CandidateDocks(TtbCustomToolWindow& w);

// The loops; each returns once the mouse button is up, Escape was pressed or the capture went.
void RunToolWindowDrag(TtbCustomToolWindow& w, TPoint grab);
void RunToolWindowResize(TtbCustomToolWindow& w, TtbSizeHandle side);
// True when the button was released over the close button.
bool RunCloseButtonLoop(TtbCustomToolWindow& w);
