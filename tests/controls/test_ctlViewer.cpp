#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "controls/ctlViewer.h"
#include "platform/rtl/Exceptions.h"

namespace fs = std::filesystem;

namespace {

class ViewerTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/viewerXXXXXX";
    FDir = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = FDir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::vector<std::string> Lines(TCtlTextFileViewer& v, int destLen = 2048) {
    std::vector<std::string> out;
    std::vector<char> buf(std::size_t(destLen) + 1);
    const int last = v.ClampLine(INT_MAX);
    for (int i = 0; i <= last; ++i) {
      const int n = v.FetchDisplayLine(i, buf.data(), destLen);
      out.emplace_back(buf.data(), std::size_t(n));
    }
    return out;
  }

  std::vector<std::string> Load(const std::string& bytes) {
    TCtlTextFileViewer v;
    v.SetFileName(Write("f.txt", bytes));
    v.SetIsOpen(true);
    EXPECT_EQ(v.LineCount(), v.ClampLine(INT_MAX) + 1);
    return Lines(v);
  }

  std::string FDir;
};

using L = std::vector<std::string>;

}  // namespace

TEST_F(ViewerTest, LineEndsAndEndOfData) {
  struct { std::string bytes; L lines; } cases[] = {
      {"", {""}},
      {"A\r\nB\r\n", {"A", "B", ""}},
      {"A\r\nB", {"A", "B", ""}},
      {"A\nB\n", {"A", "B", ""}},          // a bare line feed ends a line too
      {"A\rB\r\r", {"A", "B", "", ""}},
      {"A\n\nB", {"A", "", "B", ""}},
      {"A\r\n\x1A" "B\r\n", {"A", ""}},    // Ctrl-Z ends the data
      {"A\x1A" "B", {"A", ""}},
      {std::string("ab\0cd\r\nx", 8), {"ab", "x", ""}},  // a NUL cuts its line
      {"a\x01" "b\x7F\xE9", {"a b\x7F\xE9", ""}},    // below 32 shows as a blank
      {"a\tb", {"a       b", ""}},
      // Ends found 64 bytes a step: a pair across a step, ends deep in a step, Ctrl-Z late.
      {"0123456789abcde\r\n0123456789abcdefghij\r0123456789abcdefghijklmnopqrstu\nz",
       {"0123456789abcde", "0123456789abcdefghij", "0123456789abcdefghijklmnopqrstu", "z", ""}},
      {std::string(40, 'q') + "\r\n" + std::string(20, 'r') + "\x1A" + std::string(30, 's') + "\r\n",
       {std::string(40, 'q'), std::string(20, 'r'), ""}},
      {std::string(63, 'p') + "\r\n" + std::string(62, 'o') + "\r" + std::string(70, 'n') + "\x1A\r\n",
       {std::string(63, 'p'), std::string(62, 'o'), std::string(70, 'n'), ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(Load(c.bytes), c.lines) << testing::PrintToString(c.bytes);
}

TEST_F(ViewerTest, LongLinesAndFetchLimits) {
  const std::string longLine(1500, 'x');
  const L lines = Load(longLine + "\r\nnext\r\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(1023, 'x'));
  EXPECT_EQ(lines[1], "next");

  TCtlTextFileViewer v;
  v.SetFileName(Write("g.txt", std::string(600, 'y') + "\r\na\tb\r\n"));
  v.SetIsOpen(true);
  char buf[513];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(v.FetchDisplayLine(0, buf, 512), 512);
  EXPECT_EQ(buf[512], '\0');
  EXPECT_EQ(v.FetchDisplayLine(1, buf, 4), 4);
  EXPECT_STREQ(buf, "a   ");
  v.SetTabSize(0);  // ignored
  EXPECT_EQ(v.TabSize(), 8);
  v.SetTabSize(4);
  EXPECT_EQ(v.FetchDisplayLine(1, buf, 512), 5);
  EXPECT_EQ(v.FetchDisplayLine(99, buf, 512), 0);
  EXPECT_EQ(v.FetchDisplayLine(-1, buf, 512), 0);
}

TEST_F(ViewerTest, ClampAndRandomAccess) {
  std::string bytes;
  for (int i = 0; i < 50; ++i) bytes += std::to_string(i) + "\r\n";
  TCtlTextFileViewer v;
  EXPECT_EQ(v.ClampLine(3), -1);
  char buf[16];
  EXPECT_EQ(v.FetchDisplayLine(0, buf, 15), 0);
  v.SetFileName(Write("n.txt", bytes));
  v.SetIsOpen(true);
  EXPECT_EQ(v.LineCount(), 51);
  EXPECT_EQ(v.ClampLine(-5), 0);
  EXPECT_EQ(v.ClampLine(INT_MAX), 50);
  // Jumps in every direction: from the head, the tail and the cursor.
  for (int i : {25, 3, 47, 26, 24, 10, 40, 0, 49, 30, 31, 29, 2}) {
    const int n = v.FetchDisplayLine(i, buf, 15);
    EXPECT_EQ(std::string(buf, std::size_t(n)), std::to_string(i));
  }
  v.SetIsOpen(false);
  EXPECT_EQ(v.LineCount(), 0);
  EXPECT_EQ(v.ClampLine(3), -1);
}

TEST_F(ViewerTest, FileNameReadsBackUpperButOpensAsGiven) {
  const std::string path = Write("Mixed.txt", "one\r\n");
  TCtlTextFileViewer v;
  v.SetIsOpen(true);  // no name: stays closed
  EXPECT_FALSE(v.IsOpen());
  v.SetFileName(path);
  EXPECT_EQ(v.FileName(), UpperCase(path));
  v.SetIsOpen(true);
  ASSERT_TRUE(v.IsOpen());
  EXPECT_EQ(Lines(v), (L{"one", ""}));
  // Renaming an open viewer reloads under the new name.
  v.SetFileName(Write("other.txt", "two\r\nthree"));
  EXPECT_TRUE(v.IsOpen());
  EXPECT_EQ(Lines(v), (L{"two", "three", ""}));
}

TEST_F(ViewerTest, FailedOpensRaiseAndLeaveTheViewerClosed) {
  struct { std::string name; int code; const char* text; } cases[] = {
      {FDir + "/missing.txt", 2, "Viewer: file not found"},
      {FDir + "/nofolder/missing.txt", 3, "Viewer: path not found or invalid file name"},
      {FDir, 5, "Viewer: file access denied"},
  };
  if (::geteuid() != 0) {
    const std::string locked = Write("locked.txt", "x");
    ::chmod(locked.c_str(), 0);
    cases[2].name = locked;
  }
  for (const auto& c : cases) {
    TCtlTextFileViewer v;
    v.SetFileName(c.name);
    try {
      v.SetIsOpen(true);
      ADD_FAILURE() << c.name;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), c.code) << c.name;
      EXPECT_EQ(e.Message(), c.text + (": " + c.name)) << c.name;  // the error names the file
    }
    EXPECT_FALSE(v.IsOpen());
    EXPECT_EQ(v.LineCount(), 0);
  }
  TCtlTextFileViewer designed;
  designed.SetDesigning(true);
  designed.SetFileName(FDir + "/missing.txt");
  EXPECT_NO_THROW(designed.SetIsOpen(true));
  EXPECT_FALSE(designed.IsOpen());
  try {
    RaiseViewerIOError(28);
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Viewer triggered I/O error 28");
  }
}
