#include "platform/classlib/StdCtrls.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/gdi/SystemMetrics.h"
#include "platform/win/Caret.h"
#include "platform/win/PaintContext.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/Windows.h"
#include "platform/classlib/Forms.h"

namespace {

TDeviceContext& DC(TCanvas& canvas) { return *canvas.Handle(); }

}  // namespace

// ---- TCustomLabel ----

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  FControlStyle |= csOpaque | csReplicatable;
  SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool v) {
  if (FAutoSize == v) return;
  FAutoSize = v;
  AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout v) {
  if (FLayout == v) return;
  FLayout = v;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (FShowAccelChar == v) return;
  FShowAccelChar = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (FTransparent == v) return;
  FTransparent = v;
  if (v) FControlStyle &= ~csOpaque;
  else FControlStyle |= csOpaque;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (FWordWrap == v) return;
  FWordWrap = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* v) {
  if (FFocusControl == v) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = v;
  if (v) v->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

unsigned TCustomLabel::DrawTextFlags() const {
  static constexpr unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  unsigned f = DT_EXPANDTABS | align[FAlignment];
  if (FWordWrap) f |= DT_WORDBREAK;
  if (!FShowAccelChar) f |= DT_NOPREFIX;
  return f;
}

AnsiString TCustomLabel::LabelText() const {
  const AnsiString& t = Caption();
  if (t.empty() || (FShowAccelChar && t == "&")) return " ";
  return t;
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize || HasState(csLoading)) return;
  TSize s = MeasureControlText(const_cast<TCustomLabel*>(this)->Font().Handle(), LabelText(), DrawTextFlags(),
                               Width());
  int left = Left();
  // A right-aligned label keeps its right edge where it was.
  if (FAlignment == taRightJustify && !FWordWrap) left += Width() - s.cx;
  SetBounds(left, Top(), FWordWrap ? Width() : s.cx, s.cy);
}

void TCustomLabel::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  if (!FTransparent) FillCanvasRect(c, r, Color());
  c.Font().Assign(&Font());
  unsigned flags = DrawTextFlags();
  if (FLayout != tlTop) {
    TSize s = MeasureControlText(Font().Handle(), LabelText(), flags, r.Width());
    int free = r.Height() - s.cy;
    r.Top += FLayout == tlBottom ? free : free / 2;
  }
  DrawCanvasText(c, LabelText(), r, flags, Enabled(), Font().Color());
}

void TCustomLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGCHAR:
      // The accelerator hands the focus to the control the label names.
      if (FFocusControl && Enabled() && FShowAccelChar && IsAccel(static_cast<uint16_t>(m.WParam), Caption()) &&
          FFocusControl->CanFocus()) {
        FFocusControl->SetFocus();
        m.Result = 1;
        return;
      }
      break;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::WndProc(m);
      AdjustBounds();
      Invalidate();
      return;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

// ---- TButtonControl ----

TButtonControl::TButtonControl(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csSetCaption | csDoubleClicks | csCaptureMouse | csOpaque;
  SetTabStop(true);
}

void TButtonControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    if (!Focused() && CanFocus()) SetFocus();
    FDown = true;
    FInside = true;
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TButtonControl::MouseMove(TShiftState shift, int x, int y) {
  if (FDown) {
    bool inside = ClientRect().Contains(x, y);
    if (inside != FInside) {
      FInside = inside;
      Invalidate();
    }
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TButtonControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  bool fire = false;
  if (button == mbLeft && FDown) {
    fire = FInside && ClientRect().Contains(x, y);
    FDown = false;
    FInside = false;
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
  if (fire) Pressed();
}

void TButtonControl::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == VK_SPACE && !FSpaceDown) {
    FSpaceDown = FDown = FInside = true;
    Invalidate();
    key = 0;
  }
}

void TButtonControl::KeyUp(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyUp(key, shift);
  if (key == VK_SPACE && FSpaceDown) {
    FSpaceDown = FDown = FInside = false;
    Invalidate();
    key = 0;
    Pressed();
  }
}

void TButtonControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGCHAR:
      if (Enabled() && Visible() && IsAccel(static_cast<uint16_t>(m.WParam), Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Pressed();
        m.Result = 1;
        return;
      }
      break;
    case WM_KILLFOCUS:
      // Losing the focus in the middle of a press cancels it.
      FDown = FInside = FSpaceDown = false;
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_SETFOCUS:
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_GETDLGCODE: m.Result = DLGC_BUTTON; return;
    case WM_ERASEBKGND: m.Result = 1; return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TButtonControl::CMTextChanged(TMessage& m) {
  TCustomControl::CMTextChanged(m);
  Invalidate();
}

void TButtonControl::CMEnabledChanged(TMessage& m) {
  TCustomControl::CMEnabledChanged(m);
  Invalidate();
}

void TButtonControl::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  Invalidate();
}

