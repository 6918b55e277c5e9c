#include "controls/ctlStrings.h"

#include <cstring>
#include <string>

#include "platform/rtl/AnsiString.h"

namespace {

constexpr char Digits[] = "0123456789ABCDEF";

int PatternLength(const char* Pattern) {
  const std::size_t n = std::strlen(Pattern);
  return n > 255 ? 255 : int(n);
}

template <typename Map>
bool SearchWith(const char* Buffer, int BufLength, const uint8_t Table[256], int& Pos, const char* Pattern,
                Map map) {
  const int n = PatternLength(Pattern);
  if (n == 0) return false;
  if (n == 1) {
    for (int p = 0; p < BufLength; ++p)
      if (map(Buffer[p]) == Pattern[0]) {
        Pos = p;
        return true;
      }
    return false;
  }
  const char last = Pattern[n - 1];
  int p = n - 1;
  while (p < BufLength) {
    const char c = map(Buffer[p]);
    if (c == last) {
      int k = 1;
      while (k < n && map(Buffer[p - k]) == Pattern[n - 1 - k]) ++k;
      if (k == n) {
        Pos = p - n + 1;
        return true;
      }
      // Never step back: the shift of the last character is at least 1.
      p += Table[uint8_t(last)] > 0 ? Table[uint8_t(last)] : 1;
    } else {
      p += Table[uint8_t(c)] > 0 ? Table[uint8_t(c)] : 1;
    }
  }
  return false;
}

}  // namespace

char* ExpandTabsInto(char* Dest, const char* Src, uint8_t TabSize) {
  char* d = Dest;
  if (TabSize != 0) {
    int column = 0;
    for (const char* s = Src; *s; ++s) {
      if (*s == '\t') {
        const int n = TabSize - column % TabSize;
        std::memset(d, ' ', std::size_t(n));
        d += n;
        column += n;
      } else {
        *d++ = *s;
        ++column;
      }
    }
  }
  *d = '\0';
  return Dest;
}

void BuildSkipTable(const char* Pattern, uint8_t Table[256]) {
  const int n = PatternLength(Pattern);
  std::memset(Table, n, 256);
  for (int i = 0; i + 1 < n; ++i) Table[uint8_t(Pattern[i])] = uint8_t(n - 1 - i);
}

bool SkipTableSearch(const char* Buffer, int BufLength, const uint8_t Table[256], int& Pos, const char* Pattern) {
  return SearchWith(Buffer, BufLength, Table, Pos, Pattern, [](char c) { return c; });
}

bool SkipTableSearchNoCase(const char* Buffer, int BufLength, const uint8_t Table[256], int& Pos,
                           const char* Pattern) {
  return SearchWith(Buffer, BufLength, Table, Pos, Pattern, [](char c) { return AnsiUpperChar(c); });
}

bool FindCharPos(const char* S, char Ch, int& Pos) {
  if (!*S) return false;
  const char* p = std::strchr(S, Ch);
  if (!p || (Ch == '\0')) return false;
  Pos = int(p - S);
  return true;
}

bool FindTextPos(const char* S, const char* Sub, int& Pos) {
  if (!*Sub || !*S || std::strlen(Sub) > std::strlen(S)) return false;
  const char* p = std::strstr(S, Sub);
  if (!p) return false;
  Pos = int(p - S);
  return true;
}

char* InsertCharAt(char* S, char Ch, int Pos) {
  InsertCharRun(S, Ch, Pos, 1);
  return S;
}

char* InsertTextAt(char* S, const char* Sub, int Pos) {
  const std::size_t len = std::strlen(S);
  const std::size_t n = std::strlen(Sub);
  if (n == 0) return S;
  const std::size_t at = Pos < 0 ? 0 : std::min(std::size_t(Pos), len);
  std::memmove(S + at + n, S + at, len - at + 1);
  std::memcpy(S + at, Sub, n);
  return S;
}

void InsertCharRun(char* S, char Ch, int Pos, int Count) {
  if (Count <= 0) return;
  const std::size_t len = std::strlen(S);
  const std::size_t at = Pos < 0 ? 0 : std::min(std::size_t(Pos), len);
  std::memmove(S + at + std::size_t(Count), S + at, len - at + 1);
  std::memset(S + at, Ch, std::size_t(Count));
}

char* DeleteCharAt(char* S, int Pos) {
  return DeleteCharsAt(S, Pos, 1);
}

