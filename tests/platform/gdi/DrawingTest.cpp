#include <gtest/gtest.h>

#include "TestCanvas.h"
#include "platform/gdi/Edges.h"

TEST(Drawing, RaisedAndSunkenEdgesUseTheSystemColoursPerCorner) {
  Canvas c(6, 6, clRed);
  TRect r{0, 0, 6, 6};
  DrawEdge(c.dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, (TRect{2, 2, 4, 4}));
  const TColorRef light = GetSysColor(COLOR_3DLIGHT), dark = GetSysColor(COLOR_3DDKSHADOW);
  const TColorRef hi = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(c.At(0, 0), light);
  EXPECT_EQ(c.At(4, 0), light);
  EXPECT_EQ(c.At(5, 0), dark);  // the right line owns the top-right corner
  EXPECT_EQ(c.At(0, 5), dark);  // the bottom line owns the bottom-left corner
  EXPECT_EQ(c.At(1, 1), hi);
  EXPECT_EQ(c.At(4, 4), shadow);
  EXPECT_EQ(c.At(4, 1), shadow);
  EXPECT_EQ(c.At(2, 2), clRed);  // no BF_MIDDLE: the inside stays

  Canvas s(4, 4, clRed);
  TRect r2{0, 0, 4, 4};
  DrawEdge(s.dc, r2, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
  EXPECT_EQ(s.At(0, 0), shadow);
  EXPECT_EQ(s.At(3, 3), hi);
  EXPECT_EQ(s.At(1, 1), dark);
  EXPECT_EQ(s.At(2, 2), light);
  Canvas m(5, 5, clRed);
  TRect r3{0, 0, 5, 5};
  DrawEdge(m.dc, r3, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
  EXPECT_EQ(m.At(2, 2), GetSysColor(COLOR_BTNFACE));

  Canvas side(4, 4, clRed);
  TRect r4{0, 0, 4, 4};
  DrawEdge(side.dc, r4, BDR_RAISEDINNER, BF_BOTTOM);
  EXPECT_EQ(side.Count(shadow), 4);
  EXPECT_EQ(side.At(0, 3), shadow);
}

TEST(Drawing, FrameRectFillRectAndRectangle) {
  Canvas c(6, 5);
  c.dc.FrameRect(TRect{1, 1, 5, 4}, SolidBrush(clBlue));
  EXPECT_EQ(c.Count(clBlue), 10);
  EXPECT_EQ(c.At(1, 1), clBlue);
  EXPECT_EQ(c.At(4, 3), clBlue);
  EXPECT_EQ(c.At(2, 2), clWhite);
  EXPECT_EQ(c.At(5, 4), clWhite);

  Canvas r(6, 6);
  r.dc.SelectPen(Pen(PS_SOLID, 1, clBlack));
  r.dc.SelectBrush(SolidBrush(clLime));
  r.dc.Rectangle(1, 1, 5, 5);
  EXPECT_EQ(r.Count(clBlack), 12);
  EXPECT_EQ(r.Count(clLime), 4);
  EXPECT_EQ(r.At(5, 5), clWhite);

  Canvas n(6, 6);
  n.dc.SelectPen(Pen(PS_NULL, 1, clBlack));
  n.dc.SelectBrush(SolidBrush(clLime));
  n.dc.Rectangle(0, 0, 4, 4);
  EXPECT_EQ(n.Count(clLime), 9);  // one pixel smaller without a pen

  Canvas w(8, 8);
  w.dc.SelectPen(Pen(PS_INSIDEFRAME, 2, clBlack));
  w.dc.SelectBrush(NullBrush());
  w.dc.Rectangle(0, 0, 6, 6);
  EXPECT_EQ(w.Count(clBlack), 36 - 4);
  EXPECT_EQ(w.At(6, 6), clWhite);
}

TEST(Drawing, PenStylesDashesDotsAndGaps) {
  struct Case {
    int style;
    std::vector<int> onOff;
  };
  const Case cases[] = {{PS_DASH, {18, 6}}, {PS_DOT, {3, 3}}, {PS_DASHDOT, {9, 6, 3, 6}}, {PS_DASHDOTDOT, {9, 3, 3, 3, 3, 3}}};
  for (const auto& k : cases) {
    Canvas c(60, 1);
    c.dc.SetBkMode(TRANSPARENT);
    c.dc.SelectPen(Pen(k.style, 1, clBlack));
    c.dc.MoveTo(0, 0);
    c.dc.LineTo(60, 0);
    int x = 0;
    for (int rep = 0; x < 60; ++rep)
      for (size_t i = 0; i < k.onOff.size() && x < 60; ++i)
        for (int n = 0; n < k.onOff[i] && x < 60; ++n, ++x)
          EXPECT_EQ(c.At(x, 0), i % 2 == 0 ? clBlack : clWhite) << "style " << k.style << " x " << x;
  }
  Canvas opaque(30, 1);
  opaque.dc.SetBkColor(clYellow);
  opaque.dc.SelectPen(Pen(PS_DOT, 1, clBlack));
  opaque.dc.MoveTo(0, 0);
  opaque.dc.LineTo(6, 0);
  EXPECT_EQ(opaque.At(3, 0), clYellow);
  EXPECT_EQ(opaque.At(6, 0), clWhite);  // last point left out

  Canvas wide(10, 10);
  wide.dc.SelectPen(Pen(PS_DASH, 3, clBlack));
  wide.dc.MoveTo(1, 5);
  wide.dc.LineTo(9, 5);
  EXPECT_EQ(wide.Count(clBlack), 30);  // wide pens draw solid: 3 rows of x 0..9

  Canvas none(4, 4);
  none.dc.SelectPen(Pen(PS_NULL, 1, clBlack));
  none.dc.MoveTo(0, 0);
  none.dc.LineTo(4, 4);
  EXPECT_EQ(none.Count(clBlack), 0);
  EXPECT_EQ(none.dc.CurrentPosition(), (TPoint{4, 4}));
}

TEST(Drawing, LinesPolylinesAndPolygons) {
  Canvas d(5, 5);
  d.dc.MoveTo(0, 0);
  d.dc.LineTo(4, 4);
  EXPECT_EQ(d.Count(clBlack), 4);
  EXPECT_EQ(d.At(3, 3), clBlack);
  EXPECT_EQ(d.At(4, 4), clWhite);

  Canvas p(5, 5);
  p.dc.Polyline({{0, 0}, {4, 0}, {4, 4}});
  EXPECT_EQ(p.Count(clBlack), 9);  // a polyline draws its last point

  Canvas g(10, 10);
  g.dc.SelectPen(Pen(PS_NULL, 1, clBlack));
  g.dc.SelectBrush(SolidBrush(clRed));
  g.dc.Polygon({{0, 0}, {8, 0}, {8, 8}, {0, 8}});
  EXPECT_EQ(g.Count(clRed), 64);

  Canvas t(10, 10);
  t.dc.SelectPen(Pen(PS_SOLID, 1, clBlack));
  t.dc.SelectBrush(SolidBrush(clRed));
  t.dc.Polygon({{0, 0}, {8, 0}, {0, 8}});
  EXPECT_EQ(t.At(0, 0), clBlack);
  EXPECT_EQ(t.At(1, 1), clRed);
  EXPECT_EQ(t.At(8, 8), clWhite);
  EXPECT_EQ(t.At(6, 6), clWhite);

  // A star drawn with winding fill has its middle filled; alternate leaves it empty.
  std::vector<TPoint> star{{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  Canvas a(21, 21), w(21, 21);
  for (Canvas* c : {&a, &w}) {
    c->dc.SelectPen(Pen(PS_NULL, 1, 0));
    c->dc.SelectBrush(SolidBrush(clRed));
  }
  w.dc.SetPolyFillMode(WINDING);
  a.dc.Polygon(star);
  w.dc.Polygon(star);
  EXPECT_EQ(a.At(10, 10), clWhite);
  EXPECT_EQ(w.At(10, 10), clRed);
}

TEST(Drawing, BrushesHatchPatternAndMonochromePattern) {
  Canvas h(8, 8, clWhite);
  h.dc.SetBkMode(TRANSPARENT);
  h.dc.FillRect(TRect{0, 0, 8, 8}, HatchBrush(HS_CROSS, clBlack));
  EXPECT_EQ(h.Count(clBlack), 15);
  h.dc.SetBkMode(OPAQUE);
  h.dc.SetBkColor(clAqua);
  h.dc.FillRect(TRect{0, 0, 8, 8}, HatchBrush(HS_HORIZONTAL, clBlack));
  EXPECT_EQ(h.Count(clAqua), 56);

  auto checker = std::make_shared<TGdiBitmap>(2, 2, 1);
  checker->SetPixel(0, 0, clWhite);
  checker->SetPixel(1, 1, clWhite);
  Canvas m(4, 4);
  m.dc.SetTextColor(clRed);
  m.dc.SetBkColor(clBlue);
  m.dc.FillRect(TRect{0, 0, 4, 4}, PatternBrush(checker));
  EXPECT_EQ(m.At(0, 0), clBlue);
  EXPECT_EQ(m.At(1, 0), clRed);
  EXPECT_EQ(m.At(2, 2), clBlue);  // the pattern repeats from the bitmap origin
  EXPECT_EQ(m.Count(clRed), 8);
}

TEST(Drawing, OriginClipAndSavedStates) {
  Canvas c(10, 10);
  c.dc.SetViewportOrg(3, 2);
  c.dc.FillRect(TRect{0, 0, 2, 2}, SolidBrush(clRed));
  EXPECT_EQ(c.At(3, 2), clRed);
  EXPECT_EQ(c.At(5, 4), clWhite);
  EXPECT_EQ(c.dc.GetPixel(0, 0), clRed);

  int level = c.dc.SaveDC();
  EXPECT_EQ(level, 1);
  c.dc.IntersectClipRect(0, 0, 4, 4);  // logical: device 3..6, 2..5
  c.dc.ExcludeClipRect(1, 1, 2, 2);
  c.dc.SelectPen(Pen(PS_SOLID, 1, clGreen));
  c.dc.SetViewportOrg(0, 0);
  c.dc.FillRect(TRect{0, 0, 10, 10}, SolidBrush(clBlue));
  EXPECT_EQ(c.Count(clBlue), 15);
  EXPECT_EQ(c.At(4, 3), clRed);   // excluded
  EXPECT_EQ(c.At(7, 2), clWhite);  // right edge of the clip is outside
  EXPECT_EQ(c.dc.GetClipBox(), (TRect{3, 2, 7, 6}));
  EXPECT_FALSE(c.dc.PtVisible(4, 3));

  EXPECT_TRUE(c.dc.RestoreDC(-1));
  EXPECT_FALSE(c.dc.HasClipRgn());
  EXPECT_EQ(c.dc.ViewportOrg(), (TPoint{3, 2}));
  EXPECT_EQ(c.dc.CurrentPen().Color, clBlack);
  EXPECT_FALSE(c.dc.RestoreDC(-1));
  c.dc.SaveDC();
  c.dc.SaveDC();
  c.dc.SetTextColor(clRed);
  EXPECT_TRUE(c.dc.RestoreDC(1));  // back past both
  EXPECT_EQ(c.dc.TextColor(), clBlack);
  EXPECT_FALSE(c.dc.RestoreDC(1));
}

TEST(Drawing, FocusRectTogglesAndCaptionButtonsDraw) {
  Canvas c(6, 4, clBlack);
  DrawFocusRect(c.dc, TRect{0, 0, 6, 4});
  EXPECT_EQ(c.At(0, 0), clWhite);
  EXPECT_EQ(c.At(1, 0), clBlack);
  EXPECT_EQ(c.At(0, 2), clWhite);
  EXPECT_EQ(c.At(5, 3), clWhite);
  EXPECT_EQ(c.At(2, 2), clBlack);  // inside untouched
  DrawFocusRect(c.dc, TRect{0, 0, 6, 4});
  EXPECT_EQ(c.Count(clBlack), 24);

  for (unsigned kind : {DFCS_CAPTIONCLOSE, DFCS_CAPTIONMIN, DFCS_CAPTIONMAX, DFCS_CAPTIONRESTORE, DFCS_CAPTIONHELP}) {
    Canvas b(16, 14, clRed);
    TRect r{0, 0, 16, 14};
    EXPECT_TRUE(DrawFrameControl(b.dc, r, DFC_CAPTION, kind));
    EXPECT_EQ(b.At(0, 0), GetSysColor(COLOR_BTNHIGHLIGHT)) << kind;
    EXPECT_EQ(b.At(15, 13), GetSysColor(COLOR_3DDKSHADOW)) << kind;
    EXPECT_EQ(b.Count(clRed), 0) << kind;
    EXPECT_GT(b.Count(GetSysColor(COLOR_BTNTEXT)), 2) << kind;
    Canvas p(16, 14, clRed);
    DrawFrameControl(p.dc, r, DFC_CAPTION, kind | DFCS_PUSHED);
    EXPECT_EQ(p.At(0, 0), GetSysColor(COLOR_BTNSHADOW)) << kind;
  }
  Canvas x(16, 14);
  TRect r{0, 0, 16, 14};
  EXPECT_FALSE(DrawFrameControl(x.dc, r, DFC_SCROLL, 0));
}

// Small caption buttons too: two strokes that cross at the middle, no bars or loose legs.
TEST(Drawing, TheCloseGlyphIsAnXAtEverySize) {
  for (int size = 9; size <= 18; ++size) {
    SCOPED_TRACE(size);
    Canvas b(size, size, clRed);
    TRect r{0, 0, size, size};
    DrawFrameControl(b.dc, r, DFC_CAPTION, DFCS_CAPTIONCLOSE);
    const TColorRef ink = GetSysColor(COLOR_BTNTEXT);
    TRect box{size, size, -1, -1};
    for (int y = 2; y < size - 2; ++y)  // inside the button's edges
      for (int x = 2; x < size - 2; ++x)
        if (b.At(x, y) == ink) box = TRect{std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                                           std::max(box.Bottom, y + 1)};
    ASSERT_GE(box.Width(), 3);
    for (int y = box.Top; y < box.Bottom; ++y) {
      int count = 0;
      for (int x = box.Left; x < box.Right; ++x) {
        const bool on = b.At(x, y) == ink;
        count += on;
        EXPECT_EQ(on, b.At(box.Left + box.Right - 1 - x, y) == ink) << x << "," << y;
        EXPECT_EQ(on, b.At(x, box.Top + box.Bottom - 1 - y) == ink) << x << "," << y;
      }
      EXPECT_GE(count, 1);
      EXPECT_LE(count, 4);
    }
    // The corners are the ends of the strokes; the middle of the top row stays clear.
    EXPECT_EQ(ink, b.At(box.Left, box.Top));
    EXPECT_EQ(ink, b.At(box.Right - 1, box.Top));
    EXPECT_NE(ink, b.At((box.Left + box.Right - 1) / 2, box.Top));
  }
}

TEST(Drawing, MonochromeTargetsAndSystemColours) {
  auto mono = std::make_shared<TGdiBitmap>(4, 1, 1);
  TDeviceContext dc(mono);
  dc.FillRect(TRect{0, 0, 2, 1}, SolidBrush(clSilver));
  EXPECT_TRUE(mono->PixelBit(0, 0));
  EXPECT_FALSE(mono->PixelBit(2, 0));
  dc.PatBlt(0, 0, 4, 1, DSTINVERT);
  EXPECT_FALSE(mono->PixelBit(0, 0));
  EXPECT_TRUE(mono->PixelBit(3, 0));

  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(0x00123456), 0x123456u);
  SetSysColor(COLOR_BTNFACE, clRed);
  Canvas c(1, 1);
  c.dc.FillRect(TRect{0, 0, 1, 1}, SolidBrush(clBtnFace));
  EXPECT_EQ(c.At(0, 0), clRed);
  ResetSysColors();
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192));
}

TEST(Drawing, HugeCoordinatesAreCutToTheBitmap) {
  Canvas c(10, 10);
  c.dc.MoveTo(-2000000000, 3);
  c.dc.LineTo(2000000000, 3);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(c.At(x, 3), clBlack) << x;
  c.dc.MoveTo(-100000, -100000);
  c.dc.LineTo(100000, 100000);
  EXPECT_EQ(c.At(5, 5), clBlack);
  EXPECT_EQ(c.Count(clBlack), 19);

  Canvas b(10, 10);
  b.dc.PatBlt(-1000000000, -1000000000, 2000000000, 2000000000, BLACKNESS);
  EXPECT_EQ(b.Count(clBlack), 100);
  Canvas s(10, 10);
  auto src = std::make_shared<TGdiBitmap>(2, 2, 32);
  src->Fill(clRed);
  TDeviceContext sdc(src);
  s.dc.StretchBlt(-1000000, -1000000, 2000000, 2000000, &sdc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(s.Count(clRed), 100);
  s.dc.SelectBrush(SolidBrush(clBlue));
  s.dc.SelectPen(Pen(PS_NULL, 1, 0));
  s.dc.Polygon({{-2000000000, -2000000000}, {2000000000, -2000000000}, {0, 2000000000}});
  EXPECT_EQ(s.At(5, 5), clBlue);
}