// ---- TButton ----

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool v) {
  if (FDefault == v) return;
  FDefault = v;
  Invalidate();
}

bool TButton::ShowsAsDefault() {
  // The focused button takes the default look; the default one keeps it while the focus is on
  // something that is not a button.
  if (Focused()) return true;
  if (!FDefault) return false;
  TWinControl* focused = FindControl(GetFocus());
  return dynamic_cast<TButton*>(focused) == nullptr;
}

void TButton::Click() {
  if (FModalResult != 0)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

void TButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  bool down = Down();
  PaintButtonFace(DC(c), r, down, ShowsAsDefault());
  c.Font().Assign(&Font());
  TRect text = InflateRect(r, -4, -4);
  if (down) text = OffsetRect(text, 1, 1);
  DrawCanvasText(c, Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Enabled(), Font().Color());
  if (Focused()) DrawFocusRect(DC(c), InflateRect(r, -4, -4));
}

void TButton::WndProc(TMessage& m) {
  if (m.Msg == CM_DIALOGKEY) {
    auto key = static_cast<uint16_t>(m.WParam);
    bool enter = key == VK_RETURN && ShowsAsDefault();
    bool escape = key == VK_ESCAPE && FCancel;
    if ((enter || escape) && Enabled() && Showing()) {
      Click();
      m.Result = 1;
      return;
    }
  }
  if (m.Msg == CM_FOCUSCHANGED) Invalidate();  // the default look follows the focus
  TButtonControl::WndProc(m);
}

// ---- check boxes and radio buttons ----

namespace {

// Where the glyph and the caption of a check box or radio button lie.
void SplitGlyphCaption(const TRect& client, int glyph, TAlignment alignment, TRect& glyphRect, TRect& captionRect) {
  int top = client.Top + (client.Height() - glyph) / 2;
  if (alignment == taRightJustify) {
    glyphRect = TRect{client.Left, top, client.Left + glyph, top + glyph};
    captionRect = TRect{client.Left + glyph + 4, client.Top, client.Right, client.Bottom};
  } else {
    glyphRect = TRect{client.Right - glyph, top, client.Right, top + glyph};
    captionRect = TRect{client.Left, client.Top, client.Right - glyph - 4, client.Bottom};
  }
}

void PaintCaptionWithFocus(TCanvas& c, TControl& control, const TRect& area, bool focused) {
  TLogFont font = control.Font().Handle();
  TSize s = MeasureControlText(font, control.Caption(), DT_SINGLELINE, area.Width());
  int top = area.Top + (area.Height() - s.cy) / 2;
  TRect text{area.Left, top, std::min(area.Right, area.Left + s.cx), top + s.cy};
  c.Font().Assign(&control.Font());
  DrawCanvasText(c, control.Caption(), text, DT_SINGLELINE | DT_LEFT, control.Enabled(), control.Font().Color());
  if (focused && !control.Caption().empty()) DrawFocusRect(DC(c), InflateRect(text, 1, 1));
}

}  // namespace

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 97, 17);
}

void TCustomCheckBox::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Invalidate();
}

void TCustomCheckBox::SetState(TCheckBoxState v) {
  if (FState == v) return;
  FState = v;
  Invalidate();
  // A change of state is a click, whoever made it.
  TButtonControl::Click();
}

void TCustomCheckBox::Pressed() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbGrayed: SetState(cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
  }
}

void TCustomCheckBox::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  FillCanvasRect(c, r, Color());
  TRect glyph, caption;
  SplitGlyphCaption(r, CheckGlyphSize, FAlignment, glyph, caption);
  static constexpr TCheckGlyph glyphs[] = {TCheckGlyph::Unchecked, TCheckGlyph::Checked, TCheckGlyph::Grayed};
  PaintCheckGlyph(DC(c), glyph.Left, glyph.Top, glyphs[FState], Enabled(), Down());
  PaintCaptionWithFocus(c, *this, caption, Focused());
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 113, 17);
}

void TRadioButton::SetAlignment(TAlignment v) {
  if (FAlignment == v) return;
  FAlignment = v;
  Invalidate();
}

void TRadioButton::SetChecked(bool v) {
  if (FChecked == v) return;
  FChecked = v;
  SetTabStop(v);
  Invalidate();
  if (!v) return;
  if (TWinControl* p = Parent()) {
    for (int i = 0; i < p->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(p->Controls(i)); other && other != this) other->SetChecked(false);
  }
  TButtonControl::Click();
}

void TRadioButton::Pressed() { SetChecked(true); }

bool TRadioButton::WantsKey(uint16_t key) {
  return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT || TButtonControl::WantsKey(key);
}

