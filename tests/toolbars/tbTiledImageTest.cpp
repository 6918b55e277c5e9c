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

namespace {

// Paints on a bitmap of its own, as its parent would.
class PaintableImage : public TtbCustomTiledImage {
public:
  using TtbCustomTiledImage::TtbCustomTiledImage;
  TGdiBitmapPtr PaintNow() {
    auto target = std::make_shared<TGdiBitmap>(Width(), Height());
    target->Fill(clWhite);
    TDeviceContext dc(target);
    Canvas().SetHandle(&dc);
    Paint();
    Canvas().SetHandle(nullptr);
    return target;
  }
};

void loadSolidPicture(TtbCustomTiledImage& img, int w, int h, TColorRef c) {
  TBitmap bmp;
  bmp.SetSize(w, h);
  if (w > 0 && h > 0) bmp.Image()->Fill(c);
  img.Picture().SetGraphic(&bmp);
}

TEST(TiledImageControl, StartsEmptyTiledAndSquare) {
  PaintableImage img(nullptr);
  EXPECT_EQ(img.Width(), 105);
  EXPECT_EQ(img.Height(), 105);
  EXPECT_EQ(img.ImageStyle(), sTile);
  EXPECT_FALSE(img.AutoSize());
  EXPECT_EQ(img.GetPalette(), nullptr);
  auto painted = img.PaintNow();
  EXPECT_EQ(painted->Pixel(50, 50), clWhite);  // nothing drawn without a picture
}

TEST(TiledImageControl, AutoSizeTakesThePictureSizeAndKeepsThePosition) {
  PaintableImage img(nullptr);
  img.SetBounds(7, 9, 105, 105);
  loadSolidPicture(img, 30, 20, clRed);
  EXPECT_EQ(img.Width(), 105);  // not asked yet
  img.SetAutoSize(true);
  EXPECT_EQ(img.BoundsRect(), Rect(7, 9, 37, 29));
  // A picture without area leaves the size alone and paints nothing.
  loadSolidPicture(img, 0, 20, clRed);
  EXPECT_EQ(img.BoundsRect(), Rect(7, 9, 37, 29));
  EXPECT_EQ(img.PaintNow()->Pixel(0, 0), clWhite);
}

TEST(TiledImageControl, OpaqueOnlyOverABitmapOfItsOwnSize) {
  PaintableImage img(nullptr);
  img.SetBounds(0, 0, 40, 30);
  loadSolidPicture(img, 40, 30, clBlue);
  EXPECT_TRUE(img.ControlStyle() & csOpaque);
  // Resizing alone does not look again; the next picture change does.
  img.SetBounds(0, 0, 50, 30);
  EXPECT_TRUE(img.ControlStyle() & csOpaque);
  loadSolidPicture(img, 40, 30, clBlue);
  EXPECT_FALSE(img.ControlStyle() & csOpaque);
}

TEST(TiledImageControl, PaintsInTheChosenStyle) {
  PaintableImage img(nullptr);
  img.SetBounds(0, 0, 25, 15);
  TBitmap bmp;
  bmp.SetSize(10, 10);
  bmp.Image()->Fill(clRed);
  bmp.Image()->SetPixel(0, 0, clBlue);
  img.Picture().SetGraphic(&bmp);
  auto tiled = img.PaintNow();
  EXPECT_EQ(tiled->Pixel(20, 10), clBlue);
  EXPECT_EQ(tiled->Pixel(24, 14), clRed);
  img.SetImageStyle(sCenter);
  auto centred = img.PaintNow();
  EXPECT_EQ(centred->Pixel(7, 2), clBlue);  // ((25-10)/2, (15-10)/2)
  EXPECT_EQ(centred->Pixel(0, 0), clWhite);
  EXPECT_NE(img.GetPalette(), nullptr);
}

}  // namespace
