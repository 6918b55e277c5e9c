#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/gdi/BmpFile.h"
#include "platform/gdi/Colors.h"

namespace {

class BmpFile : public ::testing::Test {
protected:
  void SetUp() override {
    FDir = std::filesystem::temp_directory_path() /
           ("gdi_bmp_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(FDir);
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }
  AnsiString Path(const char* name) const { return (FDir / name).string(); }
  void WriteRaw(const AnsiString& path, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::filesystem::path FDir;
};

TColorRef Sample(int x, int y) { return RGB(uint8_t(x * 37), uint8_t(y * 51), uint8_t((x + y) * 23)); }

// Little-endian writers for hand-made files.
void P16(std::vector<uint8_t>& v, int x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void P32(std::vector<uint8_t>& v, int64_t x) { for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i))); }

}  // namespace

TEST_F(BmpFile, RoundTripOfEveryDepth) {
  for (int bpp : {1, 4, 8, 24, 32}) {
    TGdiBitmap bmp(7, 5, bpp);  // odd width exercises row padding
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) bmp.SetPixel(x, y, Sample(x, y));
    AnsiString file = Path(("d" + std::to_string(bpp) + ".bmp").c_str());
    SaveBmpFile(bmp, file);
    EXPECT_EQ(std::filesystem::file_size(file), 54 + (bpp <= 8 ? 4u << bpp : 0) +
                                                    5u * TGdiBitmap::DibStride(7, bpp)) << bpp;
    TGdiBitmap back = LoadBmpFile(file);
    EXPECT_EQ(back.BitsPerPixel(), bpp);
    ASSERT_EQ(back.Width(), 7);
    ASSERT_EQ(back.Height(), 5);
    EXPECT_EQ(back.Palette(), bmp.Palette()) << bpp;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(back.Pixel(x, y), bmp.Pixel(x, y)) << bpp << " at " << x << "," << y;
  }
}

TEST_F(BmpFile, MonochromeAndFourBitGlyphsKeepTheirPaletteOrder) {
  // A 1-bit glyph whose entry 0 is white: bit 1 pixels are black.
  TGdiBitmap glyph(3, 2, 1, {clWhite, clBlack});
  glyph.SetPixel(1, 0, clBlack);
  AnsiString file = Path("glyph1.bmp");
  SaveBmpFile(glyph, file);
  TGdiBitmap back = LoadBmpFile(file);
  EXPECT_EQ(back.Palette(), (std::vector<TColorRef>{clWhite, clBlack}));
  EXPECT_TRUE(back.PixelBit(1, 0));
  EXPECT_FALSE(back.PixelBit(0, 0));
  EXPECT_EQ(back.Pixel(0, 0), clWhite);

  TGdiBitmap four(5, 3, 4);
  four.SetPixel(0, 0, clTeal);
  four.SetPixel(4, 2, clFuchsia);
  four.SetPixel(2, 1, RGB(250, 250, 10));  // nearest entry: yellow
  SaveBmpFile(four, Path("glyph4.bmp"));
  TGdiBitmap back4 = LoadBmpFile(Path("glyph4.bmp"));
  EXPECT_EQ(back4.Pixel(0, 0), clTeal);
  EXPECT_EQ(back4.Pixel(4, 2), clFuchsia);
  EXPECT_EQ(back4.Pixel(2, 1), clYellow);
  EXPECT_EQ(back4.PixelIndex(4, 2), 13);
}

