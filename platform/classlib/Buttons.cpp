#include "platform/classlib/Buttons.h"

#include <algorithm>

#include "platform/gdi/DrawText.h"
#include "platform/gdi/Edges.h"
#include "platform/classlib/ActnList.h"

namespace {

constexpr int DefaultButtonWidth = 23;
constexpr int DefaultButtonHeight = 22;
// Pixels darker than the button face are the ink a disabled glyph keeps.
constexpr int GreyInkLimit = 192;
constexpr unsigned CaptionFormat = DT_SINGLELINE | DT_LEFT | DT_TOP;

int Luminance(TColorRef c) { return (GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11) / 100; }

TGlyphImage Cell(const TBitmap& strip, int numGlyphs, int index) {
  const TGdiBitmap& src = *strip.Image();
  int w = src.Width() / numGlyphs, h = src.Height();
  if (w <= 0 || h <= 0) return {};
  auto img = std::make_shared<TGdiBitmap>(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img->SetPixel(x, y, src.Pixel(index * w + x, y));
  return TGlyphImage{std::move(img), strip.TransparentColor()};
}

void DrawGlyph(TDeviceContext& dc, const TGlyphImage& g, TPoint at) {
  const TGdiBitmap& img = *g.Image;
  for (int y = 0; y < img.Height(); ++y)
    for (int x = 0; x < img.Width(); ++x)
      if (TColorRef c = img.Pixel(x, y); c != g.Key) dc.SetPixel(at.X + x, at.Y + y, c);
}

// The look of a button held down: highlight and face in a checker.
void FillChecker(TDeviceContext& dc, const TRect& r) {
  TColorRef face = ColorToRGB(clBtnFace), light = ColorToRGB(clBtnHighlight);
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) dc.SetPixel(x, y, ((x + y) & 1) ? face : light);
}

}  // namespace

TButtonPlacement PlaceButtonContent(const TRect& client, TSize glyph, TSize text, TButtonLayout layout,
                                    int margin, int spacing) {
  bool across = layout == blGlyphLeft || layout == blGlyphRight;
  int cw = client.Width(), ch = client.Height();
  // Centred on the other axis.
  TPoint g{(cw - glyph.cx + 1) / 2, (ch - glyph.cy + 1) / 2};
  TPoint t{(cw - text.cx + 1) / 2, (ch - text.cy + 1) / 2};
  bool both = glyph.cx > 0 && glyph.cy > 0 && text.cx > 0 && text.cy > 0;
  if (!both) spacing = 0;
  int size = across ? cw : ch;
  int gLen = across ? glyph.cx : glyph.cy;
  int tLen = across ? text.cx : text.cy;
  if (margin == -1) {
    if (spacing == -1) {
      margin = (size - gLen - tLen) / 3;
      spacing = margin;
    } else {
      margin = (size - gLen - spacing - tLen + 1) / 2;
    }
  } else if (spacing == -1) {
    spacing = (size - margin - gLen - tLen) / 2;
  }
  int gPos = 0, tPos = 0;
  if (layout == blGlyphLeft || layout == blGlyphTop) {
    gPos = margin;
    tPos = gPos + gLen + spacing;
  } else {
    gPos = size - margin - gLen;
    tPos = gPos - spacing - tLen;
  }
  if (across) {
    g.X = gPos;
    t.X = tPos;
  } else {
    g.Y = gPos;
    t.Y = tPos;
  }
  return TButtonPlacement{Point(client.Left + g.X, client.Top + g.Y),
                          Rect(client.Left + t.X, client.Top + t.Y, client.Left + t.X + text.cx,
                               client.Top + t.Y + text.cy)};
}

