#include "toolbars/tbToolbarButton.h"

#include <exception>
#include <vector>

#include "platform/classlib/Forms.h"
#include "platform/gdi/Edges.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"

namespace {

constexpr unsigned HotTrackInterval = 125;

// What all buttons of the process share.
struct TShared {
  TtbToolbarButton* Hot = nullptr;
  std::unique_ptr<TTimer> Timer;
  int Instances = 0;
  std::unique_ptr<TBitmap> Dither;
  TColorRef DitherFace = 0, DitherHighlight = 0;
  TtbDockSideQuery DockSide;
};

TShared& Shared() {
  static TShared s;
  return s;
}

TControl* ControlUnderCursor() {
  TPoint p;
  GetCursorPos(p);
  return FindDragTarget(p, true);
}

// 8 x 8 of button face with button highlight where x + y is even.
TBitmap& DitherBitmap() {
  TShared& s = Shared();
  if (!s.Dither) {
    s.DitherFace = ColorToRGB(clBtnFace);
    s.DitherHighlight = ColorToRGB(clBtnHighlight);
    s.Dither = std::make_unique<TBitmap>();
    s.Dither->SetSize(8, 8);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        s.Dither->Image()->SetPixel(x, y, (x + y) % 2 == 0 ? s.DitherHighlight : s.DitherFace);
  }
  return *s.Dither;
}

}  // namespace

void SetDockSideQuery(TtbDockSideQuery query) { Shared().DockSide = std::move(query); }

TtbButtonDockSide QueryDockSide(TControl* control) {
  return Shared().DockSide ? Shared().DockSide(control) : TtbButtonDockSide::Other;
}

// ---- TtbToolbarButtonActionLink ----

TCustomAction* TtbToolbarButtonActionLink::action() const {
  return dynamic_cast<TCustomAction*>(FClient->Action());
}
bool TtbToolbarButtonActionLink::IsCheckedLinked() const {
  TCustomAction* a = action();
  return a && a->Checked() == FClient->Down();
}
bool TtbToolbarButtonActionLink::IsHelpContextLinked() const {
  TCustomAction* a = action();
  return a && a->HelpContext() == FClient->HelpContext();
}
bool TtbToolbarButtonActionLink::IsImageIndexLinked() const {
  TCustomAction* a = action();
  return a && a->ImageIndex() == FClient->ImageIndex();
}

// ---- TtbToolbarButton ----

TtbToolbarButton* TtbToolbarButton::HotButton() { return Shared().Hot; }

TtbToolbarButton::TtbToolbarButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), 23, 22);
  SetControlStyle(csCaptureMouse | csOpaque | csDoubleClicks);
  SetColor(clBtnFace);
  SetParentFont(true);
  FGlyph = std::make_unique<TtbTBButtonGlyph>();
  FGlyph->OnChange = [this] { repaint(); };
  TShared& s = Shared();
  if (s.Instances++ == 0) {
    s.Timer = std::make_unique<TTimer>(nullptr);
    s.Timer->SetEnabled(false);
    s.Timer->SetInterval(HotTrackInterval);
  }
  RegisterHookCallback(HookProc, HookKind(hpeActivateApp) | HookKind(hpeMouseMove), HasState(csDesigning));
}

TtbToolbarButton::~TtbToolbarButton() {
  stopHotTracking();
  freeRepeatTimer();
  FGlyph.reset();
  UnregisterHookCallback(HookProc);
  TShared& s = Shared();
  if (--s.Instances == 0) {
    s.Timer.reset();
    s.Dither.reset();
  }
}

void TtbToolbarButton::HookProc(TtbHookEventKind kind, HWND, WPARAM wp, LPARAM) {
  TtbToolbarButton* hot = Shared().Hot;
  if (!hot) return;
  if (kind == hpeActivateApp) {
    if (wp == 0 && !hot->FShowBorderWhenInactive) hot->mouseLeft();
  } else if (kind == hpeMouseMove) {
    if (ControlUnderCursor() != hot) hot->mouseLeft();
  }
}

