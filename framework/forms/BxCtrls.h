// Labels with a border, a margin and shadowed text: the painting rules and the label control.
#pragma once

#include "platform/gdi/Colors.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/rtl/AnsiString.h"

enum class TBxBorderStyle { None, Single };
enum TBxShadowPos { spLeftTop, spRightTop, spRightBottom, spLeftBottom };
enum class TBxTextLayout { Top, Center, Bottom };
enum class TBxAlignment { LeftJustify, RightJustify, Center };

// What painting a bordered label needs, colours as stored (system colours allowed).
struct TBxLabelLook {
  TColorRef Color = clBtnFace;
  bool Transparent = false;
  TBxBorderStyle BorderStyle = TBxBorderStyle::Single;
  TColorRef BorderColor = clWindowFrame;
  int Margin = 1;
  TColorRef ShadowColor = clBtnHighlight;
  int ShadowSize = 0;
  TBxShadowPos ShadowPos = spLeftTop;
  TBxTextLayout Layout = TBxTextLayout::Top;
  TBxAlignment Alignment = TBxAlignment::LeftJustify;
  bool WordWrap = false;
  bool ShowAccelChar = true;
  bool Enabled = true;
  TLogFont Font;
  TColorRef FontColor = clWindowText;
};

// Where the text and its shadow go, relative to the text area.
struct TBxShadowOffsets {
  TPoint Text;
  TPoint Shadow;
};
TBxShadowOffsets BxShadowOffsets(TBxShadowPos pos, int size);

// The client area less the border and the margin.
TRect BxTextArea(const TRect& client, TBxBorderStyle border, int margin);
// The text actually measured and drawn: an empty caption (or a lone "&" shown as an accelerator)
// measures as a blank.
AnsiString BxMeasuredText(const AnsiString& caption, bool showAccelChar);
unsigned BxDrawTextFlags(const TBxLabelLook& look);
// The look painting uses: a disabled label in grey text, shadowed in the highlight colour.
TBxLabelLook BxEffectiveLook(const TBxLabelLook& look);

// Paints the label into client; returns the rectangle the text took (for the focus frame).
TRect PaintBxLabel(TDeviceContext& dc, const TBxLabelLook& look, const AnsiString& caption, const TRect& client);
// The size auto-size gives: text, shadow and margins.
TSize MeasureBxLabel(TDeviceContext& dc, const TBxLabelLook& look, const AnsiString& caption, int width);
