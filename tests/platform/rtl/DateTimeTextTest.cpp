#include <gtest/gtest.h>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Regional.h"

namespace {
struct UsSettings {
  UsSettings() { FormatSettings() = TFormatSettings{}; }
  ~UsSettings() { FormatSettings() = TFormatSettings{}; }
};
}  // namespace

TEST(DateTimeText, FormatDateTimeTokens) {
  UsSettings us;
  TDateTime d = EncodeDate(2026, 12, 8) + EncodeTime(21, 4, 5, 7);
  TDateTime midnight = EncodeDate(1999, 1, 2);
  struct Case {
    const char* fmt;
    TDateTime dt;
    const char* want;
  };
  const Case cases[] = {
      {"yyyy-mm-dd hh:nn:ss.zzz", d, "2026-12-08 21:04:05.007"},
      {"d/m/yy", d, "8/12/26"},
      {"ddd dddd mmm mmmm", d, "Tue Tuesday Dec December"},
      {"ddddd", d, "12/8/2026"},
      {"dddddd", d, "Tuesday, December 08, 2026"},
      {"h:mm", d, "21:04"},          // m right after h is minutes
      {"hh 'h' mm", d, "21 h 04"},   // also across a literal
      {"h:mm am/pm", d, "9:04 pm"},
      {"h:mm AM/PM", midnight, "12:00 AM"},
      {"h a/p", d, "9 p"},
      {"t", d, "9:04 PM"},
      {"tt", d, "9:04:05 PM"},
      {"c", d, "12/8/2026 9:04:05 PM"},
      {"c", midnight, "1/2/1999"},
      {"\"yyyy\" yyyy", d, "yyyy 2026"},
      {"s z", d, "5 7"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.fmt, c.dt), c.want) << c.fmt;
  EXPECT_EQ(DateToStr(d), "12/8/2026");
  EXPECT_EQ(TimeToStr(d), "9:04:05 PM");
  EXPECT_EQ(DateTimeToStr(d), "12/8/2026 9:04:05 PM");

  FormatSettings().DateSeparator = '-';
  FormatSettings().TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd hh:nn", d), "2026-12-08 21.04");
}

TEST(DateTimeText, StrToDateFollowsTheShortDatePicture) {
  UsSettings us;
  int thisYear, m, dd;
  DecodeDate(Date(), thisYear, m, dd);
  struct Case {
    const char* text;
    int y, mo, d;
  };
  const Case cases[] = {
      {"12/8/2026", 2026, 12, 8},
      {" 1/02/1999 ", 1999, 1, 2},
      {"2/29/2024", 2024, 2, 29},
      {"3/4", thisYear, 3, 4},
      {"1/1/0099", 99, 1, 1},  // four digits given: taken as written
  };
  for (const auto& c : cases) EXPECT_EQ(StrToDate(c.text), EncodeDate(c.y, c.mo, c.d)) << c.text;

  // Two-digit years fall within the window ending 50 years ahead of this year.
  int yy = (thisYear + 10) % 100;
  TDateTime near = StrToDate("1/1/" + std::to_string(yy));
  int y, mo, d;
  DecodeDate(near, y, mo, d);
  EXPECT_EQ(y, thisYear + 10);
  DecodeDate(StrToDate("1/1/" + std::to_string((thisYear - 60) % 100)), y, mo, d);
  EXPECT_EQ(y, thisYear + 40);

  for (const char* bad : {"", "12", "13/1/2026", "2/29/2023", "1/2/3/4", "a/b/c", "12-8-2026", "1/0/2020"})
    EXPECT_THROW(StrToDate(bad), EConvertError) << bad;

  FormatSettings().ShortDateFormat = "yyyy-MM-dd";
  FormatSettings().DateSeparator = '-';
  EXPECT_EQ(StrToDate("2026-12-08"), EncodeDate(2026, 12, 8));
  FormatSettings().ShortDateFormat = "dd.MM.yyyy";
  FormatSettings().DateSeparator = '.';
  EXPECT_EQ(StrToDate("08.12.2026"), EncodeDate(2026, 12, 8));
}

TEST(DateTimeText, StrToTimeAndRoundTrips) {
  UsSettings us;
  EXPECT_EQ(StrToTime("21:04:05"), EncodeTime(21, 4, 5, 0));
  EXPECT_EQ(StrToTime("9:04 pm"), EncodeTime(21, 4, 0, 0));
  EXPECT_EQ(StrToTime("12:00 AM"), 0.0);
  EXPECT_EQ(StrToTime("12:30 PM"), EncodeTime(12, 30, 0, 0));
  for (const char* bad : {"25:00", "13:00 PM", "0:10 AM", "10:60", "x", "10:00 XM"})
    EXPECT_THROW(StrToTime(bad), EConvertError) << bad;

  TDateTime d = EncodeDate(2026, 12, 8) + EncodeTime(21, 4, 5, 0);
  EXPECT_EQ(StrToDateTime(DateTimeToStr(d)), d);
  EXPECT_EQ(StrToDate(DateToStr(d)), EncodeDate(2026, 12, 8));
  EXPECT_EQ(StrToTime(TimeToStr(d)), EncodeTime(21, 4, 5, 0));
  EXPECT_THROW(StrToDateTime("12/8/2026 junk"), EConvertError);
}
