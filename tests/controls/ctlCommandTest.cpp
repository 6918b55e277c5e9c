// Command tables: the built-in key sequences, translation states, files and form data.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controls/ctlCommand.h"
#include "controls/ctlExcept.h"
#include "platform/win/VirtualKeys.h"

namespace {

namespace fs = std::filesystem;

constexpr uint8_t kN = 0, kS = cksShift, kC = cksCtrl, kA = cksAlt, kCS = cksCtrl | cksShift;

struct KeyStep {
  uint16_t key;
  uint8_t shift;
  uint16_t expected;
};

void runSteps(TCtlCommandProcessor& p, std::initializer_list<KeyStep> steps, const char* what) {
  int n = 0;
  for (const KeyStep& s : steps) {
    EXPECT_EQ(p.Translate(s.key, s.shift), s.expected) << what << ", step " << n;
    ++n;
  }
}

TEST(CommandTables, BuiltInTablesHaveTheirRows) {
  TCtlCommandProcessor p;
  ASSERT_EQ(p.Count(), 3);
  struct {
    const char* name;
    bool active;
    int rows;
  } want[] = {{"Default", true, 64}, {"WordStar", false, 40}, {"Grid", false, 38}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(p.Tables(i).TableName(), want[i].name);
    EXPECT_EQ(p.Tables(i).IsActive(), want[i].active);
    EXPECT_EQ(p.Tables(i).Count(), want[i].rows);
  }
  EXPECT_EQ(p.GetTable("wordstar"), &p.Tables(1));
  EXPECT_EQ(p.GetTable("none"), nullptr);
  // The codes are the platform's key numbers, as stored files hold them.
  EXPECT_EQ(p.Tables(0).GetCommand(0), (TCtlKeyRec{0x25, 0, 0, 0, ccLeft}));
  EXPECT_EQ(p.Tables(1).GetCommand(10), (TCtlKeyRec{'Q', 4, 'S', 128, ccHome}));
  EXPECT_EQ(p.Tables(2).GetCommand(37), (TCtlKeyRec{0x71, 0, 0, 0, ccTableEdit}));
  EXPECT_EQ(ccLeft, 46);
  EXPECT_EQ(ccHome, 42);
  EXPECT_EQ(ccSetMarker5, 63);
  EXPECT_EQ(ccWordRight, 75);
}

TEST(CommandTables, DefaultTableTranslation) {
  TCtlCommandProcessor p;
  runSteps(p,
           {{VK_LEFT, kN, ccLeft},
            {'5', kCS, 63},
            {'0', kC, ccGotoMarker0},
            {'Q', kC, ccNotCommand},
            {VK_BACK, kA, ccRestore},
            {VK_BACK, kS, ccBack},
            {'Z', kCS, ccRedo},
            {VK_NEXT, kCS, ccExtBotOfPage},
            {VK_F2, kN, ccNotCommand},
            {VK_SHIFT, kN, ccNotCommand},
            {0x125, kN, ccNotCommand}},
           "default");
  EXPECT_EQ(p.SequenceState(), 0);
}

TEST(CommandTables, TwoKeySequencesAndLiteralKeys) {
  TCtlCommandProcessor p;
  p.GetTable("Default")->SetIsActive(false);
  p.GetTable("WordStar")->SetIsActive(true);
  runSteps(p, {{'Q', kC, ccPartial}, {'S', kN, ccHome}}, "Ctrl+Q S");
  runSteps(p, {{'Q', kC, ccPartial}, {'S', kC, ccHome}}, "Ctrl+Q Ctrl+S");
  runSteps(p, {{'Q', kC, ccPartial}, {'S', kS, ccInvalidSequence}, {'S', kC, ccLeft}}, "Ctrl+Q Shift+S");
  runSteps(p, {{'Q', kC, ccPartial}, {VK_SHIFT, kS, ccPartial}, {VK_CONTROL, kC, ccPartial}, {'D', kN, ccEnd}},
           "modifiers between the keys");
  runSteps(p, {{'K', kC, ccPartial}, {'7', kN, ccSetMarker7}, {'Q', kC, ccPartial}, {'7', kC, ccGotoMarker7}},
           "markers");
  runSteps(p, {{'P', kC, ccCtrlChar}, {'S', kC, ccNotCommand}, {'S', kC, ccLeft}}, "Ctrl+P takes the next key");
  runSteps(p, {{'Q', kC, ccPartial}}, "pending");
  p.ResetCommandProcessor();
  EXPECT_EQ(p.Translate('S', kN), ccNotCommand);

  // Tables are searched in list order, inactive ones skipped.
  p.GetTable("Grid")->SetIsActive(true);
  EXPECT_EQ(p.Translate('Z', kC), ccScrollDown);
  p.GetTable("WordStar")->SetIsActive(false);
  EXPECT_EQ(p.Translate('Z', kC), ccRestore);
}

TEST(CommandTables, AddingCommandsAndTables) {
  TCtlCommandProcessor p;
  EXPECT_THROW(p.AddCommand("Missing", {VK_F5, 0, 0, 0, ccUserFirst}), ETableNotFound);
  EXPECT_THROW(p.AddCommand("default", {VK_LEFT, 0, 0, 0, ccUserFirst}), EDuplicateCommand);
  p.AddCommand("default", {VK_F5, 0, 0, 0, ccUserFirst});
  EXPECT_EQ(p.Translate(VK_F5, 0), ccUserFirst);

  // name as added -> name kept
  struct {
    const char* added;
    const char* kept;
  } names[] = {
      {"Default", "Default1"}, {"default", "default2"}, {"Default7", "Default3"}, {"Mine", "Mine"},
      {"Mine", "Mine1"},       {"Mine1", "Mine2"},      {"Grid2", "Grid1"},       {"Pad12", "Pad12"},
      {"Pad12", "Pad1"},       {"Pad", "Pad"},         {"7", "7"},              {"7", "71"},
  };
  for (const auto& n : names) {
    int i = p.CreateCommandTable(n.added, false);
    EXPECT_EQ(p.Tables(i).TableName(), n.kept) << n.added;
  }
  for (int i = 0; i < p.Count(); ++i)
    for (int j = i + 1; j < p.Count(); ++j)
      EXPECT_NE(AnsiUpperCase(p.Tables(i).TableName()), AnsiUpperCase(p.Tables(j).TableName()));
}

class CommandFiles : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/ctlCommandXXXXXX";
    FDir = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(FDir); }
  std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  void writeAll(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }
  std::string FDir;
};

