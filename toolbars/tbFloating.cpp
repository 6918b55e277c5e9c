#include "toolbars/tbFloating.h"

#include <algorithm>
#include <functional>

#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/DragFrame.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

bool DockDragHit(TRect r, bool sideDock, TPoint cursor, TPoint grab, TSize window, const TRect& candidate) {
  if (r.Width() == 0 || r.Height() == 0) {
    // An empty dock still takes drops along its edge.
    if (sideDock) r = TRect{r.Left - 1, r.Top, r.Right + 1, r.Bottom};
    else r = TRect{r.Left, r.Top - 1, r.Right, r.Bottom + 1};
  }
  const int fx = window.cx > 1 ? 32 * grab.X / (window.cx - 1) : 0;
  const int fy = window.cy > 1 ? 20 * grab.Y / (window.cy - 1) : 0;
  if (cursor.X < r.Left - 32 + fx || cursor.X > r.Right - 1 + fx) return false;
  if (cursor.Y < r.Top - 20 + fy || cursor.Y > r.Bottom - 1 + fy) return false;
  if (sideDock && (cursor.Y < r.Top || cursor.Y >= r.Bottom)) return false;
  return !IntersectRect(candidate, r).IsEmpty();
}

TRect PlaceWithGrab(TPoint cursor, TPoint grab, TSize from, TSize to) {
  const int gx = from.cx > 0 ? grab.X * to.cx / from.cx : 0;
  const int gy = from.cy > 0 ? grab.Y * to.cy / from.cy : 0;
  return TRect{cursor.X - gx, cursor.Y - gy, cursor.X - gx + to.cx, cursor.Y - gy + to.cy};
}

TRect KeepReachable(TRect r, const TRect& wa, int frame, int captionHeight) {
  const TRect shrunk = InflateRect(wa, -(frame + 4), -(frame + 4));
  int dx = 0, dy = 0;
  if (r.Bottom < shrunk.Top) dy = shrunk.Top - r.Bottom;
  if (r.Top > shrunk.Bottom) dy = shrunk.Bottom - r.Top;
  if (r.Right < shrunk.Left) dx = shrunk.Left - r.Right;
  if (r.Left > shrunk.Right) dx = shrunk.Right - r.Left;
  r = OffsetRect(r, dx, dy);
  const int highest = wa.Top - (frame + captionHeight) + 4;
  if (r.Top < highest) r = OffsetRect(r, 0, highest - r.Top);
  return r;
}

