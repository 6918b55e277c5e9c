#include "platform/rtl/AnsiString.h"

#include <array>
#include <cstdio>

#include "platform/rtl/Exceptions.h"

namespace {

// Unicode of Windows-1252 codes 0x80 to 0x9F; the five unassigned codes map to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Unicode of code page 437 codes 0x80 to 0xFF.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
    0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
    0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
    0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

struct CaseTables {
  std::array<unsigned char, 256> upper{}, lower{};
  std::array<bool, 256> alpha{};
  CaseTables() {
    for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
    auto pair = [&](int up, int low) {
      upper[low] = static_cast<unsigned char>(up);
      lower[up] = static_cast<unsigned char>(low);
      alpha[up] = alpha[low] = true;
    };
    for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
      if (c != 0xD7) pair(c, c + 32);
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
    for (int c : {0x83, 0xAA, 0xB5, 0xBA, 0xDF}) alpha[c] = true;
  }
};

const CaseTables& tables() {
  static const CaseTables t;
  return t;
}

unsigned char uc(char c) { return static_cast<unsigned char>(c); }

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Windows-1252 code of a Unicode character, or -1.
int ansiOf(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (int i = 0; i < 32; ++i)
    if (kCp1252High[i] == cp) return 0x80 + i;
  return -1;
}

}  // namespace

char AnsiUpperChar(char c) { return static_cast<char>(tables().upper[uc(c)]); }
char AnsiLowerChar(char c) { return static_cast<char>(tables().lower[uc(c)]); }
bool IsAnsiAlpha(char c) { return tables().alpha[uc(c)]; }
bool IsAnsiUpper(char c) { return IsAnsiAlpha(c) && tables().lower[uc(c)] != uc(c); }
bool IsAnsiLower(char c) { return IsAnsiAlpha(c) && tables().upper[uc(c)] != uc(c); }

AnsiString UpperCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

AnsiString LowerCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

AnsiString AnsiUpperCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r) c = AnsiUpperChar(c);
  return r;
}

AnsiString AnsiLowerCase(std::string_view s) {
  AnsiString r(s);
  for (char& c : r) c = AnsiLowerChar(c);
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int x = uc(a[i]), y = uc(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

int AnsiCompareText(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int x = uc(AnsiLowerChar(a[i])), y = uc(AnsiLowerChar(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

AnsiString Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

AnsiString TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && uc(s[i]) <= 32) ++i;
  return AnsiString(s.substr(i));
}

AnsiString TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && uc(s[n - 1]) <= 32) --n;
  return AnsiString(s.substr(0, n));
}

AnsiString StringOfChar(char c, std::size_t n) { return AnsiString(n, c); }

AnsiString IntToStr(int64_t v) { return std::to_string(v); }

AnsiString IntToHex(int64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

bool TryStrToInt(std::string_view s, int64_t& out) {
  AnsiString t = Trim(s);
  if (t.empty()) return false;
  std::size_t i = 0;
  bool neg = false;
  if (t[0] == '-' || t[0] == '+') {
    neg = t[0] == '-';
    i = 1;
  }
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  uint64_t v = 0;
  for (; i < t.size(); ++i) {
    int d;
    char c = t[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  if (base == 10 && v > (neg ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX))) return false;
  out = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t StrToInt(std::string_view s) {
  int64_t v;
  if (!TryStrToInt(s, v)) throw EConvertError("'%s' is not a valid integer value", {AnsiString(s)});
  return v;
}

int64_t StrToIntDef(std::string_view s, int64_t def) {
  int64_t v;
  return TryStrToInt(s, v) ? v : def;
}

std::size_t Pos(std::string_view sub, std::string_view s) {
  if (sub.empty()) return 0;
  auto p = s.find(sub);
  return p == std::string_view::npos ? 0 : p + 1;
}

AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return AnsiString(s);
  AnsiString r;
  std::size_t i = 0;
  for (;;) {
    auto p = s.find(from, i);
    if (p == std::string_view::npos) break;
    r.append(s.substr(i, p - i));
    r.append(to);
    i = p + from.size();
  }
  r.append(s.substr(i));
  return r;
}

char32_t AnsiCharToUnicode(char c) {
  unsigned char b = uc(c);
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
}

std::string AnsiToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) appendUtf8(out, AnsiCharToUnicode(c));
  return out;
}

AnsiString Utf8ToAnsi(std::string_view s) {
  AnsiString out;
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char b = uc(s[i]);
    char32_t cp;
    int len;
    if (b < 0x80) { cp = b; len = 1; }
    else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; len = 2; }
    else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; len = 3; }
    else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; len = 4; }
    else { out += '?'; ++i; continue; }
    if (i + static_cast<std::size_t>(len) > s.size()) { out += '?'; break; }
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      unsigned char cb = uc(s[i + static_cast<std::size_t>(k)]);
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cb & 0x3F);
    }
    if (!ok) { out += '?'; ++i; continue; }
    i += static_cast<std::size_t>(len);
    int a = ansiOf(cp);
    out += a < 0 ? '?' : static_cast<char>(a);
  }
  return out;
}

std::string OemToAnsi(std::string_view oem) {
  std::string out;
  out.reserve(oem.size());
  for (char c : oem) {
    unsigned char b = uc(c);
    if (b < 0x80) { out += c; continue; }
    int a = ansiOf(kCp437High[b - 0x80]);
    out += a < 0 ? '?' : static_cast<char>(a);
  }
  return out;
}

std::string AnsiToOem(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char c : ansi) {
    unsigned char b = uc(c);
    if (b < 0x80) { out += c; continue; }
    char32_t cp = AnsiCharToUnicode(c);
    int found = -1;
    for (int i = 0; i < 128; ++i)
      if (kCp437High[i] == cp) { found = 0x80 + i; break; }
    out += found < 0 ? '?' : static_cast<char>(found);
  }
  return out;
}
