// Another client's look at a test's X server, for tests whose own headers cannot meet Xlib's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

class TXPeer {
public:
  explicit TXPeer(const std::string& display);
  ~TXPeer();
  TXPeer(const TXPeer&) = delete;
  TXPeer& operator=(const TXPeer&) = delete;

  bool Connected() const;
  bool Viewable(unsigned long window);
  // The square buttons of the title bar a window manager framed the window with, left to right,
  // on the screen.
  std::vector<TRect> TitleButtons(unsigned long window);

private:
  struct TImpl;
  std::unique_ptr<TImpl> F;
};
