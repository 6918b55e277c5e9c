#include "controls/ctlPicConv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "controls/ctlEntryField.h"
#include "controls/ctlIntlSup.h"

namespace {

int32_t narrow(TPictureDataType t, int64_t v) {
  switch (t) {
    case pftWord: return int32_t(uint16_t(v));
    case pftInteger: return int32_t(int16_t(v));
    case pftByte: return int32_t(uint8_t(v));
    case pftShortInt: return int32_t(int8_t(v));
    default: return int32_t(v);
  }
}

int valueSize(TPictureDataType t) { return CtlValueSize(t, 0); }

// The integer in a text of the mask's radix; hex, octal and binary texts are 32-bit patterns.
std::optional<int64_t> textToInteger(const TCtlPictureMask& mask, const AnsiString& text) {
  int32_t v = 0;
  if (!CtlTextToInteger(text, CtlRadixOfMask(mask.Mask()), v)) return std::nullopt;
  return v;
}

AnsiString integerToText(const TCtlPictureMask& mask, TPictureDataType t, int32_t v) {
  return CtlIntegerToText(v, valueSize(t), CtlRadixOfMask(mask.Mask()));
}

std::optional<long double> textToFloat(const TCtlPicConvContext& c, const AnsiString& text) {
  AnsiString s;
  for (char ch : c.Mask->StripForValue(text, c.Intl))
    if (ch != ' ') s += ch == c.Intl.DecimalChar ? '.' : ch;
  if (!s.empty() && s.back() == '.') s.pop_back();
  long double v = 0;
  if (!CtlTextToFloat(s, v)) return std::nullopt;
  if (c.DataType == pftComp) v = std::nearbyint(v);
  return v;
}

// The shortest text that reads back as the value at the type's precision, in plain notation when
// that fits the width.
AnsiString shortestFloat(TPictureDataType t, long double v, int width) {
  const int most = t == pftSingle ? 9 : t == pftExtended ? 21 : 17;
  char buf[64];
  int p = 1;
  for (; p <= most; ++p) {
    std::snprintf(buf, sizeof buf, "%.*Lg", p, v);
    const long double back = std::strtold(buf, nullptr);
    const bool same = t == pftSingle ? float(back) == float(v) : t == pftExtended ? back == v : double(back) == double(v);
    if (same) break;
  }
  if (AnsiString(buf).find('e') == AnsiString::npos || v == 0) return buf;
  const int exponent = int(std::floor(std::log10(std::fabs(v))));
  char fixed[128];
  std::snprintf(fixed, sizeof fixed, "%.*Lf", std::max(0, p - 1 - exponent), v);
  return int(std::strlen(fixed)) <= width ? AnsiString(fixed) : AnsiString(buf);
}

AnsiString floatToText(const TCtlPicConvContext& c, long double v) {
  const TCtlPictureMask& m = *c.Mask;
  const int point = m.DecimalPos();
  if (c.DataType == pftComp) v = std::nearbyint(v);
  if (point < 0 && c.DecimalPlaces == 0 && c.DataType != pftComp) return shortestFloat(c.DataType, v, m.MaxLength());
  int whole = 0;
  for (int i = 0; i < (point >= 0 ? point : m.MaxLength()); ++i)
    if (!m.IsLiteral(i)) ++whole;
  const int decimals = point >= 0 ? std::max(CtlMaskDecimals(m.Mask()), 0) : c.DecimalPlaces;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%*.*Lf", whole + decimals + 1, decimals, v);
  AnsiString s = buf;
  if (c.DecimalPlaces != 0 && s.find('.') != AnsiString::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return Trim(s);
}

bool timeFieldsBlank(const TCtlPictureMask& m, const AnsiString& text) {
  for (int i = 0; i < m.MaxLength() && i < int(text.size()); ++i) {
    const char k = char(std::tolower(uint8_t(m.Mask()[std::size_t(i)])));
    if ((k == 'h' || k == 'm' || k == 's') && text[std::size_t(i)] != ' ') return false;
  }
  return true;
}

bool outside(const TCtlPicConvContext& c, long double v) {
  if (c.DataType == pftReal) return double(v) < double(c.RangeLo.Float) || double(v) > double(c.RangeHi.Float);
  return v < c.RangeLo.Float || v > c.RangeHi.Float;
}

}  // namespace

AnsiString DefaultPictureMask(TPictureDataType Type, const TCtlIntlSup& Intl) {
  switch (Type) {
    case pftString: return "XXXXXXXXXXXXXXX";
    case pftChar: return "X";
    case pftBoolean: return "B";
    case pftYesNo: return "Y";
    case pftLongInt: return "iiiiiiiiiii";
    case pftWord: return "99999";
    case pftInteger: return "iiiiii";
    case pftByte: return "999";
    case pftShortInt: return "iiii";
    case pftComp: return "iiiiiiiiii";
    case pftDate: return Intl.IntlDateMask(Intl.ShortDatePicture().find("yyyy") != AnsiString::npos);
    case pftTime: return Intl.IntlTimeMask(true);
    default: return "##########";
  }
}

TCtlPictureMask::TMergeOptions PictureMergeOptions(const TCtlPicConvContext& C) {
  return {IsFloatType(C.DataType) && C.DataType != pftComp, C.RightJustify, IsNumericType(C.DataType)};
}

TCtlPicValue PictureTextToValue(const TCtlPicConvContext& C, const AnsiString& Text) {
  const TCtlPictureMask& m = *C.Mask;
  TCtlPicValue v;
  switch (C.DataType) {
    case pftString:
      if (C.TrimBlanks && m.IsEmpty(Text)) break;
      v.Str = C.StripLiterals ? m.StripLiterals(Text) : Text;
      if (C.TrimBlanks) v.Str = Trim(v.Str);
      v.Str.resize(std::min<std::size_t>(v.Str.size(), 255));
      break;
    case pftChar: {
      const AnsiString s = m.StripForValue(Text, C.Intl);
      v.Char = s.empty() ? ' ' : s[0];
      break;
    }
    case pftBoolean:
    case pftYesNo: {
      const AnsiString s = m.StripForValue(Text, C.Intl);
      const char on = C.DataType == pftBoolean ? C.Intl.TrueChar : C.Intl.YesChar;
      v.Bool = !s.empty() && AnsiUpperChar(s[0]) == on;
      break;
    }
    case pftDate:
      v.Int = C.IntlSup->DateFromDateText(m.Mask(), Text, C.Epoch);
      break;
    case pftTime:
      v.Int = C.IntlSup->TimeFromTimeText(m.Mask(), Text);
      break;
    default:
      if (IsIntegerType(C.DataType)) {
        v.Int = narrow(C.DataType, textToInteger(m, m.StripForValue(Text, C.Intl)).value_or(0));
      } else {
        v.Float = textToFloat(C, Text).value_or(0);
      }
      break;
  }
  return v;
}

AnsiString PictureValueToText(const TCtlPicConvContext& C, const TCtlPicValue& Value) {
  const TCtlPictureMask& m = *C.Mask;
  const auto merged = [&](const AnsiString& s) { return m.Merge(s, C.Intl, PictureMergeOptions(C)); };
  switch (C.DataType) {
    case pftString:
      if (int(Value.Str.size()) == m.MaxLength()) return Value.Str;
      return merged(Value.Str.substr(0, std::size_t(m.MaxLength())));
    case pftChar: return merged(AnsiString(1, Value.Char));
    case pftBoolean: return merged(AnsiString(1, Value.Bool ? C.Intl.TrueChar : C.Intl.FalseChar));
    case pftYesNo: return merged(AnsiString(1, Value.Bool ? C.Intl.YesChar : C.Intl.NoChar));
    case pftDate: return C.IntlSup->DateTextFromDate(m.Mask(), Value.Int, false);
    case pftTime: return C.IntlSup->TimeTextFromTime(m.Mask(), Value.Int, false);
    default:
      if (IsIntegerType(C.DataType)) return merged(integerToText(m, C.DataType, Value.Int));
      return merged(floatToText(C, Value.Float));
  }
}

uint16_t PictureCheckText(const TCtlPicConvContext& C, const AnsiString& Text) {
  const TCtlPictureMask& m = *C.Mask;
  switch (C.DataType) {
    case pftString: return 0;
    case pftChar: {
      if (C.RangeLo.Char == C.RangeHi.Char) return 0;
      const auto ch = uint8_t(PictureTextToValue(C, Text).Char);
      return ch < uint8_t(C.RangeLo.Char) || ch > uint8_t(C.RangeHi.Char) ? epeRange : 0;
    }
    case pftBoolean:
    case pftYesNo: {
      const AnsiString s = m.StripForValue(Text, C.Intl);
      const char c = s.empty() ? ' ' : AnsiUpperChar(s[0]);
      const bool ok = C.DataType == pftBoolean ? c == C.Intl.TrueChar || c == C.Intl.FalseChar
                                               : c == C.Intl.YesChar || c == C.Intl.NoChar;
      return ok ? 0 : epeRange;
    }
    case pftDate: {
      if (C.IntlSup->DateTextIsBlank(m.Mask(), Text)) return 0;
      const TCtlDate d = C.IntlSup->DateFromDateText(m.Mask(), Text, C.Epoch);
      if (d < 0) return epeInvalidDate;
      return C.RangeHi.Int != 0 && (d < C.RangeLo.Int || d > C.RangeHi.Int) ? epeRange : 0;
    }
    case pftTime: {
      if (timeFieldsBlank(m, Text)) return 0;
      const TCtlTime t = C.IntlSup->TimeFromTimeText(m.Mask(), Text);
      if (t < 0) return epeInvalidTime;
      return C.RangeHi.Int != 0 && (t < C.RangeLo.Int || t > C.RangeHi.Int) ? epeRange : 0;
    }
    default: break;
  }
  // A number too wide for its mask is out of range until the user enters one that fits.
  if (m.Overflowed(Text)) return epeRange;
  if (IsIntegerType(C.DataType)) {
    auto v = textToInteger(m, m.StripForValue(Text, C.Intl));
    if (!v) return epeInvalidType;
    if (m.IsRadixMask()) v = narrow(C.DataType, *v);  // the type's bit pattern
    return *v < C.RangeLo.Int || *v > C.RangeHi.Int ? epeRange : 0;
  }
  const auto v = textToFloat(C, Text);
  if (!v) return epeInvalidType;
  return outside(C, *v) ? epeRange : 0;
}

namespace {

std::optional<TCtlPicValue> stepChar(const TCtlPicConvContext& c, const AnsiString& text, bool wrap, double delta) {
  const char m = c.Mask->AcceptChar(c.Mask->FirstEditPos());
  int lo = uint8_t(c.RangeLo.Char), hi = uint8_t(c.RangeHi.Char);
  if (lo == hi) lo = 1, hi = 255;
  const int dir = delta == 1 ? 1 : -1;
  int ch = text.empty() ? ' ' : uint8_t(text[std::size_t(c.Mask->FirstEditPos())]);
  // At most one turn around the code page: a mask that takes nothing in range leaves the value.
  for (int n = 0; n < 256; ++n) {
    ch = (ch + dir + 256) % 256;
    if (ch < lo || ch > hi) {
      if (!wrap) return std::nullopt;
      continue;
    }
    if (AcceptMaskChar(m, char(ch), ' ', c.Intl) == char(ch)) {
      TCtlPicValue v;
      v.Char = char(ch);
      return v;
    }
  }
  return std::nullopt;
}

// The mask character that picks a date or time unit: the one at the caret, or before it on a literal.
char unitChar(const TCtlPictureMask& m, int caret) {
  caret = std::clamp(caret, 0, m.MaxLength() - 1);
  if (m.IsLiteral(caret) && caret > 0) --caret;
  return m.Mask()[std::size_t(caret)];
}

std::optional<TCtlPicValue> stepDate(const TCtlPicConvContext& c, const AnsiString& text, int caret, bool wrap,
                                     double delta) {
  const char u = unitChar(*c.Mask, caret);
  const bool days = u == 'D' || u == 'd', months = u == 'M' || u == 'N' || u == 'm' || u == 'n', years = u == 'y';
  if (!days && !months && !years) return std::nullopt;
  const TCtlDate d = c.IntlSup->DateFromDateText(c.Mask->Mask(), text, c.Epoch);
  if (d < 0) return std::nullopt;
  const int lo = c.RangeHi.Int == 0 ? 0 : c.RangeLo.Int;
  const int hi = c.RangeHi.Int == 0 ? ctlLastDate : c.RangeHi.Int;
  const auto n = int(std::trunc(delta));
  const auto add = [&](TCtlDate date, int k) -> int64_t {
    if (days) return int64_t(date) + k;
    const TCtlDate r = months ? AddToDate(date, k, 0) : AddToDate(date, 0, k);
    return r < 0 ? (k < 0 ? int64_t(lo) - 1 : int64_t(hi) + 1) : r;
  };
  int64_t next = add(d, n);
  if (next < lo || next > hi) {
    if (!wrap) return std::nullopt;
    const TCtlDate bound = next > hi ? lo : hi;
    if (days) {
      next = bound;
    } else {
      // The other bound's month or year, then toward the range one unit at a time.
      int day, month, year, bd, bm, by;
      DMYFromDate(d, day, month, year);
      DMYFromDate(bound, bd, bm, by);
      if (years) bm = month;
      next = DateFromDMY(std::min(day, MonthLength(bm, by, c.Epoch)), bm, by, c.Epoch);
      for (int k = 0; k < 24 && next >= 0 && (next < lo || next > hi); ++k) next = add(TCtlDate(next), next < lo ? 1 : -1);
      if (next < lo || next > hi) next = bound;
    }
  }
  TCtlPicValue v;
  v.Int = int32_t(next);
  return v;
}

std::optional<TCtlPicValue> stepTime(const TCtlPicConvContext& c, const AnsiString& text, int caret, bool wrap,
                                     double delta) {
  const char u = unitChar(*c.Mask, caret);
  int h = 0, m = 0, s = 0;
  const int amount = std::abs(int(std::trunc(delta)));
  switch (u) {
    case 'H': case 'h': h = amount; break;
    case 'M': case 'm': m = amount; break;
    case 'S': case 's': s = amount; break;
    case 't': h = 12 * amount; break;
    default: return std::nullopt;
  }
  const TCtlTime t = c.IntlSup->TimeFromTimeText(c.Mask->Mask(), text);
  if (t < 0) return std::nullopt;
  const TCtlTime next = delta >= 0 ? AddToTime(t, h, m, s) : SubtractFromTime(t, h, m, s);
  const int lo = c.RangeHi.Int == 0 ? 0 : c.RangeLo.Int;
  const int hi = c.RangeHi.Int == 0 ? ctlSecondsPerDay - 1 : c.RangeHi.Int;
  TCtlPicValue v;
  v.Int = next;
  const bool passedMidnight = delta >= 0 ? next < t : next > t;
  if (!wrap && (passedMidnight || next < lo || next > hi)) return std::nullopt;
  if (next < lo || next > hi) v.Int = delta >= 0 ? lo : hi;
  return v;
}

template <class T>
std::optional<T> stepNumber(T v, T lo, T hi, bool wrap, T delta) {
  if (delta < 0 && v <= lo) return wrap ? std::optional<T>(hi) : std::nullopt;
  if (delta > 0 && v >= hi) return wrap ? std::optional<T>(lo) : std::nullopt;
  return std::clamp(T(v + delta), lo, hi);
}

}  // namespace

std::optional<TCtlPicValue> PictureStepValue(const TCtlPicConvContext& C, const AnsiString& Text, int Caret,
                                             bool Wrap, double Delta) {
  const TCtlPictureMask& m = *C.Mask;
  TCtlPicValue v;
  switch (C.DataType) {
    case pftString: return std::nullopt;
    case pftChar: return stepChar(C, Text, Wrap, Delta);
    case pftBoolean:
    case pftYesNo:
      v.Bool = !PictureTextToValue(C, Text).Bool;
      return v;
    case pftDate: return stepDate(C, Text, Caret, Wrap, Delta);
    case pftTime: return stepTime(C, Text, Caret, Wrap, Delta);
    default: break;
  }
  if (m.Overflowed(Text)) return std::nullopt;
  if (IsIntegerType(C.DataType)) {
    auto n = textToInteger(m, m.StripForValue(Text, C.Intl));
    if (!n) return std::nullopt;
    const auto r = stepNumber<int64_t>(*n, C.RangeLo.Int, C.RangeHi.Int, Wrap, int64_t(std::trunc(Delta)));
    if (!r) return std::nullopt;
    v.Int = int32_t(*r);
    return v;
  }
  const auto f = textToFloat(C, Text);
  if (!f) return std::nullopt;
  const auto r = stepNumber<long double>(*f, C.RangeLo.Float, C.RangeHi.Float, Wrap, Delta);
  if (!r) return std::nullopt;
  v.Float = *r;
  return v;
}
