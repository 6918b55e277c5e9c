#include <gtest/gtest.h>

#include "platform/gdi/DeviceContext.h"

namespace {

// Eight pixels hold every combination of pattern, source and destination bits.
struct Rig {
  std::shared_ptr<TGdiBitmap> dst = std::make_shared<TGdiBitmap>(8, 1, 32);
  std::shared_ptr<TGdiBitmap> src = std::make_shared<TGdiBitmap>(8, 1, 32);
  std::shared_ptr<TGdiBitmap> pat = std::make_shared<TGdiBitmap>(8, 1, 32);
  TDeviceContext dc{dst};
  TDeviceContext sdc{src};

  void Run(uint32_t rop) {
    for (int i = 0; i < 8; ++i) {
      dst->SetPixel(i, 0, (i & 1) ? clWhite : clBlack);
      src->SetPixel(i, 0, (i & 2) ? clWhite : clBlack);
      pat->SetPixel(i, 0, (i & 4) ? clWhite : clBlack);
    }
    dc.SelectBrush(PatternBrush(pat));
    dc.BitBlt(0, 0, 8, 1, &sdc, 0, 0, rop);
  }
  int ResultTable() const {
    int t = 0;
    for (int i = 0; i < 8; ++i)
      if (dst->Pixel(i, 0) == clWhite) t |= 1 << i;
    return t;
  }
};

}  // namespace

TEST(RasterOps, EveryTernaryCodeFollowsItsTruthTable) {
  Rig rig;
  for (int table = 0; table < 256; ++table) {
    rig.Run(uint32_t(table) << 16);
    EXPECT_EQ(rig.ResultTable(), table) << "code " << table;
  }
}

TEST(RasterOps, NamedCodesMatchTheirBooleanMeaning) {
  struct Case {
    const char* name;
    uint32_t rop;
    bool (*f)(bool p, bool s, bool d);
  };
  const Case cases[] = {
      {"SRCCOPY", SRCCOPY, [](bool, bool s, bool) { return s; }},
      {"SRCPAINT", SRCPAINT, [](bool, bool s, bool d) { return s || d; }},
      {"SRCAND", SRCAND, [](bool, bool s, bool d) { return s && d; }},
      {"SRCINVERT", SRCINVERT, [](bool, bool s, bool d) { return s != d; }},
      {"SRCERASE", SRCERASE, [](bool, bool s, bool d) { return s && !d; }},
      {"NOTSRCCOPY", NOTSRCCOPY, [](bool, bool s, bool) { return !s; }},
      {"NOTSRCERASE", NOTSRCERASE, [](bool, bool s, bool d) { return !(s || d); }},
      {"MERGECOPY", MERGECOPY, [](bool p, bool s, bool) { return p && s; }},
      {"MERGEPAINT", MERGEPAINT, [](bool, bool s, bool d) { return !s || d; }},
      {"PATCOPY", PATCOPY, [](bool p, bool, bool) { return p; }},
      {"PATPAINT", PATPAINT, [](bool p, bool s, bool d) { return p || !s || d; }},
      {"PATINVERT", PATINVERT, [](bool p, bool, bool d) { return p != d; }},
      {"DSTINVERT", DSTINVERT, [](bool, bool, bool d) { return !d; }},
      {"BLACKNESS", BLACKNESS, [](bool, bool, bool) { return false; }},
      {"WHITENESS", WHITENESS, [](bool, bool, bool) { return true; }},
      {"DSna", ROP_DSna, [](bool, bool s, bool d) { return d && !s; }},
      {"DSPDxax", ROP_DSPDxax, [](bool p, bool s, bool d) { return ((p != d) && s) != d; }},
      {"PSDPxax", ROP_PSDPxax, [](bool p, bool s, bool d) { return ((d != p) && s) != p; }},
  };
  Rig rig;
  for (const auto& c : cases) {
    rig.Run(c.rop);
    for (int i = 0; i < 8; ++i) {
      bool expected = c.f(i & 4, i & 2, i & 1);
      EXPECT_EQ(rig.dst->Pixel(i, 0) == clWhite, expected) << c.name << " at P S D = " << i;
    }
  }
}

TEST(RasterOps, OperandUseAndColourChannels) {
  EXPECT_TRUE(RopUsesSource(SRCCOPY));
  EXPECT_FALSE(RopUsesSource(PATCOPY));
  EXPECT_FALSE(RopUsesSource(DSTINVERT));
  EXPECT_TRUE(RopUsesPattern(PATINVERT));
  EXPECT_FALSE(RopUsesPattern(SRCAND));
  // Bitwise per channel, not per pixel.
  EXPECT_EQ(EvalRop3(RopIndex(SRCAND), 0, RGB(0xF0, 0x0F, 0xFF), RGB(0x3C, 0xFF, 0x00)) & 0xFFFFFF,
            RGB(0x30, 0x0F, 0x00));
  EXPECT_EQ(EvalRop2(R2_XORPEN, 0x00FF00, 0x0F0F0F) & 0xFFFFFF, 0x0FF00Fu);
  EXPECT_EQ(EvalRop2(R2_NOT, 0, 0x00FF00) & 0xFFFFFF, 0xFF00FFu);
  EXPECT_EQ(EvalRop2(R2_COPYPEN, 0x123456, 0xABCDEF) & 0xFFFFFF, 0x123456u);
}

