#include "platform/classlib/Graphics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct TempDir {
  std::filesystem::path Path;
  TempDir() {
    Path = std::filesystem::temp_directory_path() / ("classlibgfx-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Path);
  }
  ~TempDir() { std::filesystem::remove_all(Path); }
  AnsiString File(const char* name) const { return (Path / name).string(); }
};

void White(TBitmap& b, int w, int h) {
  b.SetSize(w, h);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, w, h));
}

int CountNot(TBitmap& b, TColor c, const TRect& r) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += b.Canvas().Pixel(x, y) != c;
  return n;
}

}  // namespace

TEST(Graphics, ShapesUseThePenAndTheBrushWithSystemColoursResolved) {
  TBitmap b;
  White(b, 20, 20);
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clBtnFace);
  c.Pen().SetColor(clRed);
  c.Rectangle(2, 2, 10, 10);
  EXPECT_EQ(c.Pixel(2, 2), clRed);
  EXPECT_EQ(c.Pixel(9, 5), clRed);
  EXPECT_EQ(c.Pixel(5, 5), RGB(192, 192, 192));
  EXPECT_EQ(c.Pixel(10, 10), clWhite);

  c.Brush().SetColor(clBlue);
  c.FrameRect(Rect(12, 12, 18, 18));
  EXPECT_EQ(c.Pixel(12, 15), clBlue);
  EXPECT_EQ(c.Pixel(15, 15), clWhite);

  // Xor twice gives back what was there.
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clWhite);
  c.MoveTo(0, 19);
  c.LineTo(20, 19);
  EXPECT_EQ(c.Pixel(5, 19), clBlack);
  c.MoveTo(0, 19);
  c.LineTo(20, 19);
  EXPECT_EQ(c.Pixel(5, 19), clWhite);
  EXPECT_EQ(c.PenPos(), Point(20, 19));

  c.Pen().SetMode(pmCopy);
  c.Pen().SetColor(clGreen);
  c.Brush().SetColor(clYellow);
  c.Polygon({Point(0, 12), Point(8, 12), Point(8, 18), Point(0, 18)});
  EXPECT_EQ(c.Pixel(4, 15), clYellow);
  EXPECT_EQ(c.Pixel(0, 12), clGreen);

  TBitmap e;
  White(e, 21, 11);
  e.Canvas().Brush().SetColor(clRed);
  e.Canvas().Ellipse(0, 0, 21, 11);
  EXPECT_EQ(e.Canvas().Pixel(10, 5), clRed);
  EXPECT_EQ(e.Canvas().Pixel(0, 5), clBlack);   // the pen on the left end
  EXPECT_EQ(e.Canvas().Pixel(10, 0), clBlack);  // and at the top
  EXPECT_EQ(e.Canvas().Pixel(0, 0), clWhite);   // the corners stay outside
  EXPECT_EQ(e.Canvas().Pixel(20, 10), clWhite);
}

TEST(Graphics, TextIsDrawnInTheFontColourAndClippedByTextRect) {
  TBitmap b;
  White(b, 200, 40);
  TCanvas& c = b.Canvas();
  c.Font().SetColor(clRed);
  c.Brush().SetStyle(bsClear);
  c.TextOut(2, 2, "Hello");
  int w = c.TextWidth("Hello");
  EXPECT_GT(w, 10);
  EXPECT_GT(c.TextWidth("Hello, world"), w);
  EXPECT_GT(c.TextHeight("H"), 5);
  EXPECT_GT(CountNot(b, clWhite, Rect(2, 2, 2 + w, 2 + c.TextHeight("H"))), 0);
  EXPECT_EQ(CountNot(b, clWhite, Rect(4 + w, 0, 200, 40)), 0);

  TBitmap t;
  White(t, 200, 40);
  t.Canvas().Brush().SetColor(clAqua);
  t.Canvas().TextRect(Rect(0, 0, 20, 20), 2, 2, "A long line of text");
  EXPECT_EQ(t.Canvas().Pixel(19, 19), clAqua);
  EXPECT_EQ(CountNot(t, clWhite, Rect(20, 0, 200, 40)), 0);

  // Bold text is wider.
  c.Font().SetStyle(fsBold);
  EXPECT_GE(c.TextWidth("Hello"), w);
  EXPECT_EQ(c.Font().Size(), 8);
  c.Font().SetSize(10);
  EXPECT_EQ(c.Font().Height(), -13);
}