TGlyphImage GreyedGlyph(const TGlyphImage& up) {
  if (!up) return {};
  const TGdiBitmap& src = *up.Image;
  TColorRef shadow = ColorToRGB(clBtnShadow), light = ColorToRGB(clBtnHighlight);
  // The see-through colour must differ from both colours of the emboss.
  TColorRef key = up.Key;
  while (key == shadow || key == light || key == CLR_NONE) key = (key + 1) & 0xFFFFFF;
  // One pixel larger, so the emboss below and right of the ink is not cut off.
  auto img = std::make_shared<TGdiBitmap>(src.Width() + 1, src.Height() + 1);
  img->Fill(key);
  auto ink = [&](int x, int y) {
    TColorRef c = src.Pixel(x, y);
    return c != CLR_INVALID && c != up.Key && Luminance(c) < GreyInkLimit;
  };
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x)
      if (ink(x, y)) img->SetPixel(x + 1, y + 1, light);
  for (int y = 0; y < src.Height(); ++y)
    for (int x = 0; x < src.Width(); ++x)
      if (ink(x, y)) img->SetPixel(x, y, shadow);
  return TGlyphImage{std::move(img), key};
}

TGlyphImage GlyphImage(const TBitmap& strip, int numGlyphs, TButtonState state) {
  if (strip.Empty()) return {};
  numGlyphs = std::clamp(numGlyphs, 1, MaxNumGlyphs);
  int index = static_cast<int>(state);
  if (index < numGlyphs) return Cell(strip, numGlyphs, index);
  switch (state) {
    case bsDisabled: return GreyedGlyph(Cell(strip, numGlyphs, bsUp));
    case bsExclusive: return Cell(strip, numGlyphs, numGlyphs > bsDown ? bsDown : bsUp);
    default: return Cell(strip, numGlyphs, bsUp);
  }
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  // The button runs its own click on release, so the control's click handling stays off.
  SetControlStyle(csCaptureMouse | csDoubleClicks | csOpaque | csSetCaption);
  SetBounds(0, 0, DefaultButtonWidth, DefaultButtonHeight);
  FGlyph->OnChange = [this](TObject* s) { glyphChanged(s); };
}

TSpeedButton::~TSpeedButton() { FGlyph->OnChange = nullptr; }

void TSpeedButton::glyphChanged(TObject*) {
  int w = FGlyph->Width(), h = FGlyph->Height();
  if (w > 0 && h > 0 && w % h == 0 && w / h <= MaxNumGlyphs) FNumGlyphs = w / h;
  Invalidate();
}

void TSpeedButton::SetGlyph(const TBitmap* value) { FGlyph->Assign(value); }

void TSpeedButton::SetNumGlyphs(int value) {
  if (value < 1 || value > MaxNumGlyphs) value = 1;
  if (value == FNumGlyphs) return;
  FNumGlyphs = value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  if (value == FLayout) return;
  FLayout = value;
  Invalidate();
}

void TSpeedButton::SetMargin(int value) {
  value = std::max(value, -1);
  if (value == FMargin) return;
  FMargin = value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
  if (value == FSpacing) return;
  FSpacing = value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool value) {
  if (value == FFlat) return;
  FFlat = value;
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int value) {
  if (value == FGroupIndex) return;
  FGroupIndex = value;
  if (value == 0 && FDown) {
    FDown = false;
    FState = bsUp;
    Invalidate();
  }
  updateExclusive();
}

