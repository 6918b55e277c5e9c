#include "controls/ctlEntryValues.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "controls/ctlDates.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {

template <typename T>
TCtlRangeValue pack(T v) {
  TCtlRangeValue r{};
  static_assert(sizeof(T) <= 16);
  std::memcpy(r.data(), &v, sizeof(T) < r.size() ? sizeof(T) : r.size());
  return r;
}

template <typename T>
T unpack(const void* p) {
  T v{};
  std::memcpy(&v, p, sizeof(T) < 10 ? sizeof(T) : 10);
  return v;
}

long double limitOf(TPictureDataType t) {
  switch (t) {
    case pftReal: return 1.7e38L;
    case pftExtended: return 1.1e4932L;
    case pftDouble: return 1.7e308L;
    case pftSingle: return 3.4e38L;
    case pftComp: return 9.2e18L;
    default: return 0;
  }
}

bool integerFits(TPictureDataType t, int64_t v) {
  switch (t) {
    case pftWord: return v >= 0 && v <= 65535;
    case pftInteger: return v >= -32768 && v <= 32767;
    case pftByte: return v >= 0 && v <= 255;
    case pftShortInt: return v >= -128 && v <= 127;
    default: return v >= INT32_MIN && v <= INT32_MAX;
  }
}

// Hexadecimal, octal and binary digits give the type's bits, so "FF" is -1 of a short integer.
bool bitsFit(TPictureDataType t, uint32_t v) {
  const int size = CtlValueSize(t, 0);
  return size >= 4 || v < (uint32_t(1) << (8 * size));
}

[[noreturn]] void badRange(TPictureDataType t) {
  TCtlIntlSup& intl = CtlIntlSup();
  throw EInvalidRangeValue(t, intl.IntlDateMask(true), intl.IntlTimeMask(true));
}

}  // namespace

int CtlValueSize(TPictureDataType Type, int StringChars) {
  switch (Type) {
    case pftString: return StringChars + 1;
    case pftChar: case pftBoolean: case pftYesNo: case pftByte: case pftShortInt: return 1;
    case pftWord: case pftInteger: return 2;
    case pftLongInt: case pftSingle: case pftDate: case pftTime: return 4;
    case pftReal: case pftDouble: case pftComp: return 8;
    case pftExtended: return 10;
  }
  return 0;
}

TCtlRangeValue CtlDefaultRangeLo(TPictureDataType Type) {
  switch (Type) {
    case pftChar: return pack(' ');
    case pftLongInt: case pftWord: case pftInteger: case pftByte: case pftShortInt: case pftDate: case pftTime:
      return CtlValueFromInteger(Type, Type == pftLongInt ? INT32_MIN : Type == pftInteger ? -32768
                                                                      : Type == pftShortInt ? -128 : 0);
    case pftReal: case pftExtended: case pftDouble: case pftSingle: case pftComp:
      return CtlValueFromFloat(Type, -limitOf(Type));
    default: return {};
  }
}

TCtlRangeValue CtlDefaultRangeHi(TPictureDataType Type) {
  switch (Type) {
    case pftChar: return pack(' ');
    case pftLongInt: return CtlValueFromInteger(Type, INT32_MAX);
    case pftWord: return CtlValueFromInteger(Type, 65535);
    case pftInteger: return CtlValueFromInteger(Type, 32767);
    case pftByte: return CtlValueFromInteger(Type, 255);
    case pftShortInt: return CtlValueFromInteger(Type, 127);
    case pftDate: return CtlValueFromInteger(Type, ctlLastDate);
    case pftTime: return CtlValueFromInteger(Type, ctlSecondsPerDay - 1);
    case pftReal: case pftExtended: case pftDouble: case pftSingle: case pftComp:
      return CtlValueFromFloat(Type, limitOf(Type));
    default: return {};
  }
}

int64_t CtlValueToInteger(TPictureDataType Type, const void* Value) {
  switch (Type) {
    case pftChar: case pftBoolean: case pftYesNo: case pftByte: return unpack<uint8_t>(Value);
    case pftShortInt: return unpack<int8_t>(Value);
    case pftWord: return unpack<uint16_t>(Value);
    case pftInteger: return unpack<int16_t>(Value);
    case pftLongInt: case pftDate: case pftTime: return unpack<int32_t>(Value);
    case pftComp: return unpack<int64_t>(Value);
    case pftReal: case pftExtended: case pftDouble: case pftSingle:
      return static_cast<int64_t>(std::llround(CtlValueToFloat(Type, Value)));
    default: return 0;
  }
}

long double CtlValueToFloat(TPictureDataType Type, const void* Value) {
  switch (Type) {
    case pftReal: case pftDouble: return unpack<double>(Value);
    case pftSingle: return unpack<float>(Value);
    case pftExtended: return unpack<long double>(Value);
    default: return static_cast<long double>(CtlValueToInteger(Type, Value));
  }
}