void TtbToolbarButton::RepaintTransparent(TControl* control, bool parentShowsThrough) {
  auto* b = dynamic_cast<TtbToolbarButton*>(control);
  if (b && !b->FOpaque && b->FFlat && parentShowsThrough) {
    control->Invalidate();
    return;
  }
  TControlStyle style = control->ControlStyle();
  control->SetControlStyle(style | csOpaque);
  control->Invalidate();
  control->SetControlStyle(style);
}

// ---- properties ----

void TtbToolbarButton::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  repaint();
}

void TtbToolbarButton::SetAllowAllUp(bool v) {
  if (v == FAllowAllUp) return;
  FAllowAllUp = v;
  updateGroup();
}

void TtbToolbarButton::SetDisplayMode(TtbTBButtonDisplayMode v) {
  if (v == FDisplayMode) return;
  FDisplayMode = v;
  repaint();
}

void TtbToolbarButton::SetDown(bool v) {
  if (FGroupIndex == 0) v = false;
  if (v == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = v;
  if (!Enabled()) FState = tbsDisabled;
  else FState = v ? tbsExclusive : tbsUp;
  repaint();
  if (v) updateGroup();
}

void TtbToolbarButton::updateHasDropdown() {
  bool had = FHasDropdown;
  FHasDropdown = hasDropdown();
  if (had != FHasDropdown && (FDropdownArrow || FDropdownCombo)) repaint();
}

void TtbToolbarButton::SetDropdownAlways(bool v) {
  if (v == FDropdownAlways) return;
  FDropdownAlways = v;
  updateHasDropdown();
}

void TtbToolbarButton::SetDropdownMenu(TPopupMenu* v) {
  if (v == FDropdownMenu) return;
  if (FDropdownMenu) FDropdownMenu->RemoveFreeNotification(this);
  FDropdownMenu = v;
  if (v) v->FreeNotification(this);
  updateHasDropdown();
}

void TtbToolbarButton::SetDropdownArrow(bool v) {
  if (v == FDropdownArrow) return;
  FDropdownArrow = v;
  repaint();
}

void TtbToolbarButton::SetDropdownArrowWidth(int v) {
  if (v < 7) v = 7;
  if (v == FDropdownArrowWidth) return;
  int diff = v - FDropdownArrowWidth;
  FDropdownArrowWidth = v;
  if (!HasState(csLoading) && FDropdownCombo) SetWidth(Width() + diff);
  repaint();
}

void TtbToolbarButton::SetDropdownCombo(bool v) {
  if (v == FDropdownCombo) return;
  FDropdownCombo = v;
  if (!HasState(csLoading)) {
    if (v) SetWidth(Width() + FDropdownArrowWidth + 2);
    else SetWidth(std::max(1, Width() - (FDropdownArrowWidth + 2)));
  }
  repaint();
}

void TtbToolbarButton::SetFlat(bool v) {
  if (v == FFlat) return;
  FFlat = v;
  TControlStyle s = ControlStyle() & ~TControlStyle(csOpaque);
  SetControlStyle((FOpaque || !FFlat) ? (s | csOpaque) : s);
  repaint();
}

void TtbToolbarButton::SetOpaque(bool v) {
  if (v == FOpaque) return;
  FOpaque = v;
  TControlStyle s = ControlStyle() & ~TControlStyle(csOpaque);
  SetControlStyle((FOpaque || !FFlat) ? (s | csOpaque) : s);
  Invalidate();
}

void TtbToolbarButton::SetGlyph(const TBitmap* v) {
  FGlyph->SetGlyph(v);
  repaint();
}

void TtbToolbarButton::SetGlyphMask(const TBitmap* v) {
  FGlyph->SetGlyphMask(v);
  repaint();
}

void TtbToolbarButton::SetGroupIndex(int v) {
  if (v == FGroupIndex) return;
  FGroupIndex = v;
  updateGroup();
}

void TtbToolbarButton::SetImageIndex(int v) {
  if (v == FGlyph->ImageIndex()) return;
  FGlyph->SetImageIndex(v);
}

void TtbToolbarButton::SetImages(TCustomImageList* v) {
  if (v == FGlyph->ImageList()) return;
  if (TCustomImageList* old = FGlyph->ImageList()) old->RemoveFreeNotification(this);
  FGlyph->SetImageList(v);
  if (v) v->FreeNotification(this);
}

void TtbToolbarButton::SetLayout(TButtonLayout v) {
  if (v == FLayout) return;
  FLayout = v;
  repaint();
}

void TtbToolbarButton::SetMargin(int v) {
  if (v == FMargin || v < -1) return;
  FMargin = v;
  repaint();
}

void TtbToolbarButton::SetNoBorder(bool v) {
  if (v == FNoBorder) return;
  FNoBorder = v;
  Invalidate();
}

void TtbToolbarButton::SetNumGlyphs(int v) {
  if (v <= 0) v = 1;
  if (v > 5) v = 5;
  if (v == FGlyph->NumGlyphs()) return;
  FGlyph->SetNumGlyphs(v);
  repaint();
}

void TtbToolbarButton::SetOldDisabledStyle(bool v) {
  if (v == FOldDisabledStyle) return;
  FOldDisabledStyle = v;
  FGlyph->SetOldDisabledStyle(v);
  repaint();
}

void TtbToolbarButton::SetSpacing(int v) {
  if (v == FSpacing) return;
  FSpacing = v;
  repaint();
}

void TtbToolbarButton::SetWordWrap(bool v) {
  if (v == FWordWrap) return;
  FWordWrap = v;
  repaint();
}

void TtbToolbarButton::updateGroup() {
  if (FGroupIndex == 0 || !Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    auto* b = dynamic_cast<TtbToolbarButton*>(Parent()->Controls(i));
    if (!b || b == this || b->FGroupIndex != FGroupIndex) continue;
    if (FDown && b->FDown) {
      b->FDown = false;
      b->FState = b->Enabled() ? tbsUp : tbsDisabled;
      b->repaint();
    }
    b->FAllowAllUp = FAllowAllUp;
  }
}

// ---- component ----

void TtbToolbarButton::Loaded() {
  TGraphicControl::Loaded();
  FGlyph->CreateButtonGlyph(Enabled() ? tbsUp : tbsDisabled);
}

void TtbToolbarButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == FDropdownMenu) {
    FDropdownMenu = nullptr;
    updateHasDropdown();
  }
  if (component == FGlyph->ImageList()) FGlyph->SetImageList(nullptr);
}

void TtbToolbarButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  auto* a = dynamic_cast<TCustomAction*>(sender);
  if (!a) return;
  if (!checkDefaults || !FDown) SetDown(a->Checked());
  if (!checkDefaults || HelpContext() == 0) SetHelpContext(a->HelpContext());
  if (!checkDefaults || ImageIndex() == -1) SetImageIndex(a->ImageIndex());
}

void TtbToolbarButton::AssignTo(TPersistent* dest) const {
  auto* a = dynamic_cast<TCustomAction*>(dest);
  if (!a) {
    TGraphicControl::AssignTo(dest);
    return;
  }
  a->SetEnabled(Enabled());
  a->SetHint(Hint());
  a->SetCaption(Caption());
  a->SetVisible(Visible());
  a->SetChecked(FDown);
  a->SetHelpContext(HelpContext());
  a->SetImageIndex(FGlyph->ImageIndex());
  if (OnClick) a->OnExecute = OnClick;
}

// ---- mouse ----

bool TtbToolbarButton::inMainPart(int x, int y) {
  int right = ClientWidth() - (FDropdownCombo && FHasDropdown ? FDropdownArrowWidth + 2 : 0);
  return x >= 0 && x < right && y >= 0 && y < ClientHeight();
}

void TtbToolbarButton::mouseEntered() {
  if (!Enabled() || FMouseInControl) return;
  FMouseInControl = true;
  if (FState == tbsUp) FState = tbsHot;
  if (FFlat || NumGlyphs() > 4) RepaintTransparent(this, FDown || NumGlyphs() > 4);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TtbToolbarButton::mouseLeft() {
  if (!Enabled() || !FMouseInControl || FMouseIsDown) return;
  FMouseInControl = false;
  if (Shared().Hot == this) {
    if (Shared().Timer) Shared().Timer->SetEnabled(false);
    Shared().Hot = nullptr;
  }
  bool pressedChanged = false;
  if (FState == tbsHot || (FState == tbsDown && !FInClick)) {
    pressedChanged = FState == tbsDown;
    FState = FDown && FGroupIndex != 0 ? tbsExclusive : tbsUp;
  }
  if (FFlat || NumGlyphs() > 4 || pressedChanged) repaint();
  if (OnMouseLeave) OnMouseLeave(this);
}

void TtbToolbarButton::stopHotTracking() {
  if (Shared().Hot != this) return;
  if (Shared().Timer) Shared().Timer->SetEnabled(false);
  Shared().Hot = nullptr;
}

void TtbToolbarButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (!Enabled() || button != mbLeft) {
    TGraphicControl::MouseDown(button, shift, x, y);
    return;
  }
  // The click may free the button: its menu's item or its OnClick can destroy it.
  std::weak_ptr<const void> alive = Liveness();
  try {
    mouseEntered();
    FMenuIsDown = FHasDropdown && (!FDropdownCombo || x >= Width() - FDropdownArrowWidth - 2);
    if (!FDown) {
      FState = tbsDown;
      repaint();
    } else if (FAllowAllUp) {
      repaint();
    }
    if (!FMenuIsDown) FMouseIsDown = true;
    TGraphicControl::MouseDown(button, shift, x, y);
    if (alive.expired()) return;
    if (FMenuIsDown) {
      Click();
    } else if (FRepeating) {
      Click();
      if (alive.expired()) return;
      if (!FRepeatTimer) FRepeatTimer = std::make_unique<TTimer>(nullptr);
      FRepeatTimer->SetEnabled(false);
      FRepeatTimer->SetInterval(static_cast<unsigned>(FRepeatDelay));
      FRepeatTimer->OnTimer = [this](TObject*) { repeatTick(); };
      FRepeatTimer->SetEnabled(true);
    }
  } catch (...) {
    if (!alive.expired()) FMenuIsDown = false;
    throw;
  }
  if (!alive.expired()) FMenuIsDown = false;
}

void TtbToolbarButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (Shared().Hot != this && ControlUnderCursor() == this) becomeHot();
  if (!FMouseIsDown) return;
  const bool inside = inMainPart(x, y);
  if (FRepeatTimer && inside) FRepeatTimer->SetEnabled(true);
  TtbButtonState next = FDown ? tbsExclusive : inside ? tbsDown : tbsUp;
  if (next != FState) {
    FState = next;
    repaint();
  }
}

// The hot button alone is watched by the timer and the hooks, which take its hot look away.
void TtbToolbarButton::becomeHot() {
  TShared& s = Shared();
  if (s.Hot && s.Hot != this) s.Hot->mouseLeft();
  if (!FShowBorderWhenInactive && !Application().Active()) return;
  s.Hot = this;
  if (s.Timer) {
    s.Timer->OnTimer = [](TObject*) {
      TtbToolbarButton* hot = Shared().Hot;
      if (hot && ControlUnderCursor() != hot) hot->mouseLeft();
    };
    s.Timer->SetEnabled(true);
  }
  mouseEntered();
}

void TtbToolbarButton::repeatTick() {
  if (!FRepeatTimer) return;
  FRepeatTimer->SetInterval(static_cast<unsigned>(FRepeatInterval));
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  if (FRepeating && FMouseIsDown && MouseCapture() && inMainPart(p.X, p.Y)) Click();
  else if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
}

void TtbToolbarButton::freeRepeatTimer() { FRepeatTimer.reset(); }

void TtbToolbarButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  freeRepeatTimer();
  if (button == mbRight && Enabled()) {
    FMouseIsDown = false;
    mouseLeft();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && FMouseIsDown) {
    FMouseIsDown = false;
    if (!inMainPart(x, y) || FRepeating) mouseLeft();
    else Click();
  }
}

// ---- click ----

