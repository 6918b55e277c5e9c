#include <gtest/gtest.h>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {
// Puts the United States defaults back for the next test in this process.
struct RegionalScope {
  ~RegionalScope() { LoadRegionalSettings("C"); }
};

struct Key {
  const char* name;
  const char* value;
};

void expectKeys(const std::vector<Key>& keys) {
  for (const auto& k : keys) EXPECT_EQ(GetProfileString("intl", k.name, "<none>"), k.value) << k.name;
}
}  // namespace

TEST(Regional, CLocaleAnswersTheUnitedStatesDefaults) {
  RegionalScope scope;
  ASSERT_TRUE(LoadRegionalSettings("C"));
  expectKeys({{"sDecimal", "."}, {"sThousand", ","}, {"sCurrency", "$"}, {"iCurrency", "0"},
              {"iCurrDigits", "2"}, {"iNegCurr", "0"}, {"sDate", "/"}, {"sTime", ":"}, {"sTTime", ":"},
              {"sShortDate", "M/d/yyyy"}, {"sLongDate", "dddd, MMMM dd, yyyy"}, {"s1159", "AM"},
              {"s2359", "PM"}, {"iDate", "0"}, {"iTime", "0"}, {"iTLZero", "0"}, {"iCountry", "1"},
              {"sCountry", "United States"}, {"iMeasure", "1"}, {"sList", ","}, {"iLZero", "1"},
              {"iDigits", "2"}, {"SDECIMAL", "."}});
  EXPECT_EQ(GetProfileString("intl", "sNoSuchKey", "dflt"), "dflt");
  EXPECT_EQ(GetProfileString("windows", "sDecimal", "dflt"), "dflt");
  EXPECT_EQ(GetProfileInt("INTL", "iCurrDigits", 9), 2);
  EXPECT_EQ(GetProfileInt("intl", "sDecimal", 9), 9);

  const TFormatSettings& fs = FormatSettings();
  EXPECT_EQ(fs.DecimalSeparator, '.');
  EXPECT_EQ(fs.ShortDateFormat, "M/d/yyyy");
  EXPECT_EQ(fs.LongTimeFormat, "h:mm:ss AMPM");
  EXPECT_EQ(fs.LongMonthNames[0], "January");
  EXPECT_EQ(Format("%0.0n", {1234567.0}), "1,234,567");
}

TEST(Regional, GermanLocaleAnswersItsOwnConventions) {
  RegionalScope scope;
  if (!LoadRegionalSettings("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  expectKeys({{"sDecimal", ","}, {"sThousand", "."}, {"sCurrency", "\x80"}, {"iCurrency", "3"},
              {"iCurrDigits", "2"}, {"iNegCurr", "8"}, {"sDate", "."}, {"sTime", ":"},
              {"sShortDate", "dd.MM.yyyy"}, {"iDate", "1"}, {"iTime", "1"}, {"iTLZero", "1"},
              {"iCountry", "49"}, {"sCountry", "Germany"}, {"iMeasure", "0"}, {"sList", ";"}});

  const TFormatSettings& fs = FormatSettings();
  EXPECT_EQ(fs.DecimalSeparator, ',');
  EXPECT_EQ(fs.ThousandSeparator, '.');
  EXPECT_EQ(fs.LongTimeFormat, "hh:mm:ss");
  EXPECT_EQ(fs.LongMonthNames[2], "M\xE4rz");  // in the code page, not UTF-8

  struct Case {
    const char* fmt;
    TVarRec arg;
    const char* want;
  };
  const Case cases[] = {
      {"%0.0n", 1234567.0, "1.234.567"},
      {"%.2n", -1234.5, "-1.234,50"},
      {"%.1f", 2.25, "2,3"},
      {"%m", 1234.5, "1.234,50 \x80"},
      {"%m", -3.0, "-3,00 \x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, {c.arg}), c.want) << c.fmt;

  TDateTime d = EncodeDate(2026, 3, 7) + EncodeTime(9, 5, 3, 0);
  EXPECT_EQ(DateToStr(d), "07.03.2026");
  EXPECT_EQ(TimeToStr(d), "09:05:03");
  EXPECT_EQ(FormatDateTime("dddd, d. mmmm yyyy", d), "Samstag, 7. M\xE4rz 2026");
  EXPECT_EQ(StrToDate("7.3.2026"), EncodeDate(2026, 3, 7));
  EXPECT_THROW(StrToDate("3/7/2026"), EConvertError);
}

TEST(Regional, UnknownLocaleLeavesTheSettings) {
  RegionalScope scope;
  ASSERT_TRUE(LoadRegionalSettings("C"));
  EXPECT_FALSE(LoadRegionalSettings("xx_NOWHERE.UTF-8"));
  EXPECT_EQ(GetProfileString("intl", "sDecimal", ""), ".");
}
