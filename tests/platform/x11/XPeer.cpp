#include "platform/x11/XPeer.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>

struct TXPeer::TImpl {
  Display* Dpy = nullptr;

  bool Attributes(Window w, XWindowAttributes& a) { return XGetWindowAttributes(Dpy, w, &a) != 0; }
  std::vector<Window> Children(Window w, Window* parent = nullptr) {
    Window root = 0, up = 0, *kids = nullptr;
    unsigned n = 0;
    std::vector<Window> out;
    if (XQueryTree(Dpy, w, &root, &up, &kids, &n)) out.assign(kids, kids + n);
    if (kids) XFree(kids);
    if (parent) *parent = up;
    return out;
  }
};

TXPeer::TXPeer(const std::string& display) : F(std::make_unique<TImpl>()) { F->Dpy = XOpenDisplay(display.c_str()); }

TXPeer::~TXPeer() {
  if (F->Dpy) XCloseDisplay(F->Dpy);
}

bool TXPeer::Connected() const { return F->Dpy != nullptr; }

bool TXPeer::Viewable(unsigned long window) {
  XWindowAttributes a{};
  return F->Attributes(window, a) && a.map_state == IsViewable;
}

std::vector<TRect> TXPeer::TitleButtons(unsigned long window) {
  Window frame = 0;
  F->Children(window, &frame);
  XWindowAttributes client{};
  F->Attributes(window, client);
  std::vector<TRect> found;
  for (Window bar : F->Children(frame)) {
    XWindowAttributes a{};
    if (!F->Attributes(bar, a) || a.map_state != IsViewable || a.height > 40 || a.width < client.width) continue;
    for (Window b : F->Children(bar)) {
      if (!F->Attributes(b, a) || a.map_state != IsViewable || a.width < 8 || a.width > 30 ||
          std::abs(a.width - a.height) > 4)
        continue;
      int x = 0, y = 0;
      Window child = 0;
      XTranslateCoordinates(F->Dpy, b, DefaultRootWindow(F->Dpy), 0, 0, &x, &y, &child);
      found.push_back(TRect(x, y, x + a.width, y + a.height));
    }
  }
  std::sort(found.begin(), found.end(), [](const TRect& a, const TRect& b) { return a.Left < b.Left; });
  return found;
}
