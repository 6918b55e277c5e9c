#include "controls/ServerCursor.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

TServerCursor ServerCursor(const std::string& display) {
  TServerCursor c;
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return c;
  int event = 0, error = 0;
  if (XFixesQueryExtension(d, &event, &error)) {
    if (XFixesCursorImage* img = XFixesGetCursorImage(d)) {
      c = {img->width, img->height, img->xhot, img->yhot,
           std::vector<unsigned long>(img->pixels, img->pixels + img->width * img->height)};
      XFree(img);
    }
  }
  XCloseDisplay(d);
  return c;
}