void TtbToolbarButton::Click() {
  if (FRepeating && !FMenuIsDown) {
    TGraphicControl::Click();
    return;
  }
  std::weak_ptr<const void> alive = Liveness();
  FInClick = true;
  // An error from OnClick, or a dialog it ran, must not leave the button drawn pressed or hot.
  struct TClickEnd {
    TtbToolbarButton& B;
    std::weak_ptr<const void> Alive;
    // An OnMouseEnter or OnMouseLeave that fails passes its error on, unless one is already on its way.
    ~TClickEnd() noexcept(false) {
      if (Alive.expired()) return;
      try {
        B.endClick();
      } catch (...) {
        if (!std::uncaught_exceptions()) throw;
      }
    }
  } end{*this, alive};
  if (FGroupIndex != 0 && !FMenuIsDown) SetDown(!FDown);
  if (FState == tbsUp || FState == tbsHot) {
    FState = tbsDown;
    repaint();
  }
  mouseLeft();
  if (FHasDropdown && !(FDropdownCombo && !FMenuIsDown)) {
    if (!FDropdownCombo) TGraphicControl::Click();
    if (alive.expired()) return;
    SetCaptureControl(nullptr);
    bool showMenu = FDropdownMenu != nullptr, removeClicks = true;
    if (OnDropdown) OnDropdown(this, showMenu, removeClicks);
    if (alive.expired()) return;
    showDropdownMenu(showMenu);
    if (!alive.expired() && removeClicks) removeQueuedClicks();
  } else {
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
    TGraphicControl::Click();
  }
}

void TtbToolbarButton::endClick() {
  FInClick = false;
  if (FState == tbsDown) FState = tbsUp;
  if (HasState(csDestroying)) return;
  repaint();
  if (ControlUnderCursor() == this) becomeHot();
  else mouseLeft();
}

void TtbToolbarButton::showDropdownMenu(bool showMenu) {
  if (!FDropdownMenu || !showMenu) return;
  TPopupMenu* menu = FDropdownMenu;
  TPopupAlignment savedAlignment = menu->Alignment();
  TPoint at;
  switch (QueryDockSide(this)) {
    case TtbButtonDockSide::Left: at = ClientToScreen(TPoint{Width(), 0}); break;
    case TtbButtonDockSide::Right:
      at = ClientToScreen(TPoint{0, 0});
      menu->SetAlignment(paRight);
      break;
    case TtbButtonDockSide::Other:
      at = ClientToScreen(TPoint{0, Height()});
      menu->SetAlignment(paLeft);
      break;
  }
  menu->SetPopupComponent(this);
  try {
    menu->Popup(at.X, at.Y);
  } catch (...) {
    menu->SetAlignment(savedAlignment);
    throw;
  }
  menu->SetAlignment(savedAlignment);
}

// Takes back the presses that arrived while the menu was open: those aimed at this button would
// open it again at once.
void TtbToolbarButton::removeQueuedClicks() {
  std::vector<TMsg> held;
  TMsg msg;
  while (PeekMessage(msg, 0, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    bool press = msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                 msg.message == WM_MBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK ||
                 msg.message == WM_RBUTTONDBLCLK || msg.message == WM_MBUTTONDBLCLK;
    if (press) {
      TPoint screen = msg.hwnd ? ::ClientToScreen(msg.hwnd, TPoint{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)})
                               : msg.pt;
      TPoint p = ScreenToClient(screen);
      if (p.X >= 0 && p.Y >= 0 && p.X < Width() && p.Y < Height()) continue;
    }
    held.push_back(msg);
  }
  for (const TMsg& m : held) PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
}

// ---- messages ----

void TtbToolbarButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CANCELMODE:
      freeRepeatTimer();
      if (FMouseIsDown) {
        FMouseIsDown = false;
        mouseLeft();
      }
      return;
    case WM_LBUTTONDBLCLK: {
      // The press it stands for may have freed the button.
      std::weak_ptr<const void> alive = Liveness();
      TGraphicControl::WndProc(m);
      if (!alive.expired() && FDown && OnDblClick) OnDblClick(this);
      return;
    }
    case CM_DIALOGKEY: dialogKey(m); return;
    case CM_DIALOGCHAR: dialogChar(m); return;
    case CM_SYSCOLORCHANGE: sysColorChange(m); return;
  }
  TGraphicControl::WndProc(m);
}

void TtbToolbarButton::dialogKey(TMessage& m) {
  const bool noShift = GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
  const bool key = (m.WParam == VK_RETURN && FDefault) || (m.WParam == VK_ESCAPE && FCancel);
  if (key && noShift && Parent() && Parent()->CanFocus() && Enabled() && Visible()) {
    Click();
    m.Result = 1;
    return;
  }
  TGraphicControl::WndProc(m);
}