TCtlRangeValue CtlValueFromInteger(TPictureDataType Type, int64_t Value) {
  switch (Type) {
    case pftChar: case pftBoolean: case pftYesNo: case pftByte: case pftShortInt:
      return pack(static_cast<uint8_t>(Value));
    case pftWord: case pftInteger: return pack(static_cast<uint16_t>(Value));
    case pftLongInt: case pftDate: case pftTime: return pack(static_cast<int32_t>(Value));
    case pftComp: return pack(Value);
    case pftReal: case pftExtended: case pftDouble: case pftSingle:
      return CtlValueFromFloat(Type, static_cast<long double>(Value));
    default: return {};
  }
}

TCtlRangeValue CtlValueFromFloat(TPictureDataType Type, long double Value) {
  switch (Type) {
    case pftReal: case pftDouble: return pack(static_cast<double>(Value));
    case pftSingle: return pack(static_cast<float>(Value));
    case pftExtended: return pack(Value);
    case pftComp:
      if (!(std::fabs(Value) < 9.3e18L)) return pack(int64_t(Value < 0 ? INT64_MIN : INT64_MAX));
      return pack(static_cast<int64_t>(std::llroundl(Value)));
    default:
      if (!(std::fabs(Value) < 9.3e18L)) return CtlValueFromInteger(Type, 0);
      return CtlValueFromInteger(Type, static_cast<int64_t>(Value));
  }
}

TCtlRadix CtlRadixOfMask(const AnsiString& Mask) {
  if (Mask.find('K') != AnsiString::npos) return crHex;
  if (Mask.find('O') != AnsiString::npos) return crOctal;
  if (Mask.find('b') != AnsiString::npos) return crBinary;
  return crDecimal;
}

AnsiString CtlIntegerToText(int32_t Value, int Size, TCtlRadix Radix) {
  auto u = static_cast<uint32_t>(Value);
  if (Size < 1) Size = 1;
  if (Size > 4) Size = 4;
  AnsiString s;
  switch (Radix) {
    case crDecimal: return IntToStr(Value);
    case crHex:
      for (int i = 7; i >= 0; --i) s += "0123456789ABCDEF"[(u >> (4 * i)) & 15];
      return s.substr(std::size_t(8 - 2 * Size));
    case crOctal:
      for (int i = 10; i >= 0; --i) s += char('0' + ((u >> (3 * i)) & 7));
      s.insert(0, 1, '0');  // twelve digits, the first always 0
      return Size >= 4 ? s : s.substr(std::size_t(12 - 4 * Size));
    case crBinary:
      for (int i = 31; i >= 0; --i) s += char('0' + ((u >> i) & 1));
      return s.substr(std::size_t(32 - 8 * Size));
  }
  return s;
}

bool CtlTextToInteger(const AnsiString& Text, TCtlRadix Radix, int32_t& Value) {
  AnsiString s = Trim(Text);
  Value = 0;
  if (s.empty()) return true;
  uint64_t acc = 0;
  switch (Radix) {
    case crBinary:
      if (s.size() > 32) return false;
      for (char c : s) {
        if (c != '0' && c != '1') return false;
        acc = acc * 2 + uint64_t(c - '0');
      }
      Value = static_cast<int32_t>(static_cast<uint32_t>(acc));
      return true;
    case crOctal:
      for (char c : s) {
        if (c < '0' || c > '7') return false;
        acc = acc * 8 + uint64_t(c - '0');
        if (acc > UINT32_MAX) return false;
      }
      Value = static_cast<int32_t>(static_cast<uint32_t>(acc));
      return true;
    case crHex: {
      if (s[0] == '$') s.erase(0, 1);
      if (s.empty() || s.size() > 8) return false;
      for (char c : s) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        acc = acc * 16 + uint64_t(d);
      }
      Value = static_cast<int32_t>(static_cast<uint32_t>(acc));
      return true;
    }
    case crDecimal: {
      int64_t v = 0;
      if (!TryStrToInt(s, v) || v < INT32_MIN || v > INT32_MAX) return false;
      Value = static_cast<int32_t>(v);
      return true;
    }
  }
  return false;
}

bool CtlTextToFloat(const AnsiString& Text, long double& Value) {
  AnsiString s = Trim(Text);
  Value = 0;
  if (s.empty()) return true;
  if (s[0] == '+') s.erase(0, 1);
  double d = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  Value = d;
  return std::isfinite(d);
}

int CtlMaskDecimals(const AnsiString& Mask) {
  std::size_t dot = Mask.find('.');
  if (dot == AnsiString::npos) return -1;
  int n = 0;
  for (std::size_t i = dot + 1; i < Mask.size(); ++i)
    if (AnsiString("#9iEDHMSdhmsy").find(Mask[i]) != AnsiString::npos) ++n;
  return n;
}

