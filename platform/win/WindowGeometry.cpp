#include "platform/win/WindowGeometry.h"

#include <algorithm>

#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowTree.h"

namespace winsys {

TPoint ClientOriginOnScreen(const TWindowRec& w) {
  TPoint p{w.Client.Left, w.Client.Top};
  for (HWND h = w.Parent; h; h = Need(h).Parent) {
    p.X += Need(h).Client.Left;
    p.Y += Need(h).Client.Top;
  }
  return p;
}

TRect ScreenBounds(const TWindowRec& w) {
  TPoint origin{0, 0};
  if (w.Parent) origin = ClientOriginOnScreen(Need(w.Parent));
  return OffsetRect(w.Bounds, origin.X, origin.Y);
}

}  // namespace winsys

using namespace winsys;

TRect GetWindowRect(HWND hwnd) {
  if (hwnd == DesktopHandle) return DisplayBackend().ScreenRect();
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? ScreenBounds(*w) : TRect{};
}

TRect GetClientRect(HWND hwnd) {
  if (hwnd == DesktopHandle) return DisplayBackend().ScreenRect();
  TWindowRec* w = FindWindowRec(hwnd);
  return w ? TRect{0, 0, std::max(0, w->Client.Width()), std::max(0, w->Client.Height())} : TRect{};
}

TPoint ClientToScreen(HWND hwnd, TPoint p) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return p;
  TPoint o = ClientOriginOnScreen(*w);
  return TPoint{p.X + o.X, p.Y + o.Y};
}

TPoint ScreenToClient(HWND hwnd, TPoint p) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return p;
  TPoint o = ClientOriginOnScreen(*w);
  return TPoint{p.X - o.X, p.Y - o.Y};
}

TRect NonClientInsets(uint32_t style, uint32_t exStyle) {
  if (ManagerFramed(style, exStyle)) {
    style &= ~(WS_CAPTION | WS_THICKFRAME);
    exStyle &= ~WS_EX_DLGMODALFRAME;
  }
  int frame = 0;
  if (style & WS_THICKFRAME)
    frame = SizeFrameWidth;
  else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
    frame = DlgFrameWidth;
  else if (style & WS_BORDER)
    frame = BorderWidth;
  TRect r{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION)
    r.Top += (exStyle & WS_EX_TOOLWINDOW) ? SmallCaptionHeight : CaptionHeight;
  int edge = 0;
  if (exStyle & WS_EX_CLIENTEDGE) edge += EdgeWidth;
  if (exStyle & WS_EX_STATICEDGE) edge += BorderWidth;
  r.Left += edge, r.Top += edge, r.Right += edge, r.Bottom += edge;
  return r;
}

bool AdjustWindowRectEx(TRect& r, uint32_t style, uint32_t exStyle) {
  TRect in = NonClientInsets(style, exStyle);
  r = TRect{r.Left - in.Left, r.Top - in.Top, r.Right + in.Right, r.Bottom + in.Bottom};
  return true;
}

HWND ChildWindowFromPoint(HWND parent, TPoint client) {
  TWindowRec* w = FindWindowRec(parent);
  if (!w) return 0;
  for (HWND c : w->Children) {
    TWindowRec& k = Need(c);
    if ((k.Style & WS_VISIBLE) && k.Bounds.Contains(client.X, client.Y)) return c;
  }
  return parent;
}

HWND WindowFromPoint(TPoint screen) {
  for (HWND h : WinState().TopLevel) {
    TWindowRec& t = Need(h);
    if (!(t.Style & WS_VISIBLE) || !t.Bounds.Contains(screen.X, screen.Y)) continue;
    HWND cur = h;
    for (;;) {
      TPoint c = ScreenToClient(cur, screen);
      HWND next = ChildWindowFromPoint(cur, c);
      if (next == cur || !(Need(next).Style & WS_VISIBLE)) break;
      if (Need(next).Style & WS_DISABLED) return next;
      cur = next;
    }
    return cur;
  }
  return 0;
}

TRect GetWorkArea() { return DisplayBackend().WorkArea(); }
