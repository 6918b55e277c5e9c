#include "platform/rtl/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Regional.h"

namespace {

[[noreturn]] void invalid(const AnsiString& fmt) {
  throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
}

AnsiString digitsWithThousands(const AnsiString& intPart, char sep) {
  if (!sep) return intPart;
  AnsiString r;
  int n = static_cast<int>(intPart.size());
  for (int i = 0; i < n; ++i) {
    r += intPart[static_cast<std::size_t>(i)];
    int left = n - 1 - i;
    if (left > 0 && left % 3 == 0) r += sep;
  }
  return r;
}

// |v| in fixed notation with `decimals` places, rounded half away from zero on its 18 significant
// digits as the run-time's float conversion does (printf would round 2.25 to "2.2").
void fixedParts(long double a, int decimals, AnsiString& ip, AnsiString& fp) {
  decimals = std::clamp(decimals, 0, 18);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", a);
  AnsiString digits(1, buf[0]);
  digits.append(buf + 2, 17);
  int intLen = std::atoi(std::strchr(buf, 'e') + 1) + 1;
  if (a == 0) intLen = 1, digits = "0";
  int keep = intLen + decimals;
  if (keep < 0) {
    digits.clear();
  } else if (keep < static_cast<int>(digits.size())) {
    bool up = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    for (int k = keep - 1; up && k >= 0; --k) {
      char& d = digits[static_cast<std::size_t>(k)];
      if (d == '9') d = '0';
      else { ++d; up = false; }
    }
    if (up) {
      digits.insert(0, "1");
      ++intLen;
    }
  }
  int total = intLen + decimals;
  if (static_cast<int>(digits.size()) < total && total > 0) digits.append(static_cast<std::size_t>(total) - digits.size(), '0');
  if (intLen <= 0) {
    ip = "0";
    AnsiString lead(static_cast<std::size_t>(std::min(-intLen, decimals)), '0');
    fp = (lead + digits).substr(0, static_cast<std::size_t>(decimals));
  } else {
    ip = digits.substr(0, static_cast<std::size_t>(intLen));
    fp = digits.substr(static_cast<std::size_t>(intLen));
  }
  if (static_cast<int>(fp.size()) < decimals) fp.append(static_cast<std::size_t>(decimals) - fp.size(), '0');
}

// Fixed notation with `decimals` digits, the regional decimal separator and optional thousands.
AnsiString fixed(long double v, int decimals, bool thousands) {
  const auto& fs = FormatSettings();
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  AnsiString ip, fp;
  fixedParts(fabsl(v), decimals, ip, fp);
  AnsiString r = thousands ? digitsWithThousands(ip, fs.ThousandSeparator) : ip;
  if (!fp.empty()) r += fs.DecimalSeparator + fp;
  bool negative = v < 0 && (ip + fp).find_first_not_of('0') != AnsiString::npos;
  return negative ? "-" + r : r;
}

AnsiString exponentText(int exp, int minDigits, bool plusSign) {
  AnsiString d = std::to_string(std::abs(exp));
  while (static_cast<int>(d.size()) < minDigits) d = "0" + d;
  return AnsiString("E") + (exp < 0 ? "-" : (plusSign ? "+" : "")) + d;
}

// The first n significant digits of a >= 0, rounded half away from zero on its 18 digits; exp is
// the power of ten of the first digit.
void significant(long double a, int n, AnsiString& digits, int& exp) {
  if (a == 0) {
    digits.assign(static_cast<std::size_t>(n), '0');
    exp = 0;
    return;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", a);
  digits.assign(1, buf[0]);
  digits.append(buf + 2, 17);
  exp = std::atoi(std::strchr(buf, 'e') + 1);
  if (n >= static_cast<int>(digits.size())) {
    digits.append(static_cast<std::size_t>(n) - digits.size(), '0');
    return;
  }
  bool up = digits[static_cast<std::size_t>(n)] >= '5';
  digits.resize(static_cast<std::size_t>(n));
  for (int k = n - 1; up && k >= 0; --k) {
    char& d = digits[static_cast<std::size_t>(k)];
    if (d == '9') d = '0';
    else { ++d; up = false; }
  }
  if (up) {
    digits.insert(0, "1");
    digits.pop_back();
    ++exp;
  }
}

AnsiString exponent(long double v, int precision, int digits) {
  const auto& fs = FormatSettings();
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  precision = std::clamp(precision, 1, 18);
  AnsiString d;
  int exp;
  significant(fabsl(v), precision, d, exp);
  AnsiString mant = d.substr(0, 1);
  if (d.size() > 1) mant += fs.DecimalSeparator + d.substr(1);
  return (v < 0 ? "-" : "") + mant + exponentText(exp, digits, true);
}

AnsiString general(long double v, int precision, int digits) {
  const auto& fs = FormatSettings();
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  precision = std::clamp(precision, 1, 18);
  if (v == 0) return "0";
  AnsiString d;
  int exp;
  significant(fabsl(v), precision, d, exp);
  while (d.size() > 1 && d.back() == '0') d.pop_back();
  AnsiString r;
  if (exp < -5 || exp >= precision) {
    r = d.substr(0, 1);
    if (d.size() > 1) r += fs.DecimalSeparator + d.substr(1);
    r += exponentText(exp, digits, false);
  } else if (exp < 0) {
    r = "0" + AnsiString(1, fs.DecimalSeparator) + AnsiString(static_cast<std::size_t>(-exp - 1), '0') + d;
  } else {
    std::size_t intLen = static_cast<std::size_t>(exp) + 1;
    if (d.size() < intLen) d.append(intLen - d.size(), '0');
    r = d.substr(0, intLen);
    if (d.size() > intLen) r += fs.DecimalSeparator + d.substr(intLen);
  }
  return (v < 0 ? "-" : "") + r;
}

AnsiString currency(long double v, int decimals) {
  const auto& fs = FormatSettings();
  AnsiString num = fixed(fabsl(v), decimals, true);
  const AnsiString& c = fs.CurrencyString;
  if (v >= 0 || num.find_first_not_of(AnsiString("0") + fs.DecimalSeparator + fs.ThousandSeparator) == AnsiString::npos) {
    switch (fs.CurrencyFormat) {
      case 1: return num + c;
      case 2: return c + " " + num;
      case 3: return num + " " + c;
      default: return c + num;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + num;
    case 2: return c + "-" + num;
    case 3: return c + num + "-";
    case 4: return "(" + num + c + ")";
    case 5: return "-" + num + c;
    case 6: return num + "-" + c;
    case 7: return num + c + "-";
    case 8: return "-" + num + " " + c;
    case 9: return "-" + c + " " + num;
    case 10: return num + " " + c + "-";
    case 11: return c + " " + num + "-";
    case 12: return c + " -" + num;
    case 13: return num + "- " + c;
    case 14: return "(" + c + " " + num + ")";
    case 15: return "(" + num + " " + c + ")";
    default: return "(" + c + num + ")";
  }
}

}  // namespace

AnsiString FloatToStrF(long double v, TFloatFormat f, int precision, int digits) {
  switch (f) {
    case TFloatFormat::ffExponent: return exponent(v, precision, digits);
    case TFloatFormat::ffFixed: return fixed(v, digits, false);
    case TFloatFormat::ffNumber: return fixed(v, digits, true);
    case TFloatFormat::ffCurrency: return currency(v, digits);
    case TFloatFormat::ffGeneral: break;
  }
  return general(v, precision, digits);
}

AnsiString FloatToStr(long double v) { return general(v, 15, 0); }

AnsiString Format(const AnsiString& fmt, const TVarRec* args, std::size_t count) {
  AnsiString out;
  std::size_t argIndex = 0;
  std::size_t i = 0;
  const std::size_t n = fmt.size();
  auto nextInt = [&]() -> int {
    if (argIndex >= count) invalid(fmt);
    const TVarRec& a = args[argIndex++];
    if (a.VType == TVarRec::Kind::Int) return static_cast<int>(a.VInt);
    if (a.VType == TVarRec::Kind::UInt) return static_cast<int>(a.VUInt);
    invalid(fmt);
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < n && fmt[i] == '*') {
      ++i;
      value = nextInt();
      return true;
    }
    if (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
      value = 0;
      while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
        value = std::min(value * 10 + (fmt[i] - '0'), 100000);
        ++i;
      }
      return true;
    }
    return false;
  };

