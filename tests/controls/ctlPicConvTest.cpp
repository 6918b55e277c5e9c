// Typed values of the picture field: text to value, value to text and the check, per data type.
#include <gtest/gtest.h>

#include "controls/ctlDates.h"
#include "controls/ctlIntlSup.h"
#include "controls/ctlPicConv.h"

namespace {

struct Conv {
  Conv(TPictureDataType type, const char* mask) : Mask(mask, int(strlen(mask))) {
    C.DataType = type;
    C.Mask = &Mask;
    C.IntlSup = &CtlIntlSup();
    C.Epoch = 1950;
    switch (type) {
      case pftWord: C.RangeHi.Int = 65535; break;
      case pftInteger: C.RangeLo.Int = -32768, C.RangeHi.Int = 32767; break;
      case pftByte: C.RangeHi.Int = 255; break;
      case pftShortInt: C.RangeLo.Int = -128, C.RangeHi.Int = 127; break;
      case pftLongInt: C.RangeLo.Int = INT32_MIN, C.RangeHi.Int = INT32_MAX; break;
      case pftSingle: C.RangeLo.Float = -3.4e38L, C.RangeHi.Float = 3.4e38L; break;
      default: C.RangeLo.Float = -1.7e308L, C.RangeHi.Float = 1.7e308L; break;
    }
  }
  AnsiString Text(TCtlPicValue v) const { return PictureValueToText(C, v); }
  TCtlPicValue Value(const AnsiString& t) const { return PictureTextToValue(C, t); }
  uint16_t Check(const AnsiString& t) const { return PictureCheckText(C, t); }

