// The tool window itself and its docked half: properties, moving between parents, arrangement, the
// docked frame with its handle, hit testing and messages. The floating half is tbToolWindowFloating.cpp.
#include "toolbars/tbToolWindow.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"
#include "toolbars/tbFloating.h"
#include "toolbars/tbToolbarButton.h"

namespace {

// The nearest tool window above a control decides the side its dropdown menus open to.
TtbButtonDockSide DockSideOf(TControl* control) {
  for (TControl* c = control; c; c = c->Parent())
    if (auto* w = dynamic_cast<TtbCustomToolWindow*>(c)) {
      TtbDock* d = w->DockedTo();
      if (!d) return TtbButtonDockSide::Other;
      if (d->Position() == adpLeft) return TtbButtonDockSide::Left;
      if (d->Position() == adpRight) return TtbButtonDockSide::Right;
      return TtbButtonDockSide::Other;
    }
  return TtbButtonDockSide::Other;
}

}  // namespace

int DragHandleSize(bool closeButtonWhenDocked, TtbDragHandle handle) {
  if (closeButtonWhenDocked) return 14;
  static constexpr int Sizes[] = {6, 9, 0};
  return Sizes[handle];
}

int DragHandleOffset(bool closeButtonWhenDocked, TtbDragHandle handle) {
  static constexpr int Plain[] = {1, 2, 0}, WithClose[] = {5, 3, 0};
  return closeButtonWhenDocked ? WithClose[handle] : Plain[handle];
}

// ---- TtbCustomToolWindow ----

TtbCustomToolWindow::TtbCustomToolWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(csAcceptsControls | csClickEvents | csDoubleClicks | csSetCaption | csCaptureMouse);
  SetColor(clBtnFace);
  RegisterHookCallback(HookProc,
                       HookKind(hpeActivateApp) | HookKind(hpeWindowPosChanged) | HookKind(hpeDestroyWindow),
                       HasState(csDesigning));
  SetDockSideQuery(DockSideOf);
}

TtbCustomToolWindow::~TtbCustomToolWindow() {
  Destroying();
  UnregisterHookCallback(HookProc);
  removeFloating(this);
  if (FLastDock) FLastDock->RemoveToolWindow(this);
  if (FDockedTo) FDockedTo->RemoveToolWindow(this);
  auto* host = dynamic_cast<TtbFloatingWindowParent*>(Parent());
  if (host) {
    TCustomControl::SetParent(nullptr);
    delete host;
  }
}

TCustomForm* TtbCustomToolWindow::OwnerForm() {
  TCustomForm* form = nullptr;
  for (TWinControl* p = Parent(); p; p = p->Parent())
    if (auto* f = dynamic_cast<TCustomForm*>(p)) form = f;
  if (auto* host = dynamic_cast<TtbFloatingWindowParent*>(form)) return host->ParentForm();
  return form;
}

int TtbCustomToolWindow::CaptionHeight() const {
  int h = GetSystemMetrics(SM_CYSMCAPTION);
  return h > 0 ? h : GetSystemMetrics(SM_CYCAPTION) - 1;
}

TRect TtbCustomToolWindow::FrameInsets(TtbDock* dock, bool floating) const {
  if (floating) {
    const int f = FResizable ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME);
    return TRect{f, f + (FShowCaption ? CaptionHeight() : 0), f, f};
  }
  TRect in{2, 2, 2, 2};
  if (dock && dock->AllowDrag()) {
    const int handle = DragHandleSize(FCloseButtonWhenDocked, FDragHandle);
    if (dock->Orientation() == 1) in.Left += handle;
    else in.Top += handle;
  }
  return in;
}

TSize TtbCustomToolWindow::DockedSizeOf(TSize client, TtbDock* dock) const {
  TRect in = FrameInsets(dock, false);
  return TSize{client.cx + in.Left + in.Right, client.cy + in.Top + in.Bottom};
}

TRect TtbCustomToolWindow::ClientRect() {
  if (HandleAllocated()) return TCustomControl::ClientRect();
  TRect in = FrameInsets(FDockedTo, Floating());
  return TRect{0, 0, std::max(0, Width() - in.Left - in.Right), std::max(0, Height() - in.Top - in.Bottom)};
}

