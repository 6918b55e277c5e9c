#include "platform/classlib/WinControl.h"

#include <algorithm>

#include "platform/classlib/Forms.h"
#include "platform/classlib/HiddenWindows.h"
#include "platform/classlib/Menus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

const AnsiString ControlProp = "QuorvexControl";

bool IsDialogKey(uint16_t key) {
  switch (key) {
    case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: return true;
  }
  return false;
}

}  // namespace

// Controls reach a window procedure through this one, which finds them by the window's property.
LRESULT ControlWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<const TCreateStruct*>(lp);
    if (cs && cs->lpCreateParams) {
      auto* c = static_cast<TWinControl*>(cs->lpCreateParams);
      SetProp(hwnd, ControlProp, reinterpret_cast<intptr_t>(c));
      c->FHandle = hwnd;
    }
  }
  TWinControl* c = TWinControl::FromHandle(hwnd);
  if (!c) return DefWindowProc(hwnd, msg, wp, lp);
  std::weak_ptr<const void> alive = c->Liveness();
  TMessage m{msg, wp, lp, 0};
  try {
    c->WndProc(m);
  } catch (...) {
    Application().HandleCurrentException();
  }
  if (msg == WM_NCDESTROY && !alive.expired() && c->FHandle == hwnd) {
    RemoveProp(hwnd, ControlProp);
    c->FHandle = 0;
  }
  return m.Result;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  FControlState |= csDestroyingHandle;
  if (FHandle) DestroyHandle();
  // A windowed control frees the controls it holds.
  while (!FControls.empty()) {
    TControl* c = FControls.back();
    RemoveControl(c);
    delete c;
  }
  // Leaves the parent while still a windowed control, so the tab list lets go of it too.
  if (FParent) FParent->RemoveControl(this);
}

TWinControl* TWinControl::FromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  return reinterpret_cast<TWinControl*>(GetProp(hwnd, ControlProp));
}

void TWinControl::SetParentWindow(HWND v) {
  if (v == FParentWindow) return;
  FParentWindow = v;
  if (!FParent && FHandle) RecreateWnd();
}

HWND TWinControl::Handle() {
  HandleNeeded();
  return FHandle;
}

void TWinControl::HandleNeeded() {
  if (FHandle) return;
  if (FParent) FParent->HandleNeeded();
  if (!FHandle) CreateHandle();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = FText;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (FVisible) p.Style |= WS_VISIBLE;
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (FTabStop) p.Style |= WS_TABSTOP;
  if (FControlStyle & csAcceptsControls) p.Style |= WS_CLIPCHILDREN;
  p.X = FLeft;
  p.Y = FTop;
  p.Width = FWidth;
  p.Height = FHeight;
  p.WndParent = FParent ? FParent->FHandle : FParentWindow;
  p.WinClassName = ClassName();
  p.ClassStyle = CS_DBLCLKS;
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EInvalidOperation("Control '%s' has no parent window", {Name()});
  EnsureWindowing();
  TWndClass wc;
  if (!GetClassInfo(p.WinClassName, wc)) {
    wc = TWndClass{};
    wc.lpszClassName = p.WinClassName;
    wc.style = p.ClassStyle;
    wc.lpfnWndProc = ControlWindowProc;
    RegisterClass(wc);
  }
  CreateWindowHandle(p);
  if (!FHandle) throw EOutOfResources("Error creating window");
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  HWND h = CreateWindowEx(p.ExStyle, p.WinClassName, p.Caption, p.Style, p.X, p.Y, p.Width, p.Height,
                          p.WndParent, 0, this);
  if (h) FHandle = h;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  FControlState |= csCreating;
  try {
    CreateWnd();
    for (TControl* c : std::vector<TControl*>(FControls))
      if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
  } catch (...) {
    FControlState &= ~csCreating;
    throw;
  }
  FControlState &= ~csCreating;
}

void TWinControl::DestroyWnd() {
  if (FHandle) DestroyWindow(FHandle);
  destroyChildHandles();
  FHandle = 0;
}

