// The tiled image's drawing rectangles per style and the pixels it leaves on a device context.
#include <gtest/gtest.h>

#include "toolbars/tbTiledImage.h"

namespace {

struct RectCase {
  TtbTiledImageStyle Style;
  int W, H, PW, PH;
  std::vector<TRect> Expected;
};

TEST(TiledImageRects, EachStyleOnePlacement) {
  const RectCase cases[] = {
      {sCenter, 100, 80, 20, 10, {Rect(40, 35, 60, 45)}},
      {sCenter, 10, 10, 31, 31, {Rect(-10, -10, 21, 21)}},  // larger than the control: centred, cut
      {sClip, 100, 80, 200, 10, {Rect(0, 0, 200, 10)}},
      {sFit, 100, 100, 200, 100, {Rect(0, 0, 100, 50)}},
      {sFit, 100, 100, 100, 200, {Rect(0, 0, 50, 100)}},
      {sFit, 90, 30, 7, 3, {Rect(0, 0, 70, 30)}},  // 30 / (3/7) = 70
      {sHeight, 50, 30, 20, 40, {Rect(0, 0, 15, 30)}},
      {sStretch, 33, 44, 5, 5, {Rect(0, 0, 33, 44)}},
      {sWidth, 30, 50, 40, 20, {Rect(0, 0, 30, 15)}},
      {sWidth, 10, 50, 3, 1, {Rect(0, 0, 10, 3)}},  // 1/3*10 = 3.33 truncated
  };
  for (const RectCase& c : cases)
    EXPECT_EQ(TiledImageRects(c.Style, c.W, c.H, c.PW, c.PH), c.Expected) << "style " << c.Style;
}

TEST(TiledImageRects, TileColumnsOuterRowsInner) {
  auto rects = TiledImageRects(sTile, 25, 15, 10, 10);
  std::vector<TRect> expected{Rect(0, 0, 10, 10),  Rect(0, 10, 10, 20),  Rect(10, 0, 20, 10),
                              Rect(10, 10, 20, 20), Rect(20, 0, 30, 10), Rect(20, 10, 30, 20)};
  EXPECT_EQ(rects, expected);
}

TEST(TiledImageRects, NoAreaDrawsNothingInAnyStyle) {
  for (int s = sCenter; s <= sWidth; ++s) {
    auto style = static_cast<TtbTiledImageStyle>(s);
    EXPECT_TRUE(TiledImageRects(style, 105, 105, 0, 10).empty()) << s;
    EXPECT_TRUE(TiledImageRects(style, 105, 105, 10, 0).empty()) << s;
    EXPECT_TRUE(TiledImageRects(style, 0, 105, 10, 10).empty()) << s;
    EXPECT_TRUE(TiledImageRects(style, 105, 0, 10, 10).empty()) << s;
  }
  // A very flat picture scaled to the width truncates to no height at all.
  EXPECT_TRUE(TiledImageRects(sWidth, 10, 10, 1000, 1).empty());
}

TEST(DrawTiledImage, TilesAndStretchesPixels) {
  auto target = std::make_shared<TGdiBitmap>(25, 15);
  target->Fill(clWhite);
  TDeviceContext dc(target);
  auto pic = std::make_shared<TGdiBitmap>(10, 10);
  pic->Fill(clRed);
  pic->SetPixel(0, 0, clBlue);
  DrawTiledImage(dc, pic, sTile, 25, 15);
  for (int x : {0, 10, 20})
    for (int y : {0, 10}) EXPECT_EQ(target->Pixel(x, y), clBlue) << x << "," << y;
  EXPECT_EQ(target->Pixel(24, 14), clRed);

  target->Fill(clWhite);
  DrawTiledImage(dc, pic, sFit, 25, 15);  // square picture into 25 x 15: 15 x 15
  EXPECT_EQ(target->Pixel(14, 14), clRed);
  EXPECT_EQ(target->Pixel(15, 0), clWhite);
}

TEST(DrawTiledImage, MissingOrEmptyPictureLeavesTargetAlone) {
  auto target = std::make_shared<TGdiBitmap>(8, 8);
  target->Fill(clWhite);
  TDeviceContext dc(target);
  DrawTiledImage(dc, nullptr, sStretch, 8, 8);
  DrawTiledImage(dc, std::make_shared<TGdiBitmap>(), sStretch, 8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(target->Pixel(x, y), clWhite);
}

}  // namespace