void TtbCustomToolWindow::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.ClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
  if (!Floating() || HasState(csDesigning)) return;
  // A floating window is a pop-up of its own, owned by its form; the host only holds it.
  params.Style = WS_POPUP | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_TOOLWINDOW;
  TCustomForm* form = OwnerForm();
  params.WndParent = FFloatingMode == afmOnTopOfAllForms ? Application().Handle()
                     : form                              ? form->Handle()
                                                         : 0;
}

// ---- properties ----

void TtbCustomToolWindow::frameChanged() {
  if (HandleAllocated())
    SetWindowPos(Handle(), 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  Arrange();
}

void TtbCustomToolWindow::SetBorderStyle(TBorderStyle v) {
  if (v == FBorderStyle) return;
  FBorderStyle = v;
  if (FDockedTo) frameChanged();
}

void TtbCustomToolWindow::SetCloseButton(bool v) {
  if (v == FCloseButton) return;
  FCloseButton = v;
  if (Floating()) ncPaint();
}

void TtbCustomToolWindow::SetCloseButtonWhenDocked(bool v) {
  if (v == FCloseButtonWhenDocked) return;
  FCloseButtonWhenDocked = v;
  if (FDockedTo) frameChanged();
}

void TtbCustomToolWindow::SetDragHandle(TtbDragHandle v) {
  if (v == FDragHandle) return;
  FDragHandle = v;
  if (FDockedTo) frameChanged();
}

void TtbCustomToolWindow::SetShowCaption(bool v) {
  if (v == FShowCaption) return;
  FShowCaption = v;
  if (Floating()) frameChanged();
}

void TtbCustomToolWindow::SetFullSize(bool v) {
  if (v == FFullSize) return;
  FFullSize = v;
  Arrange();
}

void TtbCustomToolWindow::SetHideWhenInactive(bool v) {
  if (v == FHideWhenInactive) return;
  FHideWhenInactive = v;
  UpdateVisibility();
}

void TtbCustomToolWindow::SetFloatingMode(TtbFloatingMode v) {
  if (v == FFloatingMode) return;
  FFloatingMode = v;
  if (Floating() && HandleAllocated()) RecreateWnd();
  UpdateVisibility();
}

void TtbCustomToolWindow::SetDefaultDock(TtbDock* v) {
  if (v == FDefaultDock) return;
  if (FDefaultDock) FDefaultDock->RemoveFreeNotification(this);
  FDefaultDock = v;
  if (v) v->FreeNotification(this);
}

void TtbCustomToolWindow::SetLastDock(TtbDock* v) {
  if (FUseLastDock && FDockedTo) v = FDockedTo;
  if (v != FLastDock) {
    if (FLastDock) {
      FLastDock->RemoveToolWindow(this);
      FLastDock->RemoveFreeNotification(this);
    }
    FLastDock = v;
    if (v) v->FreeNotification(this);
  }
  if (v) {
    v->AddToolWindow(this);
    FUseLastDock = true;
  }
}

void TtbCustomToolWindow::SetUseLastDock(bool v) {
  if (v == FUseLastDock) return;
  FUseLastDock = v;
  if (v) {
    SetLastDock(FDockedTo);
  } else if (FLastDock) {
    TtbDock* old = FLastDock;
    FLastDock = nullptr;
    old->RemoveFreeNotification(this);
    if (old != FDockedTo) old->RemoveToolWindow(this);
  }
}

void TtbCustomToolWindow::SetDockPos(int v) {
  FDockPos = v;
  if (FDockedTo) FDockedTo->ArrangeToolbars();
}

void TtbCustomToolWindow::SetDockRow(int v) {
  FDockRow = v;
  if (FDockedTo) FDockedTo->ArrangeToolbars();
}

void TtbCustomToolWindow::SetDockedTo(TtbDock* v) {
  if (v) SetParent(v);
  else SetParent(OwnerForm());
}

void TtbCustomToolWindow::forgetDock(TtbDock* dock) {
  if (FDockedTo == dock) FDockedTo = nullptr;
  if (FLastDock == dock) FLastDock = nullptr;
  if (FDefaultDock == dock) FDefaultDock = nullptr;
}

void TtbCustomToolWindow::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FDefaultDock) FDefaultDock = nullptr;
  if (component == FLastDock) FLastDock = nullptr;
}

void TtbCustomToolWindow::Loaded() {
  TCustomControl::Loaded();
  Arrange();
}

// ---- re-parenting ----

