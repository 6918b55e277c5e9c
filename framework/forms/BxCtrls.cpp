#include "framework/forms/BxCtrls.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"

TBxShadowOffsets BxShadowOffsets(TBxShadowPos pos, int size) {
  switch (pos) {
    case spLeftTop: return {Point(size, size), Point(0, 0)};
    case spRightTop: return {Point(size, 0), Point(0, size)};
    case spRightBottom: return {Point(0, 0), Point(size, size)};
    case spLeftBottom: return {Point(0, size), Point(size, 0)};
  }
  return {};
}

TRect BxTextArea(const TRect& client, TBxBorderStyle border, int margin) {
  if (border == TBxBorderStyle::Single) return InflateRect(client, -(margin + 1), -1);
  return InflateRect(client, -margin, 0);
}

AnsiString BxMeasuredText(const AnsiString& caption, bool showAccelChar) {
  if (caption.empty() || (showAccelChar && caption == "&")) return " ";
  return caption;
}

unsigned BxDrawTextFlags(const TBxLabelLook& look) {
  unsigned flags = DT_EXPANDTABS;
  if (look.Alignment == taRightJustify) flags |= DT_RIGHT;
  else if (look.Alignment == taCenter) flags |= DT_CENTER;
  if (look.WordWrap) flags |= DT_WORDBREAK;
  if (!look.ShowAccelChar) flags |= DT_NOPREFIX;
  return flags;
}

TBxLabelLook BxEffectiveLook(const TBxLabelLook& look) {
  TBxLabelLook eff = look;
  if (!look.Enabled) {
    eff.FontColor = clGrayText;
    eff.ShadowColor = clBtnHighlight;
    if (eff.ShadowSize == 0) {
      eff.ShadowSize = 1;
      eff.ShadowPos = spRightBottom;
    }
  }
  return eff;
}

namespace {

// Height of the text laid out in the width of area.
TRect measureText(TDeviceContext& dc, const TBxLabelLook& look, const AnsiString& text, const TRect& area) {
  TRect r = area;
  DrawText(dc, text, r, BxDrawTextFlags(look) | DT_CALCRECT);
  return r;
}

void drawTextAt(TDeviceContext& dc, const TBxLabelLook& look, const AnsiString& text, const TRect& area,
                TPoint offset, TColorRef color) {
  TRect r = OffsetRect(area, offset.X, offset.Y);
  dc.SetTextColor(ColorToRGB(color));
  DrawText(dc, text, r, BxDrawTextFlags(look));
}

}  // namespace

TRect PaintBxLabel(TDeviceContext& dc, const TBxLabelLook& lookIn, const AnsiString& caption, const TRect& client) {
  const TBxLabelLook look = BxEffectiveLook(lookIn);
  if (!look.Transparent) dc.FillRect(client, SolidBrush(ColorToRGB(look.Color)));
  if (look.BorderStyle == TBxBorderStyle::Single) dc.FrameRect(client, SolidBrush(ColorToRGB(look.BorderColor)));

  TRect area = BxTextArea(client, look.BorderStyle, look.Margin);
  const AnsiString text = BxMeasuredText(caption, look.ShowAccelChar);
  TLogFont oldFont = dc.SelectFont(look.Font);
  int oldMode = dc.SetBkMode(TRANSPARENT);
  if (look.Layout != tlTop) {
    int free = area.Height() - measureText(dc, look, text, area).Height() - look.ShadowSize;
    area = OffsetRect(area, 0, look.Layout == tlCenter ? free / 2 : free);
  }
  const TBxShadowOffsets off = BxShadowOffsets(look.ShadowPos, look.ShadowSize);
  drawTextAt(dc, look, text, area, off.Shadow, look.ShadowColor);
  drawTextAt(dc, look, text, area, off.Text, look.FontColor);
  TRect used = measureText(dc, look, text, area);
  used.Right += look.ShadowSize;
  used.Bottom += look.ShadowSize;
  dc.SetBkMode(oldMode);
  dc.SelectFont(oldFont);
  return used;
}