AnsiString CtlFloatToText(long double Value, int Decimals, int Width, char DecimalChar) {
  AnsiString s = FloatToStrF(Value, TFloatFormat::ffFixed, 18, Decimals);
  if (static_cast<int>(s.size()) > Width) s = FloatToStrF(Value, TFloatFormat::ffExponent, Width > 8 ? Width - 6 : 2, 0);
  for (char& c : s)
    if (c == FormatSettings().DecimalSeparator) c = DecimalChar;
  return s;
}

TCtlRangeValue CtlRangeFromText(const TCtlRangeFormat& Format, const AnsiString& Text) {
  TPictureDataType t = Format.Type;
  const AnsiString mask = Format.Mask ? *Format.Mask : AnsiString();
  TCtlIntlSup& intl = CtlIntlSup();
  switch (t) {
    case pftChar: {
      if (Text.size() > 1 && Text[0] == '#') {
        int64_t code = 0;
        if (!TryStrToInt(Text.substr(1), code) || code < 0 || code > 255) return pack(' ');
        return pack(static_cast<uint8_t>(code));
      }
      return pack(Text.empty() ? ' ' : Text[0]);
    }
    case pftLongInt: case pftWord: case pftInteger: case pftByte: case pftShortInt: {
      int32_t v = 0;
      AnsiString s = Trim(Text);
      if (s == "-2147483648") return CtlValueFromInteger(t, INT32_MIN);
      const TCtlRadix radix = CtlRadixOfMask(mask);
      if (!CtlTextToInteger(s, radix, v)) badRange(t);
      if (radix == crDecimal ? !integerFits(t, v) : !bitsFit(t, uint32_t(v))) badRange(t);
      return CtlValueFromInteger(t, v);
    }
    case pftReal: case pftExtended: case pftDouble: case pftSingle: case pftComp: {
      long double v = 0;
      AnsiString s = Trim(Text);
      for (char& c : s)
        if (c == intl.DecimalChar()) c = '.';
      if (!CtlTextToFloat(s, v)) badRange(t);
      if ((t == pftDouble || t == pftSingle || t == pftComp) && std::fabs(v) > limitOf(t)) badRange(t);
      return CtlValueFromFloat(t, v);
    }
    case pftDate: {
      AnsiString shortMask = intl.IntlDateMask(false), longMask = intl.IntlDateMask(true);
      const AnsiString& m = Text.size() == shortMask.size() ? shortMask : longMask;
      // No date is written as empty text and reads back as none.
      if (Trim(Text).empty() || intl.DateTextIsBlank(m, Text)) return CtlValueFromInteger(t, NoDate);
      if (Text.size() != m.size()) badRange(t);
      TCtlDate d = intl.DateFromDateText(m, Text, Format.Epoch);
      if (d == NoDate) badRange(t);
      return CtlValueFromInteger(t, d);
    }
    case pftTime: {
      AnsiString withSeconds = intl.IntlTimeMask(true), without = intl.IntlTimeMask(false);
      const AnsiString& m = Text.size() == withSeconds.size() ? withSeconds : without;
      if (Text.size() != m.size()) badRange(t);
      TCtlTime v = intl.TimeFromTimeText(m, Text);
      if (v == NoTime) badRange(t);
      return CtlValueFromInteger(t, v);
    }
    default: return {};
  }
}

AnsiString CtlRangeToText(const TCtlRangeFormat& Format, const TCtlRangeValue& Value) {
  TPictureDataType t = Format.Type;
  const AnsiString mask = Format.Mask ? *Format.Mask : AnsiString();
  TCtlIntlSup& intl = CtlIntlSup();
  switch (t) {
    case pftChar: {
      uint8_t c = Value[0];
      return c <= 32 ? "#" + IntToStr(c) : AnsiString(1, static_cast<char>(c));
    }
    case pftLongInt: case pftWord: case pftInteger: case pftByte: case pftShortInt:
      return CtlIntegerToText(static_cast<int32_t>(CtlValueToInteger(t, Value.data())), CtlValueSize(t, 0),
                              CtlRadixOfMask(mask));
    case pftReal: case pftExtended: case pftDouble: case pftSingle: case pftComp: {
      int decimals = CtlMaskDecimals(mask);
      if (decimals < 0) decimals = Format.DecimalPlaces;
      return CtlFloatToText(CtlValueToFloat(t, Value.data()), decimals, Format.MaxLength, intl.DecimalChar());
    }
    case pftDate: {
      auto d = static_cast<TCtlDate>(CtlValueToInteger(t, Value.data()));
      if (d == NoDate) return {};
      // The display's blank years before 1900 are real dates in a range.
      int day = 0, month = 0, year = 0;
      DMYFromDate(d, day, month, year);
      return intl.DateTextFromDMY(intl.IntlDateMask(true), day, month, year, 0, false);
    }
    case pftTime: {
      auto v = static_cast<TCtlTime>(CtlValueToInteger(t, Value.data()));
      return v == NoTime ? AnsiString() : intl.TimeTextFromTime(intl.IntlTimeMask(true), v, false);
    }
    default: return {};
  }
}
