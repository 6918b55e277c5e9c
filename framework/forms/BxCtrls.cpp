#include "framework/forms/BxCtrls.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"

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
  if (look.Alignment == TBxAlignment::RightJustify) flags |= DT_RIGHT;
  else if (look.Alignment == TBxAlignment::Center) flags |= DT_CENTER;
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
  if (look.Layout != TBxTextLayout::Top) {
    int free = area.Height() - measureText(dc, look, text, area).Height() - look.ShadowSize;
    area = OffsetRect(area, 0, look.Layout == TBxTextLayout::Center ? free / 2 : free);
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
