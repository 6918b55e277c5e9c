// Another client's look at an X server: whether a window is on screen, its title and its pixels.
// Kept apart from the tests because Xlib's names clash with the class library's.
#pragma once

#include <string>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/GdiTypes.h"

class TXPeer {
public:
  explicit TXPeer(const std::string& display);
  ~TXPeer();
  TXPeer(const TXPeer&) = delete;
  TXPeer& operator=(const TXPeer&) = delete;

  bool Connected() const { return FDisplay != nullptr; }
  // False too for a window that no longer exists; the other calls need one that does.
  bool Viewable(unsigned long window) const;
  std::string Title(unsigned long window) const;
  // Where the window lies on the root window; empty when it cannot be read.
  TRect Bounds(unsigned long window) const;
  // What the server shows of the window, as 0x00BBGGRR pixels; empty when it cannot be read.
  TGdiBitmap Image(unsigned long window) const;

private:
  void* FDisplay = nullptr;
};
