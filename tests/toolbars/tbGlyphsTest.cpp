// Button glyphs drawn on an off-screen canvas: every state of single and multi-image strips, masked
// and unmasked, transparent pixels staying transparent, the shared lists, and the layout.
#include <gtest/gtest.h>

#include "platform/gdi/Colors.h"
#include "toolbars/tbGlyphs.h"

namespace {

constexpr TColorRef Key = clFuchsia;  // the strip's bottom-left pixel: transparent
constexpr TColorRef Back = clRed;     // what lies under the button

// A strip of n images of 4 x 4: image k is filled with colours[k], its pixels (0, 3) and (3, 0)
// in the transparent colour.
std::unique_ptr<TBitmap> Strip(const std::vector<TColorRef>& colours) {
  auto strip = std::make_unique<TBitmap>();
  TBitmap& b = *strip;
  const int n = static_cast<int>(colours.size());
  b.SetSize(4 * n, 4);
  for (int k = 0; k < n; ++k)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) b.Image()->SetPixel(4 * k + x, y, colours[static_cast<size_t>(k)]);
  for (int k = 0; k < n; ++k) {
    b.Image()->SetPixel(4 * k + 3, 0, Key);
    b.Image()->SetPixel(4 * k, 3, Key);
  }
  return strip;
}

// Draws the state's image at (1, 1) of a red 8 x 8 canvas.
TGdiBitmapPtr DrawState(TtbTBButtonGlyph& g, TtbButtonState s) {
  auto target = std::make_shared<TGdiBitmap>(8, 8);
  target->Fill(Back);
  TDeviceContext dc(target);
  g.DrawButtonGlyph(dc, TPoint{1, 1}, s);
  return target;
}

TEST(ButtonGlyph, NumGlyphsFollowsTheStripShape) {
  const struct {
    int W, H, Expected;
  } cases[] = {{64, 16, 4}, {96, 16, 1}, {50, 16, 1}, {16, 16, 1}, {80, 16, 5}, {0, 16, 1}};
  for (const auto& c : cases) {
    TtbTBButtonGlyph g;
    TBitmap b;
    b.SetSize(c.W, c.H);
    g.SetGlyph(&b);
    EXPECT_EQ(c.Expected, g.NumGlyphs()) << c.W << "x" << c.H;
  }
}

TEST(ButtonGlyph, EveryStateOfAMultiImageStrip) {
  TtbTBButtonGlyph g;
  auto strip = Strip({clBlue, clGray, clGreen, clYellow, clAqua});
  g.SetGlyph(strip.get());
  ASSERT_EQ(5, g.NumGlyphs());
  const struct {
    TtbButtonState State;
    TColorRef Colour;
  } cases[] = {{tbsUp, clBlue}, {tbsDown, clGreen}, {tbsExclusive, clYellow}, {tbsHot, clAqua}};
  for (const auto& c : cases) {
    auto img = DrawState(g, c.State);
    EXPECT_EQ(c.Colour, img->Pixel(2, 2)) << c.State;
    EXPECT_EQ(Back, img->Pixel(4, 1)) << "transparent pixel, state " << c.State;
    EXPECT_EQ(Back, img->Pixel(1, 4)) << "the key pixel itself, state " << c.State;
  }
  // The strip's own disabled image: mid grey becomes the shadow colour, keyed pixels stay clear.
  auto disabled = DrawState(g, tbsDisabled);
  EXPECT_EQ(ColorToRGB(clBtnShadow), disabled->Pixel(2, 2));
  EXPECT_EQ(Back, disabled->Pixel(4, 1));
  EXPECT_EQ(Back, disabled->Pixel(5, 5)) << "the added column and row are transparent";
}

