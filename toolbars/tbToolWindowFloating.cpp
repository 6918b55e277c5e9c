// The floating half of the tool window: the list of floating windows, the hidden host it floats
// from, where it may sit on screen, when it shows, and its captioned frame.
#include "toolbars/tbToolWindow.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/rtl/Format.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/Windows.h"

namespace {

std::unique_ptr<std::vector<TtbCustomToolWindow*>>& FloatingList() {
  static std::unique_ptr<std::vector<TtbCustomToolWindow*>> list;
  return list;
}

unsigned HostNumber() {
  static unsigned next = 0;
  return ++next;
}

const std::vector<TtbCustomToolWindow*> NoFloating;

}  // namespace

const std::vector<TtbCustomToolWindow*>& FloatingToolWindows() {
  return FloatingList() ? *FloatingList() : NoFloating;
}

void TtbCustomToolWindow::addFloating(TtbCustomToolWindow* w) {
  auto& list = FloatingList();
  if (!list) list = std::make_unique<std::vector<TtbCustomToolWindow*>>();
  if (std::find(list->begin(), list->end(), w) == list->end()) list->push_back(w);
}

void TtbCustomToolWindow::removeFloating(TtbCustomToolWindow* w) {
  auto& list = FloatingList();
  if (!list) return;
  std::erase(*list, w);
  if (list->empty()) list.reset();
}

// ---- the floating host ----

TtbFloatingWindowParent* TtbCustomToolWindow::floatingParentFor(TCustomForm* form) {
  if (auto* host = dynamic_cast<TtbFloatingWindowParent*>(Parent()); host && host->ParentForm() == form)
    return host;
  auto* host = new TtbFloatingWindowParent(nullptr);
  host->SetName(Format("TBFloatingWindowParent_%.8x", {static_cast<int>(HostNumber())}));
  host->SetParentForm(form);
  return host;
}

void TtbCustomToolWindow::MoveOnScreen(bool onlyRescue) {
  if (!Floating()) return;
  TRect wa = GetWorkArea();
  TRect r = BoundsRect();
  if (onlyRescue && !IntersectRect(r, wa).IsEmpty()) return;
  int x = r.Left, y = r.Top;
  if (x + r.Width() > wa.Right) x = wa.Right - r.Width();
  if (y + r.Height() > wa.Bottom) y = wa.Bottom - r.Height();
  if (x < wa.Left) x = wa.Left;
  if (y < wa.Top) y = wa.Top;
  SetBounds(x, y, r.Width(), r.Height());
}

// ---- floating visibility ----

bool TtbCustomToolWindow::ShouldBeVisible() {
  bool r = Visible() && !FHidden;
  if (!Floating() || HasState(csDesigning)) return r;
  if (FFloatingMode == afmOnTopOfParentForm) {
    TCustomForm* form = OwnerForm();
    r = r && form && form->HandleAllocated() && IsWindowVisible(form->Handle()) && !IsIconic(form->Handle());
  }
  if (FHideWhenInactive) r = r && GetActiveWindow() != 0;
  return r;
}

void TtbCustomToolWindow::UpdateVisibility() {
  const bool inactive = Floating() && !FHideWhenInactive && GetActiveWindow() == 0;
  if (inactive != FInactiveCaption) {
    FInactiveCaption = inactive;
    if (Floating()) ncPaint();
  }
  if (!Floating() || HasState(csDesigning) || HasState(csDestroying)) return;
  const bool should = ShouldBeVisible();
  if (!HandleAllocated()) {
    if (!should) return;
    HandleNeeded();
  }
  if (IsWindowVisible(Handle()) != should) showingChanged(should);
}

