// Three-dimensional edges, caption buttons and focus rectangles in the system colours.
#pragma once

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/EdgeFlags.h"

// Draws the outer then the inner border kind of edge on the sides in flags. The bottom and
// right lines own the top-right and bottom-left corners. BF_ADJUST leaves the inside in rect.
bool DrawEdge(TDeviceContext& dc, TRect& rect, unsigned edge, unsigned flags);
// Caption buttons (DFC_CAPTION): a raised button, sunken when pushed, with its glyph;
// other kinds are not drawn and return false.
bool DrawFrameControl(TDeviceContext& dc, TRect& rect, unsigned type, unsigned state);
// Inverts every other pixel of the rectangle's outline; drawing it twice restores the pixels.
void DrawFocusRect(TDeviceContext& dc, const TRect& rect);
