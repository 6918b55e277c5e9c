// The library's small parts: user mask data, the fixed-pitch family list against fontconfig, the
// glyph holder, numbers in text form, component names and library bitmaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <string>

#include "controls/ctlExcept.h"
#include "controls/ctlFixedFont.h"
#include "controls/ctlGlyphRes.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlUserData.h"
#include "platform/gdi/Fonts.h"

namespace {

TEST(CtlUserData, SetsCasesAndSubstitutes) {
  TCtlUserData d;
  for (char ch = '1'; ch <= '8'; ++ch) {
    EXPECT_EQ(255u, d.UserCharSet(ch).count()) << ch;
    EXPECT_FALSE(d.UserCharSet(ch).test(0));
    EXPECT_EQ(0, d.ForceCase(ch));
  }
  TCtlCharSet digits;
  for (int c = '0'; c <= '9'; ++c) digits.set(std::size_t(c));
  digits.set(0);
  d.SetUserCharSet('3', digits);
  EXPECT_EQ(10u, d.UserCharSet('3').count());  // stored without character 0
  EXPECT_FALSE(d.UserCharSet('3').test(0));
  d.SetUserCharSet('9', digits);  // not a user character: nothing changes
  EXPECT_TRUE(d.UserCharSet('9').none());
  EXPECT_EQ(255u, d.UserCharSet('8').count());

  d.SetForceCase('2', 1);
  d.SetForceCase('0', 2);
  EXPECT_EQ(1, d.ForceCase('2'));
  EXPECT_EQ(0, d.ForceCase('0'));

  for (int c = 241; c <= 248; ++c) EXPECT_EQ(char(c), d.SubstChar(char(c)));
  EXPECT_EQ(0, d.SubstChar(char(240)));
  EXPECT_EQ(0, d.SubstChar(char(249)));
  d.SetSubstChar(char(242), 'x');
  EXPECT_EQ('x', d.SubstChar(char(242)));
  EXPECT_EQ(&CtlUserData(), &CtlUserData());
}

std::set<std::string> FontconfigMonoFamilies() {
  std::set<std::string> out;
  FILE* p = popen("fc-list :spacing=mono family", "r");
  if (!p) return out;
  char line[512];
  while (fgets(line, sizeof line, p)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    // A family with several names lists them with commas; the first is the one reported.
    s = s.substr(0, s.find(','));
    if (!s.empty()) out.insert(s);
  }
  pclose(p);
  return out;
}

TEST(CtlFixedFont, ListMatchesFontconfig) {
  const auto want = FontconfigMonoFamilies();
  const auto& got = CtlFixedPitchFonts();
  ASSERT_FALSE(got.empty());
  if (want.empty()) {
    EXPECT_EQ((std::vector<AnsiString>{ctlDefaultFixedFace}), got);
    return;
  }
  EXPECT_EQ(want, std::set<std::string>(got.begin(), got.end()));
  EXPECT_TRUE(IsFixedPitchFont(got.front()));
  EXPECT_FALSE(IsFixedPitchFont("DejaVu Sans"));
  EXPECT_FALSE(IsFixedPitchFont(""));
}

TEST(CtlFixedFont, EmptySystemListFallsBackToTheDefaultFace) {
  EXPECT_EQ((std::vector<AnsiString>{ctlDefaultFixedFace}), MakeFixedPitchList({}));
  EXPECT_EQ((std::vector<AnsiString>{"A", "B"}), MakeFixedPitchList({"A", "B"}));
}

TEST(CtlFixedFont, TakesOnlyFixedPitchFamilies) {
  TCtlFixedFont f;
  int changes = 0;
  f.OnChange = [&](TCtlFixedFont*) { ++changes; };
  const AnsiString first = CtlFixedPitchFonts().front();
  EXPECT_EQ(first, f.Name());
  f.SetName("DejaVu Sans");  // proportional: ignored
  f.SetName(first);          // unchanged: no report
  EXPECT_EQ(first, f.Name());
  EXPECT_EQ(0, changes);
  f.SetSize(14);
  f.SetSize(14);
  f.SetColor(0x0000FF);
  f.SetStyle(fsBold);
  EXPECT_EQ(3, changes);
  EXPECT_EQ(14, f.Size());

  TFont plain;
  plain.SetName("DejaVu Sans");
  EXPECT_THROW(f.Assign(&plain), EInvalidFixedFont);
  EXPECT_EQ(first, f.Name());
  plain.SetName(first);
  plain.SetSize(20);
  f.Assign(&plain);
  EXPECT_EQ(20, f.Size());
  EXPECT_EQ(4, changes);

  TCtlFixedFont other;
  other.SetSize(9);
  f.Assign(&other);
  EXPECT_EQ(9, f.Size());
  EXPECT_EQ(first, f.Name());
}

TEST(CtlGlyphResources, CountsItsUsers) {
  TGlyphResourceManager m;
  EXPECT_EQ(1, m.Count());
  EXPECT_EQ(1, m.RefCount("CTLTCCHECKGLYPHS"));
  const TGdiBitmap* check = m.Acquire("ctltccheckglyphs");
  ASSERT_NE(nullptr, check);
  EXPECT_EQ(39, check->Width());
  EXPECT_EQ(13, check->Height());
  EXPECT_EQ(2, m.RefCount("CTLTCCHECKGLYPHS"));
  ASSERT_NE(nullptr, m.Acquire("CTLMARKERS"));
  EXPECT_EQ(2, m.Count());
  EXPECT_EQ(nullptr, m.Acquire("NO_SUCH_GLYPHS"));
  EXPECT_EQ(2, m.Count());
  m.Release("CTLMARKERS");
  EXPECT_EQ(1, m.Count());
  m.Release("CTLTCCHECKGLYPHS");
  m.Release("CTLTCCHECKGLYPHS");
  EXPECT_EQ(0, m.Count());
  m.Release("CTLTCCHECKGLYPHS");  // nothing left to drop
}

TEST(CtlHelpers, LibraryBitmaps) {
  TGdiBitmap markers = LoadBitmapFromLibrary("CTLMARKERS");
  EXPECT_EQ(100, markers.Width());
  EXPECT_EQ(10, markers.Height());
  EXPECT_THROW(LoadBitmapFromLibrary("NOPE"), EResNotFound);
}

TEST(CtlHelpers, NormaliseNumberText) {
  struct {
    const char* In;
    char D;
    const char* Out;
  } const cases[] = {
      {"", ',', "0"},           {"   ", ',', "0"},          {"12,", ',', "12"},        {".5", ',', "0.5"},
      {"-,5", ',', "-0.5"},     {",5", ',', ",5"},          {"3,25", ',', "3.25"},     {"  7 ", ',', "7"},
      {"5.", ',', "5.0"},       {"5.", '.', "5"}, {"-.5", '.', "-0.5"},       {"1E5", '.', "1.00000E5"}, {"1.5E3", '.', "1.500000E3"},
      {"1.12345678901E3", '.', "1.12345678901E3"},          {"12 , 5", ',', "12.5"},   {"-5", ',', "-5"},
      {"E5", '.', "E5"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Out, NormaliseNumberText(c.In, c.D)) << '"' << c.In << '"';
}

TEST(CtlHelpers, EntryTextTopMargin) {
  TFont font;
  const int h = std::min(GetFontFace(TFont().Handle()).Metrics().Height, GetFontFace(font.Handle()).Metrics().Height);
  ASSERT_GT(h, 4);
  struct {
    bool Bordered, Ctl3D;
    int Height, Expect;
  } const cases[] = {
      {false, false, h + 10, 0},  {false, false, h + 2, -((h + 2 - h) & 1)}, {false, false, h + 1, -1},
      {false, false, h - 1, -2},  {true, true, h + 10, 1},                   {true, true, h + 4, -1},
      {true, true, h, -3},        {true, false, h + 5, 1},                   {true, false, h + 3, -1},
      {true, false, h + 4, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.Expect, EntryTextTopMargin(font, c.Bordered, c.Height, c.Ctl3D))
        << c.Bordered << c.Ctl3D << " height h+" << c.Height - h;
}

TEST(CtlHelpers, UniqueComponentNamesAndTheCentury) {
  TComponent form(nullptr);
  EXPECT_EQ("Field1", UniqueComponentName(&form, "Field"));
  auto* a = new TComponent(&form);
  a->SetName("Field1");
  auto* b = new TComponent(&form);
  b->SetName("field2");  // names compare without regard to case
  EXPECT_EQ("Field3", UniqueComponentName(&form, "Field"));
  EXPECT_EQ("Other1", UniqueComponentName(&form, "Other"));
  EXPECT_THROW(UniqueComponentName(&form, "1Field"), EComponentError);
  EXPECT_THROW(UniqueComponentName(&form, ""), EComponentError);

  std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  EXPECT_EQ((local.tm_year + 1900) / 100 * 100, CenturyOfToday());
  EXPECT_EQ(3, SmallerOf(3, 9));
  EXPECT_EQ(9, LargerOf(3, 9));
}

}  // namespace