TEST(Graphics, ChangesAreReportedOnlyWhenSomethingChanged) {
  TFont f;
  TPen p;
  TBrush br;
  int changes = 0;
  f.OnChange = p.OnChange = br.OnChange = [&](TObject*) { ++changes; };
  f.SetName("Arial");
  f.SetName("Arial");
  f.SetSize(f.Size());
  p.SetWidth(2);
  p.SetWidth(2);
  br.SetStyle(bsClear);
  br.SetColor(clRed);  // a colour makes a clear brush solid again
  EXPECT_EQ(br.Style(), bsSolid);
  EXPECT_EQ(changes, 4);
  TFont g;
  g.Assign(&f);
  EXPECT_TRUE(g == f);
  EXPECT_THROW(g.Assign(&p), EConvertError);
}

TEST(Graphics, BitmapsSaveLoadDrawAndStretch) {
  TempDir dir;
  TBitmap b;
  White(b, 4, 3);
  b.Canvas().SetPixel(0, 0, clRed);
  b.Canvas().SetPixel(3, 2, clBlue);
  b.SaveToFile(dir.File("a.bmp"));
  TBitmap c;
  c.LoadFromFile(dir.File("a.bmp"));
  EXPECT_EQ(c.Width(), 4);
  EXPECT_EQ(c.Height(), 3);
  EXPECT_EQ(c.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(c.Canvas().Pixel(3, 2), clBlue);

  // A broken file leaves the bitmap as it was.
  std::ofstream(dir.File("bad.bmp")) << "BMnot really";
  EXPECT_THROW(c.LoadFromFile(dir.File("bad.bmp")), EInvalidGraphic);
  EXPECT_EQ(c.Width(), 4);
  EXPECT_THROW(c.LoadFromFile(dir.File("missing.bmp")), EFOpenError);

  TBitmap dest;
  White(dest, 8, 6);
  dest.Canvas().StretchDraw(Rect(0, 0, 8, 6), &c);
  EXPECT_EQ(dest.Canvas().Pixel(1, 1), clRed);
  EXPECT_EQ(dest.Canvas().Pixel(7, 5), clBlue);
  dest.Canvas().CopyRect(Rect(0, 0, 2, 2), c.Canvas(), Rect(3, 2, 4, 3));
  EXPECT_EQ(dest.Canvas().Pixel(1, 1), clBlue);

  // Transparent: the bottom-left colour (white here) lets the destination show.
  TBitmap back;
  back.SetSize(4, 3);
  back.Canvas().Brush().SetColor(clLime);
  back.Canvas().FillRect(Rect(0, 0, 4, 3));
  c.SetTransparent(true);
  EXPECT_EQ(c.TransparentColor(), clWhite);
  back.Canvas().Draw(0, 0, &c);
  EXPECT_EQ(back.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(back.Canvas().Pixel(1, 1), clLime);
}

TEST(Graphics, PicturesChooseTheGraphicByExtension) {
  TempDir dir;
  TBitmap b;
  White(b, 5, 5);
  b.SaveToFile(dir.File("p.BMP"));
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile(dir.File("p.BMP"));
  EXPECT_EQ(pic.Width(), 5);
  EXPECT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
  EXPECT_THROW(pic.LoadFromFile(dir.File("p.gif")), EInvalidGraphic);
  EXPECT_EQ(pic.Width(), 5);
  pic.Bitmap().SetSize(7, 2);
  EXPECT_EQ(pic.Width(), 7);
  TPicture copy;
  copy.Assign(&pic);
  EXPECT_EQ(copy.Height(), 2);
  EXPECT_NE(copy.Graphic(), pic.Graphic());
  pic.Assign(nullptr);
  EXPECT_EQ(pic.Graphic(), nullptr);
  EXPECT_GE(changes, 3);
}