TEST(ButtonGlyph, StatesBeyondTheStripDrawTheUpImage) {
  TtbTBButtonGlyph g;
  auto strip = Strip({clBlue, clWhite});
  g.SetGlyph(strip.get());
  for (TtbButtonState s : {tbsDown, tbsExclusive, tbsHot}) EXPECT_EQ(clBlue, DrawState(g, s)->Pixel(2, 2)) << s;
  EXPECT_EQ(ColorToRGB(clBtnHighlight), DrawState(g, tbsDisabled)->Pixel(2, 2)) << "white is lit";
}

TEST(ButtonGlyph, DisabledFromTheUpImageEmbossesAndKeepsTransparentPixelsClear) {
  for (bool oldStyle : {false, true}) {
    TtbTBButtonGlyph g;
    auto strip = Strip({clBlack});  // a true-colour strip in the old style embosses its black pixels
    strip->Image()->SetPixel(1, 1, clWhite);
    g.SetGlyph(strip.get());
    g.SetOldDisabledStyle(oldStyle);
    auto img = DrawState(g, tbsDisabled);
    EXPECT_EQ(ColorToRGB(clBtnShadow), img->Pixel(3, 3)) << "dark pixels shade, old style " << oldStyle;
    EXPECT_EQ(Back, img->Pixel(4, 1)) << "transparent stays transparent, old style " << oldStyle;
    EXPECT_EQ(Back, img->Pixel(1, 4)) << "the key pixel, old style " << oldStyle;
  }
}

TEST(ButtonGlyph, AMaskMarksTransparentPixelsWithOnes) {
  TtbTBButtonGlyph g;
  auto strip = Strip({clBlue});
  TBitmap mask;
  mask.SetSize(4, 4);
  mask.Image()->Fill(clBlack);
  mask.Image()->SetPixel(0, 0, clWhite);
  g.SetGlyph(strip.get());
  g.SetGlyphMask(&mask);
  auto up = DrawState(g, tbsUp);
  EXPECT_EQ(Back, up->Pixel(1, 1)) << "masked out";
  EXPECT_EQ(Key, up->Pixel(4, 1)) << "the key colour means nothing once a mask is given";
  auto disabled = DrawState(g, tbsDisabled);
  EXPECT_EQ(Back, disabled->Pixel(1, 1)) << "masked pixels stay clear when disabled too";
  EXPECT_EQ(ColorToRGB(clBtnShadow), disabled->Pixel(2, 2));
}

TEST(ButtonGlyph, ImagesFromAnImageList) {
  TCustomImageList list(nullptr, 4, 4);
  auto strip = Strip({clBlue, clGreen});
  list.AddMasked(strip.get(), clDefault);
  ASSERT_EQ(2, list.Count());
  TtbTBButtonGlyph g;
  g.SetImageList(&list);
  g.SetImageIndex(1);
  auto up = DrawState(g, tbsUp);
  EXPECT_EQ(clGreen, up->Pixel(2, 2));
  EXPECT_EQ(Back, up->Pixel(4, 1));
  g.SetImageIndex(5);
  EXPECT_EQ(Back, DrawState(g, tbsUp)->Pixel(2, 2)) << "an index outside the list draws nothing";
  g.SetImageList(nullptr);
}

TEST(GlyphCache, ButtonsShareListsBySizeAndTheLastOneFreesThem) {
  auto strip = Strip({clBlue});
  {
    TtbTBButtonGlyph a, b;
    a.SetGlyph(strip.get());
    b.SetGlyph(strip.get());
    auto ra = a.CreateButtonGlyph(tbsUp), rb = b.CreateButtonGlyph(tbsUp);
    ASSERT_NE(nullptr, ra.List);
    EXPECT_EQ(ra.List, rb.List);
    EXPECT_NE(ra.Index, rb.Index);
    EXPECT_EQ(2, ra.List->InUse());
    a.DropImages();
    EXPECT_EQ(1, rb.List->InUse());
    // The freed slot is handed out again.
    EXPECT_EQ(ra.Index, a.CreateButtonGlyph(tbsUp).Index);
    EXPECT_EQ(2, rb.List->Count());
    a.CreateButtonGlyph(tbsDisabled);
    EXPECT_EQ(2, GlyphCache()->Count()) << "disabled images are one pixel larger";
  }
  EXPECT_EQ(nullptr, GlyphCache());
  // A holder that goes while no list exists leaves the cache to the buttons still alive.
  TtbTBButtonGlyph kept;
  kept.SetGlyph(strip.get());
  { TtbTBButtonGlyph gone; }
  ASSERT_NE(nullptr, GlyphCache());
  EXPECT_NE(nullptr, kept.CreateButtonGlyph(tbsUp).List);
  EXPECT_EQ(clBlue, DrawState(kept, tbsUp)->Pixel(2, 2));
}

