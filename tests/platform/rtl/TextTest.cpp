#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/rtl/AnsiString.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

namespace {
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/quorvex-text-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  AnsiString File(const char* name) const { return (path / name).string(); }
};

std::string readFile(const AnsiString& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST(ShortString, AssignmentKeepsTheFirstCharacters) {
  struct Case {
    std::string in;
    std::string want;
  };
  const Case cases[] = {{"", ""}, {"ab", "ab"}, {"abcde", "abcde"}, {"abcdef", "abcde"}, {std::string("a\0bcdefg", 8), std::string("a\0bcd", 5)}};
  for (const auto& c : cases) {
    ShortString<5> s(c.in);
    EXPECT_EQ(s.Str(), c.want);
    ShortString<5> t;
    t = c.in;
    EXPECT_EQ(t.Length(), c.want.size());
  }
  ShortString<5> s("abc");
  s += "defg";
  EXPECT_EQ(s.Str(), "abcde");
  s.SetLength(9);
  EXPECT_EQ(s.Length(), 5u);
  s.SetLength(2);
  EXPECT_EQ(s, "ab");
  ShortString<255> big(std::string(300, 'x'));
  EXPECT_EQ(big.Length(), 255u);
}

TEST(StringList, TextRoundTripsWithCrLf) {
  struct Case {
    AnsiString in;
    std::vector<AnsiString> lines;
    AnsiString text;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", {"a", "b"}, "a\r\nb\r\n"},
      {"a\nb", {"a", "b"}, "a\r\nb\r\n"},
      {"a\rb\r", {"a", "b"}, "a\r\nb\r\n"},
      {"a\r\n\r\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
      {"\n", {""}, "\r\n"},
      {"", {}, ""},
      {"tab\there \xE9", {"tab\there \xE9"}, "tab\there \xE9\r\n"},
  };
  for (const auto& c : cases) {
    TStringList l;
    l.SetText(c.in);
    ASSERT_EQ(l.Count(), static_cast<int>(c.lines.size())) << c.in;
    for (int i = 0; i < l.Count(); ++i) EXPECT_EQ(l[i], c.lines[static_cast<std::size_t>(i)]);
    EXPECT_EQ(l.Text(), c.text);
    TStringList again;
    again.SetText(l.Text());
    EXPECT_EQ(again.Text(), l.Text());
  }

  TempDir dir;
  TStringList l;
  l.Add("first");
  l.Add("");
  l.Add("last");
  l.SaveToFile(dir.File("l.txt"));
  EXPECT_EQ(readFile(dir.File("l.txt")), "first\r\n\r\nlast\r\n");
  TStringList back;
  back.LoadFromFile(dir.File("l.txt"));
  EXPECT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Text(), l.Text());
  EXPECT_THROW(back.LoadFromFile(dir.File("missing.txt")), EFOpenError);
}

TEST(StringList, SortedListsKeepOrderAndHonourDuplicates) {
  TStringList l;
  l.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "apple"}) l.Add(s);
  EXPECT_EQ(l.Count(), 3);  // duplicates ignored, case-insensitive
  EXPECT_EQ(l[0], "Apple");
  EXPECT_EQ(l[2], "pear");
  EXPECT_EQ(l.IndexOf("PEAR"), 2);
  l.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(l.Add("FIG"), EListError);
  EXPECT_THROW(l.Delete(3), EListError);
  EXPECT_THROW(l.Insert(0, "x"), EListError);  // a sorted list takes no position
}
