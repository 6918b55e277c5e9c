// Date and time text after the regional settings.
#include <cmath>
#include <cstdio>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Regional.h"

namespace {

char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

AnsiString pad(int v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  return buf;
}

bool startsWithNoCase(const AnsiString& f, std::size_t i, const char* word) {
  for (std::size_t k = 0; word[k]; ++k)
    if (i + k >= f.size() || up(f[i + k]) != word[k]) return false;
  return true;
}

// Whether an am/pm token follows in the picture, outside quotes: the hours then count 1 to 12.
bool twelveHourAhead(const AnsiString& f, std::size_t i) {
  while (i < f.size()) {
    char c = f[i];
    if (c == '"' || c == '\'') {
      std::size_t e = f.find(c, i + 1);
      if (e == AnsiString::npos) return false;
      i = e + 1;
      continue;
    }
    if (up(c) == 'A' && (startsWithNoCase(f, i, "AM/PM") || startsWithNoCase(f, i, "A/P") || startsWithNoCase(f, i, "AMPM")))
      return true;
    ++i;
  }
  return false;
}

void appendFormat(AnsiString& out, const AnsiString& f, TDateTime dt, int depth) {
  const TFormatSettings& fs = FormatSettings();
  if (depth > 2) return;
  int year, month, day, hour, minute, sec, msec;
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, minute, sec, msec);
  char lastToken = ' ';
  std::size_t i = 0;
  auto count = [&](char t) {
    std::size_t n = 1;
    while (i + n < f.size() && up(f[i + n]) == t) ++n;
    return n;
  };
  while (i < f.size()) {
    char starter = f[i];
    char token = up(starter);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastToken == 'H') token = 'N';
      lastToken = token;
    }
    switch (token) {
      case 'Y': {
        std::size_t n = count('Y');
        out += n <= 2 ? pad(year % 100, 2) : pad(year, 4);
        i += n;
        break;
      }
      case 'M': {
        std::size_t n = count('M');
        if (n == 1) out += std::to_string(month);
        else if (n == 2) out += pad(month, 2);
        else if (n == 3) out += fs.ShortMonthNames[static_cast<std::size_t>(month - 1)];
        else out += fs.LongMonthNames[static_cast<std::size_t>(month - 1)];
        i += std::min<std::size_t>(n, 4);
        break;
      }
      case 'D': {
        std::size_t n = count('D');
        int dow = DayOfWeek(dt) - 1;
        if (n == 1) out += std::to_string(day);
        else if (n == 2) out += pad(day, 2);
        else if (n == 3) out += fs.ShortDayNames[static_cast<std::size_t>(dow)];
        else if (n == 4) out += fs.LongDayNames[static_cast<std::size_t>(dow)];
        else if (n == 5) appendFormat(out, fs.ShortDateFormat, dt, depth + 1);
        else appendFormat(out, fs.LongDateFormat, dt, depth + 1);
        i += std::min<std::size_t>(n, 6);
        break;
      }
      case 'H': {
        std::size_t n = count('H');
        int h = hour;
        if (twelveHourAhead(f, i)) {
          h = hour % 12;
          if (h == 0) h = 12;
        }
        out += n == 1 ? std::to_string(h) : pad(h, 2);
        i += std::min<std::size_t>(n, 2);
        break;
      }
      case 'N': {
        std::size_t n = count(up(starter));
        out += n == 1 ? std::to_string(minute) : pad(minute, 2);
        i += std::min<std::size_t>(n, 2);
        break;
      }
      case 'S': {
        std::size_t n = count('S');
        out += n == 1 ? std::to_string(sec) : pad(sec, 2);
        i += std::min<std::size_t>(n, 2);
        break;
      }
      case 'Z': {
        std::size_t n = count('Z');
        out += n < 3 ? std::to_string(msec) : pad(msec, 3);
        i += std::min<std::size_t>(n, 3);
        break;
      }
      case 'T': {
        std::size_t n = count('T');
        appendFormat(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, depth + 1);
        i += std::min<std::size_t>(n, 2);
        break;
      }
      case 'C': {
        appendFormat(out, fs.ShortDateFormat, dt, depth + 1);
        if (dt - std::floor(dt) != 0) {
          out += ' ';
          appendFormat(out, fs.LongTimeFormat, dt, depth + 1);
        }
        ++i;
        break;
      }
      case 'A': {
        bool pm = hour >= 12;
        if (startsWithNoCase(f, i, "AM/PM")) {
          AnsiString t = pm ? f.substr(i + 3, 2) : f.substr(i, 2);
          out += t;
          i += 5;
        } else if (startsWithNoCase(f, i, "A/P")) {
          out += pm ? f[i + 2] : f[i];
          i += 3;
        } else if (startsWithNoCase(f, i, "AMPM")) {
          out += pm ? fs.TimePMString : fs.TimeAMString;
          i += 4;
        } else {
          out += starter;
          ++i;
        }
        break;
      }
      case '/':
        if (fs.DateSeparator) out += fs.DateSeparator;
        ++i;
        break;
      case ':':
        if (fs.TimeSeparator) out += fs.TimeSeparator;
        ++i;
        break;
      case '\'':
      case '"': {
        std::size_t e = f.find(starter, i + 1);
        if (e == AnsiString::npos) e = f.size();
        out += f.substr(i + 1, e - i - 1);
        i = e + 1;
        break;
      }
      default:
        out += starter;
        ++i;
    }
  }
}

// ---- scanning

struct Scanner {
  const AnsiString& S;
  std::size_t Pos = 0;

