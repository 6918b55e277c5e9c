// The frame, caption and caption buttons that DefWindowProc draws around a window, the places
// of those buttons (shared with the hit test) and the default tracking of a click on them.
#pragma once

#include "platform/win/WinTypes.h"

// Parts of the non-client area, in window coordinates (0,0 is the window's top-left corner).
struct TNonClientLayout {
  int Frame = 0;       // width of the border or frame on every side
  TRect Caption;       // the caption bar without its bottom line; empty without a caption
  TRect ClientEdge;    // the outside of the client and static edges; empty without them
  TRect Close;         // caption buttons; empty where the window has none
  TRect Max;
  TRect Min;
};

TNonClientLayout NonClientLayout(uint32_t style, uint32_t exStyle, int width, int height);
// HTCLOSE, HTMAXBUTTON or HTMINBUTTON for a point (window coordinates) on a button, else HTNOWHERE.
int CaptionButtonAt(const TNonClientLayout& layout, TPoint p);

// Draws the window's frame and caption in its activation state as WM_NCACTIVATE last set it.
void PaintNonClient(HWND hwnd);

// A left press on a caption button pushes it and captures the mouse; false for other hits.
bool NonClientButtonDown(HWND hwnd, int hit);
// Pointer moves and the release while a button is held (screen coordinates); false when no
// button of hwnd is held. The release over the button sends its WM_SYSCOMMAND.
bool NonClientButtonMove(HWND hwnd, TPoint screen);
bool NonClientButtonUp(HWND hwnd, TPoint screen);
// The held button lets go without a command when the capture moves away.
void NonClientCaptureLost(HWND hwnd);
// While a caption button is held its window's pointer moves and release belong to the button, not
// to the window procedure, which might otherwise drop the capture first; true when taken.
bool NonClientTakesInput(const TMsg& msg);