void TRadioButton::KeyDown(uint16_t& key, TShiftState shift) {
  TButtonControl::KeyDown(key, shift);
  if (key != VK_UP && key != VK_DOWN && key != VK_LEFT && key != VK_RIGHT) return;
  // Arrows move to the next radio button of the group and check it.
  TWinControl* p = Parent();
  if (!p) return;
  std::vector<TRadioButton*> group;
  for (int i = 0; i < p->ControlCount(); ++i)
    if (auto* rb = dynamic_cast<TRadioButton*>(p->Controls(i)); rb && rb->Visible() && rb->Enabled()) group.push_back(rb);
  auto it = std::find(group.begin(), group.end(), this);
  if (it == group.end() || group.size() < 2) return;
  int i = static_cast<int>(it - group.begin());
  int n = static_cast<int>(group.size());
  int step = (key == VK_UP || key == VK_LEFT) ? -1 : 1;
  TRadioButton* next = group[static_cast<size_t>((i + step + n) % n)];
  key = 0;
  if (next->CanFocus()) next->SetFocus();
  next->SetChecked(true);
}

void TRadioButton::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  FillCanvasRect(c, r, Color());
  TRect glyph, caption;
  SplitGlyphCaption(r, RadioGlyphSize, FAlignment, glyph, caption);
  PaintRadioGlyph(DC(c), glyph.Left, glyph.Top, FChecked, Enabled(), Down());
  PaintCaptionWithFocus(c, *this, caption, Focused());
}

// ---- TCustomGroupBox ----

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks | csOpaque;
  SetBounds(0, 0, 185, 105);
}

int TCustomGroupBox::CaptionHeight() { return MeasureControlText(Font().Handle(), "0", DT_SINGLELINE, 100).cy; }

void TCustomGroupBox::AdjustClientRect(TRect& rect) {
  TCustomControl::AdjustClientRect(rect);
  rect.Top += CaptionHeight();
  rect = InflateRect(rect, -1, -1);
}

void TCustomGroupBox::Paint() {
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  // Without the opaque style whatever lies behind shows through: frame and caption only.
  const bool opaque = ControlStyle() & csOpaque;
  if (opaque) FillCanvasRect(c, r, Color());
  int h = CaptionHeight();
  TRect frame{r.Left, r.Top + h / 2, r.Right, r.Bottom};
  if (Caption().empty()) {
    DrawEdge(DC(c), frame, EDGE_ETCHED, BF_RECT);
    return;
  }
  TSize s = MeasureControlText(Font().Handle(), Caption(), DT_SINGLELINE, r.Width());
  TRect text{r.Left + 8, r.Top, std::min(r.Right - 8, r.Left + 8 + s.cx), r.Top + h};
  const TRect gap = InflateRect(text, 1, 0);
  if (opaque) {
    DrawEdge(DC(c), frame, EDGE_ETCHED, BF_RECT);
    FillCanvasRect(c, gap, Color());
  } else {
    DrawEdge(DC(c), frame, EDGE_ETCHED, BF_LEFT | BF_RIGHT | BF_BOTTOM);
    TRect before{frame.Left, frame.Top, gap.Left, frame.Bottom};
    TRect after{gap.Right, frame.Top, frame.Right, frame.Bottom};
    DrawEdge(DC(c), before, EDGE_ETCHED, BF_TOP);
    DrawEdge(DC(c), after, EDGE_ETCHED, BF_TOP);
  }
  c.Font().Assign(&Font());
  DrawCanvasText(c, Caption(), text, DT_SINGLELINE | DT_LEFT, Enabled(), Font().Color());
}

void TCustomGroupBox::WndProc(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && Enabled() && IsAccel(static_cast<uint16_t>(m.WParam), Caption())) {
    // The accelerator moves the focus into the box.
    SelectNext(nullptr, true, true);
    m.Result = 1;
    return;
  }
  if (m.Msg == WM_ERASEBKGND) {
    m.Result = 1;
    return;
  }
  TCustomControl::WndProc(m);
}

void TCustomGroupBox::CMTextChanged(TMessage& m) {
  TCustomControl::CMTextChanged(m);
  Invalidate();
}

void TCustomGroupBox::CMFontChanged(TMessage& m) {
  TCustomControl::CMFontChanged(m);
  Realign();
  Invalidate();
}

// ---- TScrollBar ----

TScrollBar::TScrollBar(TComponent* owner) : TCustomControl(owner) {
  FControlStyle = csCaptureMouse | csDoubleClicks | csOpaque;
  SetTabStop(true);
  SetBounds(0, 0, 121, GetSystemMetrics(SM_CYHSCROLL));
}