  void skipBlanks() {
    while (Pos < S.size() && S[Pos] == ' ') ++Pos;
  }
  bool number(int& value, int& digits) {
    skipBlanks();
    value = 0;
    digits = 0;
    while (Pos < S.size() && S[Pos] >= '0' && S[Pos] <= '9' && digits < 9) {
      value = value * 10 + (S[Pos] - '0');
      ++Pos;
      ++digits;
    }
    return digits > 0;
  }
  bool separator(char sep) {
    skipBlanks();
    if (Pos < S.size() && sep && S[Pos] == sep) {
      ++Pos;
      return true;
    }
    return false;
  }
  bool atEnd() {
    skipBlanks();
    return Pos >= S.size();
  }
};

enum TDateOrder { doMDY, doDMY, doYMD };

TDateOrder dateOrder(const AnsiString& pic) {
  for (char c : pic) {
    switch (up(c)) {
      case 'D': return doDMY;
      case 'Y': return doYMD;
      case 'M': return doMDY;
      default: break;
    }
  }
  return doMDY;
}

bool scanDate(Scanner& sc, TDateTime& out) {
  const TFormatSettings& fs = FormatSettings();
  int n1, n2, n3 = 0, l1, l2, l3 = 0;
  if (!sc.number(n1, l1) || !sc.separator(fs.DateSeparator) || !sc.number(n2, l2)) return false;
  bool three = false;
  std::size_t save = sc.Pos;
  if (sc.separator(fs.DateSeparator)) {
    if (!sc.number(n3, l3)) return false;
    three = true;
  } else {
    sc.Pos = save;
  }
  int thisYear, thisMonth, thisDay;
  DecodeDate(Date(), thisYear, thisMonth, thisDay);
  int y = thisYear, m, d, yLen = 4;
  TDateOrder order = dateOrder(fs.ShortDateFormat);
  if (!three) {
    // Two numbers: month and day in the picture's order, this year.
    if (order == doDMY) { d = n1; m = n2; }
    else { m = n1; d = n2; }
  } else {
    switch (order) {
      case doMDY: m = n1; d = n2; y = n3; yLen = l3; break;
      case doDMY: d = n1; m = n2; y = n3; yLen = l3; break;
      default: y = n1; yLen = l1; m = n2; d = n3; break;
    }
    if (yLen <= 2) {
      int window = fs.TwoDigitYearCenturyWindow;
      int base = thisYear - window;
      y += base / 100 * 100;
      if (window > 0 && y < base) y += 100;
    }
  }
  (void)l2;
  return TryEncodeDate(y, m, d, out);
}

bool scanTime(Scanner& sc, TDateTime& out) {
  const TFormatSettings& fs = FormatSettings();
  int h, mi = 0, s = 0, ms = 0, len;
  if (!sc.number(h, len)) return false;
  if (sc.separator(fs.TimeSeparator)) {
    if (!sc.number(mi, len)) return false;
    if (sc.separator(fs.TimeSeparator)) {
      if (!sc.number(s, len)) return false;
      if (sc.separator(fs.DecimalSeparator) && !sc.number(ms, len)) return false;
    }
  }
  sc.skipBlanks();
  // A 12-hour suffix: the regional texts or AM/PM, A/P in any letter case.
  auto rest = [&](const AnsiString& word) {
    if (word.empty() || sc.Pos + word.size() > sc.S.size()) return false;
    if (!SameText(sc.S.substr(sc.Pos, word.size()), word)) return false;
    sc.Pos += word.size();
    return true;
  };
  int ampm = -1;
  if (rest(fs.TimeAMString) || rest("AM") || rest("A")) ampm = 0;
  else if (rest(fs.TimePMString) || rest("PM") || rest("P")) ampm = 1;
  if (ampm >= 0) {
    if (h == 0 || h > 12) return false;
    if (h == 12) h = 0;
    h += ampm * 12;
  }
  return TryEncodeTime(h, mi, s, ms, out);
}

}  // namespace

AnsiString FormatDateTime(const AnsiString& format, TDateTime dt) {
  AnsiString out;
  appendFormat(out, format.empty() ? AnsiString("c") : format, dt, 0);
  return out;
}

AnsiString DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
AnsiString TimeToStr(TDateTime dt) { return FormatDateTime("tt", dt); }
AnsiString DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }

bool TryStrToDate(const AnsiString& s, TDateTime& out) {
  Scanner sc{s};
  return scanDate(sc, out) && sc.atEnd();
}

bool TryStrToTime(const AnsiString& s, TDateTime& out) {
  Scanner sc{s};
  return scanTime(sc, out) && sc.atEnd();
}

TDateTime StrToDate(const AnsiString& s) {
  TDateTime r;
  if (!TryStrToDate(s, r)) throw EConvertError("'%s' is not a valid date", {s});
  return r;
}

TDateTime StrToTime(const AnsiString& s) {
  TDateTime r;
  if (!TryStrToTime(s, r)) throw EConvertError("'%s' is not a valid time", {s});
  return r;
}

TDateTime StrToDateTime(const AnsiString& s) {
  Scanner sc{s};
  TDateTime d, t = 0;
  std::size_t save = sc.Pos;
  if (!scanDate(sc, d)) {
    sc.Pos = save;
    d = 0;
  }
  if (!sc.atEnd() && !scanTime(sc, t)) throw EConvertError("'%s' is not a valid date and time", {s});
  if (!sc.atEnd() || (d == 0 && sc.Pos == 0)) throw EConvertError("'%s' is not a valid date and time", {s});
  return d < 0 ? d - t : d + t;
}