void TSpeedButton::SetDown(bool value) {
  if (FGroupIndex == 0) value = false;
  if (value == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = value;
  if (!FDragging) FState = restingState();
  Invalidate();
  if (value) updateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value) {
  if (value == FAllowAllUp) return;
  FAllowAllUp = value;
  updateExclusive();
}

void TSpeedButton::updateExclusive() {
  if (FGroupIndex == 0 || !Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i) {
    auto* other = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
    if (!other || other == this || other->FGroupIndex != FGroupIndex) continue;
    if (FDown && other->FDown) {
      other->FDown = false;
      other->FState = bsUp;
      other->Invalidate();
    }
    other->FAllowAllUp = FAllowAllUp;
  }
}

void TSpeedButton::paintFrame(TDeviceContext& dc, TRect& face) {
  bool pushed = FState == bsDown || FState == bsExclusive;
  if (FFlat) {
    dc.FillRect(face, SolidBrush(Color()));
    if (pushed) DrawEdge(dc, face, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    else if (FMouseInControl && Enabled()) DrawEdge(dc, face, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
  } else {
    DrawEdge(dc, face, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    dc.FillRect(face, SolidBrush(clBtnFace));
  }
  if (FState == bsExclusive && !FDragging) FillChecker(dc, face);
}

void TSpeedButton::Paint() {
  TDeviceContext* dc = Canvas().Handle();
  if (!dc) return;
  if (!Enabled()) {
    FState = bsDisabled;
    FDragging = false;
  } else if (FState == bsDisabled) {
    FState = restingState();
  }
  TRect client = ClientRect();
  TRect face = client;
  paintFrame(*dc, face);

  TGlyphImage glyph = GlyphImage(*FGlyph, FNumGlyphs, FState);
  // Every look is placed by the size of one image of the strip.
  TSize glyphSize = glyph ? TSize{FGlyph->Width() / std::clamp(FNumGlyphs, 1, MaxNumGlyphs), FGlyph->Height()} : TSize{};
  TLogFont font = Font().Handle();
  TSize textSize = Caption().empty() ? TSize{} : MeasureControlText(font, Caption(), CaptionFormat, 0);
  TButtonPlacement at = PlaceButtonContent(client, glyphSize, textSize, FLayout, FMargin, FSpacing);
  // Pressed content moves one pixel down and right, as if pushed in.
  int push = (FState == bsDown || FState == bsExclusive) ? 1 : 0;
  if (glyph) DrawGlyph(*dc, glyph, Point(at.Glyph.X + push, at.Glyph.Y + push));
  if (!Caption().empty()) {
    dc->SelectFont(font);
    PaintControlText(*dc, Caption(), OffsetRect(at.Text, push, push), CaptionFormat, Enabled(), Font().Color());
  }
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  std::weak_ptr<const void> alive = Liveness();
  TGraphicControl::MouseDown(button, shift, x, y);
  if (alive.expired() || button != mbLeft || !Enabled()) return;
  if (!FDown) {
    FState = bsDown;
    Invalidate();
  }
  FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  std::weak_ptr<const void> alive = Liveness();
  TGraphicControl::MouseMove(shift, x, y);
  if (alive.expired() || !FDragging) return;
  TButtonState next = ClientRect().Contains(x, y) ? (FDown ? bsExclusive : bsDown) : restingState();
  if (next == FState) return;
  FState = next;
  Invalidate();
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  std::weak_ptr<const void> alive = Liveness();
  TGraphicControl::MouseUp(button, shift, x, y);
  if (alive.expired() || button != mbLeft || !FDragging) return;
  FDragging = false;
  bool inside = ClientRect().Contains(x, y);
  if (FGroupIndex != 0 && inside) SetDown(!FDown);
  FState = restingState();
  Invalidate();
  if (inside) Click();
}

void TSpeedButton::WndProc(TMessage& message) {
  // The caption's accelerator clicks the button.
  if (message.Msg == CM_DIALOGCHAR && IsAccel(static_cast<uint16_t>(message.WParam), Caption()) && Enabled() &&
      Visible() && Parent() && Parent()->Showing()) {
    Click();
    message.Result = 1;
    return;
  }
  if (message.Msg == WM_CANCELMODE && FDragging) {
    FDragging = false;
    FState = restingState();
    Invalidate();
  }
  TGraphicControl::WndProc(message);
}

void TSpeedButton::CMEnabledChanged(TMessage& m) {
  if (!Enabled()) FDragging = false;
  FState = Enabled() ? restingState() : bsDisabled;
  TGraphicControl::CMEnabledChanged(m);
}

void TSpeedButton::CMMouseEnter(TMessage& m) {
  TGraphicControl::CMMouseEnter(m);
  if (FMouseInControl || !Enabled()) return;
  FMouseInControl = true;
  if (FFlat) Invalidate();
}

void TSpeedButton::CMMouseLeave(TMessage& m) {
  TGraphicControl::CMMouseLeave(m);
  if (!FMouseInControl) return;
  FMouseInControl = false;
  if (FFlat) Invalidate();
}

void TSpeedButton::ActionChange(TBasicAction* sender, bool checkDefaults) {
  TGraphicControl::ActionChange(sender, checkDefaults);
  if (auto* action = dynamic_cast<TCustomAction*>(sender); action && (!checkDefaults || !FDown))
    SetDown(action->Checked());
}