void TWinControl::destroyChildHandles() {
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      w->destroyChildHandles();
      w->FHandle = 0;
    }
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  if (GCaptureControl && (GCaptureControl == this || ContainsControl(GCaptureControl))) GCaptureControl = nullptr;
  DestroyWnd();
}

void TWinControl::RecreateWnd() {
  if (FHandle) Perform(CM_RECREATEWND);
}

void TWinControl::CMRecreateWnd(TMessage&) {
  if (!FHandle) return;
  TWinControl* focused = FindControl(GetFocus());
  bool keepFocus = focused && (focused == this || ContainsControl(focused));
  std::weak_ptr<const void> focusAlive = focused ? focused->Liveness() : std::weak_ptr<const void>();
  DestroyHandle();
  HandleNeeded();
  if (FVisible && !FParent && !IsWindowVisible(FHandle)) ShowWindow(FHandle, SW_SHOW);
  if (keepFocus && !focusAlive.expired() && focused->CanFocus()) ::SetFocus(focused->Handle());
}

void TWinControl::InsertControl(TControl* c) {
  if (!c || c->FParent == this) return;
  if (c == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (auto* w = dynamic_cast<TWinControl*>(c); w && (w == this || w->ContainsControl(this)))
    throw EInvalidOperation("A control cannot have itself as its parent");
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(c), 1);
  ControlsListChanging(c, true);
  FControls.push_back(c);
  c->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(c)) insertTab(w);
  c->Perform(CM_PARENTCOLORCHANGED);
  c->Perform(CM_PARENTFONTCHANGED);
  c->Perform(CM_PARENTSHOWHINTCHANGED);
  if (auto* w = dynamic_cast<TWinControl*>(c); w && FHandle) w->CreateHandle();
  c->UpdateAnchorRules();
  c->Invalidate();
  Realign();
  ControlsListChanged(c, true);
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(c), 1);
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(FControls.begin(), FControls.end(), c);
  if (it == FControls.end()) return;
  ControlsListChanging(c, false);
  if (TCustomForm* form = GetParentForm(this)) form->forgetControl(c);
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(c), 0);
  c->Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    if (w->FHandle && !(FControlState & csDestroyingHandle)) w->DestroyHandle();
    removeTab(w);
  }
  if (FMouseControl == c) FMouseControl = nullptr;
  if (GCaptureControl == c) SetCaptureControl(nullptr);
  FControls.erase(std::find(FControls.begin(), FControls.end(), c));
  c->FParent = nullptr;
  if (!(FControlState & csDestroyingHandle)) Realign();
  ControlsListChanged(c, false);
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(c), 0);
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control ? control->FParent : nullptr; c; c = c->FParent)
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && dynamic_cast<TWinControl*>(c)) continue;
    if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
    if (!c->BoundsRect().Contains(p.X, p.Y)) continue;
    if (c->Perform(CM_HITTEST, 0, MAKELPARAM(p.X - c->Left(), p.Y - c->Top())) != 0) return c;
  }
  return nullptr;
}

void TWinControl::insertTab(TWinControl* c) { FTabList.push_back(c); }

void TWinControl::removeTab(TWinControl* c) {
  FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), c), FTabList.end());
}

