#include "controls/ctlDates.h"

namespace {

// Floor division, so that the arithmetic holds on both sides of zero.
int32_t fdiv(int32_t a, int32_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int32_t fmod(int32_t a, int32_t b) { return a - fdiv(a, b) * b; }

struct TStartDay {
  int Year = 0;
  int Month = 0;
  TStartDay() {
    int d = 0;
    DecodeDate(Date(), Year, Month, d);
  }
};

const TStartDay& startDay() {
  static const TStartDay day;
  return day;
}

}  // namespace

bool LeapYear(int Year) {
  return Year % 4 == 0 && Year % 4000 != 0 && (Year % 100 != 0 || Year % 400 == 0);
}

int ResolveEpoch(int Year, int Epoch) {
  if (Year >= 100) return Year;
  int y = Year + (Epoch / 100) * 100;
  if (Year < Epoch % 100) y += 100;
  return y;
}

int MonthLength(int Month, int Year, int Epoch) {
  Year = ResolveEpoch(Year, Epoch);
  if (Year < ctlFirstYear || Year > ctlLastYear || Month < 1 || Month > 12) return 0;
  switch (Month) {
    case 2: return LeapYear(Year) ? 29 : 28;
    case 4: case 6: case 9: case 11: return 30;
    default: return 31;
  }
}

bool IsValidDate(int Day, int Month, int Year, int Epoch) {
  Year = ResolveEpoch(Year, Epoch);
  return Day >= 1 && Year >= ctlFirstYear && Year <= ctlLastYear && Month >= 1 && Month <= 12 &&
         Day <= MonthLength(Month, Year, Epoch);
}

TCtlDate DateFromDMY(int Day, int Month, int Year, int Epoch) {
  Year = ResolveEpoch(Year, Epoch);
  if (!IsValidDate(Day, Month, Year, Epoch)) return NoDate;
  if (Year == ctlFirstYear && Month < 3) return Month == 1 ? Day - 1 : Day + 30;
  int32_t y = Year - ctlFirstYear;
  int32_t m = Month;
  if (m < 3) {
    --y;
    m += 12;
  }
  return (y / 100) * ctlDaysPer400Years / 4 + (y % 100) * ctlDaysPer4Years / 4 +
         (ctlDaysPer5Months * m - 457) / 5 + Day + 59;
}

void DMYFromDate(TCtlDate Date, int& Day, int& Month, int& Year) {
  if (Date == NoDate) {
    Day = Month = Year = 0;
    return;
  }
  if (Date <= 59) {
    Year = ctlFirstYear;
    if (Date > 30) {
      Month = 2;
      Day = Date - 30;
    } else {
      Month = 1;
      Day = Date + 1;
    }
    return;
  }
  int32_t t = 4 * Date - 237;
  int32_t century = fdiv(t, ctlDaysPer400Years);
  t = fmod(t, ctlDaysPer400Years) | 3;
  int32_t y = century * 100 + t / ctlDaysPer4Years;
  t = (t % ctlDaysPer4Years + 4) / 4 * 5 - 3;
  int32_t m = t / ctlDaysPer5Months;
  Day = (t % ctlDaysPer5Months + 5) / 5;
  if (m > 9) {
    m -= 9;
    ++y;
  } else {
    m += 3;
  }
  Month = m;
  Year = y + ctlFirstYear;
}

TCtlDate AddToDate(TCtlDate Date, int Months, int Years) {
  int d, m, y;
  DMYFromDate(Date, d, m, y);
  int excess = 0;
  if (d > 28) {
    excess = d - 28;
    d = 28;
  }
  int64_t months = int64_t(y) * 12 + (m - 1) + int64_t(Years) * 12 + Months;
  if (months < 0 || months > int64_t(ctlLastYear + 1) * 12) return NoDate;
  y = int(months / 12);
  m = int(months % 12) + 1;
  TCtlDate result = DateFromDMY(d, m, y, 0);
  if (result == NoDate) return NoDate;
  int room = MonthLength(m, y, 0) - 28;
  return result + (excess < room ? excess : room);
}

int WeekdayOfDate(TCtlDate Date) { return Date == NoDate ? 7 : fmod(Date + 6, 7); }

int WeekdayOfDMY(int Day, int Month, int Year, int Epoch) {
  return WeekdayOfDate(DateFromDMY(Day, Month, Year, Epoch));
}

TCtlDate TodayDate() { return DateFromDateTime(Date()); }

TCtlDate DateFromDateTime(TDateTime Value) {
  int y, m, d;
  DecodeDate(Value, y, m, d);
  return DateFromDMY(d, m, y, 0);
}

TCtlTime TimeFromHMS(int Hours, int Minutes, int Seconds) {
  int64_t t = int64_t(Hours % 24) * 3600 + int64_t(Minutes) * 60 + Seconds;
  return static_cast<TCtlTime>((t % ctlSecondsPerDay + ctlSecondsPerDay) % ctlSecondsPerDay);
}

void HMSFromTime(TCtlTime Time, int& Hours, int& Minutes, int& Seconds) {
  if (Time == NoTime) {
    Hours = Minutes = Seconds = 0;
    return;
  }
  Hours = Time / 3600;
  Minutes = Time % 3600 / 60;
  Seconds = Time % 60;
}

bool IsValidTime(int Hours, int Minutes, int Seconds) {
  return Hours >= 0 && Hours <= 23 && Minutes >= 0 && Minutes <= 59 && Seconds >= 0 && Seconds <= 59;
}

TCtlTime NowTime() {
  int h, m, s, ms;
  DecodeTime(Time(), h, m, s, ms);
  return TimeFromHMS(h, m, s);
}

TCtlTime AddToTime(TCtlTime Time, int Hours, int Minutes, int Seconds) {
  return static_cast<TCtlTime>((int64_t(Time) + TimeFromHMS(Hours, Minutes, Seconds)) % ctlSecondsPerDay);
}

TCtlTime SubtractFromTime(TCtlTime Time, int Hours, int Minutes, int Seconds) {
  TCtlTime t = Time - TimeFromHMS(Hours % 24, Minutes, Seconds);
  return t < 0 ? t + ctlSecondsPerDay : t;
}

int DefaultYear() { return startDay().Year; }
int DefaultMonth() { return startDay().Month; }