char* DeleteCharsAt(char* S, int Pos, int Count) {
  const std::size_t len = std::strlen(S);
  if (Pos < 0 || std::size_t(Pos) >= len || Count <= 0) return S;
  if (std::size_t(Count) >= len - std::size_t(Pos)) {
    S[Pos] = '\0';
  } else {
    std::memmove(S + Pos, S + Pos + Count, len - std::size_t(Pos) - std::size_t(Count) + 1);
  }
  return S;
}

void CopyCharsFrom(char* Dest, const char* S, int Pos, int Count) {
  const std::size_t len = std::strlen(S);
  if (Pos < 0 || std::size_t(Pos) >= len || Count <= 0) {
    Dest[0] = '\0';
    return;
  }
  const std::size_t n = std::min(std::size_t(Count), len - std::size_t(Pos));
  std::memmove(Dest, S + Pos, n);
  Dest[n] = '\0';
}

void StripSpaces(char* S) {
  std::size_t len = std::strlen(S);
  while (len > 0 && S[len - 1] == ' ') --len;
  S[len] = '\0';
  std::size_t lead = 0;
  while (S[lead] == ' ') ++lead;
  if (lead) std::memmove(S, S + lead, len - lead + 1);
}

char* StripTrailingControls(char* S) {
  std::size_t len = std::strlen(S);
  while (len > 0 && uint8_t(S[len - 1]) <= 32) --len;
  S[len] = '\0';
  return S;
}

void StripTrailingZeros(char* S) {
  std::size_t len = std::strlen(S);
  while (len > 0 && S[len - 1] == '0') --len;
  if (len > 0 && S[len - 1] == '.') --len;
  S[len] = '\0';
  StripSpaces(S);
}

void StripExponentZeros(char* S) {
  char* e = std::strpbrk(S, "Ee");
  if (!e) return;
  std::string mantissa(S, e);
  std::string exponent(e + 1);
  while (!mantissa.empty() && mantissa.back() == '0' && mantissa.find('.') != std::string::npos)
    mantissa.pop_back();
  if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
  if (!exponent.empty()) {
    const std::size_t sign = (exponent[0] == '+' || exponent[0] == '-') ? 1 : 0;
    std::size_t first = sign;
    while (first < exponent.size() && exponent[first] == '0') ++first;
    exponent.erase(sign, first - sign);
  }
  std::string out = mantissa + *e + exponent;
  std::memcpy(S, out.c_str(), out.size() + 1);
}

bool ParseLongText(const char* S, int32_t& Value) {
  std::string s(S);
  if (s.size() > 255) {
    Value = -1;
    return false;
  }
  while (!s.empty() && uint8_t(s.back()) <= 32) s.pop_back();
  const std::size_t hex = s.find("0x");
  if (hex != std::string::npos) s = s.substr(0, hex) + "$" + s.substr(hex + 2);
  // The run-time's conversion: optional sign, then decimal digits or "$" and hexadecimal digits.
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  }
  const std::size_t start = i;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = AnsiUpperChar(s[i]);
    const char* d = std::strchr(Digits, c);
    const int digit = (d && c) ? int(d - Digits) : 99;
    if (digit >= base) {
      Value = int32_t(i);
      return false;
    }
    v = v * base + digit;
    const int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
    if (v > limit) {
      Value = int32_t(i);
      return false;
    }
  }
  if (i == start) {
    Value = int32_t(i);
    return false;
  }
  Value = int32_t(uint32_t(negative ? -v : v));
  return true;
}

char* FormatBinary32(char* Dest, uint32_t Value) {
  for (int i = 0; i < 32; ++i) Dest[i] = Digits[(Value >> (31 - i)) & 1];
  Dest[32] = '\0';
  return Dest;
}

char* FormatOctal32(char* Dest, uint32_t Value) {
  for (int i = 11; i >= 0; --i) {
    Dest[i] = Digits[Value & 7];
    Value >>= 3;
  }
  Dest[12] = '\0';
  return Dest;
}

char* FormatHex16(char* Dest, uint16_t Value) {
  for (int i = 3; i >= 0; --i) {
    Dest[i] = Digits[Value & 15];
    Value = uint16_t(Value >> 4);
  }
  Dest[4] = '\0';
  return Dest;
}

char* FormatHex32(char* Dest, uint32_t Value) {
  FormatHex16(Dest, uint16_t(Value >> 16));
  FormatHex16(Dest + 4, uint16_t(Value));
  return Dest;
}

char UpperChar(char Ch) { return AnsiUpperChar(Ch); }
char LowerChar(char Ch) { return AnsiLowerChar(Ch); }