int TWinControl::TabOrder() const {
  if (!FParent) return 0;
  auto& v = FParent->FTabList;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TWinControl::SetTabOrder(int v) {
  if (!FParent) return;
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  int n = static_cast<int>(list.size());
  if (v < 0 || v > n) v = n;
  list.insert(list.begin() + v, this);
}

void TWinControl::SetTabStop(bool v) {
  if (v == FTabStop) return;
  FTabStop = v;
  if (FHandle) {
    auto style = static_cast<uint32_t>(GetWindowLongPtr(FHandle, GWL_STYLE));
    SetWindowLongPtr(FHandle, GWL_STYLE, v ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* c : FTabList) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  int n = static_cast<int>(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[static_cast<size_t>(i)] == current) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = goForward ? (i + 1) % n : (i + n - 1) % n;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == current && step < n - 1) continue;
    if ((!checkTabStop || c->TabStop()) && (!checkParent || c->FParent == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* c = FindNextControl(current, goForward, checkTabStop, !checkTabStop)) c->SetFocus();
}

bool TWinControl::CanFocus() const {
  const TControl* c = this;
  for (; c; c = c->FParent) {
    if (!c->Visible() || !c->Enabled()) return false;
    if (!c->FParent) break;
  }
  return true;
}

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm(this); form && form != this) {
    form->FocusControl(this);
    return;
  }
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

bool TWinControl::Focused() const { return FHandle && FHandle == GetFocus(); }

bool TWinControl::Showing() const { return FHandle && IsWindowVisible(FHandle); }

void TWinControl::SetBounds(int left, int top, int width, int height) {
  Constraints().Apply(width, height);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  bool sized = width != FWidth || height != FHeight;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (FHandle) {
    FSettingBounds = true;
    try {
      SetWindowPos(FHandle, 0, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    } catch (...) {
      FSettingBounds = false;
      throw;
    }
    FSettingBounds = false;
    if (!FAnchoring) UpdateAnchorRules();
    RequestAlign();
    return;
  }
  if (!FAnchoring) UpdateAnchorRules();
  RequestAlign();
  if (sized) {
    Realign();
    Resize();
  }
}

TRect TWinControl::ClientRect() {
  if (FHandle) return GetClientRect(FHandle);
  TCreateParams p;
  CreateParams(p);
  TRect in = NonClientInsets(p.Style, p.ExStyle);
  return TRect{0, 0, std::max(0, FWidth - in.Left - in.Right), std::max(0, FHeight - in.Top - in.Bottom)};
}

void TWinControl::SetClientSize(int width, int height) {
  TRect c = ClientRect();
  SetBounds(FLeft, FTop, FWidth - c.Width() + width, FHeight - c.Height() + height);
}

TPoint TWinControl::ClientOrigin() {
  if (!FParent && !FHandle) {
    TCreateParams p;
    CreateParams(p);
    TRect in = NonClientInsets(p.Style, p.ExStyle);
    return TPoint{FLeft + in.Left, FTop + in.Top};
  }
  return ::ClientToScreen(Handle(), TPoint{0, 0});
}

void TWinControl::updateBoundsFromWindow() {
  if (!FHandle || FSettingBounds) return;
  // A minimized window keeps the bounds it will come back to.
  if (!FParent && IsIconic(FHandle)) return;
  TRect r = GetWindowRect(FHandle);
  auto style = static_cast<uint32_t>(GetWindowLongPtr(FHandle, GWL_STYLE));
  HWND holder = FParent ? FParent->FHandle : (style & WS_CHILD) ? GetParent(FHandle) : 0;
  if (holder) {
    TPoint p = ::ScreenToClient(holder, TPoint{r.Left, r.Top});
    r = OffsetRect(r, p.X - r.Left, p.Y - r.Top);
  }
  FLeft = r.Left;
  FTop = r.Top;
  FWidth = r.Width();
  FHeight = r.Height();
}

void TWinControl::SetVisible(bool v) {
  if (v == FVisible) return;
  if (!v && FHandle && FParent && (Focused() || IsChild(FHandle, GetFocus()))) {
    // A hidden control gives the focus back to its form.
    TCustomForm* form = GetParentForm(this);
    if (form && form->HandleAllocated()) ::SetFocus(form->Handle());
  }
  FVisible = v;
  if (FHandle) ShowWindow(FHandle, v ? (FParent ? SW_SHOWNA : SW_SHOW) : SW_HIDE);
  Perform(CM_VISIBLECHANGED, v);
  RequestAlign();
}

void TWinControl::SetEnabled(bool v) {
  if (v == Enabled()) return;
  TControl::SetEnabled(v);
}

void TWinControl::CMEnabledChanged(TMessage&) {
  if (!Enabled() && FHandle && (Focused() || IsChild(FHandle, GetFocus()))) {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && form->HandleAllocated()) ::SetFocus(form->Handle());
  }
  if (FHandle) EnableWindow(FHandle, Enabled());
  Invalidate();
}

void TWinControl::SetZOrder(bool topMost) {
  TControl::SetZOrder(topMost);
  if (FHandle) SetWindowPos(FHandle, topMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, !(FControlStyle & csOpaque));
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0) --FAlignLevel;
  if (FAlignLevel == 0 && (FControlState & csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* control) {
  if (FAlignLevel > 0 || HasState(csLoading) || HasState(csDestroying)) {
    FControlState |= csAlignmentNeeded;
    return;
  }
  if (FAligning) return;
  FControlState &= ~csAlignmentNeeded;
  FAligning = true;
  try {
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(control, r);
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}

void TWinControl::doAlign(TAlign kind, TRect& rect, TControl* control) {
  std::vector<TControl*> list;
  for (TControl* c : FControls)
    if (c->Align() == kind && c->Visible()) list.push_back(c);
  // Order along the edge by position; the control being placed wins a tie.
  auto key = [kind](TControl* c) {
    switch (kind) {
      case alTop: return c->Top();
      case alBottom: return -(c->Top() + c->Height());
      case alLeft: return c->Left();
      case alRight: return -(c->Left() + c->Width());
      default: return 0;
    }
  };
  std::stable_sort(list.begin(), list.end(), [&](TControl* a, TControl* b) {
    int ka = key(a), kb = key(b);
    if (ka != kb) return ka < kb;
    return a == control && b != control;
  });
  for (TControl* c : list) {
    int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
    switch (kind) {
      case alTop: l = rect.Left; t = rect.Top; w = rect.Width(); break;
      case alBottom: l = rect.Left; w = rect.Width(); t = rect.Bottom - h; break;
      case alLeft: l = rect.Left; t = rect.Top; h = rect.Height(); break;
      case alRight: t = rect.Top; h = rect.Height(); l = rect.Right - w; break;
      case alClient: l = rect.Left; t = rect.Top; w = rect.Width(); h = rect.Height(); break;
      case alCustom: CustomAlignPosition(c, l, t, w, h); break;
      default: break;
    }
    c->FAnchoring = true;
    try {
      c->SetBounds(l, t, std::max(w, 0), std::max(h, 0));
    } catch (...) {
      c->FAnchoring = false;
      throw;
    }
    c->FAnchoring = false;
    // The constraints may have left it another size than asked.
    switch (kind) {
      case alTop: rect.Top = std::min(rect.Bottom, rect.Top + c->Height()); break;
      case alBottom: rect.Bottom = std::max(rect.Top, rect.Bottom - c->Height()); break;
      case alLeft: rect.Left = std::min(rect.Right, rect.Left + c->Width()); break;
      case alRight: rect.Right = std::max(rect.Left, rect.Right - c->Width()); break;
      default: break;
    }
  }
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient, alCustom}) doAlign(a, rect, control);
  TRect client = ClientRect();
  for (TControl* c : std::vector<TControl*>(FControls))
    if (c->Align() == alNone && c->Anchors() != DefaultAnchors && c != control)
      c->applyAnchors(client.Width(), client.Height());
}

void TWinControl::Broadcast(TMessage& message) {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    c->WndProc(message);
    if (message.Result != 0) return;
  }
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  TDeviceContext* d = DeviceContextOf(dc);
  if (!d) return;
  bool started = first == nullptr;
  for (TControl* c : std::vector<TControl*>(FControls)) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
    TRect clip = d->GetClipBox();
    if (IntersectRect(clip, c->BoundsRect()).IsEmpty()) continue;
    int saved = d->SaveDC();
    d->OffsetViewportOrg(c->Left(), c->Top());
    d->IntersectClipRect(0, 0, c->Width(), c->Height());
    try {
      c->Perform(WM_PAINT, dc, 0);
    } catch (...) {
      d->RestoreDC(saved);
      throw;
    }
    d->RestoreDC(saved);
  }
}