namespace {

void CollectDocks(TWinControl* level, TtbCustomToolWindow& w, std::vector<TtbDock*>& out) {
  for (TtbDockPosition pos : {adpTop, adpBottom, adpLeft, adpRight})
    for (int i = 0; i < level->ControlCount(); ++i) {
      auto* d = dynamic_cast<TtbDock*>(level->Controls(i));
      if (!d || d->Position() != pos) continue;
      static constexpr unsigned Bits[] = {dtTop, dtBottom, dtLeft, dtRight};
      if (d->Showing() && d->AllowDrag() && (w.DockableTo() & Bits[pos])) out.push_back(d);
    }
  for (int i = 0; i < level->ControlCount(); ++i) {
    auto* c = dynamic_cast<TWinControl*>(level->Controls(i));
    if (c && !dynamic_cast<TtbDock*>(c) && !dynamic_cast<TtbCustomToolWindow*>(c)) CollectDocks(c, w, out);
  }
}

// What every modal mouse loop shares: the capture, the queue and the way out.
enum class TLoopEnd { Accepted, Cancelled };

struct TLoopHandlers {
  std::function<void(TPoint)> Move;
  std::function<void(TMsg&)> Key;  // nullptr: keys are swallowed
  bool MoveOnRelease = true;       // false: the release keeps what the last move showed
};

TLoopEnd RunMouseLoop(HWND wnd, bool escapeCancels, const TLoopHandlers& h) {
  SetCapture(wnd);
  for (;;) {
    if (GetCapture() != wnd) return TLoopEnd::Cancelled;
    TMsg m;
    if (!PeekMessage(m, 0, 0, 0, PM_REMOVE)) {
      // Nothing can come that would end the loop.
      if (!DisplayBackend().BringsInput()) return TLoopEnd::Cancelled;
      WaitMessage();
      continue;
    }
    switch (m.message) {
      case WM_QUIT: PostQuitMessage(static_cast<int>(m.wParam)); return TLoopEnd::Cancelled;
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_SYSKEYDOWN:
      case WM_SYSKEYUP:
        if (escapeCancels && m.wParam == VK_ESCAPE) return TLoopEnd::Cancelled;
        if (h.Key) h.Key(m);
        break;
      case WM_CHAR:
      case WM_SYSCHAR:
      case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
      case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
      case WM_NCRBUTTONDOWN: case WM_NCRBUTTONUP:
        break;
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_NCLBUTTONDOWN: case WM_NCLBUTTONDBLCLK:
        return TLoopEnd::Cancelled;
      case WM_LBUTTONUP: case WM_NCLBUTTONUP:
        if (h.Move && h.MoveOnRelease) h.Move(m.pt);
        return TLoopEnd::Accepted;
      case WM_MOUSEMOVE: case WM_NCMOUSEMOVE:
        if (h.Move) h.Move(m.pt);
        break;
      default:
        TranslateMessage(m);
        DispatchMessage(m);
    }
  }
}

// The frame drawn on the screen while dragging or sizing; drawing it again takes it away.
class TXorFrame {
public:
  ~TXorFrame() { Hide(); }
  void Show(const TRect& r, int thickness) {
    if (FShown && r == FRect && thickness == FThickness) return;
    Hide();
    if (r.IsEmpty()) return;
    DrawXorFrame(r, thickness);
    FRect = r;
    FThickness = thickness;
    FShown = true;
  }
  void Hide() {
    if (FShown) DrawXorFrame(FRect, FThickness);
    FShown = false;
  }

private:
  TRect FRect;
  int FThickness = 0;
  bool FShown = false;
};

// Capture, cursor and frame are given back on every way out.
struct TLoopGuard {
  HWND Wnd;
  int Cursor = GetCursor();
  ~TLoopGuard() {
    if (GetCapture() == Wnd) ReleaseCapture();
    SetCursor(Cursor);
  }
};

void DispatchPendingPaints() {
  TMsg m;
  while (PeekMessage(m, 0, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessage(m);
}

}  // namespace

std::vector<TtbDock*> CandidateDocks(TtbCustomToolWindow& w) {
  std::vector<TtbDock*> out;
  if (w.DockMode() == admCannotFloatOrChangeDocks) {
    if (w.DockedTo()) out.push_back(w.DockedTo());
    return out;
  }
  std::vector<TCustomForm*> forms;
  if (TCustomForm* f = w.OwnerForm()) forms.push_back(f);
  for (TCustomForm* f : Screen().Forms())
    if (std::find(w.DockForms().begin(), w.DockForms().end(), f) != w.DockForms().end() &&
        std::find(forms.begin(), forms.end(), f) == forms.end())
      forms.push_back(f);
  for (TCustomForm* f : forms) CollectDocks(f, w, out);
  return out;
}

void RunToolWindowDrag(TtbCustomToolWindow& w, TPoint grab) {
  DispatchPendingPaints();
  HWND wnd = w.Handle();
  TLoopGuard guard{wnd};
  const TRect start = GetWindowRect(wnd);
  const TSize windowSize{start.Width(), start.Height()};
  const TRect floatIn = w.FrameInsets(nullptr, true);
  const TSize floatClient = w.Layout(false, 0, nullptr);
  const TSize floatSize{floatClient.cx + floatIn.Left + floatIn.Right, floatClient.cy + floatIn.Top + floatIn.Bottom};
  std::vector<TtbDock*> docks = CandidateDocks(w);
  std::vector<TSize> dockedSizes;
  for (TtbDock* d : docks) {
    if (d == w.DockedTo()) dockedSizes.push_back(windowSize);
    else dockedSizes.push_back(w.DockedSizeOf(w.Layout(false, d->Orientation(), d), d));
  }
  const int frame = floatIn.Left;
  bool docking = GetKeyState(VK_CONTROL) >= 0;
  TtbDock* target = nullptr;
  TRect rect = start;
  TPoint last = TPoint{start.Left + grab.X, start.Top + grab.Y};
  TXorFrame xorFrame;

  auto update = [&](TPoint cursor) {
    last = cursor;
    target = nullptr;
    if (docking)
      for (size_t i = 0; i < docks.size(); ++i) {
        TtbDock* d = docks[i];
        TRect candidate = PlaceWithGrab(cursor, grab, windowSize, dockedSizes[i]);
        TRect dr = d->HandleAllocated() ? GetWindowRect(d->Handle()) : TRect{};
        if (!DockDragHit(dr, d->Orientation() == 2, cursor, grab, windowSize, candidate)) continue;
        bool allow = true;
        if (d->OnRequestDock) d->OnRequestDock(d, &w, allow);
        if (!allow) continue;
        target = d;
        rect = candidate;
        break;
      }
    if (!target) {
      if (w.DockMode() == admCanFloat) {
        TRect wa = GetWorkArea();
        cursor.X = std::clamp(cursor.X, wa.Left, std::max(wa.Left, wa.Right - 1));
        cursor.Y = std::clamp(cursor.Y, wa.Top, std::max(wa.Top, wa.Bottom - 1));
        rect = KeepReachable(PlaceWithGrab(cursor, grab, windowSize, floatSize), wa, frame, w.CaptionHeight());
        SetCursor(guard.Cursor);
      } else {
        rect = TRect{};
        SetCursor(LoadCursor(0, IDC_NO));
      }
    } else {
      SetCursor(guard.Cursor);
    }
    xorFrame.Show(rect, target ? 1 : frame);
  };

  TLoopHandlers handlers;
  handlers.Move = update;
  handlers.Key = [&](TMsg& m) {
    if (m.wParam != VK_CONTROL) return;
    const bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    if (docking == !down) return;
    docking = !down;
    update(last);
  };
  update(last);
  TLoopEnd end = RunMouseLoop(wnd, true, handlers);
  xorFrame.Hide();
  if (end != TLoopEnd::Accepted || rect.IsEmpty()) return;

  if (target) {
    const TPoint org = target->ClientOrigin();
    const bool along = target->Orientation() == 1;
    const int centre = along ? (rect.Top + rect.Bottom) / 2 - org.Y : (rect.Left + rect.Right) / 2 - org.X;
    target->PlaceToolWindow(&w, centre, along ? rect.Left - org.X : rect.Top - org.Y);
    if (w.DockedTo() != target) w.SetParent(target);
    target->ArrangeToolbars(true);
  } else {
    w.SetFloatingPosition(TPoint{rect.Left, rect.Top});
    if (w.DockedTo()) {
      TCustomForm* form = w.OwnerForm();
      if (!form) throw EInvalidOperation("Control '%s' has no parent window", {w.Name()});
      w.SetParent(form);
    } else {
      w.SetBounds(rect.Left, rect.Top, w.Width(), w.Height());
    }
    w.MoveOnScreen(true);
  }
}

void RunToolWindowResize(TtbCustomToolWindow& w, TtbSizeHandle side) {
  DispatchPendingPaints();
  HWND wnd = w.Handle();
  TLoopGuard guard{wnd};
  const TRect start = GetWindowRect(wnd);
  const TRect in = w.FrameInsets(nullptr, true);
  int mx = 0, my = 0;
  w.GetExtraMargins(mx, my);
  const int minW = mx + in.Left + in.Right, minH = my + in.Top + in.Bottom;
  w.BeginSizing(side);
  const bool left = side == shLeft || side == shTopLeft || side == shBottomLeft;
  const bool right = side == shRight || side == shTopRight || side == shBottomRight;
  const bool top = side == shTop || side == shTopLeft || side == shTopRight;
  const bool bottom = side == shBottom || side == shBottomLeft || side == shBottomRight;
  const TPoint origin = GetMessagePos();
  TRect rect = start;
  TXorFrame xorFrame;
  const bool restrict = w.RestrictCursorWhenSizing();

  auto update = [&](TPoint cursor) {
    if (restrict) {
      TRect wa = GetWorkArea();
      cursor.X = std::clamp(cursor.X, wa.Left, std::max(wa.Left, wa.Right - 1));
      cursor.Y = std::clamp(cursor.Y, wa.Top, std::max(wa.Top, wa.Bottom - 1));
    }
    const int dx = cursor.X - origin.X, dy = cursor.Y - origin.Y;
    TRect r = start;
    if (left) r.Left = std::min(start.Left + dx, r.Right - minW);
    if (right) r.Right = std::max(start.Right + dx, r.Left + minW);
    if (top) r.Top = std::min(start.Top + dy, r.Bottom - minH);
    if (bottom) r.Bottom = std::max(start.Bottom + dy, r.Top + minH);
    w.Sizing(side, cursor, r);
    rect = r;
    xorFrame.Show(rect, in.Left);
  };
  TLoopHandlers handlers;
  handlers.Move = update;
  handlers.MoveOnRelease = false;
  xorFrame.Show(rect, in.Left);
  TLoopEnd end = TLoopEnd::Cancelled;
  try {
    end = RunMouseLoop(wnd, true, handlers);
  } catch (...) {
    w.EndSizing(false);
    throw;
  }
  xorFrame.Hide();
  const bool accept = end == TLoopEnd::Accepted;
  w.EndSizing(accept);
  if (!accept) return;
  w.BeginArrange();
  try {
    w.SetBounds(rect.Left, rect.Top, rect.Width(), rect.Height());
  } catch (...) {
    w.EndArrange();
    throw;
  }
  w.EndArrange();
  w.MoveOnScreen(true);
}

bool RunCloseButtonLoop(TtbCustomToolWindow& w) {
  HWND wnd = w.Handle();
  TLoopGuard guard{wnd};
  auto over = [&](TPoint screen) {
    TRect wr = GetWindowRect(wnd);
    return w.CloseButtonRect().Contains(screen.X - wr.Left, screen.Y - wr.Top);
  };
  struct TRelease {
    TtbCustomToolWindow& W;
    ~TRelease() {
      W.FCloseButtonDown = false;
      W.ncPaint();
    }
  } release{w};
  w.FCloseButtonDown = true;
  w.ncPaint();
  TLoopHandlers handlers;
  handlers.Move = [&](TPoint p) {
    const bool pushed = over(p);
    if (pushed == w.FCloseButtonDown) return;
    w.FCloseButtonDown = pushed;
    w.ncPaint();
  };
  TLoopEnd end = RunMouseLoop(wnd, false, handlers);
  return end == TLoopEnd::Accepted && w.FCloseButtonDown;
}