void TtbCustomToolWindow::SetParent(TWinControl* parent) {
  if (parent && !dynamic_cast<TtbDock*>(parent) && !dynamic_cast<TCustomForm*>(parent))
    throw EInvalidOperation("A tool window can only be placed on a TtbDock or directly on the form");
  TtbFloatingWindowParent* createdHost = nullptr;
  if (auto* form = dynamic_cast<TCustomForm*>(parent);
      form && !dynamic_cast<TtbFloatingWindowParent*>(form) && !HasState(csDesigning)) {
    TtbFloatingWindowParent* host = floatingParentFor(form);
    if (host != Parent()) createdHost = host;
    parent = host;
  }
  if (parent == Parent()) {
    FDockedTo = dynamic_cast<TtbDock*>(parent);
    return;
  }
  TtbDock* newDock = dynamic_cast<TtbDock*>(parent);
  TtbDock* oldDock = FDockedTo;
  const bool events = !HasState(csDestroying) && parent;
  try {
    if (events) {
      if (OnDockChanging) OnDockChanging(this);
      if (OnDockChangingEx) OnDockChangingEx(this, newDock);
      if (OnRecreating) OnRecreating(this);
    }
  } catch (...) {
    delete createdHost;
    throw;
  }
  FHidden = true;
  UpdateVisibility();
  if (oldDock) oldDock->BeginUpdate();
  if (newDock) newDock->BeginUpdate();
  FReparenting = true;
  auto finish = [&] {
    FReparenting = false;
    if (newDock) newDock->EndUpdate();
    if (oldDock) oldDock->EndUpdate();
    FHidden = false;
  };
  try {
    if (OnDockChangingHidden) OnDockChangingHidden(this, newDock);
    const int newOrientation = newDock ? newDock->Orientation() : 0;
    if (FLastOrientation >= 0 && FLastOrientation != newOrientation) Layout(true, newOrientation, newDock);
    BeginArrange();
    try {
      if (oldDock) {
        if (!FUseLastDock) oldDock->RemoveToolWindow(this);
      }
      auto* oldHost = dynamic_cast<TtbFloatingWindowParent*>(Parent());
      TCustomControl::SetParent(nullptr);
      if (oldDock) oldDock->UpdateVisibleList();
      FDockedTo = newDock;
      try {
        TCustomControl::SetParent(parent);
      } catch (...) {
        FDockedTo = dynamic_cast<TtbDock*>(Parent());
        throw;
      }
      createdHost = nullptr;
      if (oldHost && oldHost != parent) delete oldHost;
      if (newDock) {
        if (FUseLastDock) SetLastDock(newDock);
        else newDock->AddToolWindow(this);
      }
      if (Floating() && !HasState(csDesigning)) {
        addFloating(this);
        TCustomControl::SetBounds(FFloatingTopLeft.X, FFloatingTopLeft.Y, Width(), Height());
      } else {
        removeFloating(this);
      }
    } catch (...) {
      EndArrange();
      throw;
    }
    EndArrange();
    if (parent) FLastOrientation = newOrientation;
  } catch (...) {
    delete createdHost;
    finish();
    UpdateVisibility();
    throw;
  }
  finish();
  UpdateVisibility();
  if (parent && OnMove) OnMove(this);
  if (events) {
    if (OnRecreated) OnRecreated(this);
    if (OnDockChanged) OnDockChanged(this);
  }
}

// ---- size and arrangement ----

void TtbCustomToolWindow::EndArrange() {
  if (FArrangeCount > 0) --FArrangeCount;
  if (FArrangeCount == 0 && FArrangePending) Arrange();
}

void TtbCustomToolWindow::Arrange() {
  TWinControl* p = Parent();
  if (FArrangeCount > 0 || HasState(csLoading) || HasState(csDestroying) || !p || p->HasState(csDestroying)) {
    FArrangePending = true;
    return;
  }
  FArrangePending = false;
  const int o = FDockedTo ? FDockedTo->Orientation() : 0;
  TSize client = Layout(true, o, FDockedTo);
  TRect in = FrameInsets(FDockedTo, Floating());
  if (FDockedTo) {
    const int thickness = FDockedTo->GetRowThickness(FDockRow, this);
    if (o == 1) client.cy = std::max(client.cy, thickness);
    else client.cx = std::max(client.cx, thickness);
    if (FFullSize) {
      TRect dc = FDockedTo->ClientRect();
      if (o == 1) client.cx = dc.Width() - in.Left - in.Right;
      else client.cy = dc.Height() - in.Top - in.Bottom;
    }
  }
  SetBounds(Left(), Top(), client.cx + in.Left + in.Right, client.cy + in.Top + in.Bottom);
}