  TCtlPictureMask Mask;
  TCtlPicConvContext C;
};

TCtlPicValue Int(int32_t v) { TCtlPicValue x; x.Int = v; return x; }
TCtlPicValue Float(long double v) { TCtlPicValue x; x.Float = v; return x; }

struct IntCase {
  TPictureDataType Type;
  const char* Mask;
  int32_t Value;
  const char* Text;
};

TEST(CtlPicConv, IntegersBothWaysInEveryRadix) {
  const IntCase cases[] = {
      {pftLongInt, "iiiiiiiiiii", -123, "-123       "}, {pftWord, "99999", 65535, "65535"},
      {pftByte, "999", 7, "7  "},                       {pftInteger, "KKKK", -1, "FFFF"},
      {pftByte, "OOOO", 8, "0010"},                      {pftShortInt, "bbbbbbbb", 5, "00000101"},
      {pftWord, "99-999", 12345, "12-345"},
  };
  for (const auto& c : cases) {
    const Conv conv(c.Type, c.Mask);
    EXPECT_EQ(c.Text, conv.Text(Int(c.Value))) << c.Mask;
    EXPECT_EQ(c.Value, conv.Value(c.Text).Int) << c.Mask;
    EXPECT_EQ(0, conv.Check(c.Text)) << c.Mask;
  }
}

struct CheckCase {
  TPictureDataType Type;
  const char* Mask;
  const char* Text;
  uint16_t Code;
};

TEST(CtlPicConv, ChecksReportTypeAndRangeErrors) {
  const CheckCase cases[] = {
      {pftWord, "99999", "70000", 256},       {pftWord, "99999", "7a   ", 257},
      {pftShortInt, "iiii", "-129", 256},     {pftShortInt, "iiii", "-128", 0},
      {pftLongInt, "iiiiiiiiiii", "2147483648 ", 257},
      {pftDouble, "##########", "1.5.2     ", 257},
      {pftSingle, "EEEEEEEEEE", "1E39      ", 256},
      {pftBoolean, "B", "X", 256},            {pftYesNo, "Y", "n", 0},
      {pftDate, "mm/dd/yyyy", "  /  /    ", 0}, {pftDate, "mm/dd/yyyy", "02/30/2026", 259},
      {pftTime, "hh:mm:ss", "  :  :  ", 0},   {pftTime, "hh:mm:ss", "25:00:00", 260},
      {pftString, "XXX", "   ", 0},
  };
  for (const auto& c : cases) {
    const Conv conv(c.Type, c.Mask);
    EXPECT_EQ(c.Code, conv.Check(c.Text)) << c.Mask << " '" << c.Text << "'";
  }
  Conv ch(pftChar, "X");
  ch.C.RangeLo.Char = 'a', ch.C.RangeHi.Char = 'f';
  EXPECT_EQ(256, ch.Check("q"));
  EXPECT_EQ(0, ch.Check("c"));
}

TEST(CtlPicConv, NumbersThatDoNotFitAreOutOfRangeNotAnotherNumber) {
  const Conv small(pftShortInt, "ii");
  const AnsiString text = small.Text(Int(127));
  EXPECT_EQ("**", text);
  EXPECT_EQ(256, small.Check(text));
  const Conv money(pftDouble, "$$9.99");
  EXPECT_EQ(256, money.Check(money.Text(Float(12345.0))));
  EXPECT_EQ(" $5.25", money.Text(Float(5.25)));
  EXPECT_EQ(5.25L, money.Value(" $5.25").Float);
}

TEST(CtlPicConv, FloatingValuesKeepTheirDigits) {
  Conv fixed(pftDouble, "999.99");
  EXPECT_EQ(" 12.50", fixed.Text(Float(12.5)));
  EXPECT_EQ(12.5L, fixed.Value(" 12.50").Float);
  const Conv open(pftDouble, "##########");
  EXPECT_EQ("12.5      ", open.Text(Float(12.5)));  // not rounded to a whole number
  EXPECT_EQ(12.5L, open.Value("12.5      ").Float);
  const Conv comp(pftComp, "iiiiiiiiii");
  EXPECT_EQ("13        ", comp.Text(Float(12.6L)));
  fixed.C.Intl.DecimalChar = ',';
  fixed.C.Intl.ThousandsChar = '.';
  EXPECT_EQ(" 12,50", fixed.Text(Float(12.5)));
  EXPECT_EQ(12.5L, fixed.Value(" 12,50").Float);
}

TEST(CtlPicConv, StringsCharactersAndFlags) {
  Conv s(pftString, "XXXXX");
  TCtlPicValue v;
  v.Str = "abcdefg";
  EXPECT_EQ("abcde", s.Text(v));
  s.C.TrimBlanks = true;
  EXPECT_EQ("ab", s.Value(" ab  ").Str);
  EXPECT_EQ("", s.Value("     ").Str);
  Conv lit(pftString, "XX-XX");
  lit.C.StripLiterals = true;
  EXPECT_EQ("abcd", lit.Value("ab-cd").Str);

  const Conv b(pftBoolean, "B");
  v.Bool = true;
  EXPECT_EQ("T", b.Text(v));
  EXPECT_TRUE(b.Value("t").Bool);
  const Conv y(pftYesNo, "Y");
  v.Bool = false;
  EXPECT_EQ("N", y.Text(v));
  const Conv c(pftChar, "!");
  v.Char = 'q';
  EXPECT_EQ("Q", c.Text(v));
  EXPECT_EQ('Q', c.Value("Q").Char);
}

TEST(CtlPicConv, DatesAndTimesUnderTheirMasks) {
  const Conv d(pftDate, "mm/dd/yyyy");
  const TCtlDate christmas = DateFromDMY(25, 12, 2026, 1950);
  EXPECT_EQ("12/25/2026", d.Text(Int(christmas)));
  EXPECT_EQ(christmas, d.Value("12/25/2026").Int);
  EXPECT_EQ(NoDate, d.Value("13/45/2026").Int);
  EXPECT_EQ("  /  /    ", d.Text(Int(NoDate)));
  Conv ranged(pftDate, "mm/dd/yyyy");
  ranged.C.RangeLo.Int = christmas, ranged.C.RangeHi.Int = christmas + 6;
  EXPECT_EQ(256, ranged.Check("12/24/2026"));
  const Conv t(pftTime, "hh:mm:ss");
  EXPECT_EQ("01:01:01", t.Text(Int(3661)));
  EXPECT_EQ(3661, t.Value("01:01:01").Int);
  EXPECT_EQ(NoTime, t.Value("01:61:01").Int);
}

struct StepCase {
  int32_t From;
  bool Wrap;
  double Delta;
  std::optional<int32_t> To;
};

TEST(CtlPicConv, StepsIntegersWithAndWithoutWrap) {
  Conv c(pftShortInt, "iiii");
  c.C.RangeLo.Int = -5, c.C.RangeHi.Int = 5;
  const StepCase cases[] = {
      {0, false, 1, 1},   {5, false, 1, {}},   {5, true, 1, -5},  {-5, true, -1, 5},
      {-5, false, -1, {}}, {4, false, 3.9, 5}, {0, false, -2.7, -2},
  };
  for (const auto& k : cases) {
    const auto got = PictureStepValue(c.C, c.Text(Int(k.From)), 0, k.Wrap, k.Delta);
    ASSERT_EQ(k.To.has_value(), got.has_value()) << k.From << " " << k.Delta;
    if (got) {
      EXPECT_EQ(*k.To, got->Int) << k.From << " " << k.Delta;
    }
  }
  EXPECT_FALSE(PictureStepValue(c.C, "ab  ", 0, true, 1));  // no number: nothing
  const Conv f(pftDouble, "999.99");
  EXPECT_EQ(13.0L, PictureStepValue(f.C, " 12.50", 0, false, 0.5)->Float);
}

TEST(CtlPicConv, StepsCharactersFlagsDatesAndTimesWithinBounds) {
  Conv ch(pftChar, "9");
  EXPECT_EQ('6', PictureStepValue(ch.C, "5", 0, false, 1)->Char);
  EXPECT_EQ(' ', PictureStepValue(ch.C, "0", 0, true, -1)->Char);  // a blank is a digit position's too
  // A mask that takes nothing in range gives up after one turn and leaves the value.
  ch.C.RangeLo.Char = 'a', ch.C.RangeHi.Char = 'z';
  EXPECT_FALSE(PictureStepValue(ch.C, "5", 0, true, 1));
  const Conv yes(pftYesNo, "Y");
  EXPECT_TRUE(PictureStepValue(yes.C, "N", 0, false, 1)->Bool);

  Conv d(pftDate, "mm/dd/yyyy");
  d.C.RangeLo.Int = DateFromDMY(15, 1, 2026, 1950);
  d.C.RangeHi.Int = DateFromDMY(10, 3, 2026, 1950);
  EXPECT_EQ(DateFromDMY(28, 2, 2026, 1950), PictureStepValue(d.C, "01/31/2026", 0, false, 1)->Int);
  EXPECT_EQ(DateFromDMY(1, 2, 2026, 1950), PictureStepValue(d.C, "01/31/2026", 3, false, 1)->Int);
  EXPECT_FALSE(PictureStepValue(d.C, "03/05/2026", 0, false, 1));
  // A month step past the end wraps into the low bound's month and stays in range.
  EXPECT_EQ(DateFromDMY(20, 1, 2026, 1950), PictureStepValue(d.C, "03/20/2026", 0, true, 1)->Int);
  EXPECT_EQ(DateFromDMY(10, 2, 2026, 1950), PictureStepValue(d.C, "02/10/2026", 6, true, 1)->Int);

  const Conv t(pftTime, "hh:mm:ss");
  EXPECT_FALSE(PictureStepValue(t.C, "23:59:30", 3, false, 1));  // would pass midnight
  EXPECT_EQ(30, PictureStepValue(t.C, "23:59:30", 3, true, 1)->Int);
  EXPECT_EQ(3600 + 120, PictureStepValue(t.C, "01:01:00", 3, false, 1)->Int);
  EXPECT_EQ(2 * 3600 + 60, PictureStepValue(t.C, "01:01:00", 2, false, 1)->Int);  // a separator: the unit before it
}

}  // namespace
