// Date and time arithmetic against Python's datetime over the whole range, and the international
// support under two locales.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "controls/ctlIntlSup.h"
#include "platform/rtl/Regional.h"

namespace {

namespace fs = std::filesystem;

// Runs the checker on what the routines wrote; the checker prints what differs.
void checkWithPython(const fs::path& data, const char* script) {
  fs::path py = data.parent_path() / "check.py";
  std::ofstream(py) << script;
  std::string cmd = "python3 " + py.string() + " " + data.string() + " > " + data.string() + ".out 2>&1";
  int rc = std::system(cmd.c_str());
  std::ifstream in(data.string() + ".out");
  std::string report((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(rc, 0) << report;
}

struct TempFolder {
  fs::path Path;
  TempFolder() {
    char name[] = "/tmp/ctlintlXXXXXX";
    Path = mkdtemp(name);
  }
  ~TempFolder() { fs::remove_all(Path); }
};

const char* dateChecker = R"(
import sys, datetime
base = datetime.date(1600, 1, 1)
def add_months(d, months):
    m = d.year * 12 + d.month - 1 + months
    y, m = divmod(m, 12)
    if y < 1600 or y > 3999: return -1
    import calendar
    day = min(d.day, calendar.monthrange(y, m + 1)[1])
    return (datetime.date(y, m + 1, day) - base).days
bad = 0
for line in open(sys.argv[1]):
    j, d, m, y, wd, leap, plus1m, minus13m, plus1y, plus40d = map(int, line.split())
    date = base + datetime.timedelta(days=j)
    exp = (date.day, date.month, date.year, (date.weekday() + 1) % 7,
           int(date.year % 4 == 0 and (date.year % 100 != 0 or date.year % 400 == 0)),
           add_months(date, 1), add_months(date, -13), add_months(date, 12))
    later = date + datetime.timedelta(days=40)
    got = (d, m, y, wd, leap, plus1m, minus13m, plus1y)
    if got != exp or (later.year <= 3999 and plus40d != (later - base).days):
        bad += 1
        if bad < 10: print(j, got, exp, plus40d)
sys.exit(1 if bad else 0)
)";

const char* timeChecker = R"(
import sys
bad = 0
for line in open(sys.argv[1]):
    t, h, m, s, again, plus, minus = map(int, line.split())
    step = 1 * 3600 + 59 * 60 + 59
    exp = (t // 3600, t % 3600 // 60, t % 60, t, (t + step) % 86400, (t - step) % 86400)
    if (h, m, s, again, plus, minus) != exp:
        bad += 1
        if bad < 10: print(t, (h, m, s, again, plus, minus), exp)
sys.exit(1 if bad else 0)
)";

// Restores the United States settings for the tests that follow.
struct LocaleScope {
  explicit LocaleScope(const char* name) : Loaded(LoadRegionalSettings(name)) {}
  ~LocaleScope() { LoadRegionalSettings("C"); }
  bool Loaded;
};

}  // namespace

TEST(CtlDates, EveryDayAgreesWithPython) {
  TempFolder dir;
  fs::path data = dir.Path / "days.txt";
  {
    std::ofstream out(data);
    for (TCtlDate j = 0; j <= ctlLastDate; ++j) {
      int d, m, y;
      DMYFromDate(j, d, m, y);
      ASSERT_EQ(DateFromDMY(d, m, y, 1900), j);
      ASSERT_EQ(WeekdayOfDMY(d, m, y, 1900), WeekdayOfDate(j));
      TCtlDate later = DateFromDMY(d, m, y, 1900) + 40;
      out << j << ' ' << d << ' ' << m << ' ' << y << ' ' << WeekdayOfDate(j) << ' ' << LeapYear(y) << ' '
          << AddToDate(j, 1, 0) << ' ' << AddToDate(j, -13, 0) << ' ' << AddToDate(j, 0, 1) << ' ' << later << '\n';
    }
  }
  checkWithPython(data, dateChecker);
}

TEST(CtlDates, EverySecondAgreesWithPython) {
  TempFolder dir;
  fs::path data = dir.Path / "seconds.txt";
  {
    std::ofstream out(data);
    for (TCtlTime t = 0; t < ctlSecondsPerDay; ++t) {
      int h, m, s;
      HMSFromTime(t, h, m, s);
      ASSERT_TRUE(IsValidTime(h, m, s));
      out << t << ' ' << h << ' ' << m << ' ' << s << ' ' << TimeFromHMS(h, m, s) << ' '
          << AddToTime(t, 1, 59, 59) << ' ' << SubtractFromTime(t, 1, 59, 59) << '\n';
    }
  }
  checkWithPython(data, timeChecker);
}

TEST(CtlDates, BoundsEpochsAndInvalidValues) {
  EXPECT_EQ(DateFromDMY(1, 1, 1600, 0), 0);
  EXPECT_EQ(DateFromDMY(29, 2, 1600, 0), 59);
  EXPECT_EQ(DateFromDMY(1, 3, 1600, 0), 60);
  EXPECT_EQ(DateFromDMY(31, 12, 3999, 0), ctlLastDate);
  EXPECT_EQ(DateFromDMY(1, 1, 4000, 0), NoDate);
  EXPECT_EQ(DateFromDMY(29, 2, 1900, 0), NoDate);
  EXPECT_EQ(ResolveEpoch(95, 1990), 1995);
  EXPECT_EQ(ResolveEpoch(5, 1990), 2005);
  EXPECT_EQ(MonthLength(2, 0, 2000), 29);
  EXPECT_EQ(MonthLength(13, 2000, 0), 0);
  EXPECT_FALSE(LeapYear(4000));
  EXPECT_EQ(WeekdayOfDate(NoDate), 7);
  EXPECT_EQ(AddToDate(DateFromDMY(31, 1, 2001, 0), 1, 0), DateFromDMY(28, 2, 2001, 0));
  EXPECT_EQ(AddToDate(DateFromDMY(29, 2, 2000, 0), 0, 1), DateFromDMY(28, 2, 2001, 0));
  EXPECT_EQ(AddToDate(DateFromDMY(1, 12, 3999, 0), 1, 0), NoDate);
  EXPECT_EQ(TimeFromHMS(25, 0, 0), 3600);
  EXPECT_EQ(TimeFromHMS(0, INT32_MAX, 0), int32_t(int64_t(INT32_MAX) * 60 % 86400)) << "no overflow";
  EXPECT_EQ(TimeFromHMS(0, 0, -1), 86399);
  EXPECT_EQ(SubtractFromTime(0, 1, 0, 0), 82800);
  EXPECT_FALSE(IsValidTime(24, 0, 0));
  EXPECT_EQ(DateFromDateTime(EncodeDate(2026, 12, 9)), DateFromDMY(9, 12, 2026, 0));
}

TEST(CtlIntlSup, CLocaleDefaultsAndMasks) {
  LocaleScope scope("C");
  ASSERT_TRUE(scope.Loaded);
  TCtlIntlSup intl;
  EXPECT_EQ(intl.DecimalChar(), '.');
  EXPECT_EQ(intl.ThousandsChar(), ',');
  EXPECT_EQ(intl.CurrencyTextLeft(), "$");
  EXPECT_EQ(intl.ShortDatePicture(), "M/d/yyyy");
  EXPECT_EQ(intl.IntlDateMask(false), "MM/DD/yyyy");
  EXPECT_EQ(intl.IntlTimeMask(true), "Hh:mm:ss tt");
  EXPECT_EQ(intl.IntlTimeMask(false), "Hh:mm tt");
  EXPECT_EQ(intl.LongDatePicture(), "wwww, nnnn dd, yyyy");
  EXPECT_EQ(intl.YesChar(), 'Y');
  EXPECT_EQ(intl.FalseChar(), 'F');
  EXPECT_EQ(intl.DateTextFromDate("wwww, nnnn dd, yyyy", DateFromDMY(9, 12, 2026, 0), true),
            "Wedn, Dece 09, 2026");
}

TEST(CtlIntlSup, GermanLocaleSettings) {
  LocaleScope scope("de_DE.UTF-8");
  if (!scope.Loaded) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  TCtlIntlSup intl;
  EXPECT_EQ(intl.DecimalChar(), ',');
  EXPECT_EQ(intl.ThousandsChar(), '.');
  EXPECT_EQ(intl.DateSeparator(), '.');
  EXPECT_EQ(intl.CurrencyTextRight(), " \x80");
  EXPECT_EQ(intl.ShortDatePicture(), "dd/MM/yyyy");
  EXPECT_EQ(intl.IntlDateMask(true), "dd/mm/yyyy");
  EXPECT_EQ(intl.IntlTimeMask(true), "hh:mm:ss");
  TCtlDate d = intl.DateFromDateText("dd/mm/yyyy", "24.12.2026", 2000);
  EXPECT_EQ(d, DateFromDMY(24, 12, 2026, 0));
  EXPECT_EQ(intl.DateTextFromDate("dd/mm/yyyy", d, false), "24.12.2026");
  EXPECT_EQ(intl.DateTextFromDate("dd/nnnn/yyyy", DateFromDMY(1, 3, 2026, 0), false), "01.M\xE4rz.2026");
  EXPECT_EQ(intl.DateFromDateText("dd/nnn/yyyy", "01.M\xC4R.2026", 2000), DateFromDMY(1, 3, 2026, 0));
}

TEST(CtlIntlSup, DateTextConversions) {
  LocaleScope scope("C");
  TCtlIntlSup intl;
  struct Case {
    const char* text;
    TCtlDate expected;
  } cases[] = {
      {"02/29/01", NoDate},
      {"02/29/96", DateFromDMY(29, 2, 1996, 0)},
      {"12/31/89", DateFromDMY(31, 12, 2089, 0)},
      {"13/01/96", NoDate},
      {"1x/01/96", NoDate},
      {"  /  /  ", NoDate},
  };
  for (const Case& c : cases) EXPECT_EQ(intl.DateFromDateText("mm/dd/yy", c.text, 1990), c.expected) << c.text;
  EXPECT_EQ(intl.DateFromDateText("mm/dd/yy", "02/29/1996", 1990), NoDate) << "lengths differ";
  EXPECT_TRUE(intl.DateTextIsBlank("mm/dd/yy", "  /  /  "));
  EXPECT_FALSE(intl.DateTextIsBlank("mm/dd/yy", "  /01/  "));
  EXPECT_EQ(intl.DateTextFromDate("mm/dd/yy", NoDate, false), "  /  /  ");
  EXPECT_EQ(intl.DateTextFromDate("mm/dd/yyyy", DateFromDMY(30, 12, 1899, 0), false), "  /  /    ");
  EXPECT_EQ(intl.DateTextFromDate("mm/dd/yyyy", DateFromDMY(31, 12, 1899, 0), false), "12/31/1899");
  EXPECT_EQ(intl.DateTextFromDate("MM/DD/yy", DateFromDMY(5, 3, 2026, 0), false), " 3/ 5/26");
  EXPECT_EQ(intl.DateTextFromDate("MM/DD/yy", DateFromDMY(5, 3, 2026, 0), true), "3/5/26");
  EXPECT_EQ(intl.DateTextFromDMY("NNN ww", 5, 3, 26, 2000, false), "MAR Th");
}

TEST(CtlIntlSup, TimeTextConversions) {
  LocaleScope scope("C");
  TCtlIntlSup intl;
  TCtlTime t1305 = TimeFromHMS(13, 5, 0);
  EXPECT_EQ(intl.TimeTextFromTime("hh:mm tt", t1305, false), "01:05 PM");
  EXPECT_EQ(intl.TimeTextFromTime("HH:MM", t1305, false), "13: 5");
  EXPECT_EQ(intl.TimeTextFromTime("hh:mm tt", TimeFromHMS(0, 30, 0), false), "12:30 AM");
  EXPECT_EQ(intl.TimeTextFromTime("hh:mm tt", NoTime, false), "  :   AM");
  EXPECT_EQ(intl.TimeTextFromTime("Hh:mm tt", TimeFromHMS(9, 0, 0), true), "9:00 AM");
  struct Case {
    const char* text;
    TCtlTime expected;
  } cases[] = {
      {"12:30 AM", TimeFromHMS(0, 30, 0)}, {"00:30 PM", TimeFromHMS(12, 30, 0)}, {"00:30 AM", NoTime},
      {"12:30 pm", TimeFromHMS(12, 30, 0)}, {"13:30 PM", NoTime},             {"11:30   ", NoTime},
      {"11:61 AM", NoTime},                 {"11:  AM ", NoTime},
  };
  for (const Case& c : cases) EXPECT_EQ(intl.TimeFromTimeText("hh:mm tt", c.text), c.expected) << c.text;
  char buffer[ctlPictureCapacity + 1];
  EXPECT_STREQ(intl.TimeTextFromTime(buffer, "hh:mm tt", t1305, false), "01:05 PM");
  std::string longPicture(400, 'h');
  EXPECT_EQ(std::strlen(intl.TimeTextFromTime(buffer, longPicture.c_str(), t1305, false)), 255u)
      << "a picture is cut at its capacity, never written past it";
}

TEST(CtlIntlSup, QuotedLiteralsMoveToTheirSlots) {
  TCtlLiteralSlots slots;
  EXPECT_EQ(CtlLongDatePicture("dddd 'de' MMMM yyyy", slots), "wwww ff nnnn yyyy");
  EXPECT_EQ(slots[0], "de");
  EXPECT_EQ(CtlLongDatePicture("d 'abcdefgh'x'y'.MMMM", slots), "d ffffffxg. nnnn");
  EXPECT_EQ(slots[0], "abcdef");
  EXPECT_EQ(slots[1], "y");
  EXPECT_EQ(slots[2], "");
  EXPECT_EQ(CtlLongDatePicture("dd,MM 'open", slots), "dd, MM ffff");
  EXPECT_EQ(slots[0], "open");
  // Over-long settings are cut at the picture's capacity, never written past it.
  EXPECT_EQ(CtlLongDatePicture(AnsiString(60, ','), slots).size(), std::size_t(ctlLongDateCapacity));
  LocaleScope scope("C");
  TCtlIntlSup intl;
  EXPECT_EQ(intl.DateTextFromDMY("wwww ff nnnn", 1, 2, 2026, 2000, false), "Sund    Febr");
}