void TtbCustomToolWindow::AlignControls(TControl* control, TRect& rect) {
  if (ApplyChildAlignment()) TCustomControl::AlignControls(control, rect);
  Arrange();
}

void TtbCustomToolWindow::SetBounds(int left, int top, int width, int height) {
  const bool moved = left != Left() || top != Top();
  const bool sized = width != Width() || height != Height();
  if (sized && !FArranging) SizeChanging(width, height);
  TCustomControl::SetBounds(left, top, width, height);
  if (Floating() && !HasState(csDesigning)) SetFloatingPosition(TPoint{Left(), Top()});
  if (moved && !HasState(csLoading) && !FReparenting && OnMove) OnMove(this);
  if (moved && FDockedTo && FDockedTo->HasBackground()) repaintFrameLater();
}

void TtbCustomToolWindow::SetVisible(bool v) {
  if (v == Visible()) return;
  if (Floating() && HandleAllocated()) {
    FVisible = v;
    Perform(CM_VISIBLECHANGED, v);
    UpdateVisibility();
  } else {
    TCustomControl::SetVisible(v);
  }
  if (FDockedTo && !HasState(csDesigning)) FDockedTo->UpdateVisibleList();
  if (OnVisibleChanged) OnVisibleChanged(this);
}

// ---- frames ----

TRect TtbCustomToolWindow::CloseButtonRect() {
  TRect wr = HandleAllocated() ? GetWindowRect(Handle()) : BoundsRect();
  const int w = wr.Width();
  if (FDockedTo) {
    if (!FCloseButtonWhenDocked || !FDockedTo->AllowDrag()) return {};
    TRect in = FrameInsets(FDockedTo, false);
    if (FDockedTo->Orientation() == 1) return TRect{3, 2, 14, 13};
    const int cw = w - in.Left - in.Right;
    return TRect{cw - 9, 3, cw + 2, 14};
  }
  if (!Floating() || !FCloseButton || !FShowCaption) return {};
  const int f = FrameInsets(nullptr, true).Left, ch = CaptionHeight();
  return TRect{w - f - ch, f, w - f, f + ch - 1};
}