TEST(RasterOps, MonochromeSourceTakesTheDestinationTextAndBackColours) {
  auto mono = std::make_shared<TGdiBitmap>(2, 1, 1);
  mono->SetPixel(0, 0, clBlack);
  mono->SetPixel(1, 0, clWhite);
  auto color = std::make_shared<TGdiBitmap>(2, 1, 32);
  TDeviceContext src(mono), dst(color);
  dst.SetTextColor(clRed);
  dst.SetBkColor(clBlue);
  dst.BitBlt(0, 0, 2, 1, &src, 0, 0, SRCCOPY);
  EXPECT_EQ(color->Pixel(0, 0), clRed);
  EXPECT_EQ(color->Pixel(1, 0), clBlue);
}

TEST(RasterOps, ColourSourceToMonochromeMakesTheBackColourWhite) {
  auto color = std::make_shared<TGdiBitmap>(3, 1, 24);
  color->SetPixel(0, 0, clFuchsia);
  color->SetPixel(1, 0, clWhite);
  color->SetPixel(2, 0, clGray);
  auto mono = std::make_shared<TGdiBitmap>(3, 1, 1);
  TDeviceContext src(color), dst(mono);
  src.SetBkColor(clFuchsia);
  dst.BitBlt(0, 0, 3, 1, &src, 0, 0, SRCCOPY);
  EXPECT_TRUE(mono->PixelBit(0, 0));
  EXPECT_FALSE(mono->PixelBit(1, 0));  // white itself is not the back colour
  EXPECT_FALSE(mono->PixelBit(2, 0));
}

TEST(RasterOps, GlyphEmbossPaintsTheBrushWhereTheMaskIsBlack) {
  auto mask = std::make_shared<TGdiBitmap>(2, 1, 1);
  mask->SetPixel(0, 0, clBlack);
  mask->SetPixel(1, 0, clWhite);
  auto color = std::make_shared<TGdiBitmap>(2, 1, 32);
  color->Fill(clSilver);
  TDeviceContext src(mask), dst(color);
  dst.SetTextColor(clBlack);
  dst.SetBkColor(clWhite);
  dst.SelectBrush(SolidBrush(clGray));
  dst.BitBlt(0, 0, 2, 1, &src, 0, 0, ROP_PSDPxax);
  EXPECT_EQ(color->Pixel(0, 0), clGray);
  EXPECT_EQ(color->Pixel(1, 0), clSilver);
  color->Fill(clSilver);
  dst.BitBlt(0, 0, 2, 1, &src, 0, 0, ROP_DSPDxax);
  EXPECT_EQ(color->Pixel(0, 0), clSilver);
  EXPECT_EQ(color->Pixel(1, 0), clGray);
}

TEST(RasterOps, StretchMirrorAndOverlappingCopy) {
  auto bmp = std::make_shared<TGdiBitmap>(8, 2, 32);
  for (int x = 0; x < 4; ++x) bmp->SetPixel(x, 0, RGB(uint8_t(x * 10), 0, 0));
  TDeviceContext dc(bmp);
  dc.StretchBlt(0, 1, 8, 1, &dc, 0, 0, 4, 1, SRCCOPY);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(bmp->Pixel(x, 1), RGB(uint8_t((x / 2) * 10), 0, 0)) << x;
  dc.StretchBlt(3, 1, -4, 1, &dc, 0, 0, 4, 1, SRCCOPY);  // mirrored into x 0..3
  for (int x = 0; x < 4; ++x) EXPECT_EQ(bmp->Pixel(x, 1), RGB(uint8_t((3 - x) * 10), 0, 0)) << x;
  dc.BitBlt(1, 0, 4, 1, &dc, 0, 0, SRCCOPY);  // overlapping: reads the old pixels
  for (int x = 1; x < 5; ++x) EXPECT_EQ(bmp->Pixel(x, 0), RGB(uint8_t((x - 1) * 10), 0, 0)) << x;
}

// Fills go row by row over the parts of the clip region: each pixel inside is painted exactly
// once (an XOR fill toggles it once), none outside, for solid and hatched brushes alike.
TEST(RasterOps, FillsThroughAClipOfSeveralRectanglesPaintEachInsidePixelOnce) {
  auto bmp = std::make_shared<TGdiBitmap>(24, 12, 32);
  TDeviceContext dc{bmp};
  TRegion clip;
  clip.Combine(TRegion(TRect{2, 1, 10, 6}), TRegion(TRect{6, 4, 20, 11}), RGN_OR);
  dc.SelectClipRgn(&clip);
  auto check = [&](auto expected) {
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 24; ++x) ASSERT_EQ(bmp->Pixel(x, y), expected(x, y)) << x << "," << y;
  };
  bmp->Fill(clWhite);
  dc.FillRect(TRect{0, 0, 24, 12}, SolidBrush(clBlack));
  check([&](int x, int y) { return clip.Contains(x, y) ? clBlack : clWhite; });
  dc.SelectBrush(SolidBrush(0x00FF00));
  dc.SelectPen(TLogPen{PS_NULL, 1, 0});
  dc.SetROP2(R2_XORPEN);
  dc.Rectangle(0, 0, 25, 13);
  check([&](int x, int y) { return clip.Contains(x, y) ? TColorRef(0x00FF00) : clWhite; });
  bmp->Fill(clWhite);
  dc.SetROP2(R2_COPYPEN);
  dc.FillRect(TRect{0, 0, 24, 12}, HatchBrush(HS_CROSS, clRed));
  TDeviceContext plain{std::make_shared<TGdiBitmap>(24, 12, 32)};
  plain.Bitmap()->Fill(clWhite);
  plain.FillRect(TRect{0, 0, 24, 12}, HatchBrush(HS_CROSS, clRed));
  check([&](int x, int y) { return clip.Contains(x, y) ? plain.Bitmap()->Pixel(x, y) : clWhite; });
}
