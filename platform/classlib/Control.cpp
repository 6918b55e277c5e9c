#include "platform/classlib/Control.h"

#include <algorithm>

#include "platform/classlib/ActnList.h"
#include "platform/classlib/Menus.h"
#include "platform/classlib/WinControl.h"
#include "platform/win/Windows.h"

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

TControl* GetCaptureControl() {
  TControl*& held = TControl::GCaptureControl;
  HWND cap = GetCapture();
  if (held) {
    auto* w = dynamic_cast<TWinControl*>(held);
    HWND h = w ? w->HandleAllocated() ? w->Handle() : 0
               : (held->Parent() && held->Parent()->HandleAllocated() ? held->Parent()->Handle() : 0);
    if (h && h == cap) return held;
    held = nullptr;
  }
  return FindControl(cap);
}

void SetCaptureControl(TControl* control) {
  TControl*& held = TControl::GCaptureControl;
  held = nullptr;
  if (!control) {
    ReleaseCapture();
    return;
  }
  auto* w = dynamic_cast<TWinControl*>(control);
  TWinControl* host = w ? w : control->Parent();
  if (!host || !host->HandleAllocated()) return;
  held = control;
  SetCapture(host->Handle());
}
