#include "platform/classlib/Controls.h"

#include "platform/win/Cursors.h"

#include <algorithm>
#include <map>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/win/Cursors.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

const AnsiString ControlProp = "QuorvexControl";
// Registered with the library's first window; missing again after the window system was reset.
const AnsiString MarkerClass = "TQuorvexWindowing";

TControl* GCaptureControl = nullptr;

void EnsureWindowing() {
  TWndClass wc;
  if (GetClassInfo(MarkerClass, wc)) return;
  wc.lpszClassName = MarkerClass;
  wc.lpfnWndProc = DefWindowProc;
  RegisterClass(wc);
  UseGdiDeviceContexts();
}

bool IsMouseMessage(UINT m) {
  return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST && m != WM_MOUSEWHEEL;
}

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

// ---- shift states ----

TShiftState KeyboardStateToShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s |= ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s |= ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s |= ssMiddle;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  constexpr LPARAM AltDown = 0x20000000;
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if ((keyData & AltDown) || GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState MouseKeysToShiftState(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

// ---- TSizeConstraints ----

void TSizeConstraints::Assign(const TPersistent* source) {
  if (auto* c = dynamic_cast<const TSizeConstraints*>(source)) {
    FMinWidth = c->FMinWidth;
    FMinHeight = c->FMinHeight;
    FMaxWidth = c->FMaxWidth;
    FMaxHeight = c->FMaxHeight;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TSizeConstraints::SetMinWidth(int v) {
  if (v == FMinWidth) return;
  FMinWidth = std::max(v, 0);
  if (FMaxWidth > 0 && FMaxWidth < FMinWidth) FMaxWidth = FMinWidth;
  Changed();
}

void TSizeConstraints::SetMinHeight(int v) {
  if (v == FMinHeight) return;
  FMinHeight = std::max(v, 0);
  if (FMaxHeight > 0 && FMaxHeight < FMinHeight) FMaxHeight = FMinHeight;
  Changed();
}

void TSizeConstraints::SetMaxWidth(int v) {
  if (v == FMaxWidth) return;
  FMaxWidth = std::max(v, 0);
  if (FMaxWidth > 0 && FMinWidth > FMaxWidth) FMinWidth = FMaxWidth;
  Changed();
}

void TSizeConstraints::SetMaxHeight(int v) {
  if (v == FMaxHeight) return;
  FMaxHeight = std::max(v, 0);
  if (FMaxHeight > 0 && FMinHeight > FMaxHeight) FMinHeight = FMaxHeight;
  Changed();
}

void TSizeConstraints::Apply(int& width, int& height) const {
  if (FMaxWidth > 0) width = std::min(width, FMaxWidth);
  if (FMaxHeight > 0) height = std::min(height, FMaxHeight);
  width = std::max(width, FMinWidth);
  height = std::max(height, FMinHeight);
}

// ---- TControlCanvas ----

namespace {

// Canvases holding a context taken outside painting; the loop lets them go when idle, since a
// context goes stale once its window moves.
std::vector<TControlCanvas*>& CanvasesWithContexts() {
  static auto* v = new std::vector<TControlCanvas*>;
  return *v;
}

}  // namespace

void FreeDeviceContexts() {
  std::vector<TControlCanvas*> list;
  list.swap(CanvasesWithContexts());
  for (TControlCanvas* c : list) c->FreeHandle();
}

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  if (!FControl) return;
  auto* wc = dynamic_cast<TWinControl*>(FControl);
  TWinControl* host = wc ? wc : FControl->Parent();
  if (!host) return;
  HWND h = host->Handle();
  FDC = GetDC(h);
  FWindow = h;
  TDeviceContext* dc = DeviceContextOf(FDC);
  if (!dc) {
    ReleaseDC(h, FDC);
    FDC = 0;
    FWindow = 0;
    return;
  }
  if (!wc) {
    dc->OffsetViewportOrg(FControl->Left(), FControl->Top());
    dc->IntersectClipRect(0, 0, FControl->Width(), FControl->Height());
  }
  SetHandle(dc);
  CanvasesWithContexts().push_back(this);
}

void TControlCanvas::FreeHandle() {
  if (FDC) {
    ReleaseDC(FWindow, FDC);
    FDC = 0;
    FWindow = 0;
    auto& v = CanvasesWithContexts();
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  TCanvas::FreeHandle();
}

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FFont->OnChange = [this](TObject* s) { FontChanged(s); };
  FConstraints.OnChange = [this](TObject* s) { ConstraintsChanged(s); };
}

// The action link is a complete type here.
class TControlActionLink final : public TActionLink {
public:
  explicit TControlActionLink(TControl* c) : TActionLink(c), FControl(c) {}

protected:
  void Change() override {
    TActionLink::Change();
    FControl->ActionChange(Action(), FControl->HasState(csLoading));
  }
  void SetCaption(const AnsiString& v) override { FControl->SetCaption(v); }
  void SetEnabled(bool v) override { FControl->SetEnabled(v); }
  void SetHelpContext(int v) override { FControl->SetHelpContext(v); }
  void SetHint(const AnsiString& v) override { FControl->SetHint(v); }
  void SetVisible(bool v) override { FControl->SetVisible(v); }

private:
  TControl* FControl = nullptr;
};

TControl::~TControl() {
  if (GCaptureControl == this) SetCaptureControl(nullptr);
  FActionLink.reset();
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  FConstraints.Apply(width, height);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  bool sized = width != FWidth || height != FHeight;
  InvalidateVacated();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  Invalidate();
  if (!FAnchoring) UpdateAnchorRules();
  RequestAlign();
  if (sized) Resize();
}

TRect TControl::ClientRect() { return TRect{0, 0, FWidth, FHeight}; }

void TControl::SetClientSize(int width, int height) {
  TRect c = ClientRect();
  SetBounds(FLeft, FTop, FWidth - c.Width() + width, FHeight - c.Height() + height);
}

TPoint TControl::ClientOrigin() {
  if (!FParent) throw EInvalidOperation("Control '%s' has no parent window", {Name()});
  TPoint p = FParent->ClientOrigin();
  return TPoint{p.X + FLeft, p.Y + FTop};
}

void TControl::SetAlign(TAlign v) {
  if (v == FAlign) return;
  TAlign old = FAlign;
  FAlign = v;
  // Aligned to a side, the control stretches along it.
  if (old == alNone || v == alNone) UpdateAnchorRules();
  RequestAlign();
}

void TControl::SetAnchors(TAnchors v) {
  if (v == FAnchors) return;
  FAnchors = v;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  FAnchorBounds = BoundsRect();
  if (FParent) {
    TRect c = FParent->ClientRect();
    FAnchorParentSize = TSize{c.Width(), c.Height()};
  } else {
    FAnchorParentSize = TSize{};
  }
}

void TControl::applyAnchors(int parentWidth, int parentHeight) {
  if (FAnchorParentSize.cx == 0 && FAnchorParentSize.cy == 0) {
    // The parent had no size yet when the control was placed: the rules start from here.
    UpdateAnchorRules();
    return;
  }
  TRect b = FAnchorBounds;
  int dw = parentWidth - FAnchorParentSize.cx;
  int dh = parentHeight - FAnchorParentSize.cy;
  int l = b.Left, t = b.Top, w = b.Width(), h = b.Height();
  if (FAnchors & akRight) {
    if (FAnchors & akLeft) w += dw;
    else l += dw;
  } else if (!(FAnchors & akLeft) && FAnchorParentSize.cx > 0) {
    // Neither side: the centre keeps its share of the width.
    l = (2 * b.Left + b.Width()) * parentWidth / (2 * FAnchorParentSize.cx) - b.Width() / 2;
  }
  if (FAnchors & akBottom) {
    if (FAnchors & akTop) h += dh;
    else t += dh;
  } else if (!(FAnchors & akTop) && FAnchorParentSize.cy > 0) {
    t = (2 * b.Top + b.Height()) * parentHeight / (2 * FAnchorParentSize.cy) - b.Height() / 2;
  }
  FAnchoring = true;
  try {
    SetBounds(l, t, std::max(w, 0), std::max(h, 0));
  } catch (...) {
    FAnchoring = false;
    throw;
  }
  FAnchoring = false;
}

void TControl::ConstraintsChanged(TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); }

void TControl::SetVisible(bool v) {
  if (v == FVisible) return;
  if (v) Invalidate();
  else InvalidateVacated();
  FVisible = v;
  Perform(CM_VISIBLECHANGED, v);
  Invalidate();
  RequestAlign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

namespace {
// Stores a changed property and tells the control of it with msg.
template <class T>
void Change(TControl& c, T& field, const T& v, UINT msg) {
  if (v == field) return;
  field = v;
  c.Perform(msg);
}
// A ParentXxx flag: once set on a parented control, the parent's value is taken through msg.
void ChangeParentFlag(TControl& c, bool& flag, bool v, UINT msg) {
  if (v == flag) return;
  flag = v;
  if (v && c.Parent()) c.Perform(msg);
}
}  // namespace

void TControl::SetEnabled(bool v) { Change(*this, FEnabled, v, CM_ENABLEDCHANGED); }

void TControl::SetColor(TColor v) {
  if (v == FColor && !FParentColor) return;
  FColor = v;
  FParentColor = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool v) { ChangeParentFlag(*this, FParentColor, v, CM_PARENTCOLORCHANGED); }

void TControl::FontChanged(TObject*) {
  if (!FFontFromParent) FParentFont = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool v) { ChangeParentFlag(*this, FParentFont, v, CM_PARENTFONTCHANGED); }

void TControl::SetText(const AnsiString& v) { Change(*this, FText, v, CM_TEXTCHANGED); }

void TControl::SetShowHint(bool v) {
  FParentShowHint = false;
  Change(*this, FShowHint, v, CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool v) {
  ChangeParentFlag(*this, FParentShowHint, v, CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetCursor(TCursor v) { Change(*this, FCursor, v, CM_CURSORCHANGED); }

void TControl::SetPopupMenu(TPopupMenu* v) {
  if (v == FPopupMenu) return;
  if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
  FPopupMenu = v;
  if (v) v->FreeNotification(this);
}

TBasicAction* TControl::Action() const { return FActionLink ? FActionLink->Action() : nullptr; }

void TControl::SetAction(TBasicAction* v) {
  if (!v) {
    if (FActionLink) {
      if (TBasicAction* a = FActionLink->Action()) a->RemoveFreeNotification(this);
      FActionLink.reset();
    }
    return;
  }
  if (!FActionLink) FActionLink = std::make_unique<TControlActionLink>(this);
  if (TBasicAction* old = FActionLink->Action()) old->RemoveFreeNotification(this);
  FActionLink->SetAction(v);
  v->FreeNotification(this);
}

void TControl::ActionChange(TBasicAction*, bool) {}

void TControl::InitiateAction() {
  if (FActionLink) FActionLink->Update();
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == static_cast<TComponent*>(FPopupMenu)) FPopupMenu = nullptr;
  if (FActionLink && component == FActionLink->Action()) FActionLink.reset();
}

void TControl::Loaded() {
  TComponent::Loaded();
  UpdateAnchorRules();
  RequestAlign();
}

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_ENABLEDCHANGED: CMEnabledChanged(m); return;
    case CM_VISIBLECHANGED: CMVisibleChanged(m); return;
    case CM_FONTCHANGED: CMFontChanged(m); return;
    case CM_COLORCHANGED: CMColorChanged(m); return;
    case CM_TEXTCHANGED: CMTextChanged(m); return;
    case CM_PARENTFONTCHANGED: CMParentFontChanged(m); return;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); return;
    case CM_PARENTSHOWHINTCHANGED: CMParentShowHintChanged(m); return;
    case CM_HITTEST: CMHitTest(m); return;
    case CM_MOUSEENTER: CMMouseEnter(m); return;
    case CM_MOUSELEAVE: CMMouseLeave(m); return;
    default:
      if (IsMouseMessage(m.Msg)) {
        WMMouse(m);
        return;
      }
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_GETTEXTLENGTH: m.Result = static_cast<LRESULT>(FText.size()); break;
    case WM_SETTEXT:
      SetText(m.LParam ? reinterpret_cast<const char*>(m.LParam) : "");
      m.Result = 1;
      break;
  }
}

void TControl::CMEnabledChanged(TMessage&) { Invalidate(); }
void TControl::CMVisibleChanged(TMessage&) {}
void TControl::CMFontChanged(TMessage&) { Invalidate(); }
void TControl::CMColorChanged(TMessage&) { Invalidate(); }
void TControl::CMTextChanged(TMessage&) { Invalidate(); }

void TControl::CMParentFontChanged(TMessage&) {
  if (!FParentFont || !FParent) return;
  FFontFromParent = true;
  try {
    FFont->Assign(&FParent->Font());
  } catch (...) {
    FFontFromParent = false;
    throw;
  }
  FFontFromParent = false;
}

void TControl::CMParentColorChanged(TMessage&) {
  if (!FParentColor || !FParent) return;
  TColor c = FParent->Color();
  if (c == FColor) return;
  FColor = c;
  Perform(CM_COLORCHANGED);
  FParentColor = true;
}

void TControl::CMParentShowHintChanged(TMessage&) {
  if (!FParentShowHint || !FParent) return;
  FShowHint = FParent->ShowHint();
}

void TControl::CMHitTest(TMessage& m) { m.Result = HTCLIENT; }
void TControl::CMMouseEnter(TMessage&) {}
void TControl::CMMouseLeave(TMessage&) {}

void TControl::WMMouse(TMessage& m) {
  // A click may free the control.
  std::weak_ptr<const void> self = Liveness();
  int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = MouseKeysToShiftState(m.WParam);
  auto down = [&](TMouseButton b, bool dbl) {
    if (b == mbLeft && (FControlStyle & csCaptureMouse)) SetCaptureControl(this);
    if (b == mbLeft && (FControlStyle & csClickEvents)) FControlState |= csClicked | csLButtonDown;
    if (dbl && (FControlStyle & csDoubleClicks)) {
      shift |= ssDouble;
      if (b == mbLeft) DblClick();
    }
    MouseDown(b, shift, x, y);
  };
  auto up = [&](TMouseButton b) {
    bool clicked = b == mbLeft && (FControlState & csClicked);
    if (b == mbLeft) {
      FControlState &= ~(csClicked | csLButtonDown);
      if (GetCaptureControl() == this) SetCaptureControl(nullptr);
    }
    if (clicked && ClientRect().Contains(x, y)) Click();
    if (self.expired()) return;
    MouseUp(b, shift, x, y);
    if (self.expired()) return;
    if (b == mbRight) WMContextMenu(m);
  };
  switch (m.Msg) {
    case WM_LBUTTONDOWN: down(mbLeft, false); break;
    case WM_LBUTTONDBLCLK: down(mbLeft, true); break;
    case WM_RBUTTONDOWN: down(mbRight, false); break;
    case WM_RBUTTONDBLCLK: down(mbRight, true); break;
    case WM_MBUTTONDOWN: down(mbMiddle, false); break;
    case WM_MBUTTONDBLCLK: down(mbMiddle, true); break;
    case WM_LBUTTONUP: up(mbLeft); break;
    case WM_RBUTTONUP: up(mbRight); break;
    case WM_MBUTTONUP: up(mbMiddle); break;
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
  }
  if (self.expired()) return;
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated() && IsWindow(w->FHandle))
    m.Result = DefWindowProc(w->FHandle, m.Msg, m.WParam, m.LParam);
}

void TControl::WMContextMenu(TMessage& m) {
  // The nearest popup menu up the parents answers a right click.
  for (TControl* c = this; c; c = c->FParent) {
    if (TPopupMenu* pm = c->FPopupMenu; pm && pm->AutoPopup()) {
      TPoint p = ClientToScreen(TPoint{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
      pm->SetPopupComponent(this);
      pm->Popup(p.X, p.Y);
      return;
    }
  }
}

void TControl::Click() {
  if (!OnClick && FActionLink && FActionLink->Action()) {
    FActionLink->Execute(this);
    return;
  }
  if (OnClick) OnClick(this);
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool v) {
  if (v == MouseCapture()) return;
  SetCaptureControl(v ? this : nullptr);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::RequestAlign() {
  if (FParent) FParent->AlignControl(this);
}

void TControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || !FVisible) return;
  TRect r = BoundsRect();
  InvalidateRect(FParent->FHandle, &r, !(FControlStyle & csOpaque));
}

void TControl::InvalidateVacated() {
  // Erased even under an opaque control: its own paint no longer covers the place.
  if (!FParent || !FParent->HandleAllocated() || !FVisible) return;
  TRect r = BoundsRect();
  InvalidateRect(FParent->FHandle, &r, true);
}

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::SetZOrder(bool topMost) {
  if (!FParent) return;
  auto& v = FParent->FControls;
  auto it = std::find(v.begin(), v.end(), this);
  if (it == v.end()) return;
  v.erase(it);
  if (topMost) v.push_back(this);
  else v.insert(v.begin(), this);
  Invalidate();
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    FCanvas->FreeHandle();
    FCanvas->SetHandle(DeviceContextOf(static_cast<HDC>(m.WParam)));
    try {
      if (FCanvas->HandleAllocated()) Paint();
    } catch (...) {
      FCanvas->SetHandle(nullptr);
      throw;
    }
    FCanvas->SetHandle(nullptr);
    return;
  }
  TControl::Dispatch(m);
}

// ---- TWinControl ----

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

int CursorHandle(TCursor c) {
  struct TPair { TCursor Cursor; int Id; };
  // Shapes the system lacks (drag, split) take the nearest one it has.
  static constexpr TPair Map[] = {
      {crArrow, IDC_ARROW},        {crCross, IDC_CROSS},       {crIBeam, IDC_IBEAM},
      {crSizeNESW, IDC_SIZENESW},  {crSizeNS, IDC_SIZENS},     {crSizeNWSE, IDC_SIZENWSE},
      {crSizeWE, IDC_SIZEWE},      {crUpArrow, IDC_UPARROW},   {crHourGlass, IDC_WAIT},
      {crDrag, IDC_ARROW},         {crNoDrop, IDC_NO},         {crHSplit, IDC_SIZEWE},
      {crVSplit, IDC_SIZENS},      {crMultiDrag, IDC_ARROW},   {crSQLWait, IDC_WAIT},
      {crNo, IDC_NO},              {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
      {crHandPoint, IDC_HAND},     {crSizeAll, IDC_SIZEALL}};
  if (c == crNone) return 0;
  for (const TPair& p : Map)
    if (p.Cursor == c) return LoadCursor(0, p.Id);
  return LoadCursor(0, IDC_ARROW);
}

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

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  FCanvas->FreeHandle();
  FCanvas->SetHandle(DeviceContextOf(dc));
  try {
    if (FCanvas->HandleAllocated()) Paint();
  } catch (...) {
    FCanvas->SetHandle(nullptr);
    throw;
  }
  FCanvas->SetHandle(nullptr);
}

// ---- THintWindow ----

namespace {
constexpr int HintMargin = 2;
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  FVisible = false;
  SetColor(clInfoBk);
  Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.WndParent = 0;
}

TRect THintWindow::CalcHintRect(int maxWidth, const AnsiString& hint) {
  TRect r{0, 0, maxWidth, 0};
  Canvas().DrawText(hint, r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  r.Right += 2 * HintMargin + 4;
  r.Bottom += 2 * HintMargin + 2;
  return r;
}

void THintWindow::ActivateHint(const TRect& rect, const AnsiString& hint) {
  SetCaption(hint);
  TRect area = GetWorkArea();
  TRect r = rect;
  // Kept on the screen.
  if (r.Right > area.Right) r = OffsetRect(r, area.Right - r.Right, 0);
  if (r.Bottom > area.Bottom) r = OffsetRect(r, 0, area.Bottom - r.Bottom);
  if (r.Left < area.Left) r = OffsetRect(r, area.Left - r.Left, 0);
  if (r.Top < area.Top) r = OffsetRect(r, 0, area.Top - r.Top);
  SetBoundsRect(r);
  HandleNeeded();
  FVisible = true;
  SetWindowPos(FHandle, HWND_TOPMOST, r.Left, r.Top, r.Width(), r.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::ReleaseHint() {
  FVisible = false;
  if (FHandle) ShowWindow(FHandle, SW_HIDE);
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  r = InflateRect(r, -HintMargin, -HintMargin);
  Canvas().Brush().SetStyle(bsClear);
  Canvas().Font().SetColor(clInfoText);
  Canvas().DrawText(Caption(), r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void THintWindow::WndProc(TMessage& m) {
  if (m.Msg == WM_MOUSEACTIVATE) {
    m.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(m);
}

AnsiString GetShortHint(const AnsiString& hint) {
  auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(0, bar);
}

AnsiString GetLongHint(const AnsiString& hint) {
  auto bar = hint.find('|');
  return bar == AnsiString::npos ? hint : hint.substr(bar + 1);
}

// ---- free functions ----

TControl* GetCaptureControl() {
  HWND cap = GetCapture();
  if (GCaptureControl) {
    auto* w = dynamic_cast<TWinControl*>(GCaptureControl);
    HWND h = w ? w->HandleAllocated() ? w->Handle() : 0
               : (GCaptureControl->Parent() && GCaptureControl->Parent()->HandleAllocated()
                      ? GCaptureControl->Parent()->Handle()
                      : 0);
    if (h && h == cap) return GCaptureControl;
    GCaptureControl = nullptr;
  }
  return FindControl(cap);
}

void SetCaptureControl(TControl* control) {
  GCaptureControl = nullptr;
  if (!control) {
    ReleaseCapture();
    return;
  }
  auto* w = dynamic_cast<TWinControl*>(control);
  TWinControl* host = w ? w : control->Parent();
  if (!host || !host->HandleAllocated()) return;
  GCaptureControl = control;
  SetCapture(host->Handle());
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

namespace {

// Kept for the whole process: windows may still be freed while the process ends.
std::map<HWND, std::function<void(TMessage&)>>& HiddenHandlers() {
  static auto* h = new std::map<HWND, std::function<void(TMessage&)>>;
  return *h;
}

}  // namespace

HWND AllocateHWnd(std::function<void(TMessage&)> handler) {
  EnsureWindowing();
  const AnsiString cls = "TQuorvexUtilWindow";
  TWndClass wc;
  if (!GetClassInfo(cls, wc)) {
    wc = TWndClass{};
    wc.lpszClassName = cls;
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
      auto it = HiddenHandlers().find(h);
      if (it == HiddenHandlers().end()) return DefWindowProc(h, msg, wp, lp);
      auto handler = it->second;  // a copy: the handler may free the window
      TMessage m{msg, wp, lp, 0};
      try {
        handler(m);
      } catch (...) {
        Application().HandleCurrentException();
      }
      return m.Result;
    };
    RegisterClass(wc);
  }
  HWND h = CreateWindowEx(0, cls, "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE);
  if (!h) throw EOutOfResources("Error creating window");
  HiddenHandlers()[h] = std::move(handler);
  return h;
}

void DeallocateHWnd(HWND hwnd) {
  HiddenHandlers().erase(hwnd);
  if (IsWindow(hwnd)) DestroyWindow(hwnd);
}

bool IsAccel(uint16_t key, const AnsiString& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    auto a = static_cast<unsigned char>(caption[i + 1]);
    auto b = static_cast<unsigned char>(key);
    return std::toupper(a) == std::toupper(b);
  }
  return false;
}