TSize MeasureBxLabel(TDeviceContext& dc, const TBxLabelLook& lookIn, const AnsiString& caption, int width) {
  const TBxLabelLook look = BxEffectiveLook(lookIn);
  const bool bordered = look.BorderStyle == TBxBorderStyle::Single;
  TRect area = BxTextArea(Rect(0, 0, std::max(width, 0), 0), look.BorderStyle, look.Margin);
  if (!look.WordWrap) area.Right = area.Left;  // one line as long as it needs
  TLogFont oldFont = dc.SelectFont(look.Font);
  TRect text = measureText(dc, look, BxMeasuredText(caption, look.ShowAccelChar), area);
  dc.SelectFont(oldFont);
  // Border and margin around the text, as the text area takes them away.
  int w = text.Width() + look.ShadowSize + 2 * (look.Margin + (bordered ? 1 : 0));
  int h = text.Height() + look.ShadowSize + (bordered ? 2 : 0);
  return TSize{w, h};
}

// ---- TBxCustomLabel ----

namespace {

// The parents whose font colour a label's border may follow.
bool IsLabelFrameParent(const TWinControl* parent) {
  return dynamic_cast<const TCustomForm*>(parent) || dynamic_cast<const TCustomPanel*>(parent) ||
         dynamic_cast<const TCustomGroupBox*>(parent);
}

}  // namespace

TBxCustomLabel::TBxCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() | csOpaque | csReplicatable);
  SetBounds(Left(), Top(), 65, 17);
}

TBxCustomLabel::~TBxCustomLabel() = default;

TBxLabelLook TBxCustomLabel::Look() {
  TBxLabelLook look;
  look.Color = Color();
  look.Transparent = FTransparent;
  look.BorderStyle = FBorderStyle;
  look.BorderColor = FBorderColor;
  look.Margin = FMargin;
  look.ShadowColor = FShadowColor;
  look.ShadowSize = FShadowSize;
  look.ShadowPos = FShadowPos;
  look.Layout = FLayout;
  look.Alignment = FAlignment;
  look.WordWrap = FWordWrap;
  look.ShowAccelChar = FShowAccelChar;
  look.Enabled = Enabled();
  look.Font = Font().Handle();
  look.FontColor = Font().Color();
  return look;
}

void TBxCustomLabel::Changed(bool measure) {
  if (measure) AdjustBounds();
  Invalidate();
}

void TBxCustomLabel::AdjustBounds() {
  if (!FAutoSize || HasState(csLoading)) return;
  // Fonts measure the same on every device, so a scratch context stands for the screen.
  TDeviceContext dc(std::make_shared<TGdiBitmap>(1, 1));
  TSize size = MeasureBxLabel(dc, Look(), GetLabelText(), Width());
  int left = Left();
  // A right-aligned label keeps its right edge where it was.
  if (FAlignment == taRightJustify && !FWordWrap) left += Width() - size.cx;
  SetBounds(left, Top(), FWordWrap ? Width() : size.cx, size.cy);
}

void TBxCustomLabel::Paint() {
  TDeviceContext* dc = Canvas().Handle();
  if (!dc) return;
  TRect client = ClientRect();
  TRect textRect = PaintBxLabel(*dc, Look(), GetLabelText(), client);
  if (FShowFocus && FFocusControl && FFocusControl->Focused() && !HasState(csLoading))
    DrawFocusRect(*dc, InflateRect(textRect, 1, 0));
}

void TBxCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TBxCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TBxCustomLabel::WndProc(TMessage& message) {
  // An accelerator of the caption moves the focus to the focus control.
  if (message.Msg == CM_DIALOGCHAR && FShowAccelChar && FFocusControl && Enabled() &&
      IsAccel(static_cast<uint16_t>(message.WParam), GetLabelText()) && FFocusControl->CanFocus()) {
    FFocusControl->SetFocus();
    message.Result = 1;
    return;
  }
  TGraphicControl::WndProc(message);
}

