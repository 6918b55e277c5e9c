// Byte strings of the Windows-1252 code page, fixed-capacity short strings, and code-page conversion.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

using AnsiString = std::string;

// Holds at most N characters; assigning a longer text keeps its first N.
template <std::size_t N>
class ShortString {
  static_assert(N >= 1 && N <= 255, "a short string holds 1 to 255 characters");

public:
  ShortString() = default;
  ShortString(std::string_view s) { assign(s); }
  ShortString(const char* s) { assign(s ? std::string_view(s) : std::string_view()); }
  ShortString(const std::string& s) { assign(s); }
  ShortString& operator=(std::string_view s) { assign(s); return *this; }
  ShortString& operator=(const char* s) { assign(s ? std::string_view(s) : std::string_view()); return *this; }
  ShortString& operator=(const std::string& s) { assign(s); return *this; }

  static constexpr std::size_t Capacity = N;
  std::size_t Length() const { return FLength; }
  const char* Data() const { return FData; }
  char& operator[](std::size_t i) { return FData[i]; }
  char operator[](std::size_t i) const { return FData[i]; }
  std::string Str() const { return std::string(FData, FLength); }
  operator std::string() const { return Str(); }
  std::string_view View() const { return std::string_view(FData, FLength); }
  void SetLength(std::size_t n) {
    n = std::min(n, N);
    if (n > FLength) std::fill(FData + FLength, FData + n, '\0');
    FLength = n;
  }
  ShortString& operator+=(std::string_view s) { assign(std::string(View()) + std::string(s)); return *this; }
  friend bool operator==(const ShortString& a, const ShortString& b) { return a.View() == b.View(); }
  friend bool operator==(const ShortString& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const ShortString& a, const char* b) { return a.View() == std::string_view(b ? b : ""); }
  friend bool operator==(const ShortString& a, const std::string& b) { return a.View() == b; }

private:
  void assign(std::string_view s) {
    FLength = std::min(s.size(), N);
    std::copy_n(s.data(), FLength, FData);
  }
  char FData[N] = {};
  std::size_t FLength = 0;
};

// Character classes and case mapping of Windows-1252.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);
bool IsAnsiAlpha(char c);
bool IsAnsiUpper(char c);
bool IsAnsiLower(char c);

// ASCII-only case mapping, as the run-time's UpperCase/LowerCase.
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
// Code-page case mapping, as AnsiUpperCase/AnsiLowerCase.
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
int CompareText(std::string_view a, std::string_view b);      // ASCII, case-insensitive
bool SameText(std::string_view a, std::string_view b);
int AnsiCompareText(std::string_view a, std::string_view b);  // code page, case-insensitive
int AnsiCompareStr(std::string_view a, std::string_view b);

AnsiString Trim(std::string_view s);       // drops codes <= 32 at both ends
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);
AnsiString StringOfChar(char c, std::size_t n);
AnsiString IntToStr(int64_t v);
AnsiString IntToHex(int64_t v, int digits);
int64_t StrToInt(std::string_view s);                 // raises EConvertError
int64_t StrToIntDef(std::string_view s, int64_t def);
bool TryStrToInt(std::string_view s, int64_t& out);
// 1-based position of sub in s, 0 when absent.
std::size_t Pos(std::string_view sub, std::string_view s);
AnsiString StringReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Conversions at the edges.
std::string AnsiToUtf8(std::string_view ansi);
AnsiString Utf8ToAnsi(std::string_view utf8);         // unmappable characters become '?'
char32_t AnsiCharToUnicode(char c);
std::string OemToAnsi(std::string_view oem);          // code page 437 to 1252
std::string AnsiToOem(std::string_view ansi);         // unmappable characters become '?'