void TtbCustomToolWindow::DrawDockedFrame(TDeviceContext& dc) {
  if (!FDockedTo || !HandleAllocated()) return;
  TRect wr = GetWindowRect(Handle());
  TRect r{0, 0, wr.Width(), wr.Height()};
  const TRect in = FrameInsets(FDockedTo, false);
  const TRect client{in.Left, in.Top, r.Right - in.Right, r.Bottom - in.Bottom};
  const bool tiled = FDockedTo->HasBackground() && FDockedTo->BackgroundOnToolbars();
  const TLogBrush face = SolidBrush(ColorToRGB(Color()));
  TRect outer = r;
  if (FBorderStyle == bsSingle) DrawEdge(dc, outer, BDR_RAISEDINNER, BF_RECT);
  else dc.FrameRect(outer, face);
  TRect inner = InflateRect(r, -1, -1);
  TPoint org = FDockedTo->BackgroundOrigin();
  TPoint origin{-org.X - Left(), -org.Y - Top()};
  if (tiled) FDockedTo->DrawBackground(dc, inner, origin, &client);
  else dc.FrameRect(inner, face);
  if (!FDockedTo->AllowDrag()) return;
  const bool horizontal = FDockedTo->Orientation() == 1;
  const int handle = DragHandleSize(FCloseButtonWhenDocked, FDragHandle);
  const int cw = client.Width(), ch = client.Height();
  const int across = horizontal ? ch : cw;
  if (!tiled) {
    TRect strip = horizontal ? TRect{2, 2, handle + 2, ch + 2} : TRect{2, 2, cw + 2, handle + 2};
    dc.FillRect(strip, face);
  }
  if (FDragHandle != adhNone) {
    const int bars = FDragHandle == adhDouble ? 2 : 1;
    const int from = FCloseButtonWhenDocked && horizontal ? 14 : 2;
    const int to = FCloseButtonWhenDocked && !horizontal ? across - 14 + 4 : across + 2;
    const TColorRef light = ColorToRGB(clBtnHighlight);
    for (int b = 0; b < bars; ++b) {
      const int at = DragHandleOffset(FCloseButtonWhenDocked, FDragHandle) + 2 + 3 * b;
      TRect bar = horizontal ? TRect{at, from, at + 3, to} : TRect{from, at, to, at + 3};
      TRect edge = bar;
      DrawEdge(dc, edge, BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
      if (horizontal) dc.SetPixel(at, across + 1, light);
      else dc.SetPixel(across + 1, at, light);
    }
  }
  if (FCloseButtonWhenDocked) {
    TRect close = CloseButtonRect();
    DrawFrameControl(dc, close, DFC_CAPTION, DFCS_CAPTIONCLOSE | (FCloseButtonDown ? DFCS_PUSHED : 0));
  }
}

void TtbCustomToolWindow::ncPaint() {
  if (!HandleAllocated()) return;
  HDC hdc = GetWindowDC(Handle());
  if (TDeviceContext* dc = DeviceContextOf(hdc)) {
    if (FDockedTo) DrawDockedFrame(*dc);
    else if (Floating()) DrawFloatingFrame(*dc, true, true, true);
  }
  ReleaseDC(Handle(), hdc);
}

void TtbCustomToolWindow::repaintFrameLater() {
  if (!HandleAllocated()) return;
  TMsg msg;
  while (PeekMessage(msg, Handle(), TBM_REPAINTFRAME, TBM_REPAINTFRAME, PM_REMOVE))
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
  PostMessage(Handle(), TBM_REPAINTFRAME);
  Invalidate();
}

void TtbCustomToolWindow::Paint() {
  if (!FDockedTo || !FDockedTo->HasBackground() || !FDockedTo->BackgroundOnToolbars()) return;
  TDeviceContext* dc = Canvas().Handle();
  if (!dc) return;
  TPoint org = FDockedTo->BackgroundOrigin();
  TRect in = FrameInsets(FDockedTo, false);
  TPoint origin{-org.X - Left() - in.Left, -org.Y - Top() - in.Top};
  FDockedTo->DrawBackground(*dc, ClientRect(), origin, nullptr);
}

void TtbCustomToolWindow::CMTextChanged(TMessage& m) {
  TCustomControl::CMTextChanged(m);
  if (Floating()) ncPaint();
}

// ---- hit testing and mouse ----

LRESULT TtbCustomToolWindow::ncHitTest(TPoint screen) {
  TRect wr = GetWindowRect(Handle());
  if (!wr.Contains(screen.X, screen.Y)) return HTNOWHERE;
  TPoint p{screen.X - wr.Left, screen.Y - wr.Top};
  TRect close = CloseButtonRect();
  if (FDockedTo) {
    if (!close.IsEmpty() && close.Contains(p.X, p.Y)) return HTCLOSE;
    return HTCLIENT;
  }
  if (!close.IsEmpty() && close.Contains(p.X, p.Y)) return HTCLOSE;
  const TRect in = FrameInsets(nullptr, true);
  const int f = in.Left, w = wr.Width(), h = wr.Height();
  const TRect inside{f, f, w - f, h - f};
  if (inside.Contains(p.X, p.Y) || !FResizable) return HTCLIENT;
  const bool left = p.X < f, right = p.X >= w - f, top = p.Y < f, bottom = p.Y >= h - f;
  if (OfferCornerSizing()) {
    const int corner = CaptionHeight() + f - 1;
    const bool nearLeft = p.X < corner, nearRight = p.X >= w - corner;
    const bool nearTop = p.Y < corner, nearBottom = p.Y >= h - corner;
    if ((top && nearLeft) || (left && nearTop)) return HTTOPLEFT;
    if ((top && nearRight) || (right && nearTop)) return HTTOPRIGHT;
    if ((bottom && nearLeft) || (left && nearBottom)) return HTBOTTOMLEFT;
    if ((bottom && nearRight) || (right && nearBottom)) return HTBOTTOMRIGHT;
  }
  if (left) return HTLEFT;
  if (right) return HTRIGHT;
  if (top) return HTTOP;
  if (bottom) return HTBOTTOM;
  return HTCLIENT;
}

void TtbCustomToolWindow::ncLButtonDown(int hit) {
  static constexpr struct {
    int Hit;
    TtbSizeHandle Side;
  } Sides[] = {{HTLEFT, shLeft},         {HTRIGHT, shRight},           {HTTOP, shTop},
               {HTTOPLEFT, shTopLeft},   {HTTOPRIGHT, shTopRight},     {HTBOTTOM, shBottom},
               {HTBOTTOMLEFT, shBottomLeft}, {HTBOTTOMRIGHT, shBottomRight}};
  if (hit == HTCLOSE) {
    if (RunCloseButtonLoop(*this)) CloseByButton();
    return;
  }
  if (Floating())
    for (const auto& s : Sides)
      if (s.Hit == hit) {
        RunToolWindowResize(*this, s.Side);
        return;
      }
}

void TtbCustomToolWindow::CloseByButton() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  Hide();
  if (OnClose) OnClose(this);
}

