// Painting of the bordered labels: border, margin, shadow placement, disabled look and auto size.
#include <gtest/gtest.h>

#include "framework/forms/BxCtrls.h"

namespace {

constexpr TColorRef Back = RGB(10, 20, 30);
constexpr TColorRef Ink = RGB(250, 0, 0);
constexpr TColorRef Shade = RGB(0, 250, 0);
constexpr TColorRef Frame = RGB(0, 0, 250);

TBxLabelLook testLook() {
  TBxLabelLook look;
  look.Color = Back;
  look.FontColor = Ink;
  look.ShadowColor = Shade;
  look.BorderColor = Frame;
  return look;
}

struct Canvas {
  TGdiBitmapPtr Bmp = std::make_shared<TGdiBitmap>(80, 24);
  TDeviceContext Dc{Bmp};
  Canvas() { Bmp->Fill(clWhite); }
  int Count(TColorRef c) const {
    int n = 0;
    for (int y = 0; y < Bmp->Height(); ++y)
      for (int x = 0; x < Bmp->Width(); ++x) n += Bmp->Pixel(x, y) == c;
    return n;
  }
  // Leftmost column holding colour c, or -1.
  int FirstColumn(TColorRef c) const {
    for (int x = 0; x < Bmp->Width(); ++x)
      for (int y = 0; y < Bmp->Height(); ++y)
        if (Bmp->Pixel(x, y) == c) return x;
    return -1;
  }
};

TEST(BxLabel, ShadowOffsetsPerPosition) {
  struct Case {
    TBxShadowPos Pos;
    TPoint Text, Shadow;
  } cases[] = {
      {spLeftTop, Point(3, 3), Point(0, 0)},
      {spRightTop, Point(3, 0), Point(0, 3)},
      {spRightBottom, Point(0, 0), Point(3, 3)},
      {spLeftBottom, Point(0, 3), Point(3, 0)},
  };
  for (const Case& c : cases) {
    TBxShadowOffsets off = BxShadowOffsets(c.Pos, 3);
    EXPECT_EQ(off.Text, c.Text) << c.Pos;
    EXPECT_EQ(off.Shadow, c.Shadow) << c.Pos;
  }
}

TEST(BxLabel, TextAreaAndMeasuredText) {
  EXPECT_EQ(BxTextArea(Rect(0, 0, 65, 17), TBxBorderStyle::Single, 1), Rect(2, 1, 63, 16));
  EXPECT_EQ(BxTextArea(Rect(0, 0, 65, 17), TBxBorderStyle::None, 3), Rect(3, 0, 62, 17));
  EXPECT_EQ(BxMeasuredText("", true), " ");
  EXPECT_EQ(BxMeasuredText("&", true), " ");
  EXPECT_EQ(BxMeasuredText("&", false), "&");
  EXPECT_EQ(BxMeasuredText("Ok", true), "Ok");
}

TEST(BxLabel, OpaqueWithBorderAndNoShadowShowsOnlyTheTextColour) {
  Canvas c;
  PaintBxLabel(c.Dc, testLook(), "Hello", Rect(0, 0, 80, 24));
  EXPECT_EQ(c.Bmp->Pixel(0, 0), Frame);
  EXPECT_EQ(c.Bmp->Pixel(79, 23), Frame);
  EXPECT_EQ(c.Bmp->Pixel(1, 1), Back);
  EXPECT_GT(c.Count(Ink), 0);
  EXPECT_EQ(c.Count(Shade), 0);  // the shadow lies exactly under the text
  EXPECT_EQ(c.Count(clWhite), 0);
  // Border plus margin keep the text off the left edge.
  EXPECT_GE(c.FirstColumn(Ink), 2);
}

TEST(BxLabel, ShadowBesideTheText) {
  Canvas c;
  TBxLabelLook look = testLook();
  look.ShadowSize = 2;
  look.ShadowPos = spRightBottom;
  look.BorderStyle = TBxBorderStyle::None;
  look.Transparent = true;
  PaintBxLabel(c.Dc, look, "Hello", Rect(0, 0, 80, 24));
  EXPECT_GT(c.Count(Shade), 0);
  EXPECT_EQ(c.FirstColumn(Shade), c.FirstColumn(Ink) + 2);
  EXPECT_EQ(c.Bmp->Pixel(0, 0), clWhite);  // transparent: no fill, no border
}

TEST(BxLabel, DisabledUsesGreyTextWithHighlightShadow) {
  TBxLabelLook look = testLook();
  look.Enabled = false;
  TBxLabelLook eff = BxEffectiveLook(look);
  EXPECT_EQ(eff.FontColor, clGrayText);
  EXPECT_EQ(eff.ShadowColor, clBtnHighlight);
  EXPECT_EQ(eff.ShadowSize, 1);
  EXPECT_EQ(eff.ShadowPos, spRightBottom);
  look.ShadowSize = 3;
  look.ShadowPos = spLeftTop;
  eff = BxEffectiveLook(look);
  EXPECT_EQ(eff.ShadowSize, 3);
  EXPECT_EQ(eff.ShadowPos, spLeftTop);
}

TEST(BxLabel, LayoutMovesTheTextDown) {
  auto firstRow = [](TTextLayout layout) {
    Canvas c;
    TBxLabelLook look = testLook();
    look.Layout = layout;
    look.BorderStyle = TBxBorderStyle::None;
    PaintBxLabel(c.Dc, look, "Hy", Rect(0, 0, 80, 24));
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 80; ++x)
        if (c.Bmp->Pixel(x, y) == Ink) return y;
    return -1;
  };
  int top = firstRow(tlTop), centre = firstRow(tlCenter), bottom = firstRow(tlBottom);
  ASSERT_GE(top, 0);
  EXPECT_LT(top, centre);
  EXPECT_LT(centre, bottom);
}

TEST(BxLabel, AutoSizeAddsBorderMarginAndShadow) {
  Canvas c;
  TBxLabelLook look = testLook();
  TSize plain = MeasureBxLabel(c.Dc, look, "Hello", 65);
  look.ShadowSize = 2;
  TSize shadowed = MeasureBxLabel(c.Dc, look, "Hello", 65);
  EXPECT_EQ(shadowed.cx, plain.cx + 2);
  EXPECT_EQ(shadowed.cy, plain.cy + 2);
  look.ShadowSize = 0;
  look.BorderStyle = TBxBorderStyle::None;
  TSize bare = MeasureBxLabel(c.Dc, look, "Hello", 65);
  EXPECT_EQ(plain.cx - bare.cx, 2);
  EXPECT_EQ(plain.cy - bare.cy, 2);
  // An empty caption still measures one blank high.
  EXPECT_GT(MeasureBxLabel(c.Dc, look, "", 65).cy, 0);
}

}  // namespace
