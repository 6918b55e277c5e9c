#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include "HotFiles.h"
#include "TempDir.h"
#include "core/uHotSplitter.h"
#include "platform/rtl/Files.h"

namespace fs = std::filesystem;

namespace {

using hot::Kind;

// Offices of chosen and other agents, transactions of chosen and other airlines with
// their details, everything the record table names.
std::vector<hot::Record> SampleFile(bool a) {
  hot::Generator g(a);
  g.FileHeader();
  g.CycleHeader();
  g.Detail("BAR", "64");                                   // before any office: follows the cycle header
  g.Transaction("074", a ? "074" : "074  ", 2);            // before any office: dropped
  g.Office("1234567");
  g.Detail("BKS", "45");                                   // office detail before its first transaction
  g.Transaction("074", a ? "074" : "074  ", 3);
  g.Transaction("125", a ? "125" : "125  ", 2);
  g.Transaction("074", a ? " 74" : "74   ", 1);            // trimmed, then padded to 074
  g.Transaction("12345", a ? "220" : "12345", 1);          // layout B: five digits match nothing
  g.Totals(Kind::Totals93);
  g.Totals(Kind::Totals94);
  g.Office("7654321");
  g.Transaction("074", a ? "074" : "  074", 2);
  g.Totals(Kind::Totals94);
  g.Office("12345  ");                                     // seven characters already: not padded
  g.Transaction("220", a ? "220" : "220  ", 1);
  g.Totals(Kind::Totals94);
  g.Office("0012345");
  g.Transaction("220", a ? "220" : "  220", 2);
  g.Totals(Kind::Totals93);
  g.Totals(Kind::Totals95);
  g.Totals(Kind::Totals99);
  if (a) {
    // The airline field of layout A is three characters: fix the meaning of the odd row.
    for (auto& r : g.records)
      if (r.airline == "12345") r.airline = "220";
  }
  return g.records;
}

void SetDate(const std::string& file, time_t when) {
  utimbuf t{when, when};
  ASSERT_EQ(::utime(file.c_str(), &t), 0);
}

time_t DateOf(const std::string& file) {
  struct stat st {};
  EXPECT_EQ(::stat(file.c_str(), &st), 0);
  return st.st_mtime;
}

struct Lists {
  const char* airlines;
  const char* agents;
  std::set<std::string> airlineSet, agentSet;
};

}  // namespace

TEST(HotSplitter, MatchesTheIndependentFilter) {
  const Lists lists[] = {
      {"074|220", "1234567|0012345", {"074", "220"}, {"1234567", "0012345"}},
      {"", "7654321", {}, {"7654321"}},
      {"125", "", {"125"}, {}},
      {"999", "", {"999"}, {}},
  };
  const time_t when = 1700000000;  // an even second: the packed file date keeps it
  for (bool a : {true, false}) {
    const auto records = SampleFile(a);
    for (const char* eol : {"\r\n", "\n"}) {
      for (const Lists& l : lists) {
        TempDir dir;
        std::string bytes = hot::Join(records, eol);
        // An empty line and a line of blanks inside the file are passed over.
        const std::size_t cut = bytes.find(std::string("BCH"));
        bytes.insert(cut, std::string(eol) + "    " + eol);
        const std::string input = dir.Write("H0101.txt", bytes);
        SetDate(input, when);

        TCtlTextFileViewer viewer;
        THotSplitter s(viewer);
        s.SetAirlineList(l.airlines);
        s.SetAgentList(l.agents);
        const AnsiString output = s.SplitOneFile(input);
        EXPECT_EQ(output, dir.path + "Split_H0101.txt");
        EXPECT_EQ(TempDir::Read(output), hot::ExpectedSplit(records, a, l.agentSet, l.airlineSet))
            << "layout " << (a ? "A" : "B") << ", lists " << l.airlines << " / " << l.agents
            << (eol[0] == '\n' ? ", LF only" : "");
        EXPECT_EQ(DateOf(output), when);
        EXPECT_FALSE(viewer.IsOpen());
      }
    }
  }
}

// What is not a whole HOT file is refused, naming the file, and leaves no output.
TEST(HotSplitter, FilesThatAreNoWholeHotFileAreRefused) {
  const std::string all = hot::Join(SampleFile(true), "\r\n");
  const std::size_t trailer = all.rfind("BFT");
  const struct {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"empty", "", "is not a HOT file"},
      {"one text line", "Dear agent, see the attached file.\r\n", "is not a HOT file"},
      {"two text lines", "Dear agent,\r\nsee the attached file.\r\n", "is not a HOT file"},
      {"a picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), "is not a HOT file"},
      {"a record line first", "BOGUS line that starts with B\r\n", "is not a HOT file"},
      {"no file header", all.substr(all.find("BCH")), "is not a HOT file"},
      {"no file trailer", all.substr(0, trailer), "is cut short"},
      {"cut inside a transaction", all.substr(0, all.find("BKT", all.find("BOH")) + 20), "is cut short"},
      {"blanks after the cut", all.substr(0, trailer) + "\r\n   \r\n\r\n", "is cut short"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string input = dir.Write("H0101.txt", c.bytes);
    TCtlTextFileViewer viewer;
    THotSplitter s(viewer);
    try {
      s.SplitOneFile(input);
      ADD_FAILURE() << c.what << ": split";
    } catch (const EHotFileError& e) {
      EXPECT_EQ(e.Message().rfind(input + " " + c.message, 0), 0u) << c.what << ": " << e.Message();
    }
    EXPECT_EQ(TempDir::Read(input), c.bytes) << c.what;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1) << c.what;
    EXPECT_FALSE(viewer.IsOpen());
  }
}

TEST(HotSplitter, RecordsEndAtTheFirstLineThatIsNoRecord) {
  const auto records = SampleFile(false);
  const std::string all = hot::Join(records, "\r\n");
  const std::string tline = "TTH01" + std::string(131, ' ') + "\r\n";
  const std::set<std::string> none;
  {
    // Nothing but blanks after it: the input ends there and the split succeeds.
    TempDir dir;
    const std::string input = dir.Write("t.txt", all + tline + "\r\n   \r\n");
    TCtlTextFileViewer viewer;
    THotSplitter s(viewer);
    EXPECT_EQ(TempDir::Read(s.SplitOneFile(input)), hot::ExpectedSplit(records, false, none, none));
  }
  {
    // More records after it: a clear error, and no cut-short output.
    TempDir dir;
    const std::size_t at = all.find("BOH");
    const std::string input = dir.Write("t.txt", all.substr(0, at) + tline + all.substr(at));
    TCtlTextFileViewer viewer;
    THotSplitter s(viewer);
    try {
      s.SplitOneFile(input);
      ADD_FAILURE() << "split a cut-short file";
    } catch (const EHotFileError& e) {
      EXPECT_NE(e.Message().find(input), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("line 7 "), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(FileExists(dir.path + "Split_t.txt"));
    EXPECT_TRUE(FileExists(input));
    EXPECT_FALSE(viewer.IsOpen());
  }
}

TEST(HotSplitter, UnwritableOutputRaisesTheIOError) {
  TempDir dir;
  const std::string input = dir.Write("in.txt", hot::Join(SampleFile(true), "\r\n"));
  std::filesystem::create_directory(dir.path + "Split_in.txt");  // a folder in the output's place
  TCtlTextFileViewer viewer;
  THotSplitter s(viewer);
  EXPECT_THROW(s.SplitOneFile(input), EInOutError);
  EXPECT_FALSE(viewer.IsOpen());
}