void TWinControl::PaintHandler(TMessage& m) {
  if (m.WParam) {
    PaintWindow(static_cast<HDC>(m.WParam));
    PaintControls(static_cast<HDC>(m.WParam), nullptr);
    return;
  }
  TPaintStruct ps;
  HDC dc = BeginPaint(FHandle, ps);
  HWND h = FHandle;
  try {
    PaintWindow(dc);
    PaintControls(dc, nullptr);
  } catch (...) {
    EndPaint(h, ps);
    throw;
  }
  EndPaint(h, ps);
}

void TWinControl::PaintTo(TDeviceContext& dc, int x, int y) {
  if (!FHandle) return;
  TWindowSurface* s = GetWindowSurface(FHandle);
  if (!s) return;
  TRect r = GetWindowSurfaceRect(FHandle);
  TDeviceContext src(s->Bitmap);
  dc.BitBlt(x, y, r.Width(), r.Height(), &src, r.Left, r.Top, SRCCOPY);
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  // Opaque controls are spared the erase on Invalidate; when asked anyway the colour fills.
  if (TDeviceContext* d = DeviceContextOf(static_cast<HDC>(m.WParam)))
    d->FillRect(GetClientRect(FHandle), SolidBrush(ColorToRGB(Color())));
  m.Result = 1;
}

