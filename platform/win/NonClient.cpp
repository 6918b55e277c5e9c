#include "platform/win/NonClient.h"

#include <algorithm>
#include <optional>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/PaintContext.h"
#include "platform/win/WinState.h"

namespace {

// The caption button held down by the mouse. Valid only while its window has the capture,
// so a stale entry left by a reset of the window system never counts.
struct TTracking {
  HWND Window = 0;
  int Hit = HTNOWHERE;
  bool Pushed = false;
};

TTracking& Tracking() {
  static TTracking t;
  return t;
}

bool Tracks(HWND hwnd) { return Tracking().Window == hwnd && hwnd && GetCapture() == hwnd; }

TRect ButtonRect(const TNonClientLayout& l, int hit) {
  switch (hit) {
    case HTCLOSE: return l.Close;
    case HTMAXBUTTON: return l.Max;
    case HTMINBUTTON: return l.Min;
  }
  return {};
}

bool ButtonEnabled(const TWindowRec& w, int hit) {
  switch (hit) {
    case HTCLOSE: return !(w.ClassStyle & CS_NOCLOSE);
    case HTMAXBUTTON: return w.Style & WS_MAXIMIZEBOX;
    case HTMINBUTTON: return w.Style & WS_MINIMIZEBOX;
  }
  return false;
}

unsigned ButtonGlyph(const TWindowRec& w, int hit) {
  switch (hit) {
    case HTMAXBUTTON: return (w.Style & WS_MAXIMIZE) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMAX;
    case HTMINBUTTON: return (w.Style & WS_MINIMIZE) ? DFCS_CAPTIONRESTORE : DFCS_CAPTIONMIN;
  }
  return DFCS_CAPTIONCLOSE;
}

WPARAM ButtonCommand(const TWindowRec& w, int hit) {
  switch (hit) {
    case HTMAXBUTTON: return (w.Style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
    case HTMINBUTTON: return (w.Style & WS_MINIMIZE) ? SC_RESTORE : SC_MINIMIZE;
  }
  return SC_CLOSE;
}

TNonClientLayout LayoutOf(const TWindowRec& w) {
  return NonClientLayout(w.Style, w.ExStyle, w.Bounds.Width(), w.Bounds.Height());
}

// Fills the band between outer and outer shrunk by width.
void FillBand(TDeviceContext& dc, const TRect& outer, int width, TColorRef c) {
  if (width <= 0) return;
  TLogBrush b = SolidBrush(ColorToRGB(c));
  dc.FillRect(TRect{outer.Left, outer.Top, outer.Right, outer.Top + width}, b);
  dc.FillRect(TRect{outer.Left, outer.Bottom - width, outer.Right, outer.Bottom}, b);
  dc.FillRect(TRect{outer.Left, outer.Top + width, outer.Left + width, outer.Bottom - width}, b);
  dc.FillRect(TRect{outer.Right - width, outer.Top + width, outer.Right, outer.Bottom - width}, b);
}

void DrawNonClient(TDeviceContext& dc, const TWindowRec& w, bool active) {
  const TNonClientLayout l = LayoutOf(w);
  const TRect whole{0, 0, w.Bounds.Width(), w.Bounds.Height()};
  bool raisedFrame = (w.Style & (WS_THICKFRAME | WS_DLGFRAME)) || (w.ExStyle & WS_EX_DLGMODALFRAME);
  if (l.Frame >= 2 && raisedFrame) {
    TRect in = whole;
    DrawEdge(dc, in, EDGE_RAISED, BF_RECT | BF_ADJUST);
    TColorRef band = clBtnFace;
    if (w.Style & WS_THICKFRAME) band = active ? clActiveBorder : clInactiveBorder;
    FillBand(dc, in, l.Frame - (in.Left - whole.Left), band);
  } else if (l.Frame >= 1) {
    FillBand(dc, whole, l.Frame, clWindowFrame);
  }
  if (!l.Caption.IsEmpty()) {
    dc.FillRect(l.Caption, SolidBrush(ColorToRGB(active ? clActiveCaption : clInactiveCaption)));
    // The line between the caption and what lies below it.
    dc.FillRect(TRect{l.Caption.Left, l.Caption.Bottom, l.Caption.Right, l.Caption.Bottom + 1},
                SolidBrush(ColorToRGB(clBtnFace)));
    int textRight = l.Caption.Right - 2;
    for (int hit : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON}) {
      TRect b = ButtonRect(l, hit);
      if (b.IsEmpty()) continue;
      textRight = std::min(textRight, b.Left - 2);
      unsigned state = ButtonGlyph(w, hit);
      if (!ButtonEnabled(w, hit)) state |= DFCS_INACTIVE;
      if (Tracks(w.Handle) && Tracking().Hit == hit && Tracking().Pushed) state |= DFCS_PUSHED;
      DrawFrameControl(dc, b, DFC_CAPTION, state);
    }
    if (!w.Text.empty()) {
      TLogFont font;
      font.Weight = FW_BOLD;
      TLogFont oldFont = dc.SelectFont(font);
      int oldMode = dc.SetBkMode(TRANSPARENT);
      TColorRef oldColor = dc.SetTextColor(ColorToRGB(active ? clCaptionText : clInactiveCaptionText));
      TRect text{l.Caption.Left + 2, l.Caption.Top, textRight, l.Caption.Bottom};
      if (!text.IsEmpty())
        DrawText(dc, w.Text, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
      dc.SetTextColor(oldColor);
      dc.SetBkMode(oldMode);
      dc.SelectFont(oldFont);
    }
  }
  if (!l.ClientEdge.IsEmpty()) {
    TRect e = l.ClientEdge;
    if (w.ExStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, e, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (w.ExStyle & WS_EX_STATICEDGE) DrawEdge(dc, e, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  }
}

}  // namespace

TNonClientLayout NonClientLayout(uint32_t style, uint32_t exStyle, int width, int height) {
  TNonClientLayout l;
  constexpr uint32_t edges = WS_EX_CLIENTEDGE | WS_EX_STATICEDGE;
  // The same insets that size the client area, so drawing and client never overlap.
  TRect bare = NonClientInsets(style, exStyle & ~edges);
  l.Frame = bare.Left;
  int caption = bare.Top - bare.Left;
  if (caption > 1) {
    // A window as low as its caption (minimised) still keeps its bottom frame.
    TRect c{l.Frame, l.Frame, width - l.Frame, std::min(l.Frame + caption, height - l.Frame) - 1};
    if (!c.IsEmpty()) l.Caption = c;
  }
  if (exStyle & edges) {
    TRect e{l.Frame, l.Frame + std::max(0, caption), width - l.Frame, height - l.Frame};
    if (!e.IsEmpty()) l.ClientEdge = e;
  }
  if (l.Caption.IsEmpty() || !(style & WS_SYSMENU)) return l;
  bool small = exStyle & WS_EX_TOOLWINDOW;
  int bw = GetSystemMetrics(small ? SM_CXSMSIZE : SM_CXSIZE) - 2;
  int bh = std::min(GetSystemMetrics(small ? SM_CYSMSIZE : SM_CYSIZE) - 4, l.Caption.Height());
  int top = l.Caption.Top + (l.Caption.Height() - bh) / 2;
  auto place = [&](int right) {
    TRect b{right - bw, top, right, top + bh};
    return b.Left >= l.Caption.Left && !b.IsEmpty() ? b : TRect{};
  };
  l.Close = place(l.Caption.Right - 2);
  if (!small && !l.Close.IsEmpty() && (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) {
    l.Max = place(l.Close.Left - 2);
    if (!l.Max.IsEmpty()) l.Min = place(l.Max.Left);
  }
  return l;
}

int CaptionButtonAt(const TNonClientLayout& l, TPoint p) {
  for (int hit : {HTCLOSE, HTMAXBUTTON, HTMINBUTTON})
    if (ButtonRect(l, hit).Contains(p.X, p.Y)) return hit;
  return HTNOWHERE;
}

void PaintNonClient(HWND hwnd) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w || w->MessageOnly || !w->Redraw || !IsWindowVisible(hwnd) || WinState().Locked == hwnd) return;
  if (w->Client == w->Bounds) return;  // no frame at all
  HDC h = GetWindowDC(hwnd);
  if (!h) return;
  TDeviceContext* dc = DeviceContextOf(h);
  // The built-in contexts only record their target: draw on that surface directly.
  std::optional<TDeviceContext> own;
  if (!dc) {
    const TDcTarget* t = BuiltInDcTarget(h);
    if (t && t->Surface) {
      own.emplace(t->Surface->Bitmap);
      own->SetViewportOrg(t->Origin.X, t->Origin.Y);
      TRegion clip(t->Clip);
      own->SelectClipRgn(&clip);
      ExcludeChildWindows(*own, *t);
      dc = &*own;
    }
  }
  if (dc) {
    int saved = dc->SaveDC();
    TRect client = OffsetRect(w->Client, -w->Bounds.Left, -w->Bounds.Top);
    dc->ExcludeClipRect(client.Left, client.Top, client.Right, client.Bottom);
    DrawNonClient(*dc, *w, w->NcActive);
    dc->RestoreDC(saved);
  }
  // Releasing the context marks the window's area for the display.
  ReleaseDC(hwnd, h);
}

bool NonClientButtonDown(HWND hwnd, int hit) {
  TWindowRec* w = FindWindowRec(hwnd);
  if (!w || !ButtonEnabled(*w, hit) || ButtonRect(LayoutOf(*w), hit).IsEmpty()) return false;
  Tracking() = TTracking{};
  SetCapture(hwnd);
  if (GetCapture() != hwnd) return true;
  Tracking() = TTracking{hwnd, hit, true};
  PaintNonClient(hwnd);
  return true;
}

bool NonClientButtonMove(HWND hwnd, TPoint screen) {
  if (!Tracks(hwnd)) return false;
  TWindowRec* w = FindWindowRec(hwnd);
  TRect wr = GetWindowRect(hwnd);
  TRect b = OffsetRect(ButtonRect(LayoutOf(*w), Tracking().Hit), wr.Left, wr.Top);
  bool over = b.Contains(screen.X, screen.Y);
  if (over != Tracking().Pushed) {
    Tracking().Pushed = over;
    PaintNonClient(hwnd);
  }
  return true;
}

bool NonClientButtonUp(HWND hwnd, TPoint screen) {
  if (!NonClientButtonMove(hwnd, screen)) return false;
  TTracking done = Tracking();
  Tracking() = TTracking{};
  ReleaseCapture();
  if (!IsWindow(hwnd)) return true;
  TWindowRec* w = FindWindowRec(hwnd);
  if (done.Pushed) {
    PaintNonClient(hwnd);
    SendMessage(hwnd, WM_SYSCOMMAND, ButtonCommand(*w, done.Hit), MAKELPARAM(screen.X, screen.Y));
  }
  return true;
}

void NonClientCaptureLost(HWND hwnd) {
  if (Tracking().Window != hwnd || !hwnd) return;
  bool pushed = Tracking().Pushed;
  Tracking() = TTracking{};
  if (pushed) PaintNonClient(hwnd);
}

bool NonClientTakesInput(const TMsg& msg) {
  if (!Tracks(msg.hwnd)) return false;
  switch (msg.message) {
    case WM_MOUSEMOVE: case WM_NCMOUSEMOVE: return NonClientButtonMove(msg.hwnd, msg.pt);
    case WM_LBUTTONUP: case WM_NCLBUTTONUP: return NonClientButtonUp(msg.hwnd, msg.pt);
  }
  return false;
}
