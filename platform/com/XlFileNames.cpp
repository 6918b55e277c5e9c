#include "platform/com/XlFileNames.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr TXlFileName HorizontalNames[] = {{1, "General"},  {-4131, "Left"},    {-4108, "Center"},
                                           {-4152, "Right"}, {-4117, "Fill"},    {-4130, "Justify"},
                                           {7, "CenterAcrossSelection"}};
constexpr TXlFileName VerticalNames[] = {
    {-4160, "Top"}, {-4108, "Center"}, {-4107, "Bottom"}, {-4130, "Justify"}, {-4117, "Distributed"}};
constexpr TXlFileName LineNames[] = {{1, "Continuous"}, {-4115, "Dash"}, {4, "DashDot"}, {5, "DashDotDot"},
                                     {-4118, "Dot"},    {-4119, "Double"}, {13, "SlantDashDot"}};
constexpr TXlFileName WeightNames[] = {{1, "0"}, {2, "1"}, {-4138, "2"}, {4, "3"}};
// The automatic pattern is a solid one in the automatic colour: the file knows it only as solid.
constexpr TXlFileName PatternNames[] = {
    {xlNone, "None"},          {1, "Solid"},         {xlPatternAutomatic, "Solid"},
    {-4126, "Gray75"},         {-4125, "Gray50"},    {-4124, "Gray25"},
    {17, "Gray125"},           {18, "Gray0625"},     {-4128, "HorzStripe"},
    {-4166, "VertStripe"},     {-4121, "ReverseDiagStripe"}, {-4162, "DiagStripe"},
    {9, "DiagCross"},          {10, "ThickDiagCross"}, {11, "ThinHorzStripe"},
    {12, "ThinVertStripe"},    {13, "ThinReverseDiagStripe"}, {14, "ThinDiagStripe"},
    {15, "ThinHorzCross"},     {16, "ThinDiagCross"}};

constexpr long long DaysToOleEpoch = 693899;  // from 1 March of year 0 to 30 December 1899

long long daysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400, yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - DaysToOleEpoch;
}

std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

const std::span<const TXlFileName> XlHorizontalNames(HorizontalNames);
const std::span<const TXlFileName> XlVerticalNames(VerticalNames);
const std::span<const TXlFileName> XlLineNames(LineNames);
const std::span<const TXlFileName> XlWeightNames(WeightNames);
const std::span<const TXlFileName> XlPatternNames(PatternNames);
const char* const XlEdgeNames[4] = {"Left", "Top", "Bottom", "Right"};

const char* XlNameOf(std::span<const TXlFileName> table, int value) {
  for (auto& e : table)
    if (e.Value == value) return e.Name;
  return nullptr;
}

bool XlValueOf(std::span<const TXlFileName> table, std::string_view name, int& value) {
  for (auto& e : table)
    if (name == e.Name) {
      value = e.Value;
      return true;
    }
  return false;
}

std::string XlColourText(int bgr) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
  return buf;
}

bool XlParseColour(std::string_view s, int& bgr) {
  if (s.size() != 7 || s[0] != '#') return false;
  unsigned v = 0;
  auto [end, ec] = std::from_chars(s.data() + 1, s.data() + 7, v, 16);
  if (ec != std::errc() || end != s.data() + 7) return false;
  bgr = int(((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
  return true;
}

std::string XlNumberText(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, ec == std::errc() ? end : buf);
}

bool XlParseNumber(std::string_view text, double& value) {
  std::string_view s = trimmed(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

std::string XlDateTimeText(double date) {
  // The calendar day from the variant's own text, the time of day to the millisecond.
  double whole = std::floor(date);
  long long ms = std::llround((date - whole) * 86400000.0);
  if (ms >= 86400000) {
    whole += 1;
    ms -= 86400000;
  }
  std::string day = WideToUtf8(OleVariant::Date(whole).AsWide());
  char buf[32];
  std::snprintf(buf, sizeof buf, "T%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return day + buf;
}

bool XlParseDateTime(std::string_view text, double& date) {
  std::string s(trimmed(text));
  int y, mo, d, h = 0, mi = 0, n = 0;
  double sec = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%n", &y, &mo, &d, &h, &mi, &sec, &n) != 6 || size_t(n) != s.size())
    return false;
  static constexpr int MonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1900 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > MonthDays[mo - 1] || (mo == 2 && d == 29 && !leap) ||
      h < 0 || h > 23 || mi < 0 || mi > 59 || !(sec >= 0 && sec < 60))
    return false;
  date = double(daysFromCivil(y, mo, d)) + (h * 3600 + mi * 60 + sec) / 86400;
  return true;
}
