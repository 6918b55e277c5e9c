// Invalidation, painting and device contexts of windows.
#include "platform/win/Caret.h"
#include "platform/win/WindowTree.h"

using namespace winsys;

bool InvalidateRect(HWND hwnd, const TRect* rect, bool erase) {
  if (!hwnd) {
    for (HWND h : WinState().TopLevel) RedrawWindow(h, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
  }
  return RedrawWindow(hwnd, rect, RDW_INVALIDATE | (erase ? RDW_ERASE : 0u));
}

bool ValidateRect(HWND hwnd, const TRect* rect) { return RedrawWindow(hwnd, rect, RDW_VALIDATE); }

bool GetUpdateRect(HWND hwnd, TRect* rect, bool erase) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  if (rect) *rect = w->Update;
  if (erase && !w->Update.IsEmpty() && w->UpdateErase) {
    HDC dc = GetDC(hwnd);
    if (SendMessage(hwnd, WM_ERASEBKGND, dc, 0)) {
      if (TWindowRec* again = FindWindowRec(hwnd)) again->UpdateErase = false;
    }
    ReleaseDC(hwnd, dc);
  }
  return !w->Update.IsEmpty();
}

bool RedrawWindow(HWND hwnd, const TRect* rect, unsigned flags) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TRect client = GetClientRect(hwnd);
  TRect area = rect ? IntersectRect(*rect, client) : client;
  if (flags & RDW_INVALIDATE) {
    if (!area.IsEmpty()) {
      w->Update = UnionRect(w->Update, area);
      if (flags & RDW_ERASE) w->UpdateErase = true;
    }
    if (flags & RDW_FRAME) SendMessage(hwnd, WM_NCPAINT, 1, 0);
  }
  if (flags & RDW_VALIDATE) {
    if (!rect || (area.Left <= w->Update.Left && area.Top <= w->Update.Top && area.Right >= w->Update.Right &&
                  area.Bottom >= w->Update.Bottom)) {
      w->Update = TRect{};
      w->UpdateErase = false;
    }
  }
  if ((flags & RDW_ALLCHILDREN) && IsWindow(hwnd)) {
    std::vector<HWND> kids = Need(hwnd).Children;
    for (HWND c : kids) {
      TWindowRec* k = FindWindowRec(c);
      if (!k) continue;
      TRect inChild = OffsetRect(area, -k->Client.Left, -k->Client.Top);
      RedrawWindow(c, &inChild, flags & ~(RDW_UPDATENOW | RDW_ERASENOW));
    }
  }
  if ((flags & RDW_UPDATENOW) && IsWindow(hwnd)) UpdateWindow(hwnd);
  return true;
}

bool UpdateWindow(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  if (!w->Update.IsEmpty() && w->Redraw && IsWindowVisible(hwnd) && WinState().Locked != hwnd)
    SendMessage(hwnd, WM_PAINT, 0, 0);
  if (!IsWindow(hwnd)) return true;
  std::vector<HWND> kids = Need(hwnd).Children;
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) UpdateWindow(*it);
  return true;
}

HWND FindWindowToPaint(HWND filter) {
  TWinState& s = WinState();
  // Parents paint before their children, so children draw over them.
  std::vector<HWND> stack(s.TopLevel.rbegin(), s.TopLevel.rend());
  for (auto& [h, w] : s.Windows)
    if (w->MessageOnly) stack.push_back(h);
  std::vector<HWND> order;
  while (!stack.empty()) {
    HWND h = stack.back();
    stack.pop_back();
    TWindowRec& w = Need(h);
    if (!(w.Style & WS_VISIBLE) || !w.Redraw || s.Locked == h) continue;
    if (!w.Update.IsEmpty() && (!filter || filter == h || IsChild(filter, h))) return h;
    for (auto it = w.Children.rbegin(); it != w.Children.rend(); ++it) stack.push_back(*it);
  }
  return 0;
}

namespace {

// A window paints without clipping out its children, so those it paints over must paint again,
// frame and all, after it.
void InvalidateCoveredChildren(HWND hwnd, const TRect& area) {
  if (area.IsEmpty()) return;
  std::vector<HWND> kids = Need(hwnd).Children;
  for (HWND c : kids) {
    TWindowRec* k = FindWindowRec(c);
    if (!k || !(k->Style & WS_VISIBLE)) continue;
    TRect covered = IntersectRect(area, k->Bounds);
    if (covered.IsEmpty()) continue;
    TRect inClient = OffsetRect(IntersectRect(covered, k->Client), -k->Client.Left, -k->Client.Top);
    if (covered != IntersectRect(covered, k->Client)) {
      k->FramePending = true;
      inClient = GetClientRect(c);  // a frame repaint comes with its window's paint
    }
    RedrawWindow(c, &inClient, RDW_INVALIDATE | RDW_ERASE);
    InvalidateCoveredChildren(c, inClient);
  }
}

}  // namespace