TEST_F(CommandFiles, TextFileRoundTrip) {
  TCtlCommandProcessor p;
  p.SaveCommandTable("WordStar", FDir + "/ws.cmd");
  std::string text = readAll(FDir + "/ws.cmd");
  EXPECT_EQ(text.substr(0, 10 + 2 * 24), "WordStar\r\n  83   4   0   0    46\r\n  68   4   0   0    55\r\n");
  int i = p.LoadCommandTable(FDir + "/ws.cmd");
  TCtlCommandTable& loaded = p.Tables(i);
  EXPECT_EQ(loaded.TableName(), "WordStar1");
  ASSERT_EQ(loaded.Count(), 40);
  for (int r = 0; r < 40; ++r) EXPECT_EQ(loaded.GetCommand(r), p.Tables(1).GetCommand(r));

  p.SaveCommandTable("nosuch", FDir + "/none.cmd");
  EXPECT_FALSE(fs::exists(FDir + "/none.cmd"));
}

TEST_F(CommandFiles, LoadingIgnoresBlankLinesAndRejectsBadFiles) {
  writeAll(FDir + "/t.cmd", "My Keys\n 112   0   0   0   256\r\n\r\n 113   4  75 128   257\r\n\r\n\n\n");
  TCtlCommandTable t;
  t.LoadFromFile(FDir + "/t.cmd");
  EXPECT_EQ(t.TableName(), "My Keys");
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t.GetCommand(1), (TCtlKeyRec{113, 4, 75, 128, 257}));

  struct {
    const char* text;
    int code;
  } bad[] = {{"T\n1 2 3 4\n", 106}, {"T\n1 2 x 4 5\n", 106}, {"T\n256 0 0 0 1\n", 106}, {"T\n1 0 0 0 70000\n", 106}};
  for (const auto& b : bad) {
    writeAll(FDir + "/bad.cmd", b.text);
    TCtlCommandProcessor p;
    try {
      p.LoadCommandTable(FDir + "/bad.cmd");
      ADD_FAILURE() << b.text;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), b.code) << b.text;
    }
    EXPECT_EQ(p.Count(), 3) << "a table that failed to load is not added";
  }
  TCtlCommandProcessor p;
  EXPECT_THROW(p.LoadCommandTable(FDir + "/missing.cmd"), EInOutError);
  EXPECT_THROW(p.SaveCommandTable("Grid", FDir + "/no/such/folder.cmd"), EInOutError);
}