void TWinControl::WMSize(TMessage& m) {
  updateBoundsFromWindow();
  DefaultHandler(m);
  if (m.WParam == SIZE_MINIMIZED) return;
  Realign();
  Resize();
}

void TWinControl::WMMove(TMessage& m) {
  updateBoundsFromWindow();
  DefaultHandler(m);
}

void TWinControl::WMSetFocus(TMessage& m) {
  DefaultHandler(m);
  if (TCustomForm* form = GetParentForm(this)) form->SetFocusedControl(this);
}

void TWinControl::WMKillFocus(TMessage& m) { DefaultHandler(m); }

void TWinControl::WMSetCursor(TMessage& m) {
  auto hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(m.LParam)));
  if (hit == HTCLIENT) {
    TCursor cur = Screen().Cursor();
    if (cur == crDefault) {
      TPoint p;
      GetCursorPos(p);
      TControl* c = ControlAtPos(ScreenToClient(p), false);
      cur = c && c->Cursor() != crDefault ? c->Cursor() : Cursor();
    }
    if (cur != crDefault) {
      ::SetCursor(CursorHandle(cur));
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::CMFontChanged(TMessage& m) {
  TControl::CMFontChanged(m);
  TMessage b{CM_PARENTFONTCHANGED, 0, 0, 0};
  for (TControl* c : std::vector<TControl*>(FControls)) c->WndProc(b);
}

void TWinControl::CMColorChanged(TMessage& m) {
  TControl::CMColorChanged(m);
  TMessage b{CM_PARENTCOLORCHANGED, 0, 0, 0};
  for (TControl* c : std::vector<TControl*>(FControls)) c->WndProc(b);
}

void TWinControl::CMShowHintChangedChildren() {
  TMessage b{CM_PARENTSHOWHINTCHANGED, 0, 0, 0};
  for (TControl* c : std::vector<TControl*>(FControls)) c->WndProc(b);
}

void TWinControl::CMParentShowHintChanged(TMessage& m) {
  TControl::CMParentShowHintChanged(m);
  CMShowHintChangedChildren();
}

void TWinControl::CMShowingChanged(TMessage&) {}

void TWinControl::CMSysColorChange(TMessage&) {
  Invalidate();
  for (TControl* c : std::vector<TControl*>(FControls)) {
    TMessage b{CM_SYSCOLORCHANGE, 0, 0, 0};
    c->WndProc(b);
    if (!dynamic_cast<TWinControl*>(c)) c->Invalidate();
  }
}

void TWinControl::CMTextChanged(TMessage& m) {
  if (FHandle && GetWindowText(FHandle) != FText) SetWindowText(FHandle, FText);
  TControl::CMTextChanged(m);
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

// With KeyPreview on, the parent form sees a key before the control; true when the form took it.
static bool FormTookKey(TWinControl* control, bool (TWinControl::*step)(TMessage&), TMessage& m) {
  TCustomForm* form = GetParentForm(control);
  return form && form != control && form->KeyPreview() && (form->*step)(m);
}

// Hands a key message to a control's handler; true when the handler cleared the key.
static bool HandleKey(TWinControl* control, void (TWinControl::*handler)(uint16_t&, TShiftState), TMessage& m) {
  auto key = static_cast<uint16_t>(m.WParam);
  (control->*handler)(key, KeyDataToShiftState(m.LParam));
  m.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyDown(TMessage& m) {
  return FormTookKey(this, &TWinControl::DoKeyDown, m) || HandleKey(this, &TWinControl::KeyDown, m);
}

bool TWinControl::DoKeyUp(TMessage& m) {
  return FormTookKey(this, &TWinControl::DoKeyUp, m) || HandleKey(this, &TWinControl::KeyUp, m);
}

bool TWinControl::DoKeyPress(TMessage& m) {
  if (FormTookKey(this, &TWinControl::DoKeyPress, m)) return true;
  char ch = static_cast<char>(m.WParam);
  KeyPress(ch);
  m.WParam = static_cast<uint8_t>(ch);
  return ch == 0;
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

bool TWinControl::WantsKey(uint16_t key) {
  if (!IsDialogKey(key)) return true;
  if (Perform(CM_WANTSPECIALKEY, key) != 0) return true;
  auto code = static_cast<uint32_t>(Perform(WM_GETDLGCODE));
  if (code & DLGC_WANTALLKEYS) return true;
  switch (key) {
    case VK_TAB: return (code & DLGC_WANTTAB) != 0;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: return (code & DLGC_WANTARROWS) != 0;
  }
  return false;
}

bool TWinControl::IsMenuKey(uint16_t key, TShiftState shift) {
  if (key == VK_SHIFT || key == VK_CONTROL || key == VK_MENU) return false;
  TShortCut sc = ShortCut(key, shift);
  for (TControl* c = this; c; c = c->Parent())
    if (TPopupMenu* pm = c->PopupMenu(); pm && pm->IsShortCut(sc)) return true;
  TCustomForm* form = GetParentForm(this);
  return form && form->IsShortCut(key, shift);
}

void TWinControl::CNKeyDown(TMessage& m) {
  // Shortcuts first, then the dialog keys the control leaves alone.
  auto key = static_cast<uint16_t>(m.WParam);
  m.Result = 1;
  if (IsMenuKey(key, KeyDataToShiftState(m.LParam))) return;
  if (IsDialogKey(key) && !WantsKey(key)) {
    TCustomForm* form = GetParentForm(this);
    TWinControl* root = form ? static_cast<TWinControl*>(form) : this;
    if (root->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
  }
  m.Result = 0;
}

void TWinControl::CNChar(TMessage& m) {
  m.Result = 0;
  if (Perform(WM_GETDLGCODE) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) return;
  TCustomForm* form = GetParentForm(this);
  TWinControl* root = form ? static_cast<TWinControl*>(form) : this;
  if (root->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) m.Result = 1;
}

void TWinControl::CNSysChar(TMessage& m) {
  TCustomForm* form = GetParentForm(this);
  TWinControl* root = form ? static_cast<TWinControl*>(form) : this;
  m.Result = root->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0 ? 1 : 0;
}

void TWinControl::routeMouse(TMessage& m) {
  TPoint p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  TControl* target = nullptr;
  if (GCaptureControl && GCaptureControl->FParent == this && !dynamic_cast<TWinControl*>(GCaptureControl))
    target = GCaptureControl;
  else
    target = ControlAtPos(p, false);
  if (m.Msg == WM_MOUSEMOVE) Application().HintMouseMessage(target ? target : this, ClientToScreen(p));
  else Application().CancelHint();
  if (m.Msg == WM_MOUSEMOVE && ::GetCapture()) {
    // While the mouse is captured no cursor query comes: the shape over a control is its own,
    // unless the screen sets one for all.
    TCursor cur = Screen().Cursor();
    if (cur == crDefault) cur = (target ? target : this)->Cursor();
    if (::GetCursor() != CursorHandle(cur)) ::SetCursor(CursorHandle(cur));
  }
  if (m.Msg == WM_MOUSEMOVE && target != FMouseControl) {
    if (FMouseControl) FMouseControl->Perform(CM_MOUSELEAVE);
    FMouseControl = target;
    if (target) target->Perform(CM_MOUSEENTER);
  }
  if (target) {
    m.Result = target->Perform(m.Msg, m.WParam, MAKELPARAM(p.X - target->Left(), p.Y - target->Top()));
    return;
  }
  TControl::WndProc(m);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(m)) return;
      Dispatch(m);
      return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(m)) return;
      Dispatch(m);
      return;
    case WM_CHAR:
      if (DoKeyPress(m)) return;
      Dispatch(m);
      return;
    default:
      if (IsMouseMessage(m.Msg)) {
        routeMouse(m);
        return;
      }
      TControl::WndProc(m);
  }
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: WMPaint(m); return;
    case WM_ERASEBKGND: WMEraseBkgnd(m); return;
    case WM_SIZE: WMSize(m); return;
    case WM_MOVE: WMMove(m); return;
    case WM_WINDOWPOSCHANGING: {
      // The constraints hold for sizes given from outside too.
      auto* pos = reinterpret_cast<TWindowPos*>(m.LParam);
      auto style = static_cast<uint32_t>(GetWindowLongPtr(FHandle, GWL_STYLE));
      if (pos && !(pos->flags & SWP_NOSIZE) && !(style & WS_MINIMIZE)) Constraints().Apply(pos->cx, pos->cy);
      DefaultHandler(m);
      return;
    }
    case WM_SETFOCUS: WMSetFocus(m); return;
    case WM_KILLFOCUS: WMKillFocus(m); return;
    case WM_KEYDOWN: case WM_SYSKEYDOWN: WMKeyDown(m); return;
    case WM_CHAR: WMChar(m); return;
    case WM_SETCURSOR: WMSetCursor(m); return;
    case WM_CANCELMODE:
      // A graphic child holding the capture hears of it through its parent.
      if (GCaptureControl && GCaptureControl->FParent == this && !dynamic_cast<TWinControl*>(GCaptureControl)) {
        TControl* c = GCaptureControl;
        c->Perform(WM_CANCELMODE);
        if (GCaptureControl == c) SetCaptureControl(nullptr);
      }
      DefaultHandler(m);
      return;
    case CN_KEYDOWN: case CN_SYSKEYDOWN: CNKeyDown(m); return;
    case CN_CHAR: CNChar(m); return;
    case CN_SYSCHAR: CNSysChar(m); return;
    case CM_DIALOGKEY: CMDialogKey(m); return;
    case CM_DIALOGCHAR: CMDialogChar(m); return;
    case CM_ENTER: CMEnter(m); return;
    case CM_EXIT: CMExit(m); return;
    case CM_FOCUSCHANGED: CMFocusChanged(m); return;
    case CM_SHOWINGCHANGED: CMShowingChanged(m); return;
    case CM_SYSCOLORCHANGE: CMSysColorChange(m); return;
    case CM_SHOWHINTCHANGED: CMShowHintChangedChildren(); return;
    case CM_RECREATEWND: CMRecreateWnd(m); return;
    case WM_SYSCOLORCHANGE:
      Perform(CM_SYSCOLORCHANGE);
      DefaultHandler(m);
      return;
  }
  TControl::Dispatch(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (m.Msg == WM_SETTEXT && FHandle) {
    FText = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
    m.Result = DefWindowProc(FHandle, m.Msg, m.WParam, m.LParam);
    Perform(CM_TEXTCHANGED);
    return;
  }
  if (FHandle && m.Msg < CM_BASE) {
    m.Result = DefWindowProc(FHandle, m.Msg, m.WParam, m.LParam);
    return;
  }
  TControl::DefaultHandler(m);
}

TWinControl* FindControl(HWND hwnd) { return TWinControl::FromHandle(hwnd); }

TCustomForm* GetParentForm(TControl* control) {
  if (!control) return nullptr;
  while (control->Parent()) control = control->Parent();
  return dynamic_cast<TCustomForm*>(control);
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
  TWinControl* w = FindControl(WindowFromPoint(screenPos));
  if (!w) return nullptr;
  TControl* c = w->ControlAtPos(w->ScreenToClient(screenPos), allowDisabled);
  return c ? c : w;
}
