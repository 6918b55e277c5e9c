// The road under a full disk and a killed process: every result is whole or absent, the input
// survives whole, and what a killed run left is never taken for a result.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "HotFiles.h"
#include "SmallDisk.h"
#include "SplitRoadTest.h"
#include "core/fQuorvex.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/WholeFiles.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPage = 4096;

// A HOT file of the given number of offices, each with transactions of a kept and a dropped airline.
std::string BigHotFile(int offices, const char* agent = "1234567") {
  hot::Generator g(true);
  g.FileHeader();
  g.CycleHeader();
  for (int i = 0; i < offices; ++i) {
    g.Office(i % 2 ? agent : "7654321");
    g.Transaction("074", 3);
    g.Transaction("125", 2);
    g.Totals(hot::Kind::Totals94);
  }
  g.Totals(hot::Kind::Totals95);
  g.Totals(hot::Kind::Totals99);
  return g.Text();
}

std::size_t RoundUp(std::size_t n) { return (n + kPage - 1) / kPage * kPage; }

class WholeResultsTest : public SplitRoadTest {
protected:
  void SetUp() override {
    SplitRoadTest::SetUp();
    fs::create_directory(dir.path + "src");
    request.SetZipPassword("pa55");
  }
  void TearDown() override {
    disk.reset();
    SplitRoadTest::TearDown();
  }
  // Nothing under a temporary name anywhere, and every "Split_" file whole.
  void ExpectNoHalfFiles(const std::string& what, const std::string& split) {
    for (auto& e : fs::recursive_directory_iterator(dir.path)) {
      const std::string name = e.path().filename();
      EXPECT_FALSE(IsTempName(name)) << what << ": " << e.path();
      if (name.rfind("Split_", 0) != 0) continue;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".zip")
        EXPECT_EQ(Shell("unzip -P pa55 -tq " + Q(e.path())), 0) << what << ": " << e.path();
      else
        EXPECT_EQ(TempDir::Read(e.path()), split) << what << ": " << e.path();
    }
  }

  std::unique_ptr<SmallDisk> disk;
};

// The disk fills at each step of both roads: the split or the archive in "Working", the
// extraction into "Unzipped", and each half of the move.
TEST_F(WholeResultsTest, AFullDiskLeavesNoHalfFileAndKeepsTheInput) {
  const std::string hot = BigHotFile(400);
  std::string split;
  {
    TempDir plain;
    const std::string input = plain.Write("H.txt", hot);
    TCtlTextFileViewer v;
    THotSplitter s(v);
    s.SetAirlineList("074");
    s.SetAgentList("1234567");
    split = TempDir::Read(s.SplitOneFile(input));
  }
  ASSERT_GT(split.size(), 3 * kPage);
  std::string archive;
  {
    TempDir src;
    src.Write("H0101.hot", hot);
    src.Write("H0202.hot", BigHotFile(300));
    ASSERT_EQ(Shell("cd " + Q(src.path) + " && zip -q " + Q(src.path + "a.zip") + " H0101.hot H0202.hot"), 0);
    archive = TempDir::Read(src.path + "a.zip");
  }

  const struct {
    const char* what;
    bool zip;
    const char* small;
    bool inputMoved;  // where the input is afterwards: "Processd" or still "Working"
  } cases[] = {
      {"plain: the split", false, "Working", false},
      {"plain: the input's move", false, "Processd", false},
      {"plain: the result's move", false, "Outbound", true},
      {"zip: the extraction", true, "Unzipped", false},
      {"zip: the split archive", true, "Working", false},
      {"zip: the archive's move", true, "Processd", false},
      {"zip: the split archive's move", true, "Outbound", true},
  };
  for (const auto& c : cases) {
    SetUp();
    const std::string name = c.zip ? "a.zip" : "H.txt";
    const std::string& bytes = c.zip ? archive : hot;
    const bool holdsInput = std::string(c.small) == "Working";
    // Room for the input where it lies, and a page to spare: never room for what comes next.
    disk = std::make_unique<SmallDisk>(dir.path + c.small, holdsInput ? RoundUp(bytes.size()) + kPage : kPage);
    SKIP_UNLESS_MOUNTED(*disk);
    const std::string input = dir.Write("Working/" + name, bytes);
    ASSERT_EQ(TempDir::Read(input), bytes) << c.what;
    Choose(input);
    EXPECT_ANY_THROW(request.btnSplitHotClick()) << c.what;

    const std::string at = dir.path + (c.inputMoved ? "Processd/" : "Working/") + name;
    EXPECT_EQ(TempDir::Read(at), bytes) << c.what;
    EXPECT_FALSE(fs::exists(dir.path + (c.inputMoved ? "Working/" : "Processd/") + name)) << c.what;
    EXPECT_TRUE(fs::is_empty(dir.path + "Outbound")) << c.what;
    EXPECT_TRUE(fs::is_empty(dir.path + "Unzipped")) << c.what;
    ExpectNoHalfFiles(c.what, split);
    disk.reset();
    fs::remove_all(dir.path);
    fs::create_directories(dir.path);
    TearDown();
  }
}

