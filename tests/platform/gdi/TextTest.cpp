#include <gtest/gtest.h>

#include <algorithm>

#include "TestCanvas.h"
#include "platform/gdi/DrawText.h"

namespace {

TLogFont Font(const char* name, int height, int weight = FW_NORMAL) {
  TLogFont f;
  f.Name = name;
  f.Height = height;
  f.Weight = weight;
  return f;
}

}  // namespace

TEST(Text, OldFaceNamesResolveToInstalledFaces) {
  EXPECT_EQ(ResolveFontFamily("MS Sans Serif"), "DejaVu Sans");
  EXPECT_EQ(ResolveFontFamily("Courier"), "DejaVu Sans Mono");
  EXPECT_EQ(ResolveFontFamily("courier new"), "DejaVu Sans Mono");
  EXPECT_FALSE(ResolveFontFamily("No Such Face At All").empty());
  auto fixed = GetFixedPitchFaces();
  EXPECT_NE(std::find(fixed.begin(), fixed.end(), "DejaVu Sans Mono"), fixed.end());
  EXPECT_EQ(std::find(fixed.begin(), fixed.end(), "DejaVu Sans"), fixed.end());
  EXPECT_TRUE(std::is_sorted(fixed.begin(), fixed.end()));
}

TEST(Text, MetricsAndExtentsOfAKnownFace) {
  TFontFace& mono = GetFontFace(Font("Courier", -13));
  EXPECT_TRUE(mono.FixedPitch());
  const TTextMetric& tm = mono.Metrics();
  EXPECT_EQ(tm.Height, tm.Ascent + tm.Descent);
  EXPECT_EQ(tm.InternalLeading, tm.Height - 13);
  EXPECT_GE(tm.Height, 14);
  EXPECT_LE(tm.Height, 17);
  EXPECT_EQ(tm.AveCharWidth, 8);  // DejaVu Sans Mono advances 0.602 em
  EXPECT_EQ(tm.PitchAndFamily & TMPF_FIXED_PITCH, 0);
  EXPECT_EQ(mono.TextWidth("iiii"), mono.TextWidth("WWWW"));
  EXPECT_EQ(mono.TextWidth("Wy"), 2 * tm.AveCharWidth);
  EXPECT_EQ(mono.TextWidth(""), 0);

  TFontFace& sans = GetFontFace(Font("MS Sans Serif", -11));
  EXPECT_FALSE(sans.FixedPitch());
  EXPECT_EQ(sans.Metrics().PitchAndFamily & TMPF_FIXED_PITCH, TMPF_FIXED_PITCH);
  EXPECT_LT(sans.TextWidth("iiii"), sans.TextWidth("WWWW"));
  EXPECT_GT(GetFontFace(Font("MS Sans Serif", -11, FW_BOLD)).TextWidth("Hello"), sans.TextWidth("Hello"));
  // A positive height asks for the cell height.
  TFontFace& cell = GetFontFace(Font("MS Sans Serif", 20));
  EXPECT_NEAR(cell.Metrics().Height, 20, 1);
  // Windows-1252 characters map to their Unicode glyphs: the euro sign has width.
  EXPECT_GT(sans.TextWidth("\x80"), 0);

  TDeviceContext dc(std::make_shared<TGdiBitmap>(1, 1, 32));
  dc.SelectFont(Font("Courier", -13));
  EXPECT_EQ(dc.GetTextExtent("abc"), (TSize{24, tm.Height}));
  EXPECT_EQ(dc.GetTextMetrics().Height, tm.Height);
}