TEST(GlyphList, RefusesImagesSmallerThanItsSize) {
  TtbGlyphList list(8, 8);
  TGdiBitmap small(4, 4);
  try {
    list.AddWithColor(small, clBlack);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ("Invalid image size", e.Message());
  }
  EXPECT_EQ(0, list.InUse());
}

TEST(ButtonLayout, GlyphCaptionAndArrowPlaces) {
  auto measure = [](TSize text) { return [text](int) { return text; }; };
  const struct {
    TButtonLayout Layout;
    int Margin, Spacing, Arrow;
    TSize Glyph, Text;
    TPoint GlyphAt;
    TRect TextAt;
  } cases[] = {
      // 40 x 20: glyph 16 + spacing 4 + caption 10 centred: margin (40 - 30 + 1) / 2 = 5
      {blGlyphLeft, -1, 4, 0, {16, 16}, {10, 8}, {5, 2}, {25, 6, 35, 14}},
      {blGlyphRight, 2, 4, 0, {16, 16}, {10, 8}, {22, 2}, {8, 6, 18, 14}},
      {blGlyphTop, -1, 4, 0, {16, 16}, {10, 8}, {12, -3}, {15, 17, 25, 25}},  // (20 - 28 + 1) / 2
      {blGlyphBottom, 0, 2, 0, {16, 16}, {10, 8}, {12, 4}, {15, -6, 25, 2}},
      // Spacing -1 with margin -1: the free space in three equal parts.
      {blGlyphLeft, -1, -1, 0, {16, 16}, {12, 8}, {4, 2}, {24, 6, 36, 14}},
      // No caption: no spacing, the glyph alone centred.
      {blGlyphLeft, -1, 4, 0, {16, 16}, {0, 0}, {12, 2}, {28, 10, 28, 10}},
  };
  for (const auto& c : cases) {
    TtbGlyphLayoutInput in;
    in.Client = TRect{0, 0, 40, 20};
    in.GlyphSize = c.Glyph;
    in.HasCaption = c.Text.cx > 0;
    in.Layout = c.Layout;
    in.Margin = c.Margin;
    in.Spacing = c.Spacing;
    in.ArrowWidth = c.Arrow;
    in.MeasureText = measure(c.Text);
    TtbGlyphPlacement p = CalcButtonLayout(in);
    EXPECT_EQ(c.GlyphAt, p.Glyph) << "layout " << c.Layout << " margin " << c.Margin;
    EXPECT_EQ(c.TextAt, p.Text) << "layout " << c.Layout << " margin " << c.Margin;
  }
  // Sunken: everything one pixel down and right, the arrow behind the caption.
  TtbGlyphLayoutInput in;
  in.Client = TRect{2, 2, 42, 22};
  in.Offset = TPoint{1, 1};
  in.GlyphSize = {16, 16};
  in.HasCaption = true;
  in.ArrowWidth = 9;
  in.MeasureText = measure({10, 8});
  TtbGlyphPlacement p = CalcButtonLayout(in);
  EXPECT_EQ((TPoint{3 + 1, 3 + 2}), p.Glyph);  // margin (40 - 39 + 1) / 2 = 1
  EXPECT_EQ(p.Text.Right + 1, p.Arrow.X);
  EXPECT_EQ(p.Glyph.Y + (16 - 3) / 2, p.Arrow.Y);
}

}  // namespace
