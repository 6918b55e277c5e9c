#include "platform/rtl/DateTime.h"

#include <sys/time.h>

#include <cmath>
#include <ctime>

#include "platform/rtl/Exceptions.h"

namespace {
constexpr int kDaysBeforeMonth[2][13] = {{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
                                         {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};
}

bool IsLeapYear(int y) { return (y % 4 == 0) && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m) {
  const auto& t = kDaysBeforeMonth[IsLeapYear(y)];
  return (m < 1 || m > 12) ? 0 : t[m] - t[m - 1];
}

bool TryEncodeDate(int y, int m, int d, TDateTime& out) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  int yy = y - 1;
  long days = static_cast<long>(yy) * 365 + yy / 4 - yy / 100 + yy / 400 + kDaysBeforeMonth[IsLeapYear(y)][m - 1] + d;
  out = static_cast<double>(days - 693594);  // day 0 is 30 December 1899
  return true;
}

bool TryEncodeTime(int h, int mi, int s, int ms, TDateTime& out) {
  if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
  out = ((h * 3600000.0) + (mi * 60000.0) + (s * 1000.0) + ms) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int y, int m, int d) {
  TDateTime r;
  if (!TryEncodeDate(y, m, d, r)) throw EConvertError("Invalid argument to date encode");
  return r;
}

TDateTime EncodeTime(int h, int mi, int s, int ms) {
  TDateTime r;
  if (!TryEncodeTime(h, mi, s, ms, r)) throw EConvertError("Invalid argument to time encode");
  return r;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  long n = static_cast<long>(std::floor(dt)) + 693594;  // days since 1 January 0001, 1-based
  if (n <= 0) {
    year = month = day = 0;
    return;
  }
  --n;
  long y400 = n / 146097;
  n %= 146097;
  long y100 = std::min(n / 36524, 3L);
  n -= y100 * 36524;
  long y4 = n / 1461;
  n %= 1461;
  long y1 = std::min(n / 365, 3L);
  n -= y1 * 365;
  year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  const auto& t = kDaysBeforeMonth[IsLeapYear(year)];
  month = 1;
  while (month < 12 && n >= t[month]) ++month;
  day = static_cast<int>(n - t[month - 1] + 1);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
  double frac = dt - std::floor(dt);
  long ms = std::lround(frac * MSecsPerDay);
  if (ms >= 86400000) ms = 86399999;
  hour = static_cast<int>(ms / 3600000);
  min = static_cast<int>(ms / 60000 % 60);
  sec = static_cast<int>(ms / 1000 % 60);
  msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime dt) {
  long d = static_cast<long>(std::floor(dt));
  return static_cast<int>(((d - 1) % 7 + 7) % 7) + 1;  // 30 Dec 1899 was a Saturday
}

TDateTime UnixToDateTime(int64_t unixSeconds) {
  time_t t = static_cast<time_t>(unixSeconds);
  struct tm lt{};
  localtime_r(&t, &lt);
  TDateTime d = EncodeDate(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday);
  return d + EncodeTime(lt.tm_hour, lt.tm_min, lt.tm_sec, 0);
}

int64_t DateTimeToUnix(TDateTime dt) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  struct tm lt{};
  lt.tm_year = y - 1900;
  lt.tm_mon = mo - 1;
  lt.tm_mday = d;
  lt.tm_hour = h;
  lt.tm_min = mi;
  lt.tm_sec = s;
  lt.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&lt));
}

TDateTime Now() {
  struct timeval tv{};
  gettimeofday(&tv, nullptr);
  return UnixToDateTime(tv.tv_sec) + (tv.tv_usec / 1000) / MSecsPerDay;
}

TDateTime Date() { return std::floor(Now()); }
TDateTime Time() {
  TDateTime n = Now();
  return n - std::floor(n);
}