void TtbCustomToolWindow::dockOrUndock() {
  if (FDockedTo) {
    if (FDockMode != admCanFloat) return;
    TCustomForm* form = OwnerForm();
    if (!form) throw EInvalidOperation("Control '%s' has no parent window", {Name()});
    // The first time it floats where it was docked, by its form, not in the screen's corner.
    if (!FHasFloatingPosition && HandleAllocated()) {
      const TRect wr = GetWindowRect(Handle());
      SetFloatingPosition(TPoint{wr.Left, wr.Top});
    }
    SetParent(form);
    MoveOnScreen(false);
    return;
  }
  if (FUseLastDock && FLastDock) {
    SetParent(FLastDock);
  } else if (FDefaultDock) {
    FDockRow = 0;
    FDockPos = -8;
    SetParent(FDefaultDock);
  }
}

void TtbCustomToolWindow::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  if (FDockedTo && !FDockedTo->AllowDrag()) return;
  if (shift & ssDouble) {
    dockOrUndock();
    return;
  }
  // Where the press was, not where the pointer went since.
  TPoint cursor = GetMessagePos();
  TRect wr = GetWindowRect(Handle());
  RunToolWindowDrag(*this, TPoint{cursor.X - wr.Left, cursor.Y - wr.Top});
}

void TtbCustomToolWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      m.Result = HandleWMNCCalcSize(m.LParam, FrameInsets(FDockedTo, Floating()));
      return;
    case WM_NCPAINT:
    case TBM_REPAINTFRAME:
      ncPaint();
      m.Result = 0;
      return;
    case WM_NCACTIVATE:
      if (Floating()) {
        if (TCustomForm* form = OwnerForm(); form && form->HandleAllocated() && !FReparenting)
          ::SendMessage(form->Handle(), WM_NCACTIVATE, m.WParam, 0);
        m.Result = 1;
        return;
      }
      break;
    case WM_ACTIVATE:
      TCustomControl::WndProc(m);
      if (Floating() && LOWORD(m.WParam) != WA_INACTIVE) {
        // A floating window does not keep the activation: its form has it, or the next window.
        if (!IsWindowVisible(Handle())) {
          handActivationOn();
        } else if (TCustomForm* form = OwnerForm();
                   form && form->HandleAllocated() && form->Handle() != static_cast<HWND>(m.LParam)) {
          SetActiveWindow(form->Handle());
        }
      }
      return;
    case WM_NCHITTEST:
      m.Result = ncHitTest(TPoint{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
      return;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      ncLButtonDown(static_cast<int>(m.WParam));
      m.Result = 0;
      return;
    case WM_MOUSEACTIVATE:
      if (Floating()) {
        m.Result = MA_NOACTIVATE;
        SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        TCustomForm* form = OwnerForm();
        if (FFloatingMode == afmOnTopOfParentForm && FActivateParent && form && GetActiveWindow() != Handle())
          SetActiveWindow(form->Handle());
        return;
      }
      break;
    case WM_CLOSE:
      if (Floating()) {
        if (TCustomForm* form = OwnerForm(); form && form->HandleAllocated())
          ::SendMessage(form->Handle(), WM_CLOSE, 0, 0);
        return;
      }
      break;
    case WM_PRINT:
      m.Result = HandleWMPrint(*this, static_cast<HDC>(m.WParam), static_cast<uint32_t>(m.LParam),
                               [this](TDeviceContext& dc) {
                                 if (FDockedTo) DrawDockedFrame(dc);
                                 else DrawFloatingFrame(dc, true, true, true);
                               });
      return;
    case WM_PRINTCLIENT:
      m.Result = HandleWMPrintClient(*this, static_cast<HDC>(m.WParam));
      return;
    case CM_COLORCHANGED:
    case CM_SYSCOLORCHANGE:
      TCustomControl::WndProc(m);
      if (FDockedTo) repaintFrameLater();
      return;
    case WM_ENABLE:
      TCustomControl::WndProc(m);
      if (FFloatingMode == afmOnTopOfAllForms) UpdateTopmost();
      return;
  }
  TCustomControl::WndProc(m);
}
