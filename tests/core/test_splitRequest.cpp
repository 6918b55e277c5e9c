#include <gtest/gtest.h>

#include <filesystem>

#include "HotFiles.h"
#include "SplitRoadTest.h"
#include "platform/rtl/Files.h"

namespace fs = std::filesystem;

namespace {

TStringList Lines(std::initializer_list<const char*> lines) {
  TStringList l;
  for (const char* s : lines) l.Add(s);
  return l;
}

std::string HotFile(bool layoutA) {
  hot::Generator g(layoutA);
  g.FileHeader();
  g.CycleHeader();
  g.Office("1234567");
  g.Transaction("074", 2);
  g.Transaction("125", 1);
  g.EndOfFile();
  return g.Text();
}

class SplitRequestTest : public SplitRoadTest {
protected:
  // No codes chosen; "Processd" named with its trailing delimiter.
  void SetUp() override {
    SplitRoadTest::SetUp();
    request.SetProcessdFolder(dir.path + "Processd/");
    tacns.Clear();
    agtns.Clear();
  }
  std::string Working(const std::string& name) const { return dir.path + "Working/" + name; }
  void Choose(std::vector<AnsiString> files) {
    request.ChooseFiles = [this, files](TSplitFileDialog& d) {
      ++dialogs;
      EXPECT_EQ(d.InitialDir, dir.path + "Working/");
      d.Files = files;
      return true;
    };
  }

  int dialogs = 0;
};

}  // namespace

TEST_F(SplitRequestTest, CodeListsFromTheMemos) {
  struct { std::initializer_list<const char*> memo; bool (*valid)(const AnsiString&); int width; const char* list; } cases[] = {
      {{" 74 ", "1234", "", "   ", "220", "2a0"}, ValidAirlineCode, 3, "074|220"},
      {{"", "\t"}, ValidAirlineCode, 3, ""},
      {{"12345", "12345678", " 7654321", "x"}, ValidAgentCode, 7, "0012345|7654321"},
  };
  for (const auto& c : cases) {
    const TStringList memo = Lines(c.memo);
    EXPECT_EQ(TSplitRequest::BuildCodeList(&memo, c.valid, c.width), c.list);
  }
}

TEST_F(SplitRequestTest, NoCodesWarnsAndAsksForNoFiles) {
  Choose({});
  for (auto memo : {std::initializer_list<const char*>{}, {"BA", "ABCDEFGH", "  "}}) {
    ClearCollectedMessages();
    tacns.Assign(Lines(memo));
    agtns.Assign(Lines(memo));
    request.btnSplitHotClick();
    ASSERT_EQ(CollectedMessages().Count(), 1);
    EXPECT_EQ(CollectedMessages()[0].rfind(
                  "You must specify a list of Airline Plates or Agent IATAs to split the HOT files", 0),
              0u)
        << CollectedMessages()[0];
  }
  EXPECT_EQ(dialogs, 0);
}

TEST_F(SplitRequestTest, ChosenFilesEndInProcessdAndOutbound) {
  tacns.Assign(Lines({"74"}));
  const std::string first = dir.Write("Working/H0101.txt", HotFile(true));
  const std::string second = dir.Write("Working/H0102.txt", HotFile(false));
  std::vector<AnsiString> order;
  Choose({first, second});
  request.btnSplitHotClick();
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(request.AirlineList(), "074");
  for (const char* name : {"H0101.txt", "H0102.txt"}) {
    EXPECT_TRUE(FileExists(dir.path + "Processd/" + name)) << name;
    EXPECT_TRUE(FileExists(dir.path + "Outbound/Split_" + name)) << name;
  }
  EXPECT_TRUE(fs::is_empty(dir.path + "Working"));
  EXPECT_EQ(TempDir::Read(dir.path + "Processd/H0102.txt"), HotFile(false));
  EXPECT_EQ(CollectedMessages().Count(), 0);
}

TEST_F(SplitRequestTest, AnErrorEndsTheRequestAndLeavesTheRestInWorking) {
  agtns.Assign(Lines({"1234567"}));
  const std::string second = dir.Write("Working/H0102.txt", HotFile(true));
  Choose({Working("missing.txt"), second});
  EXPECT_THROW(request.btnSplitHotClick(), EInOutError);
  EXPECT_TRUE(FileExists(second));
  EXPECT_FALSE(FileExists(dir.path + "Outbound/Split_H0102.txt"));
  EXPECT_FALSE(request.Running());
}

TEST_F(SplitRequestTest, ASecondClickWhileRunningIsIgnored) {
  agtns.Assign(Lines({"1234567"}));
  const std::string file = dir.Write("Working/H0101.txt", HotFile(true));
  request.ChooseFiles = [&](TSplitFileDialog& d) {
    ++dialogs;
    request.btnSplitHotClick();  // a click let through by message pumping
    d.Files = {file};
    return true;
  };
  request.btnSplitHotClick();
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(FileExists(dir.path + "Outbound/Split_H0101.txt"));
  EXPECT_FALSE(request.Running());
  // Cancelled dialog: nothing happens.
  request.ChooseFiles = [&](TSplitFileDialog&) { return false; };
  request.btnSplitHotClick();
  EXPECT_TRUE(FileExists(dir.path + "Processd/H0101.txt"));
}

TEST_F(SplitRequestTest, MovingOntoItselfIsRefusedAndKeepsTheFile) {
  agtns.Assign(Lines({"1234567"}));
  request.SetProcessdFolder(dir.path + "Working");
  const std::string file = dir.Write("Working/H0101.txt", HotFile(false));
  Choose({file});
  EXPECT_THROW(request.btnSplitHotClick(), Exception);
  EXPECT_EQ(TempDir::Read(file), HotFile(false));
}

TEST_F(SplitRequestTest, ArchivesTakeTheZipRoad) {
  agtns.Assign(Lines({"1234567"}));
  std::vector<std::string> zipped;
  request.SplitZipFile = [&](const AnsiString& archive) {
    zipped.push_back(ExtractFileName(archive));
    return dir.Write("Working/Split_" + ExtractFileName(archive), "result");
  };
  std::vector<AnsiString> files;
  for (const char* name : {"DATA.ZIP", "data.zip", "data.zipx"})
    files.push_back(dir.Write(std::string("Working/") + name, HotFile(true)));
  Choose(files);
  request.btnSplitHotClick();
  EXPECT_EQ(zipped, (std::vector<std::string>{"DATA.ZIP", "data.zip"}));
  EXPECT_EQ(TempDir::Read(dir.path + "Outbound/Split_data.zip"), "result");
  EXPECT_NE(TempDir::Read(dir.path + "Outbound/Split_data.zipx"), "result");
}

TEST_F(SplitRequestTest, ATakenOutputNameIsRefusedBeforeAnythingIsWrittenOrMoved) {
  agtns.Assign(Lines({"1234567"}));
  const std::string input = dir.Write("Working/H7.txt", HotFile(true));
  const std::string users = dir.Write("Working/Split_H7.txt", "the user's own");
  Choose({input, users});
  try {
    request.btnSplitHotClick();
    ADD_FAILURE() << "no error";
  } catch (const EHotFileError& e) {
    EXPECT_NE(e.Message().find(users), std::string::npos) << e.Message();
  }
  EXPECT_EQ(TempDir::Read(users), "the user's own");
  EXPECT_EQ(TempDir::Read(input), HotFile(true));
  EXPECT_TRUE(fs::is_empty(dir.path + "Processd"));
  EXPECT_TRUE(fs::is_empty(dir.path + "Outbound"));
}
