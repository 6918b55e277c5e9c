#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/ctlStrings.h"

TEST(CtlStrings, ExpandTabs) {
  char out[64];
  EXPECT_STREQ(ExpandTabsInto(out, "ab\tc", 4), "ab  c");
  EXPECT_STREQ(ExpandTabsInto(out, "\t\tx", 3), "      x");
  EXPECT_STREQ(ExpandTabsInto(out, "ab\tc", 0), "");
}

TEST(CtlStrings, SkipTableSearch) {
  struct { const char* buf; const char* pat; bool found; int pos; } cases[] = {
      {"hello world", "o", true, 4},        {"hello world", "world", true, 6},
      {"hello world", "worlds", false, 0},  {"ab", "abc", false, 0},
      {"aaab", "aab", true, 1},             {"xyzxyzabc", "zab", true, 5},
      {"abcabd", "abd", true, 3},           {"", "a", false, 0},
      {"abc", "", false, 0},
  };
  for (const auto& c : cases) {
    uint8_t table[256];
    BuildSkipTable(c.pat, table);
    int pos = -7;
    EXPECT_EQ(SkipTableSearch(c.buf, int(std::strlen(c.buf)), table, pos, c.pat), c.found) << c.buf << "/" << c.pat;
    if (c.found) {
      EXPECT_EQ(pos, c.pos) << c.buf << "/" << c.pat;
    }
  }
  uint8_t table[256];
  BuildSkipTable("WORLD", table);
  int pos = -1;
  EXPECT_TRUE(SkipTableSearchNoCase("Hello World", 11, table, pos, "WORLD"));
  EXPECT_EQ(pos, 6);
  // Only the given length is searched.
  EXPECT_FALSE(SkipTableSearchNoCase("Hello World", 10, table, pos, "WORLD"));
}

TEST(CtlStrings, FindInsertDelete) {
  int pos = -1;
  EXPECT_TRUE(FindCharPos("abcb", 'b', pos));
  EXPECT_EQ(pos, 1);
  EXPECT_FALSE(FindCharPos("", 'b', pos));
  EXPECT_TRUE(FindTextPos("abcabc", "ca", pos));
  EXPECT_EQ(pos, 2);
  EXPECT_FALSE(FindTextPos("ab", "abc", pos));
  EXPECT_FALSE(FindTextPos("ab", "", pos));

  char s[32] = "abc";
  EXPECT_STREQ(InsertCharAt(s, 'X', 1), "aXbc");
  EXPECT_STREQ(InsertCharAt(s, 'Y', 99), "aXbcY");
  EXPECT_STREQ(InsertTextAt(s, "12", 0), "12aXbcY");
  EXPECT_STREQ(InsertTextAt(s, "", 3), "12aXbcY");
  InsertCharRun(s, '-', 2, 3);
  EXPECT_STREQ(s, "12---aXbcY");
  EXPECT_STREQ(DeleteCharAt(s, 0), "2---aXbcY");
  EXPECT_STREQ(DeleteCharAt(s, 50), "2---aXbcY");
  EXPECT_STREQ(DeleteCharsAt(s, 1, 3), "2aXbcY");
  EXPECT_STREQ(DeleteCharsAt(s, 3, 100), "2aX");
  char d[32];
  CopyCharsFrom(d, "abcdef", 2, 3);
  EXPECT_STREQ(d, "cde");
  CopyCharsFrom(d, "abcdef", 4, 10);
  EXPECT_STREQ(d, "ef");
  CopyCharsFrom(d, "abcdef", 6, 1);
  EXPECT_STREQ(d, "");
}

TEST(CtlStrings, Stripping) {
  struct { void (*fn)(char*); const char* in; const char* out; } cases[] = {
      {StripSpaces, "  ab c  ", "ab c"},
      {[](char* s) { StripTrailingControls(s); }, "ab\t\r\n ", "ab"},
      {[](char* s) { StripTrailingControls(s); }, "    ", ""},
      {StripTrailingZeros, "12.500", "12.5"},
      {StripTrailingZeros, "12.000", "12"},
      {StripExponentZeros, "1.2500E+007", "1.25E+7"},
      {StripExponentZeros, "3.000E-010", "3E-10"},
      {StripExponentZeros, "123", "123"},
  };
  for (const auto& c : cases) {
    char buf[64];
    std::strcpy(buf, c.in);
    c.fn(buf);
    EXPECT_STREQ(buf, c.out) << c.in;
  }
}

TEST(CtlStrings, ParseLongText) {
  struct { const char* in; bool ok; int32_t value; } cases[] = {
      {"0x1F", true, 31}, {"12a", false, 2}, {"-42  ", true, -42}, {"$FF", true, 255},
      {"2147483647", true, 2147483647}, {"2147483648", false, 9}, {"", false, 0}, {"-", false, 1},
  };
  for (const auto& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseLongText(c.in, v), c.ok) << c.in;
    EXPECT_EQ(v, c.value) << c.in;
  }
  const std::string longText(256, '1');
  int32_t v = 0;
  EXPECT_FALSE(ParseLongText(longText.c_str(), v));
  EXPECT_EQ(v, -1);
}

TEST(CtlStrings, NumberFormats) {
  char buf[40];
  EXPECT_STREQ(FormatHex32(buf, 255), "000000FF");
  EXPECT_STREQ(FormatHex32(buf, 0xDEADBEEF), "DEADBEEF");
  EXPECT_STREQ(FormatHex16(buf, 0xABC), "0ABC");
  EXPECT_STREQ(FormatOctal32(buf, 8), "000000000010");
  EXPECT_STREQ(FormatOctal32(buf, 0xFFFFFFFF), "037777777777");
  EXPECT_STREQ(FormatBinary32(buf, 5), (std::string(29, '0') + "101").c_str());
}
