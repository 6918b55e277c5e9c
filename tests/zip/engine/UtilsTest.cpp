#include <gtest/gtest.h>

#include "ZipTestSupport.h"
#include "platform/rtl/StringList.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpUtils.h"

namespace {

TEST(ZpUtils, Percentage) {
  struct Case {
    int64_t done, total;
    int expected;
  };
  const Case cases[] = {{5, 0, 0},   {7, 7, 100},  {9, 7, 100}, {1, 3, 33}, {0, 10, 0}, {-3, 10, 0},
                        {3, -1, 0},  {int64_t(0x7FFFFFFF), int64_t(0xFFFFFFFF), 50}, {0xFA0001, 0xFA0001, 100}};
  for (const Case& c : cases) EXPECT_EQ(int(ZpPercentage(c.done, c.total)), c.expected) << c.done << "/" << c.total;
}

TEST(ZpUtils, WildcardMatch) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"README", "*.*", true},         {"a.txt", "*", true},          {"a.txt", "*.TXT", true},
      {"a.txt", "?.txt", true},        {"ab.txt", "?.txt", false},    {"dir/a.txt", "dir/*.txt", true},
      {"other/a.txt", "dir/*.txt", false}, {"dir\\a.txt", "DIR/A.TXT", true}, {"a.hot", "*.txt", false},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false}, {"x.tar.gz", "*.gz", true},
      {"dir/sub/a.txt", "*.txt", true},
  };
  for (const Case& c : cases) EXPECT_EQ(ZpMatchWildcard(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(ZpUtils, Utf8BeyondAscii) {
  const std::pair<std::string, bool> cases[] = {
      {"plain.txt", false},         {"caf\xC3\xA9", true},     {"caf\xE9", false},      {"\xF0\x9F\x98\x80", true},
      {"\xC0\xAF", false},          {"\xE0\x80\xAF", false},  {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false},
      {"end\xC3", false},           {"\xC3\xA9\x80", false},   {"", false},
  };
  for (const auto& [name, utf8] : cases) EXPECT_EQ(ZpIsUtf8BeyondAscii(name), utf8) << name;
}

TEST(ZpUtils, PathRoutines) {
  EXPECT_EQ(ZpRemoveDotParts("../a/./b/../c.txt"), "a/b/c.txt");
  EXPECT_EQ(ZpRemoveLeadingDots("../../a/b"), "a/b");
  EXPECT_EQ(ZpStripDrive("C:\\dir\\f.txt"), "/dir/f.txt");
  EXPECT_EQ(ZpStripDrive("//server/share/f.txt"), "/f.txt");
  EXPECT_EQ(ZpStripDrive("/home/f.txt"), "/home/f.txt");
  EXPECT_EQ(ZpPathType("C:x"), 2);
  EXPECT_EQ(ZpPathType("/abs/x"), 2);
  EXPECT_EQ(ZpPathType("rel/x"), 1);
  EXPECT_EQ(ZpPathType("x.txt"), 0);
  EXPECT_EQ(ZpFindNthSlash("a/b/c", 2), 4u);
  EXPECT_EQ(ZpFindNthSlash("a/b/c", 3), 0u);
  EXPECT_EQ(ZpAddTrailingDelimiter("a"), "a/");
  EXPECT_EQ(ZpAddTrailingDelimiter("a/"), "a/");
  TStringList parts;
  ZpSplitFolder("/a//b/c/", parts);
  ASSERT_EQ(parts.Count(), 3);
  EXPECT_EQ(parts[2], "c");
}

TEST(ZpUtils, FoldersSearchesAndTemporaryNames) {
  ziptest::TempDir dir;
  ziptest::WriteFile(dir / "a.txt", "1");
  ziptest::WriteFile(dir / "sub/b.txt", "2");
  ziptest::WriteFile(dir / "sub/deep/c.txt", "3");
  ziptest::WriteFile(dir / "sub/d.bin", "4");
  TStringList found;
  ZpFindFiles(dir / "*.txt", 0x27, found, true);
  EXPECT_EQ(found.Count(), 3);
  found.Clear();
  ZpFindFiles(dir / "*.txt", 0x27, found, false);
  EXPECT_EQ(found.Count(), 1);

  EXPECT_FALSE(ZpDirectoryExists(dir / "s*"));
  ZpCreateDirectories(dir / "x/y/z");
  EXPECT_TRUE(ZpDirectoryExists(dir / "x/y/z"));
  ziptest::WriteFile(dir / "file", "");
  EXPECT_THROW(ZpCreateDirectories(dir / "file/below"), EZpNoSuchDirectory);

  EXPECT_EQ(ZpShortPath(dir / "sub/b.txt"), dir / "sub/b.txt");
  EXPECT_THROW(ZpShortPath(dir / "nope/b.txt"), EZpException);
  EXPECT_THROW(ZpShortPath(dir / "sub/none.txt"), EZpFileNotFound);

  std::string temp = ZpTempFileName(dir.Path());
  EXPECT_EQ(temp.rfind(dir.Path() + "/VMS", 0), 0u);
  std::string elsewhere = ZpTempFileName(dir / "missing");
  EXPECT_EQ(elsewhere.find("/missing/"), std::string::npos);
  std::remove(elsewhere.c_str());
}

}  // namespace