TEST(Text, TextOutPaintsWithinTheExtentAndTheBackgroundMode) {
  Canvas c(80, 30);
  c.dc.SelectFont(Font("Courier", -13));
  c.dc.SetTextColor(clBlack);
  c.dc.SetBkMode(TRANSPARENT);
  c.dc.TextOut(5, 4, "HIT");
  TSize ext = c.dc.GetTextExtent("HIT");
  TRect ink = c.Ink();
  EXPECT_GE(ink.Left, 5);
  EXPECT_LE(ink.Right, 5 + ext.cx);
  EXPECT_GE(ink.Top, 4);
  EXPECT_LE(ink.Bottom, 4 + ext.cy);
  EXPECT_GT(c.Count(clBlack), 20);

  Canvas o(80, 30);
  o.dc.SelectFont(Font("Courier", -13));
  o.dc.SetBkColor(clYellow);
  o.dc.TextOut(2, 3, "ab");
  EXPECT_EQ(o.bmp->Pixel(2, 3), clYellow);
  EXPECT_EQ(o.bmp->Pixel(2 + 15, 3 + ext.cy - 1), clYellow);
  EXPECT_EQ(o.bmp->Pixel(2 + 16, 3), clWhite);

  Canvas a(80, 30);
  a.dc.SelectFont(Font("Courier", -13));
  a.dc.SetBkMode(TRANSPARENT);
  a.dc.SetTextAlign(TA_RIGHT | TA_BASELINE);
  a.dc.TextOut(60, 20, "HI");
  TRect ai = a.Ink();
  EXPECT_LE(ai.Right, 60);
  EXPECT_GE(ai.Left, 60 - 16);
  EXPECT_LE(ai.Bottom, 20);  // capitals sit on the baseline

  Canvas clip(80, 30);
  clip.dc.SelectFont(Font("Courier", -13));
  clip.dc.SetBkColor(clAqua);
  TRect r{0, 0, 10, 30};
  clip.dc.ExtTextOut(0, 0, ETO_CLIPPED | ETO_OPAQUE, &r, "WWWW");
  EXPECT_EQ(clip.Ink().Right, 10);
  EXPECT_EQ(clip.bmp->Pixel(5, 29), clAqua);
}

TEST(Text, DrawTextMeasuresLinesWrapsAndPrefixes) {
  TDeviceContext dc(std::make_shared<TGdiBitmap>(1, 1, 32));
  dc.SelectFont(Font("Courier", -13));
  const int h = dc.GetTextMetrics().Height, cw = dc.GetTextMetrics().AveCharWidth;
  struct Case {
    const char* text;
    unsigned flags;
    int width;  // rectangle width given
    int expectW, expectLines;
  };
  const Case cases[] = {
      {"Hello", DT_SINGLELINE, 200, 5 * cw, 1},
      {"one\r\ntwo\nthree\rx", 0, 200, 5 * cw, 4},
      {"one\r\ntwo", DT_SINGLELINE, 200, 8 * cw, 1},  // the line ends are not breaks
      {"&File", DT_SINGLELINE, 200, 4 * cw, 1},
      {"A&&B", DT_SINGLELINE, 200, 3 * cw, 1},
      {"A&&B", DT_SINGLELINE | DT_NOPREFIX, 200, 4 * cw, 1},
      {"aaa bbb ccc", DT_WORDBREAK, 8 * cw, 7 * cw, 2},
      {"aaa bbb ccc", DT_WORDBREAK, 3 * cw, 3 * cw, 3},
      {"abcdefghij", DT_WORDBREAK, 4 * cw, 10 * cw, 1},                      // one word stays whole
      {"abcdefghij", DT_WORDBREAK | DT_EDITCONTROL, 4 * cw, 4 * cw, 3},      // unless broken between letters
      {"abcdefghij", DT_SINGLELINE | DT_END_ELLIPSIS, 6 * cw, 6 * cw, 1},    // "abc..."
      {"a\tb", DT_SINGLELINE | DT_EXPANDTABS, 200, 9 * cw, 1},
      {"", 0, 200, 0, 1},
  };
  for (const auto& c : cases) {
    TRect r{10, 20, 10 + c.width, 25};
    int height = DrawText(dc, c.text, r, c.flags | DT_CALCRECT);
    EXPECT_EQ(height, c.expectLines * h) << c.text;
    EXPECT_EQ(r.Width(), c.expectW) << c.text;
    EXPECT_EQ(r.Height(), c.expectLines * h) << c.text;
    EXPECT_EQ(r.Left, 10);
    EXPECT_EQ(r.Top, 20);
  }
}