void TScrollBar::SetKind(TScrollBarKindValue v) {
  if (FKind == v) return;
  FKind = v;
  // Turning the bar swaps its width and height, as the classic bar does.
  SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TScrollBar::SetParams(int position, int min, int max) {
  if (max < min) throw EInvalidOperation("Scroll bar property out of range");
  int maxPos = FPageSize > 0 ? std::max(min, max - FPageSize + 1) : max;
  position = std::clamp(position, min, maxPos);
  bool changed = position != FPosition;
  FMin = min;
  FMax = max;
  FPosition = position;
  Invalidate();
  if (changed) Change();
}

void TScrollBar::SetPageSize(int v) {
  if (v < 0 || v > FMax - FMin + 1) throw EInvalidOperation("Scroll bar property out of range");
  FPageSize = v;
  SetParams(FPosition, FMin, FMax);
}

void TScrollBar::Change() {
  if (OnChange) OnChange(this);
}

void TScrollBar::Scroll(TScrollCode code, int& pos) {
  if (OnScroll) OnScroll(this, code, pos);
}

TScrollBarGeometry TScrollBar::Geometry() {
  TScrollBarGeometry g;
  g.Kind = FKind == sbVertical ? TScrollBarKind::Vertical : TScrollBarKind::Horizontal;
  g.Bounds = ClientRect();
  g.Min = FMin;
  g.Max = FMax;
  g.Page = FPageSize;
  g.Position = FPosition;
  return g;
}

void TScrollBar::ScrollTo(TScrollCode code, int pos) {
  int maxPos = FPageSize > 0 ? std::max(FMin, FMax - FPageSize + 1) : FMax;
  pos = std::clamp(pos, FMin, maxPos);
  // The scroll handler may change where the bar ends up.
  Scroll(code, pos);
  SetPosition(pos);
}

void TScrollBar::Paint() {
  PaintScrollBar(DC(Canvas()), Geometry(), FPartPressed, Enabled());
  if (Focused()) {
    TRect t = Geometry().ThumbRect();
    if (!t.IsEmpty()) DrawFocusRect(DC(Canvas()), InflateRect(t, -2, -2));
  }
}

bool TScrollBar::WantsKey(uint16_t key) {
  switch (key) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
      return true;
    default: return TCustomControl::WantsKey(key);
  }
}

void TScrollBar::KeyDown(uint16_t& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  switch (key) {
    case VK_UP: case VK_LEFT: ScrollTo(scLineUp, FPosition - FSmallChange); break;
    case VK_DOWN: case VK_RIGHT: ScrollTo(scLineDown, FPosition + FSmallChange); break;
    case VK_PRIOR: ScrollTo(scPageUp, FPosition - FLargeChange); break;
    case VK_NEXT: ScrollTo(scPageDown, FPosition + FLargeChange); break;
    case VK_HOME: ScrollTo(scTop, FMin); break;
    case VK_END: ScrollTo(scBottom, FMax); break;
    default: return;
  }
  key = 0;
}

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (!Focused() && CanFocus()) SetFocus();
    TScrollBarGeometry g = Geometry();
    FPartPressed = g.HitTest({x, y});
    if (FPartPressed == TScrollPart::Thumb) {
      FThumbGrab = OffsetAlongBar(g, x, y) - g.ThumbOffset();
    } else if (FPartPressed != TScrollPart::None) {
      StepPressed(false);
      FRepeat.Start(Handle());
    }
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y) {
  if (FPartPressed == TScrollPart::Thumb) {
    TScrollBarGeometry g = Geometry();
    int pos = g.PositionAtThumbOffset(OffsetAlongBar(g, x, y) - FThumbGrab);
    if (pos != FPosition) ScrollTo(scTrack, pos);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && FPartPressed != TScrollPart::None) {
    FRepeat.Stop();
    if (FPartPressed == TScrollPart::Thumb) ScrollTo(scPosition, FPosition);
    int pos = FPosition;
    Scroll(scEndScroll, pos);
    FPartPressed = TScrollPart::None;
    Invalidate();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TScrollBar::StepPressed(bool checkMouse) {
  if (checkMouse) {
    TPoint p;
    GetCursorPos(p);
    // A held track press stops once the thumb has come under the mouse.
    if (Geometry().HitTest(ScreenToClient(p)) != FPartPressed) return;
  }
  static constexpr TScrollCode codes[] = {scEndScroll, scLineUp, scPageUp, scTrack, scPageDown, scLineDown};
  ScrollTo(codes[static_cast<int>(FPartPressed)], FPosition + ScrollStep(FPartPressed, FSmallChange, FLargeChange));
}

void TScrollBar::WndProc(TMessage& m) {
  if (FRepeat.IsTick(m.Msg, m.WParam)) {
    if (FPartPressed != TScrollPart::None && FPartPressed != TScrollPart::Thumb) StepPressed(true);
    return;
  }
  if (m.Msg == WM_CANCELMODE || m.Msg == WM_CAPTURECHANGED) {
    FRepeat.Stop();
    if (m.Msg == WM_CANCELMODE) FPartPressed = TScrollPart::None;
  }
  TCustomControl::WndProc(m);
}