void TtbCustomToolWindow::showingChanged(bool show) {
  HWND h = Handle();
  auto* host = dynamic_cast<TtbFloatingWindowParent*>(Parent());
  if (show) {
    TCustomForm* form = OwnerForm();
    HWND owner = FFloatingMode == afmOnTopOfAllForms ? Application().Handle()
                 : form                              ? form->Handle()
                                                     : 0;
    SetWindowLongPtr(h, GWL_HWNDPARENT, static_cast<intptr_t>(owner));
    // Above the form and the windows it owns, below anything else above it.
    HWND after = HWND_TOP;
    if (form && FFloatingMode == afmOnTopOfParentForm) {
      std::vector<HWND> tops = GetChildWindows(0);
      auto it = std::find(tops.begin(), tops.end(), form->Handle());
      while (it != tops.begin()) {
        --it;
        if (*it == h) continue;
        bool owned = false;
        for (HWND o = GetWindow(*it, GW_OWNER); o; o = GetWindow(o, GW_OWNER))
          if (o == form->Handle()) owned = true;
        if (!owned) {
          after = *it;
          break;
        }
      }
    }
    SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  UpdateTopmost();
  if (host) host->SetShouldShow(show);
  const bool wasActive = GetActiveWindow() == h;
  ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  if (!show && wasActive) handActivationOn();
}

void TtbCustomToolWindow::handActivationOn() {
  HWND self = HandleAllocated() ? Handle() : 0, app = Application().Handle();
  HWND topmost = 0;
  for (HWND h : GetChildWindows(0)) {
    if (h == self || h == app || !IsWindowVisible(h) || !IsWindowEnabled(h)) continue;
    if (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_TOPMOST) {
      if (!topmost) topmost = h;
      continue;
    }
    SetActiveWindow(h);
    return;
  }
  if (topmost) SetActiveWindow(topmost);
}

void TtbCustomToolWindow::UpdateTopmost() {
  if (!Floating() || !HandleAllocated()) return;
  HWND h = Handle();
  bool want;
  if (FFloatingMode == afmOnTopOfAllForms) {
    want = IsWindowEnabled(h);
  } else {
    HWND owner = GetWindow(h, GW_OWNER);
    want = owner && (GetWindowLongPtr(owner, GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
  const bool is = (GetWindowLongPtr(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (want != is)
    SetWindowPos(h, want ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TtbCustomToolWindow::HookProc(TtbHookEventKind kind, HWND wnd, WPARAM, LPARAM) {
  std::vector<TtbCustomToolWindow*> list = FloatingToolWindows();
  for (TtbCustomToolWindow* w : list) {
    const auto& now = FloatingToolWindows();
    if (std::find(now.begin(), now.end(), w) == now.end()) continue;
    switch (kind) {
      case hpeActivateApp: w->UpdateVisibility(); break;
      case hpeWindowPosChanged: {
        if (w->FFloatingMode != afmOnTopOfParentForm) break;
        TCustomForm* form = w->OwnerForm();
        if (!form || !form->HandleAllocated()) break;
        HWND fw = form->Handle();
        if (wnd == fw || IsChild(fw, wnd)) w->UpdateVisibility();
        break;
      }
      case hpeDestroyWindow:
        if (w->HandleAllocated() && GetWindow(w->Handle(), GW_OWNER) == wnd)
          if (auto* host = dynamic_cast<TtbFloatingWindowParent*>(w->Parent()))
            SetWindowLongPtr(w->Handle(), GWL_HWNDPARENT, static_cast<intptr_t>(host->Handle()));
        break;
      case hpeMouseMove: break;
    }
  }
}

void TtbCustomToolWindow::DrawFloatingFrame(TDeviceContext& dc, bool frame, bool caption, bool closeButton) {
  if (!HandleAllocated()) return;
  TRect wr = GetWindowRect(Handle());
  TRect r{0, 0, wr.Width(), wr.Height()};
  const TRect in = FrameInsets(nullptr, true);
  const int f = in.Left, ch = CaptionHeight();
  const TColorRef face = ColorToRGB(clBtnFace);
  if (frame) {
    TRect edge = r;
    DrawEdge(dc, edge, EDGE_RAISED, BF_RECT);
    const TRect client{in.Left, in.Top, r.Right - in.Right, r.Bottom - in.Bottom};
    for (int y = 2; y < r.Bottom - 2; ++y)
      for (int x = 2; x < r.Right - 2; ++x)
        if (!client.Contains(x, y)) dc.SetPixel(x, y, face);
  }
  const TColorRef captionColor = ColorToRGB(FInactiveCaption ? clInactiveCaption : clActiveCaption);
  TRect close = CloseButtonRect();
  if (caption && FShowCaption) {
    TRect bar{f, f, r.Right - f, f + ch - 1};
    if (FCloseButton) bar.Right -= ch;
    dc.FillRect(bar, SolidBrush(captionColor));
    TLogFont font;
    font.Height = -11;
    font.Weight = 400;
    font.Name = "MS Sans Serif";
    TLogFont old = dc.SelectFont(font);
    AnsiString text = Caption();
    TRect textRect{bar.Left + 2, bar.Top, bar.Right - 2, bar.Bottom};
    // Shortened from the end with "..." until it fits or four characters are left.
    if (dc.GetTextExtent(text).cx > textRect.Width()) {
      while (text.size() > 4 && dc.GetTextExtent(text + "...").cx > textRect.Width()) text.pop_back();
      text += "...";
    }
    dc.SetTextColor(ColorToRGB(FInactiveCaption ? clInactiveCaptionText : clCaptionText));
    dc.SetBkMode(TRANSPARENT);
    DrawText(dc, text, textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    dc.SelectFont(old);
    dc.FillRect(TRect{f, f + ch - 1, r.Right - f, f + ch}, SolidBrush(face));
  }
  if (closeButton && !close.IsEmpty()) {
    TRect button = InflateRect(close, -1, -1);
    if (FShowCaption) dc.FrameRect(close, SolidBrush(captionColor));
    DrawFrameControl(dc, button, DFC_CAPTION, DFCS_CAPTIONCLOSE | (FCloseButtonDown ? DFCS_PUSHED : 0));
  }
}