HDC BeginPaint(HWND hwnd, TPaintStruct& ps) {
  ps = TPaintStruct{};
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  if (w->FramePending) {
    w->FramePending = false;
    SendMessage(hwnd, WM_NCPAINT, 1, 0);
    w = FindWindowRec(hwnd);
    if (!w) return 0;
  }
  HideCaret(hwnd);
  TRect update = w->Update;
  bool erase = w->UpdateErase;
  w->Update = TRect{};
  w->UpdateErase = false;
  InvalidateCoveredChildren(hwnd, update);
  HDC dc = GetPaintDC(hwnd, update);
  ps.hdc = dc;
  ps.rcPaint = update;
  ps.fErase = true;
  if (erase) ps.fErase = SendMessage(hwnd, WM_ERASEBKGND, dc, 0) == 0;
  return dc;
}

bool EndPaint(HWND hwnd, const TPaintStruct& ps) {
  ReleaseDC(hwnd, ps.hdc);
  ShowCaret(hwnd);
  return true;
}

namespace {

HDC AcquireFor(HWND hwnd, bool whole, const TRect* update) {
  if (hwnd == 0 || hwnd == DesktopHandle) {
    // The screen itself: drawing there stays in the process; the display shows only XOR frames.
    TDcTarget t;
    t.Window = DesktopHandle;
    t.Surface = GetWindowSurface(DesktopHandle);
    t.Clip = GetWindowSurfaceRect(DesktopHandle);
    return AcquireDc(t);
  }
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  TDcTarget t;
  t.Window = hwnd;
  t.Surface = GetWindowSurface(hwnd);
  TRect area = GetWindowSurfaceRect(hwnd);
  if (whole) {
    TRect top = GetWindowRect(GetAncestorRoot(hwnd));
    TRect wr = GetWindowRect(hwnd);
    area = OffsetRect(wr, -top.Left, -top.Top);
  }
  t.Origin = TPoint{area.Left, area.Top};
  // Clipped by every parent's client area.
  for (HWND p = w->Parent; p; p = Need(p).Parent) area = IntersectRect(area, GetWindowSurfaceRect(p));
  if (update) area = IntersectRect(area, OffsetRect(*update, t.Origin.X, t.Origin.Y));
  t.Clip = area;
  if (w->Style & WS_CLIPCHILDREN) {
    const TRect top = GetWindowRect(GetAncestorRoot(hwnd));
    // Children show inside the client area only: one still reaching past it (its parent just
    // shrank, its own move comes later) must not keep the frame from being drawn.
    const TRect client = GetWindowSurfaceRect(hwnd);
    for (HWND c : w->Children) {
      // A transparent child shows what its parent paints beneath it.
      const TWindowRec& k = Need(c);
      if (!(k.Style & WS_VISIBLE) || (k.ExStyle & WS_EX_TRANSPARENT)) continue;
      TRect r = IntersectRect(IntersectRect(OffsetRect(GetWindowRect(c), -top.Left, -top.Top), client), area);
      if (!r.IsEmpty()) t.Excluded.push_back(r);
    }
  }
  return AcquireDc(t);
}

}  // namespace

HDC GetDC(HWND hwnd) { return AcquireFor(hwnd, false, nullptr); }
HDC GetWindowDC(HWND hwnd) { return AcquireFor(hwnd, true, nullptr); }
HDC GetPaintDC(HWND hwnd, const TRect& update) { return AcquireFor(hwnd, false, &update); }

int ReleaseDC(HWND, HDC dc) {
  if (!dc) return 0;
  ReleaseDcHandle(dc);
  return 1;
}

bool LockWindowUpdate(HWND hwnd) {
  TWinState& s = WinState();
  if (hwnd && s.Locked && s.Locked != hwnd) return false;
  HWND old = s.Locked;
  s.Locked = hwnd;
  if (!hwnd && old && IsWindow(old)) InvalidateRect(old, nullptr, true);
  return true;
}
