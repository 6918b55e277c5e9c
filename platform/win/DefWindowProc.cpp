// Default message processing and sent messages.
#include <algorithm>

#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/Hooks.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/MoveSize.h"
#include "platform/win/NonClient.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowGeometry.h"
#include "platform/win/WindowTree.h"

using namespace winsys;

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<const TCreateStruct*>(lp);
      if (cs && cs->lpszName) w->Text = cs->lpszName;
      return 1;
    }
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<TRect*>(lp);
      TRect in = NonClientInsets(w->Style, w->ExStyle);
      r->Left += in.Left, r->Top += in.Top, r->Right -= in.Right, r->Bottom -= in.Bottom;
      if (r->Right < r->Left) r->Right = r->Left;
      if (r->Bottom < r->Top) r->Bottom = r->Top;
      return 0;
    }
    case WM_NCHITTEST: {
      TPoint p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      TRect wr = ScreenBounds(*w);
      if (!wr.Contains(p.X, p.Y)) return HTNOWHERE;
      TPoint c = ScreenToClient(hwnd, p);
      if (GetClientRect(hwnd).Contains(c.X, c.Y)) return HTCLIENT;
      TRect in = NonClientInsets(w->Style, w->ExStyle);
      int frame = (w->Style & WS_THICKFRAME) ? SizeFrameWidth : 0;
      if (frame) {
        bool left = p.X < wr.Left + frame, right = p.X >= wr.Right - frame;
        bool top = p.Y < wr.Top + frame, bottom = p.Y >= wr.Bottom - frame;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
      }
      if ((w->Style & WS_CAPTION) == WS_CAPTION && p.Y < wr.Top + in.Top) {
        // The same places the caption buttons are drawn at.
        TNonClientLayout l = NonClientLayout(w->Style, w->ExStyle, wr.Width(), wr.Height());
        if (int button = CaptionButtonAt(l, TPoint{p.X - wr.Left, p.Y - wr.Top})) return button;
        return HTCAPTION;
      }
      return HTBORDER;
    }
    case WM_NCACTIVATE:
      w->NcActive = wp != 0;
      PaintNonClient(hwnd);
      return 1;
    case WM_NCPAINT: PaintNonClient(hwnd); return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wp == HTCAPTION && (w->Style & WS_MAXIMIZEBOX)) {
        SendMessage(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lp);
        return 0;
      }
      [[fallthrough]];  // elsewhere the second press counts as a press
    case WM_NCLBUTTONDOWN: {
      int hit = static_cast<int>(wp);
      if (NonClientButtonDown(hwnd, hit)) return 0;
      bool sizes = IsSizingHit(hit) && (w->Style & WS_THICKFRAME);
      // A maximised window stays where it is.
      if ((hit == HTCAPTION || sizes) && !w->Parent && !IsZoomed(hwnd) && !IsIconic(hwnd))
        DisplayBackend().BeginMoveSize(hwnd, hit, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    }
    case WM_NCMOUSEMOVE: NonClientButtonMove(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    case WM_NCLBUTTONUP: NonClientButtonUp(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}); return 0;
    // While a caption button is held the captured mouse comes as client messages.
    case WM_MOUSEMOVE:
      NonClientButtonMove(hwnd, ClientToScreen(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
      return 0;
    case WM_LBUTTONUP:
      NonClientButtonUp(hwnd, ClientToScreen(hwnd, TPoint{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
      return 0;
    case WM_CAPTURECHANGED: NonClientCaptureLost(hwnd); return 0;
    case WM_SETTEXT:
      w->Text = lp ? reinterpret_cast<const char*>(lp) : "";
      if (Shown(*w) && w->Created) DisplayBackend().WindowTitled(hwnd, w->Text);
      if ((w->Style & WS_CAPTION) == WS_CAPTION) PaintNonClient(hwnd);
      return 1;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->Text.size());
    case WM_GETTEXT: {
      if (wp == 0 || !lp) return 0;
      size_t n = std::min<size_t>(wp - 1, w->Text.size());
      auto* out = reinterpret_cast<char*>(lp);
      std::copy_n(w->Text.data(), n, out);
      out[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes the top-level window, whichever of its windows has the focus.
      if (wp == VK_F4 && (lp & KeyDataAltDown)) PostMessage(GetAncestorRoot(hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wp & 0xFFF0) {
        case SC_CLOSE: SendMessage(hwnd, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
      }
      return 0;
    case WM_ERASEBKGND: {
      if (w->Background < 0) return 0;
      TColorRef bg = ResolveColor(static_cast<TColorRef>(w->Background));
      if (TDeviceContext* dc = DeviceContextOf(static_cast<HDC>(wp))) {
        dc->FillRect(GetClientRect(hwnd), SolidBrush(bg));
        return 1;
      }
      TWindowSurface* s = GetWindowSurface(hwnd);
      const TDcTarget* t = BuiltInDcTarget(static_cast<HDC>(wp));
      if (!s) return 1;
      TRect area = GetWindowSurfaceRect(hwnd);
      if (t && t->Surface == s) area = IntersectRect(area, t->Clip);
      if (t && t->Surface == s && !t->Excluded.empty()) {
        TDeviceContext own(s->Bitmap);
        own.SetViewportOrg(t->Origin.X, t->Origin.Y);
        TRegion clip(area);
        own.SelectClipRgn(&clip);
        ExcludeChildWindows(own, *t);
        own.FillRect(OffsetRect(area, -t->Origin.X, -t->Origin.Y), SolidBrush(bg));
        s->MarkChanged(area);
        return 1;
      }
      s->Fill(area, bg);
      return 1;
    }
    case WM_PAINT: {
      TPaintStruct ps;
      BeginPaint(hwnd, ps);
      EndPaint(hwnd, ps);
      return 0;
    }
    case WM_SETREDRAW:
      w->Redraw = wp != 0;
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<const TWindowPos*>(lp);
      if (!(pos->flags & SWP_NOMOVE)) SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(w->Client.Left, w->Client.Top));
      if (!(pos->flags & SWP_NOSIZE) && IsWindow(hwnd)) {
        WPARAM kind = IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        TRect c = GetClientRect(hwnd);
        SendMessage(hwnd, WM_SIZE, kind, MAKELPARAM(c.Width(), c.Height()));
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) SetFocus(hwnd);
      return 0;
    case WM_MOUSEACTIVATE:
      if (w->Parent) {
        LRESULT r = SendMessage(w->Parent, WM_MOUSEACTIVATE, wp, lp);
        if (r) return r;
      }
      return MA_ACTIVATE;
    case WM_MOUSEWHEEL:
      if (w->Parent) return SendMessage(w->Parent, msg, wp, lp);
      return 0;
    case WM_SETCURSOR: {
      if (w->Parent && SendMessage(w->Parent, msg, wp, lp)) return 1;
      if (static_cast<HWND>(wp) != hwnd) return 0;
      auto cls = WinState().Classes.find(w->ClassName);
      int classCursor = cls == WinState().Classes.end() ? 0 : cls->second.hCursor;
      SetCursor(DefaultCursorFor(static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))), classCursor));
      return 0;
    }
    case WM_PRINT:
      if ((lp & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
      if (lp & PRF_ERASEBKGND) SendMessage(hwnd, WM_ERASEBKGND, wp, 0);
      if (lp & PRF_CLIENT) SendMessage(hwnd, WM_PRINTCLIENT, wp, lp);
      return 0;
  }
  return 0;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w) return 0;
  if (HasHooks(WH_CALLWNDPROC)) {
    TCwpStruct cwp{lp, wp, msg, hwnd};
    CallHookChain(WH_CALLWNDPROC, HC_ACTION, 1, reinterpret_cast<LPARAM>(&cwp));
    w = FindWindowRec(hwnd);
    if (!w) return 0;
  }
  WNDPROC proc = w->Proc;  // a copy: the procedure may replace itself or destroy the window
  return CallWindowProc(proc, hwnd, msg, wp, lp);
}