TEST(Text, DrawTextPlacesAndUnderlines) {
  auto draw = [](const char* text, unsigned flags, TRect r) {
    auto c = std::make_unique<Canvas>(100, 40);
    c->dc.SelectFont(Font("Courier", -13));
    c->dc.SetBkMode(TRANSPARENT);
    DrawText(c->dc, text, r, flags);
    return c;
  };
  auto left = draw("x", DT_SINGLELINE, TRect{0, 0, 100, 40});
  auto right = draw("x", DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, TRect{0, 0, 100, 40});
  auto centre = draw("x", DT_SINGLELINE | DT_CENTER | DT_VCENTER, TRect{0, 0, 100, 40});
  EXPECT_LT(left->Ink().Right, 10);
  EXPECT_GT(right->Ink().Left, 90);
  EXPECT_GT(right->Ink().Top, 25);
  EXPECT_GT(centre->Ink().Left, 40);
  EXPECT_LT(centre->Ink().Right, 60);
  EXPECT_GT(centre->Ink().Top, 10);

  TTextMetric tm = GetFontFace(Font("Courier", -13)).Metrics();
  auto plain = draw("F", DT_SINGLELINE, TRect{0, 0, 100, 40});
  auto marked = draw("&F", DT_SINGLELINE, TRect{0, 0, 100, 40});
  auto doubled = draw("&&", DT_SINGLELINE, TRect{0, 0, 100, 40});
  auto underlineRow = [&](const Canvas& c) {
    int n = 0;
    for (int x = 0; x < 100; ++x) n += c.bmp->Pixel(x, tm.Ascent + 1) == clBlack;
    return n;
  };
  EXPECT_EQ(underlineRow(*plain), 0);
  EXPECT_EQ(underlineRow(*marked), tm.AveCharWidth);
  EXPECT_EQ(underlineRow(*doubled), 0);
  EXPECT_LT(doubled->Ink().Right, tm.AveCharWidth + 1);  // one "&" only

  // Clipped to the rectangle unless told otherwise.
  auto clipped = draw("WWWWWW", DT_SINGLELINE, TRect{0, 0, 20, 40});
  auto free = draw("WWWWWW", DT_SINGLELINE | DT_NOCLIP, TRect{0, 0, 20, 40});
  EXPECT_LE(clipped->Ink().Right, 20);
  EXPECT_GT(free->Ink().Right, 40);
}

TEST(Text, UnderlineAndStrikeOutFollowTheSelectedFont) {
  TLogFont plain = Font("Courier", -13), under = plain, strike = plain;
  under.Underline = true;
  strike.StrikeOut = true;
  auto inkRows = [](const TLogFont& f) {
    Canvas c(60, 30);
    c.dc.SelectFont(f);
    c.dc.SetBkMode(TRANSPARENT);
    c.dc.TextOut(0, 0, "   ");  // spaces: only the rules show
    return c.Count(clBlack);
  };
  EXPECT_EQ(inkRows(plain), 0);
  EXPECT_EQ(inkRows(under) % 24, 0);
  EXPECT_GT(inkRows(under), 0);
  EXPECT_GT(inkRows(strike), 0);
  TDeviceContext dc(std::make_shared<TGdiBitmap>(1, 1, 32));
  dc.SelectFont(under);
  EXPECT_TRUE(dc.GetTextMetrics().Underlined);
  dc.SelectFont(plain);
  EXPECT_FALSE(dc.GetTextMetrics().Underlined);
}

TEST(Text, LongTextsWrapLineByLine) {
  TDeviceContext dc(std::make_shared<TGdiBitmap>(1, 1, 32));
  dc.SelectFont(Font("Courier", -13));
  const int h = dc.GetTextMetrics().Height, cw = dc.GetTextMetrics().AveCharWidth;
  AnsiString text;
  for (int i = 0; i < 20000; ++i) text += "word ";
  TRect r{0, 0, 4 * cw, 0};
  EXPECT_EQ(DrawText(dc, text, r, DT_WORDBREAK | DT_CALCRECT), 20000 * h);
  EXPECT_EQ(r.Width(), 4 * cw);
}
