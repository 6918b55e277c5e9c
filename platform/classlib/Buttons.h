// The speed button: a windowless button with a glyph and a caption that can stay down, alone or
// as one of an exclusive group among its siblings.
#pragma once

#include <memory>

#include "platform/classlib/ControlPaint.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Graphics.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// The looks of a button; a glyph strip holds one image per look in this order.
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

constexpr int MaxNumGlyphs = 4;

// Where the glyph's top-left corner and the caption's box go inside a button's client area.
struct TButtonPlacement {
  TPoint Glyph;
  TRect Text;
};
// margin -1 centres glyph and caption together; spacing -1 spreads the free room evenly.
TButtonPlacement PlaceButtonContent(const TRect& client, TSize glyph, TSize text, TButtonLayout layout,
                                    int margin, int spacing);

// One look's image and the colour in it that is see-through.
struct TGlyphImage {
  TGdiBitmapPtr Image;
  TColorRef Key = CLR_NONE;
  explicit operator bool() const { return Image && !Image->Empty(); }
};
// The image of one look out of a glyph strip of numGlyphs images side by side (see-through colour:
// the strip's); a look the strip lacks falls back: disabled to the greyed up image, down to up,
// exclusive to down.
TGlyphImage GlyphImage(const TBitmap& strip, int numGlyphs, TButtonState state);
// The greyed image of a disabled button: dark pixels become an embossed shadow, the rest
// see-through; one pixel wider and higher than the up image for the emboss.
TGlyphImage GreyedGlyph(const TGlyphImage& up);

class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;
  AnsiString ClassName() const override { return "TSpeedButton"; }

  TBitmap& Glyph() { return *FGlyph; }
  // Copies value; a strip whose width is 1 to 4 times its height sets NumGlyphs to match.
  void SetGlyph(const TBitmap* value);
  int NumGlyphs() const { return FNumGlyphs; }
  // Values outside 1 to 4 count as 1.
  void SetNumGlyphs(int value);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return FMargin; }
  void SetMargin(int value);
  int Spacing() const { return FSpacing; }
  void SetSpacing(int value);
  bool Flat() const { return FFlat; }
  void SetFlat(bool value);

  // Buttons of the same parent with the same non-zero group index are down one at a time.
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int value);
  bool Down() const { return FDown; }
  // A button outside any group never stays down; the down button of a group without AllowAllUp
  // comes up only when another one goes down.
  void SetDown(bool value);
  // Shared by the whole group: setting it on one sets it on every member.
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool value);

  // The look painting uses now.
  TButtonState State() const { return FState; }
  // Whether the mouse is over the button (a flat button shows its frame then).
  bool MouseInControl() const { return FMouseInControl; }

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;
  void CMEnabledChanged(TMessage& m) override;
  void CMMouseEnter(TMessage& m) override;
  void CMMouseLeave(TMessage& m) override;
  // A checked action holds the button down.
  void ActionChange(TBasicAction* sender, bool checkDefaults) override;

private:
  void glyphChanged(TObject*);
  // Takes the other members of the group up and gives them this one's AllowAllUp.
  void updateExclusive();
  TButtonState restingState() const { return FDown ? bsExclusive : bsUp; }
  void paintFrame(TDeviceContext& dc, TRect& face);

  std::unique_ptr<TBitmap> FGlyph = std::make_unique<TBitmap>();
  int FNumGlyphs = 1;
  TButtonLayout FLayout = blGlyphLeft;
  int FMargin = -1;
  int FSpacing = 4;
  bool FFlat = false;
  int FGroupIndex = 0;
  bool FDown = false;
  bool FAllowAllUp = false;
  TButtonState FState = bsUp;
  bool FDragging = false;
  bool FMouseInControl = false;
};