TEST(CommandTables, TableListStoresOnlyDifferences) {
  TCtlCommandProcessor p;
  std::vector<TCtlStoredTable> list = p.WriteTableList();
  ASSERT_EQ(list.size(), 3u);
  for (const TCtlStoredTable& s : list) EXPECT_TRUE(s.Pairs.empty()) << s.Name;

  // ('Default' True () 'WordStar' False () 'Grid' False ()) gives back the built-in tables.
  TCtlCommandProcessor q;
  q.Clear();
  q.ReadTableList(list);
  ASSERT_EQ(q.Count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(q.Tables(i).TableName(), p.Tables(i).TableName());
    EXPECT_EQ(q.Tables(i).IsActive(), p.Tables(i).IsActive());
    ASSERT_EQ(q.Tables(i).Count(), p.Tables(i).Count());
    for (int r = 0; r < p.Tables(i).Count(); ++r) EXPECT_EQ(q.Tables(i).GetCommand(r), p.Tables(i).GetCommand(r));
  }

  // Changed, removed and added rows, and a table of its own, survive a round trip.
  TCtlCommandTable& def = *p.GetTable("Default");
  TCtlKeyRec left = def.GetCommand(0);
  def.ChangeCommand(0, {left.Key1, left.Shift1, 0, 0, ccHome});
  def.DeleteCommand(def.IndexOf({VK_TAB, 0, 0, 0, 0}));
  p.AddCommand("Default", {VK_F9, 0, 0, 0, 300});
  int own = p.CreateCommandTable("Own", true);
  p.AddCommand("Own", {VK_F3, kS, 0, 0, 301});
  list = p.WriteTableList();
  ASSERT_EQ(list[0].Pairs.size(), 3u);
  EXPECT_EQ(list[0].Pairs[0], (std::pair<int32_t, int32_t>{VK_TAB, 0}));
  EXPECT_EQ(list[0].Pairs[1], (std::pair<int32_t, int32_t>{VK_LEFT, ccHome}));
  EXPECT_EQ(list[0].Pairs[2], (std::pair<int32_t, int32_t>{VK_F9, 300}));
  EXPECT_EQ(list[3].Pairs.size(), 1u);

  q.ReadTableList(list);
  ASSERT_EQ(q.Count(), 4);
  EXPECT_EQ(q.Tables(0).Count(), 64);
  EXPECT_EQ(q.Translate(VK_LEFT, 0), ccHome);
  EXPECT_EQ(q.Translate(VK_TAB, 0), ccNotCommand);
  EXPECT_EQ(q.Translate(VK_F9, 0), 300);
  EXPECT_EQ(q.Tables(own).TableName(), "Own");
  EXPECT_EQ(q.Translate(VK_F3, kS), 301);
}

}  // namespace

TEST(CommandTables, CommandNamesComeFromTheStringTable) {
  struct {
    uint16_t cmd;
    const char* name;
  } cases[] = {{ccNone, "ccNone"},           {ccGotoMarker0, "ccGotoMarker0"}, {ccLeft, "ccLeft"},
               {ccSetMarker9, "ccSetMarker9"}, {ccWordRight, "ccWordRight"},   {ccUserFirst, "ccUser256"},
               {1000, "ccUser1000"},          {ccNotCommand, "Unknown"}};
  for (const auto& c : cases) EXPECT_EQ(CommandName(c.cmd), c.name) << c.cmd;
}
