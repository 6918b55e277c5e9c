// Labels with a border, a margin and shadowed text: the painting rules and the label control.
#pragma once

#include "platform/gdi/Colors.h"
#include "platform/gdi/DeviceContext.h"
#include "platform/rtl/AnsiString.h"
#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Controls.h"

enum class TBxBorderStyle { None, Single };
enum TBxShadowPos { spLeftTop, spRightTop, spRightBottom, spLeftBottom };

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
  TTextLayout Layout = tlTop;
  TAlignment Alignment = taLeftJustify;
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

// The label control: text with a border, a margin and a shadow, sized to its text when asked.
class TBxCustomLabel : public TGraphicControl {
public:
  explicit TBxCustomLabel(TComponent* AOwner);
  ~TBxCustomLabel() override;
  AnsiString ClassName() const override { return "TBxCustomLabel"; }

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool value);
  TColor BorderColor() const { return FBorderColor; }
  // A colour set here stops following the fonts.
  void SetBorderColor(TColor value);
  bool BorderColorSameAsFont() const { return FBorderColorSameAsFont; }
  void SetBorderColorSameAsFont(bool value);
  bool BorderColorSameAsParentFont() const { return FBorderColorSameAsParentFont; }
  void SetBorderColorSameAsParentFont(bool value);
  TBxBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBxBorderStyle value);
  int Margin() const { return FMargin; }
  void SetMargin(int value);
  TColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor value);
  int ShadowSize() const { return FShadowSize; }
  void SetShadowSize(int value);
  TBxShadowPos ShadowPos() const { return FShadowPos; }
  void SetShadowPos(TBxShadowPos value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool value);
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value);

  // What painting uses now, from the properties.
  TBxLabelLook Look();
  // The text shown; a data label shows its field's instead of the caption.
  virtual AnsiString GetLabelText() { return Caption(); }

protected:
  void Paint() override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& message) override;
  void CMFontChanged(TMessage& m) override;
  void CMTextChanged(TMessage& m) override;
  void CMParentFontChanged(TMessage& m) override;
  // Sizes the label to its text when AutoSize is on.
  void AdjustBounds();
  // A change of what is shown; size-relevant ones measure again.
  void Changed(bool measure);
  // The parent's font colour, for a parent that is a form, a panel or a group box.
  bool ParentFontColor(TColor& color) const;

private:
  void followParentFont();

  bool FAutoSize = true;
  bool FShowAccelChar = true;
  TColor FBorderColor = clWindowFrame;
  bool FBorderColorSameAsFont = true;
  bool FBorderColorSameAsParentFont = false;
  TBxBorderStyle FBorderStyle = TBxBorderStyle::Single;
  int FMargin = 1;
  TColor FShadowColor = clBtnHighlight;
  int FShadowSize = 0;
  TBxShadowPos FShadowPos = spLeftTop;
  TTextLayout FLayout = tlTop;
  TAlignment FAlignment = taLeftJustify;
  bool FWordWrap = false;
  bool FShowFocus = false;
  TWinControl* FFocusControl = nullptr;
  bool FTransparent = false;
};

class TBxLabel : public TBxCustomLabel {
public:
  using TBxCustomLabel::TBxCustomLabel;
  AnsiString ClassName() const override { return "TBxLabel"; }
};
