#include "XPeer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Display* Dpy(void* d) { return static_cast<Display*>(d); }

unsigned Channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return unsigned(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

TXPeer::TXPeer(const std::string& display) : FDisplay(XOpenDisplay(display.c_str())) {}

TXPeer::~TXPeer() {
  if (FDisplay) XCloseDisplay(Dpy(FDisplay));
}

bool TXPeer::Viewable(unsigned long window) const {
  if (!FDisplay || !window) return false;
  // Asking about a window that is gone would be an X error, which ends the process.
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(Dpy(FDisplay), DefaultRootWindow(Dpy(FDisplay)), &root, &parent, &children, &count)) return false;
  bool there = false;
  for (unsigned i = 0; i < count; ++i) there = there || children[i] == window;
  if (children) XFree(children);
  XWindowAttributes a{};
  return there && XGetWindowAttributes(Dpy(FDisplay), window, &a) && a.map_state == IsViewable;
}

std::string TXPeer::Title(unsigned long window) const {
  char* name = nullptr;
  if (!FDisplay || !window || !XFetchName(Dpy(FDisplay), window, &name) || !name) return {};
  std::string title = name;
  XFree(name);
  return title;
}

TRect TXPeer::Bounds(unsigned long window) const {
  XWindowAttributes a{};
  if (!FDisplay || !window || !XGetWindowAttributes(Dpy(FDisplay), window, &a)) return {};
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(Dpy(FDisplay), window, a.root, 0, 0, &x, &y, &child);
  return TRect{x, y, x + a.width, y + a.height};
}

TGdiBitmap TXPeer::Image(unsigned long window) const {
  XWindowAttributes a{};
  if (!FDisplay || !window || !XGetWindowAttributes(Dpy(FDisplay), window, &a)) return {};
  XImage* img = XGetImage(Dpy(FDisplay), window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
  if (!img) return {};
  TGdiBitmap bmp(a.width, a.height);
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const unsigned long p = XGetPixel(img, x, y);
      bmp.SetPixel(x, y, Channel(p, img->red_mask) | Channel(p, img->green_mask) << 8 |
                             Channel(p, img->blue_mask) << 16);
    }
  XDestroyImage(img);
  return bmp;
}