void TtbToolbarButton::dialogChar(TMessage& m) {
  if (IsAccel(static_cast<uint16_t>(m.WParam), Caption()) && Parent() && Parent()->CanFocus() && Enabled() &&
      Visible() && FDisplayMode != admGlyphOnly) {
    Click();
    m.Result = 1;
    return;
  }
  TGraphicControl::WndProc(m);
}

void TtbToolbarButton::sysColorChange(TMessage& m) {
  TGraphicControl::WndProc(m);
  TShared& s = Shared();
  if (s.Dither && (s.DitherFace != ColorToRGB(clBtnFace) || s.DitherHighlight != ColorToRGB(clBtnHighlight)))
    s.Dither.reset();
  FGlyph->DropImages();
  FGlyph->CreateButtonGlyph(FState);
}

void TtbToolbarButton::CMEnabledChanged(TMessage& m) {
  TGraphicControl::CMEnabledChanged(m);
  if (!Enabled()) {
    FState = tbsDisabled;
    FMouseInControl = false;
    FMouseIsDown = false;
    stopHotTracking();
    Perform(WM_CANCELMODE);
  } else if (FState == tbsDisabled) {
    FState = restingState();
  }
  repaint();
}

void TtbToolbarButton::CMFontChanged(TMessage& m) {
  TGraphicControl::CMFontChanged(m);
  repaint();
}

void TtbToolbarButton::CMTextChanged(TMessage& m) {
  TGraphicControl::CMTextChanged(m);
  repaint();
}

// ---- painting ----

void TtbToolbarButton::Paint() {
  if (!FOpaque && FFlat) {
    paintOn(Canvas());
    return;
  }
  TBitmap buffer;
  buffer.SetSize(Width(), Height());
  buffer.Image()->Fill(ColorToRGB(Color()));
  paintOn(buffer.Canvas());
  Canvas().Draw(0, 0, &buffer);
}

void TtbToolbarButton::paintOn(TCanvas& canvas) {
  canvas.Font().Assign(&Font());
  TDeviceContext* dc = canvas.Handle();
  if (!dc) return;
  TRect r{0, 0, Width(), Height()};
  const bool pressed = FState == tbsDown || FState == tbsExclusive;
  const bool combo = FDropdownCombo && FHasDropdown;
  const bool sunken = pressed && !(combo && FMenuIsDown);
  const bool frame = HasState(csDesigning) ||
                     (!FNoBorder && (!FFlat || pressed || (FMouseInControl && FState != tbsDisabled)));
  const unsigned raised = FFlat ? BDR_RAISEDINNER : EDGE_RAISED;
  const unsigned lowered = FFlat ? BDR_SUNKENOUTER : EDGE_SUNKEN;
  const unsigned flags = FFlat ? BF_RECT : (BF_RECT | BF_SOFT | BF_MIDDLE);
  if (combo) {
    if (frame) {
      TRect arrow{Width() - FDropdownArrowWidth - 2, 0, Width(), Height()};
      DrawEdge(*dc, arrow, FMenuIsDown ? lowered : raised, flags);
    }
    r.Right -= FDropdownArrowWidth + 2;
  }
  if (frame) {
    TRect edge = r;
    DrawEdge(*dc, edge, sunken ? lowered : raised, flags);
  }
  if (!FNoBorder) r = InflateRect(r, FFlat ? -1 : -2, FFlat ? -1 : -2);
  TPoint offset{0, 0};
  if (sunken) {
    if (FState == tbsExclusive && !(FFlat && FMouseInControl)) {
      canvas.Brush().SetBitmap(&DitherBitmap());
      canvas.FillRect(r);
      canvas.Brush().SetBitmap(nullptr);
    }
    offset = TPoint{1, 1};
  }
  FGlyph->Draw(canvas, r, offset, Caption(), FWordWrap, FAlignment, FLayout, FMargin, FSpacing,
               FDropdownArrow && !FDropdownCombo && FHasDropdown, FDropdownArrowWidth, FState,
               FDisplayMode != admGlyphOnly, FDisplayMode != admTextOnly);
  if (combo)
    DrawDropdownArrow(canvas, Width() - FDropdownArrowWidth - 2, Height() / 2 - 1, FDropdownArrowWidth,
                      FState != tbsDisabled, Font().Color());
}
