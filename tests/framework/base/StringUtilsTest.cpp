#include <gtest/gtest.h>

#include "framework/base/uStringUtils.h"

namespace {

struct TTextCase {
  const char* Name;
  AnsiString Got;
  AnsiString Want;
};

TEST(StringUtils, TrimPadAndTranslate) {
  const TTextCase cases[] = {
      {"tabs and blanks trim to empty", TrimBlanks("\t  \t\r\n"), ""},
      {"control codes are blanks", TrimBlanks("\x01 ab c\x1f"), "ab c"},
      {"code 160 is not a blank", TrimBlanks("\xa0x\xa0"), "\xa0x\xa0"},
      {"pad right", PadRightChar("ab", '.', 5), "ab..."},
      {"pad right never shortens", PadRightBlanks("abcdef", 3), "abcdef"},
      {"pad left", PadLeftChar("7", '0', 3), "007"},
      {"zeros never shorten", LeftPadZeros("12345678", 7).Str(), "12345678"},
      {"zeros of empty", LeftPadZeros("", 7).Str(), "0000000"},
      {"zeros capped at 255", AnsiString(std::to_string(LeftPadZeros("1", 300).Length())), "255"},
      {"translate", TranslateChars("a-b_c", "-_", "  "), "a b c"},
      {"translate sets of unequal length", TranslateChars("a-b", "-_", " "), "a-b"},
      {"proper case", ProperCase("hELLO wORLD-x", " -"), "Hello World-X"},
      {"proper case path", ProperCasePath("/USR/local bin/x"), "/Usr/Local bin/X"},
      {"prefix removed", RemovePrefix("Split_a", "Split_"), "a"},
      {"prefix case-sensitive", RemovePrefix("split_a", "Split_"), "split_a"},
      {"suffix removed", RemoveSuffix("a.txt", ".txt"), "a"},
      {"suffix absent", RemoveSuffix("a.txt", ".zip"), "a.txt"},
      {"trim short", TrimShort(" x ").Str(), "x"},
      {"char run", CharRunShort('-', 3).Str(), "---"},
      {"insert char", InsertCharShort("ac", 'b', 2).Str(), "abc"},
      {"insert past end appends", InsertCharShort("ab", 'c', 9).Str(), "abc"},
      {"delete char", DeleteCharShort("a,b,,c", ',').Str(), "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Got, c.Want) << c.Name;
}

TEST(StringUtils, CharacterTests) {
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_TRUE(IsAllDigits("0123456789"));
  EXPECT_FALSE(IsAllDigits("12a"));
  EXPECT_FALSE(IsAllDigits(" 1"));
  EXPECT_TRUE(HasWildcards("*.hot"));
  EXPECT_TRUE(HasWildcards("a?"));
  EXPECT_FALSE(HasWildcards("a.hot"));
  EXPECT_EQ(FindChar("abcb", 'b'), 2);
  EXPECT_EQ(FindChar("abc", 'z'), 0);
  EXPECT_TRUE(CharPresent("abc", 'c'));
  EXPECT_EQ(FindCharShort("abc", 'c'), 3);
  EXPECT_FALSE(ShortCharPresent("abc", 'd'));
  EXPECT_TRUE(MatchAt("BFH01", "01", 4));
  EXPECT_FALSE(MatchAt("BFH01", "01", 5));
  EXPECT_FALSE(MatchAt("BFH01", "BF", 0));
}

TEST(StringUtils, WordsAreRunsOfNonDelimiters) {
  struct {
    const char* Text;
    int Count;
    int SecondPos;
    const char* Second;
  } cases[] = {
      {"", 0, 0, ""},
      {"one", 1, 0, ""},
      {"  one  two ", 2, 8, "two"},
      {",,a,,b,c", 3, 6, "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CountWords(c.Text, " ,"), c.Count) << c.Text;
    EXPECT_EQ(WordPosition(2, c.Text, " ,"), c.SecondPos) << c.Text;
    EXPECT_EQ(ExtractWord(2, c.Text, " ,"), c.Second) << c.Text;
    EXPECT_EQ(CountWordsShort(c.Text, " ,"), c.Count) << c.Text;
    EXPECT_EQ(WordPositionShort(2, c.Text, " ,"), c.SecondPos) << c.Text;
  }
}

TEST(StringUtils, TokensKeepEmptyFields) {
  EXPECT_EQ(CountTokens("a;;b", ";"), 3);
  EXPECT_EQ(GetToken(2, "a;;b", ";"), "");
  EXPECT_EQ(GetToken(3, "a;;b", ";"), "b");
  EXPECT_EQ(GetToken(4, "a;;b", ";"), "");
  EXPECT_EQ(GetToken(0, "a;;b", ";"), "");
  EXPECT_EQ(CountTokens("", ";"), 0);
  EXPECT_EQ(CountTokens("abc", ""), 0);
  EXPECT_EQ(CountTokens("a::b::", "::"), 3);
  EXPECT_EQ(CountTokens("a:::b", "::"), 2);  // occurrences do not overlap
  EXPECT_EQ(GetToken(2, "a:::b", "::"), ":b");

  TStringList lines;
  lines.Add("old");
  SplitToLines(lines, "x;;y;", ";", true);
  ASSERT_EQ(lines.Count(), 4);
  EXPECT_EQ(lines[0], "x");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "y");
  EXPECT_EQ(lines[3], "");
  SplitToLines(lines, "z", ";", false);
  EXPECT_EQ(lines.Count(), 5);
  // Empty pieces bring no separator.
  EXPECT_EQ(JoinLines(lines, ","), "x,y,z");
}

TEST(StringUtils, AppendWithSeparatorFlags) {
  const TTextCase cases[] = {
      {"not joined", AppendWithSeparator("a", "b", ",", true, true, false), "a"},
      {"plain", AppendWithSeparator("a", "b", ",", false, false, true), "a,b"},
      {"stripped", AppendWithSeparator("a,", ",b", ",", false, true, true), "a,b"},
      {"only one stripped", AppendWithSeparator("a,,", ",,b", ",", false, true, true), "a,,,b"},
      {"unstripped doubles", AppendWithSeparator("a,", ",b", ",", false, false, true), "a,,,b"},
      {"empty list", AppendWithSeparator("", "b", ",", false, false, true), "b"},
      {"empty item", AppendWithSeparator("a", "", ",", false, false, true), "a"},
      {"empty always separated", AppendWithSeparator("", "b", ",", true, false, true), ",b"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.Got, c.Want) << c.Name;
}

TEST(StringUtils, IntegerConversionReportsTheBadPosition) {
  struct {
    AnsiString Text;
    bool Ok;
    int32_t Value;
    int ErrorPos;
  } cases[] = {
      {"123", true, 123, 0},
      {"-2147483648", true, INT32_MIN, 0},
      {"2147483647", true, INT32_MAX, 0},
      {"2147483648", false, 0, 10},
      {"$1F", true, 31, 0},
      {"  42", true, 42, 0},
      {"12a4", false, 0, 3},
      {"42 ", false, 0, 3},
      {"", false, 0, 1},
      {"-", false, 0, 2},
      {AnsiString(256, '1'), false, 0, 256},
  };
  for (const auto& c : cases) {
    int32_t v = 0;
    int pos = -1;
    EXPECT_EQ(StrToLongChecked(c.Text, v, pos), c.Ok) << c.Text;
    EXPECT_EQ(pos, c.ErrorPos) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(v, c.Value) << c.Text;
    }
  }
  int16_t s = 0;
  int pos = 0;
  EXPECT_TRUE(ShortStrToIntChecked("-32768", s, pos));
  EXPECT_EQ(s, -32768);
  EXPECT_FALSE(ShortStrToIntChecked("32768", s, pos));
  EXPECT_EQ(pos, 5);
  EXPECT_FALSE(ShortStrToIntChecked("7-", s, pos));
  EXPECT_EQ(pos, 2);
  EXPECT_EQ(LongToStr(-17), "-17");
}

TEST(StringUtils, PathPartsUseSlashOnly) {
  struct {
    const char* Path;
    const char* File;
    const char* Folder;
    const char* Base;
    const char* Ext;
  } cases[] = {
      {"/a/b.txt", "b.txt", "/a", "b", "txt"},
      {"/b.txt", "b.txt", "/", "b", "txt"},
      {"b.txt", "b.txt", "", "b", "txt"},
      {"/dir.x/file", "file", "/dir.x", "file", ""},
      {"C:\\a\\b.txt", "C:\\a\\b.txt", "", "C:\\a\\b", "txt"},
      {"/x/a:b", "a:b", "/x", "a:b", ""},
      {"/x/arch.tar.zip", "arch.tar.zip", "/x", "arch.tar", "zip"},
      {"/x/", "", "/x", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePart(c.Path), c.File) << c.Path;
    EXPECT_EQ(ExtractFolderPart(c.Path), c.Folder) << c.Path;
    EXPECT_EQ(ExtractBaseName(c.Path), c.Base) << c.Path;
    EXPECT_EQ(ExtractExtension(c.Path), c.Ext) << c.Path;
  }
  EXPECT_EQ(ExtractFilePart("/" + AnsiString(300, 'n')).size(), 260u);
  int pos = 0;
  EXPECT_TRUE(FindExtensionDot("/a/b.c", pos));
  EXPECT_EQ(pos, 5);
  EXPECT_FALSE(FindExtensionDot("/a.b/c", pos));

  const TTextCase cases2[] = {
      {"replace", ReplaceExtension("b.txt", "ini"), "b.ini"},
      {"dot in folder only", ReplaceExtension("dir.x/file", "ini"), "dir.x/file.ini"},
      {"no dot", ReplaceExtension("file", "ini"), "file.ini"},
      {"empty path", ReplaceExtension("", "ini"), ""},
      {"trailing dot", ReplaceExtension("file.", "ini"), "file.ini"},
      {"separator added", EnsureTrailingBackslash("/a/b"), "/a/b/"},
      {"short path too", EnsureTrailingBackslash("/a"), "/a/"},
      {"two characters", EnsureTrailingBackslash("ab"), "ab/"},
      {"colon is ordinary", EnsureTrailingBackslash("C:"), "C:/"},
      {"already ended", EnsureTrailingBackslash("/a/"), "/a/"},
      {"root", EnsureTrailingBackslash("/"), "/"},
      {"empty stays empty", EnsureTrailingBackslash(""), ""},
  };
  for (const auto& c : cases2) EXPECT_EQ(c.Got, c.Want) << c.Name;
}

TEST(StringUtils, CaptionPrefixIsAddedOnce) {
  EXPECT_EQ(ApplyCaptionPrefix("Splitter"), "Splitter");
  SetCaptionPrefix("TEST");
  EXPECT_EQ(ApplyCaptionPrefix("Splitter"), "TEST Splitter");
  EXPECT_EQ(ApplyCaptionPrefix("TEST Splitter"), "TEST Splitter");
  SetCaptionPrefix("");
}

}  // namespace