TEST_F(BmpFile, TopDownCoreHeaderAndShortPalettes) {
  // A top-down 2 x 2 24-bit file.
  std::vector<uint8_t> f;
  P16(f, 0x4D42); P32(f, 0); P32(f, 0); P32(f, 54);
  P32(f, 40); P32(f, 2); P32(f, -2); P16(f, 1); P16(f, 24); P32(f, 0); P32(f, 16); P32(f, 0); P32(f, 0); P32(f, 0); P32(f, 0);
  const uint8_t rows[] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};  // red green / blue white
  f.insert(f.end(), rows, rows + sizeof rows);
  WriteRaw(Path("top.bmp"), f);
  TGdiBitmap top = LoadBmpFile(Path("top.bmp"));
  EXPECT_EQ(top.Pixel(0, 0), clRed);
  EXPECT_EQ(top.Pixel(1, 0), clLime);
  EXPECT_EQ(top.Pixel(0, 1), clBlue);
  EXPECT_EQ(top.Pixel(1, 1), clWhite);

  // An old core header with a two-entry 1-bit palette of three-byte entries.
  std::vector<uint8_t> c;
  P16(c, 0x4D42); P32(c, 0); P32(c, 0); P32(c, 14 + 12 + 6);
  P32(c, 12); P16(c, 8); P16(c, 1); P16(c, 1); P16(c, 1);
  const uint8_t pal[] = {0, 0, 255, 255, 255, 255};  // red, white
  c.insert(c.end(), pal, pal + 6);
  const uint8_t bits[] = {0xA0, 0, 0, 0};
  c.insert(c.end(), bits, bits + 4);
  WriteRaw(Path("core.bmp"), c);
  TGdiBitmap core = LoadBmpFile(Path("core.bmp"));
  EXPECT_EQ(core.Width(), 8);
  EXPECT_EQ(core.Pixel(0, 0), clWhite);
  EXPECT_EQ(core.Pixel(1, 0), clRed);
  EXPECT_EQ(core.Pixel(2, 0), clWhite);

  // An 8-bit file that names only 3 colours in use.
  std::vector<uint8_t> s;
  P16(s, 0x4D42); P32(s, 0); P32(s, 0); P32(s, 54 + 12);
  P32(s, 40); P32(s, 3); P32(s, 1); P16(s, 1); P16(s, 8); P32(s, 0); P32(s, 4); P32(s, 0); P32(s, 0); P32(s, 3); P32(s, 0);
  const uint8_t pal3[] = {0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 0};
  s.insert(s.end(), pal3, pal3 + 12);
  const uint8_t idx[] = {2, 1, 0, 0};
  s.insert(s.end(), idx, idx + 4);
  WriteRaw(Path("short.bmp"), s);
  TGdiBitmap shortPal = LoadBmpFile(Path("short.bmp"));
  EXPECT_EQ(shortPal.Pixel(0, 0), clBlue);
  EXPECT_EQ(shortPal.Pixel(1, 0), clLime);
  EXPECT_EQ(shortPal.Pixel(2, 0), clBlack);
}

TEST_F(BmpFile, DamagedFilesRaiseInvalidGraphic) {
  TGdiBitmap bmp(4, 4, 24);
  SaveBmpFile(bmp, Path("good.bmp"));
  std::ifstream in(Path("good.bmp"), std::ios::binary);
  std::vector<uint8_t> good((std::istreambuf_iterator<char>(in)), {});
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
  };
  const Case cases[] = {
      {"signature", [](auto& v) { v[0] = 'X'; }},
      {"truncated pixels", [](auto& v) { v.resize(v.size() - 5); }},
      {"truncated header", [](auto& v) { v.resize(20); }},
      {"empty", [](auto& v) { v.clear(); }},
      {"depth 7", [](auto& v) { v[28] = 7; }},
      {"zero width", [](auto& v) { v[18] = v[19] = v[20] = v[21] = 0; }},
      {"huge height", [](auto& v) { v[22] = 0xFF; v[23] = 0xFF; v[24] = 0xFF; v[25] = 0x70; }},
      {"compressed", [](auto& v) { v[30] = 1; }},
      {"header size", [](auto& v) { v[14] = 200; v[15] = 100; }},
      {"offset before header end", [](auto& v) { v[10] = 20; }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bad = good;
    c.damage(bad);
    WriteRaw(Path("bad.bmp"), bad);
    EXPECT_THROW(LoadBmpFile(Path("bad.bmp")), EInvalidGraphic) << c.name;
  }
  EXPECT_THROW(LoadBmpFile(Path("missing.bmp")), EFOpenError);
}

TEST_F(BmpFile, DeviceIndependentBitsAndPng) {
  TGdiBitmap bmp(3, 2, 32);
  bmp.SetPixel(0, 0, RGB(1, 2, 3));
  bmp.SetPixel(2, 1, clWhite);
  std::vector<uint8_t> up = bmp.GetDIBits(24, false);
  ASSERT_EQ(up.size(), 2u * 12);
  EXPECT_EQ(up[12 + 0], 3);  // bottom-up: the top row comes second, in blue green red order
  EXPECT_EQ(up[12 + 2], 1);
  std::vector<TColorRef> pal;
  std::vector<uint8_t> mono = bmp.GetDIBits(1, true, &pal);
  EXPECT_EQ(pal, (std::vector<TColorRef>{clBlack, clWhite}));
  EXPECT_EQ(mono[4], 0x20);  // pixel 2 of row 1
  TGdiBitmap copy(3, 2, 24);
  copy.SetDIBits(up.data(), up.size(), 24, false, {});
  EXPECT_EQ(copy.Pixel(0, 0), RGB(1, 2, 3));
  EXPECT_THROW(copy.SetDIBits(up.data(), 5, 24, false, {}), EInvalidGraphic);

  SavePngFile(bmp, Path("look.png"));
  std::ifstream png(Path("look.png"), std::ios::binary);
  char sig[8] = {};
  png.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  EXPECT_THROW(SavePngFile(bmp, Path("no/such/dir.png")), EFCreateError);
  EXPECT_THROW(TGdiBitmap(100000, 100000, 32), EOutOfResources);
}
