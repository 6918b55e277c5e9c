#include "platform/win/WindowPos.h"

#include <algorithm>

#include "platform/win/Activation.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowTree.h"

namespace winsys {

void RecalcClient(TWindowRec& w) {
  TRect r = w.Bounds;
  SendMessage(w.Handle, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&r));
  if (TWindowRec* again = FindWindowRec(w.Handle)) again->Client = r;
}

void SyncSurface(TWindowRec& w) {
  if (w.Parent || w.MessageOnly) return;
  if (!w.Surface) w.Surface = std::make_unique<TWindowSurface>();
  w.Surface->Resize(std::max(0, w.Bounds.Width()), std::max(0, w.Bounds.Height()));
}

void InvalidateInParent(TWindowRec& w, const TRect& boundsInParent) {
  if (w.Parent) InvalidateRect(w.Parent, &boundsInParent, true);
}

}  // namespace winsys

using namespace winsys;

bool IsWindowVisible(HWND hwnd) {
  for (TWindowRec* w = FindWindowRec(hwnd); w; w = w->Parent ? FindWindowRec(w->Parent) : nullptr)
    if (!(w->Style & WS_VISIBLE)) return false;
  return IsWindow(hwnd);
}

bool IsIconic(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w && (w->Style & WS_MINIMIZE);
}