void TBxCustomLabel::CMFontChanged(TMessage& m) {
  TGraphicControl::CMFontChanged(m);
  if (FBorderColorSameAsFont) FBorderColor = Font().Color();
  Changed(true);
}

void TBxCustomLabel::CMTextChanged(TMessage& m) {
  TGraphicControl::CMTextChanged(m);
  Changed(true);
}

void TBxCustomLabel::CMParentFontChanged(TMessage& m) {
  TGraphicControl::CMParentFontChanged(m);
  followParentFont();
}

bool TBxCustomLabel::ParentFontColor(TColor& color) const {
  TWinControl* parent = Parent();
  if (!parent || !IsLabelFrameParent(parent)) return false;
  color = parent->Font().Color();
  return true;
}

void TBxCustomLabel::followParentFont() {
  TColor color;
  if (FBorderColorSameAsParentFont && ParentFontColor(color) && color != FBorderColor) {
    FBorderColor = color;
    Invalidate();
  }
}

void TBxCustomLabel::SetAutoSize(bool value) {
  if (FAutoSize == value) return;
  FAutoSize = value;
  Changed(true);
}

void TBxCustomLabel::SetShowAccelChar(bool value) {
  if (FShowAccelChar == value) return;
  FShowAccelChar = value;
  Changed(true);
}

void TBxCustomLabel::SetBorderColor(TColor value) {
  FBorderColorSameAsFont = false;
  FBorderColorSameAsParentFont = false;
  if (FBorderColor == value) return;
  FBorderColor = value;
  Changed(false);
}

void TBxCustomLabel::SetBorderColorSameAsFont(bool value) {
  FBorderColorSameAsFont = value;
  if (value) {
    FBorderColor = Font().Color();
    Changed(false);
  }
}

void TBxCustomLabel::SetBorderColorSameAsParentFont(bool value) {
  FBorderColorSameAsParentFont = value;
  followParentFont();
}

void TBxCustomLabel::SetBorderStyle(TBxBorderStyle value) {
  if (FBorderStyle == value) return;
  FBorderStyle = value;
  Changed(true);
}

void TBxCustomLabel::SetMargin(int value) {
  if (FMargin == value) return;
  FMargin = value;
  Changed(true);
}

void TBxCustomLabel::SetShadowColor(TColor value) {
  if (FShadowColor == value) return;
  FShadowColor = value;
  Changed(false);
}

void TBxCustomLabel::SetShadowSize(int value) {
  if (FShadowSize == value) return;
  FShadowSize = value;
  Changed(true);
}

void TBxCustomLabel::SetShadowPos(TBxShadowPos value) {
  if (FShadowPos == value) return;
  FShadowPos = value;
  Changed(false);
}

void TBxCustomLabel::SetLayout(TTextLayout value) {
  if (FLayout == value) return;
  FLayout = value;
  Changed(false);
}

void TBxCustomLabel::SetAlignment(TAlignment value) {
  if (FAlignment == value) return;
  FAlignment = value;
  Changed(false);
}

void TBxCustomLabel::SetWordWrap(bool value) {
  if (FWordWrap == value) return;
  FWordWrap = value;
  Changed(true);
}

void TBxCustomLabel::SetShowFocus(bool value) {
  if (FShowFocus == value) return;
  FShowFocus = value;
  Changed(false);
}

void TBxCustomLabel::SetFocusControl(TWinControl* value) {
  if (FFocusControl == value) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = value;
  if (value) value->FreeNotification(this);
}

void TBxCustomLabel::SetTransparent(bool value) {
  if (FTransparent == value) return;
  FTransparent = value;
  SetControlStyle(value ? (ControlStyle() & ~TControlStyle(csOpaque)) : (ControlStyle() | csOpaque));
  Changed(false);
}