  while (i < n) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    ++i;
    if (i < n && fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // [index:][-][width][.precision]type
    int number = -1;
    std::size_t save = i, saveArg = argIndex;
    if (readNumber(number) && i < n && fmt[i] == ':') {
      if (number < 0) invalid(fmt);
      argIndex = static_cast<std::size_t>(number);
      ++i;
    } else {
      // Not an index: a '*' read here was the width's and is read again.
      i = save;
      argIndex = saveArg;
    }
    bool left = false;
    if (i < n && fmt[i] == '-') {
      left = true;
      ++i;
    }
    int width = -1, prec = -1;
    if (!readNumber(width)) width = -1;
    if (width < 0 && width != -1) {
      left = true;
      width = -width;
    }
    if (i < n && fmt[i] == '.') {
      ++i;
      if (!readNumber(prec)) prec = 0;
    }
    if (i >= n) invalid(fmt);
    char type = static_cast<char>(fmt[i] | 0x20);
    ++i;
    if (argIndex >= count) invalid(fmt);
    const TVarRec& a = args[argIndex++];
    using K = TVarRec::Kind;
    bool isInt = a.VType == K::Int || a.VType == K::UInt;
    long double fv = a.VType == K::Float ? a.VFloat
                     : a.VType == K::Int ? static_cast<long double>(a.VInt)
                                         : static_cast<long double>(a.VUInt);
    AnsiString piece;
    switch (type) {
      case 'd':
      case 'u': {
        if (!isInt) invalid(fmt);
        bool neg = false;
        uint64_t mag;
        if (a.VType == K::UInt) {
          mag = a.VUInt;
        } else if (type == 'u' && a.VInt < 0) {
          mag = a.VInt >= INT32_MIN ? static_cast<uint32_t>(a.VInt) : static_cast<uint64_t>(a.VInt);
        } else {
          neg = a.VInt < 0;
          mag = neg ? 0 - static_cast<uint64_t>(a.VInt) : static_cast<uint64_t>(a.VInt);
        }
        piece = std::to_string(mag);
        if (prec > 0 && static_cast<int>(piece.size()) < prec)
          piece.insert(0, static_cast<std::size_t>(prec) - piece.size(), '0');
        if (neg) piece.insert(0, "-");
        break;
      }
      case 'x': {
        if (!isInt) invalid(fmt);
        uint64_t v = a.VType == K::UInt ? a.VUInt
                     : (a.VInt < 0 && a.VInt >= INT32_MIN) ? static_cast<uint32_t>(a.VInt)
                                                           : static_cast<uint64_t>(a.VInt);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
        piece = buf;
        if (prec > 0 && static_cast<int>(piece.size()) < prec)
          piece.insert(0, static_cast<std::size_t>(prec) - piece.size(), '0');
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        if (a.VType != K::Float) invalid(fmt);
        if (type == 'e') piece = exponent(fv, prec < 0 ? 15 : prec, 3);
        else if (type == 'f') piece = fixed(fv, prec < 0 ? 2 : prec, false);
        else if (type == 'g') piece = general(fv, prec < 0 ? 15 : prec, 3);
        else if (type == 'n') piece = fixed(fv, prec < 0 ? 2 : prec, true);
        else piece = currency(fv, prec < 0 ? FormatSettings().CurrencyDecimals : prec);
        break;
      }
      case 'p': {
        if (a.VType != K::Pointer) invalid(fmt);
        char buf[32];
        auto v = reinterpret_cast<uintptr_t>(a.VPointer);
        std::snprintf(buf, sizeof buf, v > 0xFFFFFFFFu ? "%016llX" : "%08llX", static_cast<unsigned long long>(v));
        piece = buf;
        break;
      }
      case 's': {
        if (a.VType != K::String && a.VType != K::Char) invalid(fmt);
        piece = a.VString;
        if (prec >= 0 && static_cast<int>(piece.size()) > prec) piece.resize(static_cast<std::size_t>(prec));
        break;
      }
      default:
        invalid(fmt);
    }
    if (width > static_cast<int>(piece.size())) {
      std::size_t pad = static_cast<std::size_t>(width) - piece.size();
      if (left) piece.append(pad, ' ');
      else piece.insert(0, pad, ' ');
    }
    out += piece;
  }
  return out;
}
