// The X server's cursor where the pointer is, as another client sees it through XFixes. Kept apart
// from the tests so that Xlib's macros stay out of the control headers.
#pragma once

#include <string>
#include <vector>

struct TServerCursor {
  int Width = 0, Height = 0, HotX = 0, HotY = 0;
  std::vector<unsigned long> Argb;  // row by row from the top
};

// Empty when the display or the extension is missing.
TServerCursor ServerCursor(const std::string& display);