// A split killed while it writes leaves a temporary and no "Split_" file; the next start removes
// the temporary, and the next split of the same file goes through.
TEST_F(WholeResultsTest, AProcessKilledMidSplitLeavesNothingInTheWay) {
  const TQuorvexFolders folders = QuorvexFolders(dir.path + "quorvex");
  CreateQuorvexFolders(folders);
  const std::string hot = BigHotFile(8000);
  const std::string input = dir.Write("Quorvex/Working/H.txt", hot);
  const std::string working = folders.WorkingFolder;

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TCtlTextFileViewer v;
    THotSplitter s(v);
    s.SetAgentList("1234567");
    try {
      s.SplitOneFile(input);
    } catch (...) {
    }
    ::_exit(0);
  }
  // Killed once it has written part of its result.
  bool writing = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!writing && std::chrono::steady_clock::now() < until) {
    for (auto& e : fs::directory_iterator(working))
      if (IsTempName(e.path().filename()) && fs::file_size(e.path()) > 0) writing = true;
    if (!writing) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(writing) << "the split never began to write";
  ASSERT_TRUE(WIFSIGNALED(status)) << "the split ended before it was killed";

  EXPECT_FALSE(fs::exists(working + "Split_H.txt"));
  EXPECT_EQ(TempDir::Read(input), hot);
  RemoveLeftoverTemps(folders);
  for (auto& e : fs::directory_iterator(working)) EXPECT_FALSE(IsTempName(e.path().filename())) << e.path();

  request.SetWorkingFolder(folders.WorkingFolder);
  request.SetProcessdFolder(folders.ProcessdFolder);
  request.SetOutboundFolder(folders.OutboundFolder);
  Choose(input);
  request.btnSplitHotClick();
  EXPECT_TRUE(fs::exists(folders.OutboundFolder + "Split_H.txt"));
  EXPECT_EQ(TempDir::Read(folders.ProcessdFolder + "H.txt"), hot);
}

// A temporary whose writer still runs is not touched; only a dead writer's goes.
TEST(WholeFiles, OnlyTheTemporariesOfDeadWritersAreRemoved) {
  TempDir dir;
  const std::string live = CreateTempBeside(dir.path + "a.txt");
  // A forked writer's temporary carries its own id, not its parent's.
  const pid_t child = ::fork();
  if (child == 0) {
    CreateTempBeside(dir.path + "b.txt");
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  const std::string dead = dir.Write(".qvx-" + std::to_string(child) + "-999.part", "half");
  const std::string users = dir.Write(".qvx-notes.part", "mine");
  EXPECT_EQ(RemoveStaleTemps(dir.path), 2);
  EXPECT_TRUE(fs::exists(live));
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_EQ(TempDir::Read(users), "mine");
}

}  // namespace