bool IsZoomed(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  return w && (w->Style & WS_MAXIMIZE);
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, uint32_t flags) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TWindowPos pos{hwnd, insertAfter, x, y, cx, cy, flags};
  if (flags & SWP_NOMOVE) pos.x = w->Bounds.Left, pos.y = w->Bounds.Top;
  if (flags & SWP_NOSIZE) pos.cx = w->Bounds.Width(), pos.cy = w->Bounds.Height();
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendMessage(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    w = FindWindowRec(hwnd);
    if (!w) return false;
  }
  pos.cx = std::max(0, pos.cx);
  pos.cy = std::max(0, pos.cy);
  TRect oldBounds = w->Bounds;
  TRect oldClient = w->Client;
  bool wasVisible = w->Style & WS_VISIBLE;
  TRect nb{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
  bool moved = nb.Left != oldBounds.Left || nb.Top != oldBounds.Top;
  bool sized = nb.Width() != oldBounds.Width() || nb.Height() != oldBounds.Height();
  if (moved || sized || (pos.flags & SWP_FRAMECHANGED)) {
    w->Bounds = nb;
    RecalcClient(*w);
    w = FindWindowRec(hwnd);
    if (!w) return false;
    SyncSurface(*w);
  }
  if (!(pos.flags & SWP_NOZORDER)) {
    if (!w->Parent) {
      uint32_t was = w->ExStyle;
      if (pos.hwndInsertAfter == HWND_TOPMOST) w->ExStyle |= WS_EX_TOPMOST;
      if (pos.hwndInsertAfter == HWND_NOTOPMOST) w->ExStyle &= ~WS_EX_TOPMOST;
      if (Shown(*w) && w->Created && was != w->ExStyle) DisplayBackend().WindowRestyled(hwnd);
    }
    Link(*w, pos.hwndInsertAfter);
  }
  if (pos.flags & SWP_SHOWWINDOW) w->Style |= WS_VISIBLE;
  if (pos.flags & SWP_HIDEWINDOW) w->Style &= ~WS_VISIBLE;
  bool visible = w->Style & WS_VISIBLE;
  bool clientSized = w->Client.Width() != oldClient.Width() || w->Client.Height() != oldClient.Height();
  if (!(pos.flags & SWP_NOREDRAW)) {
    if (wasVisible && (!visible || moved || sized)) InvalidateInParent(*w, oldBounds);
    if (visible && (!wasVisible || sized || (pos.flags & SWP_FRAMECHANGED))) {
      bool whole = !wasVisible || (w->ClassStyle & (CS_HREDRAW | CS_VREDRAW)) || (pos.flags & SWP_FRAMECHANGED);
      if (whole || clientSized) {
        TRect c = GetClientRect(hwnd);
        TRect fresh = c;
        if (!whole) {
          // Only the uncovered strips need paint when the class keeps its contents.
          TRect keep{0, 0, std::min(c.Width(), oldClient.Width()), std::min(c.Height(), oldClient.Height())};
          if (keep.Width() == c.Width()) fresh.Top = keep.Height();
          else if (keep.Height() == c.Height()) fresh.Left = keep.Width();
        }
        RedrawWindow(hwnd, &fresh, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
      }
      if (w->Parent && (moved || sized || !wasVisible)) InvalidateInParent(*w, w->Bounds);
    } else if (visible && moved && w->Parent) {
      InvalidateRect(hwnd, nullptr, true);
    }
  }
  // Hidden windows give up focus and capture.
  TWinState& s = WinState();
  if (!visible && wasVisible) {
    if (s.Focus && (s.Focus == hwnd || IsChild(hwnd, s.Focus))) {
      if (w->Parent) SetFocus(w->Parent);
    }
    if (s.Capture && (s.Capture == hwnd || IsChild(hwnd, s.Capture))) ReleaseCapture();
  }
  w = FindWindowRec(hwnd);
  if (!w) return true;
  if (Shown(*w) && w->Created) {
    if (moved || sized) DisplayBackend().WindowMoved(hwnd, w->Bounds);
    if (visible != wasVisible) DisplayBackend().WindowShown(hwnd, visible);
  }
  TWindowPos done = pos;
  done.x = w->Bounds.Left, done.y = w->Bounds.Top;
  if (!moved) done.flags |= SWP_NOMOVE;
  if (!sized) done.flags |= SWP_NOSIZE;
  if (!w->Created) return true;
  SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  w = FindWindowRec(hwnd);
  if (w && !w->Parent && visible && !wasVisible && !(pos.flags & SWP_NOACTIVATE) && !w->MessageOnly)
    Activate(hwnd, WA_ACTIVE);
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
  return SetWindowPos(hwnd, 0, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool ShowWindow(HWND hwnd, int cmd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return false;
  TWinState& s = WinState();
  bool wasVisible = w->Style & WS_VISIBLE;
  if (cmd == SW_HIDE) {
    if (!wasVisible) return false;
    SendMessage(hwnd, WM_SHOWWINDOW, 0, 0);
    SetWindowPos(hwnd, 0, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (IsWindow(hwnd) && s.Active == hwnd) {
      s.Active = 0;
      HWND next = NextActivation(hwnd);
      if (next) {
        s.Active = hwnd;  // so the old window hears that it lost activation
        Activate(next, WA_ACTIVE);
      } else {
        SendActivation(hwnd, 0, 0);
      }
    }
    return true;
  }
  bool noActivate = cmd == SW_SHOWNOACTIVATE || cmd == SW_SHOWNA || cmd == SW_SHOWMINNOACTIVE || w->Parent;
  uint32_t flags = SWP_SHOWWINDOW | SWP_NOZORDER | (noActivate ? SWP_NOACTIVATE : 0);
  if (!wasVisible) {
    SendMessage(hwnd, WM_SHOWWINDOW, 1, 0);
    if (!IsWindow(hwnd)) return false;
  }
  w = FindWindowRec(hwnd);
  auto restoreStyle = [&](uint32_t add) {
    if (!(w->Style & (WS_MINIMIZE | WS_MAXIMIZE))) w->NormalBounds = w->Bounds;
    w->Style = (w->Style & ~(WS_MINIMIZE | WS_MAXIMIZE)) | add;
  };
  TRect target = w->Bounds;
  switch (cmd) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      restoreStyle(WS_MINIMIZE);
      target = TRect{w->NormalBounds.Left, w->NormalBounds.Top, w->NormalBounds.Left + 160,
                     w->NormalBounds.Top + NonClientInsets(w->Style, w->ExStyle).Top};
      if (cmd == SW_MINIMIZE) flags |= SWP_NOACTIVATE;
      break;
    case SW_SHOWMAXIMIZED:
      restoreStyle(WS_MAXIMIZE);
      target = w->Parent ? GetClientRect(w->Parent) : GetWorkArea();
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
      if (w->Style & (WS_MINIMIZE | WS_MAXIMIZE)) {
        w->Style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        target = w->NormalBounds;
      }
      break;
    default: break;
  }
  SetWindowPos(hwnd, 0, target.Left, target.Top, target.Width(), target.Height(), flags);
  if (IsWindow(hwnd) && !noActivate && wasVisible && !(flags & SWP_NOACTIVATE) && !Need(hwnd).Parent)
    Activate(hwnd, WA_ACTIVE);
  if (IsWindow(hwnd) && (cmd == SW_MINIMIZE) && s.Active == hwnd) {
    HWND next = NextActivation(hwnd);
    Activate(next, WA_ACTIVE);
  }
  return wasVisible;
}
