#include <gtest/gtest.h>

#include "platform/gdi/ImageList.h"
#include "platform/gdi/SystemMetrics.h"

namespace {

TGdiBitmap Strip(int images, int size, TColorRef key) {
  TGdiBitmap b(images * size, size, 24);
  b.Fill(key);
  for (int i = 0; i < images; ++i) b.SetPixel(i * size + 1, 1, RGB(uint8_t(10 + i), 0, 0));
  return b;
}

}  // namespace

TEST(ImageList, AddingStripsMasksAndReplacing) {
  TImageList list(4, 4);
  EXPECT_EQ(list.AddMasked(Strip(3, 4, clFuchsia), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.AddMasked(Strip(1, 4, clFuchsia), clFuchsia), 3);
  EXPECT_EQ(list.Add(TGdiBitmap(3, 4, 24), nullptr), -1);  // smaller than one image
  EXPECT_EQ(list.Count(), 4);
  EXPECT_TRUE(list.Mask(2).PixelBit(0, 0));
  EXPECT_FALSE(list.Mask(2).PixelBit(1, 1));
  EXPECT_EQ(list.Image(2).Pixel(1, 1), RGB(12, 0, 0));
  EXPECT_EQ(list.Image(2).Pixel(0, 0), clBlack);  // transparent pixels are blackened

  TGdiBitmap solid(4, 4, 24);
  solid.Fill(clGreen);
  EXPECT_TRUE(list.Replace(1, solid, nullptr));
  EXPECT_FALSE(list.Mask(1).PixelBit(0, 0));
  EXPECT_FALSE(list.Replace(9, solid, nullptr));
  EXPECT_TRUE(list.Remove(0));
  EXPECT_EQ(list.Image(0).Pixel(0, 0), clGreen);
  EXPECT_FALSE(list.Remove(5));
  EXPECT_TRUE(list.Remove(-1));
  EXPECT_EQ(list.Count(), 0);
}

TEST(ImageList, DrawingTransparentlyOverABackgroundAndAsMask) {
  TImageList list(4, 4);
  list.AddMasked(Strip(1, 4, clFuchsia), clFuchsia);
  auto bmp = std::make_shared<TGdiBitmap>(8, 8, 32);
  bmp->Fill(clWhite);
  TDeviceContext dc(bmp);
  EXPECT_TRUE(list.Draw(dc, 0, 2, 2, ILD_NORMAL));
  EXPECT_EQ(bmp->Pixel(3, 3), RGB(10, 0, 0));
  EXPECT_EQ(bmp->Pixel(2, 2), clWhite);
  list.SetBkColor(clBlue);
  list.Draw(dc, 0, 2, 2, ILD_NORMAL);
  EXPECT_EQ(bmp->Pixel(2, 2), clBlue);
  bmp->Fill(clWhite);
  list.Draw(dc, 0, 2, 2, ILD_TRANSPARENT);
  EXPECT_EQ(bmp->Pixel(2, 2), clWhite);
  list.Draw(dc, 0, 0, 0, ILD_MASK);
  EXPECT_EQ(bmp->Pixel(1, 1), clBlack);
  EXPECT_EQ(bmp->Pixel(0, 0), clWhite);
  EXPECT_FALSE(list.Draw(dc, 3, 0, 0, ILD_NORMAL));
}

TEST(ImageList, FixedSystemMetrics) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
  EXPECT_EQ(GetSystemMetrics(9999), 0);
}
