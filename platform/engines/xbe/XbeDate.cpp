#include "platform/engines/xbe/XbeDate.h"

#include <cstdio>
#include <ctime>

namespace xbe {

int64_t DayNumber(int year, int month, int day) {
  // Julian day number of the proleptic Gregorian calendar.
  int64_t a = (14 - month) / 12;
  int64_t y = year + 4800 - a;
  int64_t m = month + 12 * a - 3;
  return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void CalendarDate(int64_t n, int& year, int& month, int& day) {
  int64_t a = n + 32044;
  int64_t b = (4 * a + 3) / 146097;
  int64_t c = a - 146097 * b / 4;
  int64_t d = (4 * c + 3) / 1461;
  int64_t e = c - 1461 * d / 4;
  int64_t m = (5 * e + 2) / 153;
  day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
  month = static_cast<int>(m + 3 - 12 * (m / 10));
  year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

int64_t DayFromDtos(std::string_view t) {
  if (t.size() < 8) return 0;
  int v[3] = {0, 0, 0};
  const int widths[3] = {4, 2, 2};
  std::size_t p = 0;
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < widths[i]; ++k, ++p) {
      if (t[p] < '0' || t[p] > '9') return 0;
      v[i] = v[i] * 10 + (t[p] - '0');
    }
  if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31) return 0;
  int64_t n = DayNumber(v[0], v[1], v[2]);
  int y, m, d;
  CalendarDate(n, y, m, d);
  return (m == v[1] && d == v[2]) ? n : 0;
}

std::string DtosFromDay(int64_t n) {
  if (n <= 0) return std::string(8, ' ');
  int y, m, d;
  CalendarDate(n, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y % 10000, m, d);
  return buf;
}

int64_t Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return DayNumber(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string FormatDate(int64_t n, int code, bool century) {
  // Order of the parts (Y, M, D) and the separator for each code. No regional settings reach
  // the engine, so the system default is the American form.
  const char* order = "MDY";
  char sep = '/';
  switch (code) {
    case 1: order = "YMD"; sep = '.'; break;
    case 2: case 3: case 6: order = "DMY"; break;
    case 4: order = "DMY"; sep = '.'; break;
    case 5: order = "DMY"; sep = '-'; break;
    default: break;
  }
  int y = 0, m = 0, d = 0;
  if (n > 0) CalendarDate(n, y, m, d);
  std::string out;
  for (int i = 0; i < 3; ++i) {
    if (i) out += sep;
    char buf[8];
    switch (order[i]) {
      case 'Y':
        if (century) std::snprintf(buf, sizeof buf, "%04d", y % 10000);
        else std::snprintf(buf, sizeof buf, "%02d", y % 100);
        break;
      case 'M': std::snprintf(buf, sizeof buf, "%02d", m); break;
      default: std::snprintf(buf, sizeof buf, "%02d", d); break;
    }
    out += buf;
  }
  if (n <= 0)
    for (char& c : out)
      if (c != sep) c = ' ';
  return out;
}

}  // namespace xbe
