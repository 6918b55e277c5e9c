#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "../engine/ZipTestSupport.h"
#include "controls/ctlTimerPool.h"
#include "framework/base/uMessageDialog.h"
#include "framework/base/uStringUtils.h"
#include "platform/rtl/Files.h"
#include "platform/classlib/Forms.h"
#include "platform/win/WinState.h"
#include "platform/win/Windows.h"
#include "zip/service/fZipProgress.h"
#include "zip/service/uZipService.h"

namespace {

using namespace ziptest;

TStringList List(std::initializer_list<std::string> names) {
  TStringList l;
  for (const auto& n : names) l.Add(n);
  return l;
}

std::vector<std::string> Names(const TStrings& l) {
  std::vector<std::string> v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

// Names and bytes of an archive as Python's zipfile reads them.
std::string PyList(const std::string& zip, const std::string& password = "") {
  TempDir out;
  std::string script = "import zipfile,sys\nz=zipfile.ZipFile(sys.argv[1])\n";
  if (!password.empty()) script += "z.setpassword(sys.argv[2].encode())\n";
  script += "for i in z.infolist(): print(i.filename, len(z.read(i)), i.flag_bits & 1)\n";
  WriteFile(out / "list.py", script);
  std::string cmd = "python3 " + Quote(out / "list.py") + " " + Quote(zip) + " " + Quote(password) + " > " +
                    Quote(out / "out.txt") + " 2>&1";
  if (std::system(cmd.c_str()) != 0) return "error: " + ReadFile(out / "out.txt");
  return ReadFile(out / "out.txt");
}

class ZipServiceTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    Pool = std::make_unique<TCtlTimerPool>();
    PoolVar = Pool.get();
    SetCollectMessages(true);
    ClearCollectedMessages();
    Application().OnException = [this](const Exception& e) { Shown.push_back(e.Message()); };
    fs::create_directory(dir / "Unzipped");
  }
  void TearDown() override {
    Application().OnException = nullptr;
    ClearCollectedMessages();
    SetCollectMessages(false);
    Pool.reset();
    ResetWindowSystem();
  }
  std::string Unzipped(const std::string& name = "") const { return dir / ("Unzipped/" + name); }
  bool Zip(const TStrings& files, const std::string& zip, const std::string& password = "", bool append = false) {
    return ZipFiles(nullptr, &PoolVar, files, zip, password, false, "", append, false, false);
  }
  bool Unzip(const std::string& zip, TStrings& files, const std::string& password = "", TZipFilter filter = nullptr,
             bool restore = false) {
    return UnzipFiles(nullptr, &PoolVar, zip, Unzipped(), files, restore, password, filter);
  }
  std::size_t UnzippedCount() const {
    std::size_t n = 0;
    for (auto& e : fs::recursive_directory_iterator(Unzipped())) n += e.is_regular_file();
    return n;
  }

  TempDir dir;
  std::unique_ptr<TCtlTimerPool> Pool;
  TCtlTimerPool* PoolVar = nullptr;
  std::vector<AnsiString> Shown;
};

TEST_F(ZipServiceTest, ZipsWithAndWithoutPassword) {
  WriteFile(dir / "in/a.hot", HotText(9000));
  WriteFile(dir / "in/b.hot", HotText(1000));
  const auto files = List({dir / "in/a.hot", dir / "in/missing.hot", dir / "in/b.hot"});
  ASSERT_TRUE(Zip(files, dir / "locked.zip", "s3cret"));
  EXPECT_EQ(Shell("unzip -P s3cret -tq " + Quote(dir / "locked.zip")), 0);
  EXPECT_EQ(PyList(dir / "locked.zip", "s3cret"), "a.hot 9000 1\nb.hot 1000 1\n");
  ASSERT_TRUE(Zip(files, dir / "open.zip"));
  EXPECT_EQ(PyList(dir / "open.zip"), "a.hot 9000 0\nb.hot 1000 0\n");

  TStringList none;
  EXPECT_FALSE(Zip(none, dir / "none.zip"));
  EXPECT_FALSE(fs::exists(dir / "none.zip"));
  // Without the pool variable, or with an empty one, nothing runs.
  TCtlTimerPool* empty = nullptr;
  EXPECT_FALSE(ZipFiles(nullptr, &empty, files, dir / "x.zip", "", false, "", false, false, false));
  EXPECT_FALSE(ZipFiles(nullptr, nullptr, files, dir / "x.zip", "", false, "", false, false, false));
  EXPECT_FALSE(fs::exists(dir / "x.zip"));
}

TEST_F(ZipServiceTest, AppendKeepsAndOtherwiseReplaces) {
  WriteFile(dir / "a.hot", HotText(100));
  WriteFile(dir / "b.hot", HotText(200));
  ASSERT_TRUE(Zip(List({dir / "a.hot"}), dir / "arc.zip"));
  ASSERT_TRUE(Zip(List({dir / "b.hot"}), dir / "arc.zip", "", true));
  EXPECT_EQ(PyList(dir / "arc.zip"), "a.hot 100 0\nb.hot 200 0\n");
  ASSERT_TRUE(Zip(List({dir / "b.hot"}), dir / "arc.zip"));
  EXPECT_EQ(PyList(dir / "arc.zip"), "b.hot 200 0\n");
}

TEST_F(ZipServiceTest, AnAddFailureFailsTheCallAndIsLogged) {
  WriteFile(dir / "x/a.hot", HotText(100));
  WriteFile(dir / "y/a.hot", HotText(200));
  bool logged = false;
  const std::string log = dir / "errors.log";
  EXPECT_FALSE(ZipFilesEx(nullptr, &PoolVar, List({dir / "x/a.hot", dir / "y/a.hot"}), dir / "arc.zip", logged, "",
                          log, false, false, "", false, false, false));
  EXPECT_TRUE(logged);
  const std::string text = ReadFile(log);
  EXPECT_NE(text.find("List of files that were unable to be zipped in arc.zip:"), std::string::npos) << text;
  EXPECT_NE(text.find("Zip error adding: a.hot class=Zip Engine Error code=7"), std::string::npos) << text;
  const std::string listing = PyList(dir / "arc.zip");
  EXPECT_EQ(listing.substr(0, 10), "a.hot 100 ") << listing;
  EXPECT_NE(listing.find("errors.log"), std::string::npos) << listing;
}

TEST_F(ZipServiceTest, UnzipsFlatAndReturnsTheFilesWritten) {
  WriteFile(dir / "src/one/a.hot", HotText(300));
  WriteFile(dir / "src/two/a.hot", HotText(400));
  WriteFile(dir / "src/b.hot", HotText(500));
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -qr ../arc.zip one two b.hot"), 0);
  TStringList files;
  ASSERT_TRUE(Unzip(dir / "arc.zip", files));
  EXPECT_EQ(Names(files), (std::vector<std::string>{Unzipped("a.hot"), Unzipped("b.hot")}));
  EXPECT_EQ(ReadFile(Unzipped("a.hot")), HotText(400));  // the later one of the same bare name
  EXPECT_EQ(UnzippedCount(), 2u);

  // The filter branch gives the same paths.
  for (auto& e : fs::directory_iterator(Unzipped())) fs::remove(e.path());
  std::vector<std::string> asked;
  TStringList filtered;
  ASSERT_TRUE(Unzip(dir / "arc.zip", filtered, "", [&](const AnsiString& full) {
    asked.push_back(full);
    return ExtractFileName(full) == "b.hot";
  }));
  EXPECT_EQ(Names(filtered), (std::vector<std::string>{Unzipped("b.hot")}));
  EXPECT_EQ(asked, (std::vector<std::string>{Unzipped("a.hot"), Unzipped("a.hot"), Unzipped("b.hot")}));
  EXPECT_EQ(UnzippedCount(), 1u);

  // Restored paths.
  TStringList restored;
  ASSERT_TRUE(Unzip(dir / "arc.zip", restored, "", nullptr, true));
  EXPECT_EQ(ReadFile(Unzipped("one/a.hot")), HotText(300));
  EXPECT_EQ(restored.Count(), 3);

  // Named items.
  TStringList named = List({"b.hot"});
  ASSERT_TRUE(Unzip(dir / "arc.zip", named));
  EXPECT_EQ(Names(named), (std::vector<std::string>{"b.hot"}));
  // Named items with their paths restored: every item of the name, each under its folder.
  fs::remove_all(Unzipped());
  fs::create_directory(Unzipped());
  TStringList namedRestored = List({"a.hot"});
  ASSERT_TRUE(Unzip(dir / "arc.zip", namedRestored, "", nullptr, true));
  EXPECT_EQ(Names(namedRestored), (std::vector<std::string>{"a.hot"}));
  EXPECT_EQ(ReadFile(Unzipped("one/a.hot")), HotText(300));
  EXPECT_EQ(ReadFile(Unzipped("two/a.hot")), HotText(400));
  EXPECT_EQ(UnzippedCount(), 2u);
  TStringList absent = List({"c.hot"});
  WriteFile(Unzipped("c.hot"), "stale");
  EXPECT_FALSE(Unzip(dir / "arc.zip", absent));  // an older file of the name is not the item
}

TEST_F(ZipServiceTest, ItemsThatFailMakeTheUnzipFail) {
  WriteFile(dir / "src/a.hot", HotText(3000));
  WriteFile(dir / "src/b.hot", HotText(2000));
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -P pw ../locked.zip a.hot b.hot"), 0);
  WriteFile(Unzipped("a.hot"), "stale copy from an earlier run");
  for (const char* password : {"", "wrong"}) {
    ClearCollectedMessages();
    TStringList files;
    EXPECT_FALSE(Unzip(dir / "locked.zip", files, password)) << password;
    EXPECT_EQ(files.Count(), 0);
    EXPECT_EQ(LastDialogMessage(), "Unable to unzip a.hot from:\r" + (dir / "locked.zip"));
    EXPECT_FALSE(fs::exists(Unzipped("b.hot")));
  }
  TStringList files;
  ASSERT_TRUE(Unzip(dir / "locked.zip", files, "pw"));
  EXPECT_EQ(ReadFile(Unzipped("a.hot")), HotText(3000));
  EXPECT_TRUE(Shown.empty());
}

TEST_F(ZipServiceTest, BadArchivesGiveAClearError) {
  TStringList files;
  EXPECT_FALSE(Unzip(dir / "missing.zip", files));
  EXPECT_EQ(LastDialogMessage(), "Zip file " + std::string(dir / "missing.zip") + " to unzip does not exist");
  EXPECT_EQ(ZipItemCount(nullptr, dir / "missing.zip"), 0);
  EXPECT_FALSE(fs::exists(dir / "missing.zip"));

  WriteFile(dir / "empty.zip", "");
  EXPECT_FALSE(Unzip(dir / "empty.zip", files));
  EXPECT_EQ(LastDialogMessage(), "Zip File is Empty:\r" + dir / "empty.zip");
  EXPECT_EQ(fs::file_size(dir / "empty.zip"), 0u);  // counting wrote nothing

  // An end record alone is an archive of no items; a directory lost from the middle is an error.
  ASSERT_EQ(Shell("python3 -c \"import zipfile,sys; zipfile.ZipFile(sys.argv[1], 'w').close()\" " +
                  Quote(dir / "none.zip")), 0);
  EXPECT_FALSE(Unzip(dir / "none.zip", files));
  EXPECT_EQ(LastDialogMessage(), "Zip File is Empty:\r" + dir / "none.zip");
  WriteFile(dir / "src/a.hot", HotText(5000));
  WriteFile(dir / "src/b.hot", HotText(6000));
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q ../whole.zip a.hot b.hot"), 0);
  const std::string whole = ReadFile(dir / "whole.zip");
  const std::size_t central = whole.find("PK\x01\x02");
  WriteFile(dir / "lost.zip", whole.substr(0, 100) + whole.substr(central + 60));
  EXPECT_FALSE(Unzip(dir / "lost.zip", files));
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0], "Invalid file - not a PKZip file:\r" + dir / "lost.zip");
  EXPECT_EQ(UnzippedCount(), 0u);

  Shown.clear();
  WriteFile(dir / "text.zip", std::string(3000, 'x'));
  EXPECT_FALSE(Unzip(dir / "text.zip", files));
  ASSERT_EQ(Shown.size(), 1u);  // handed to the application's display
  EXPECT_EQ(ReadFile(dir / "text.zip"), std::string(3000, 'x'));
  EXPECT_EQ(UnzippedCount(), 0u);
}

TEST_F(ZipServiceTest, TheSizeCapSendsTheLeftOutFilesOn) {
  const std::string a = dir / "a.bin", b = dir / "b.bin", c = dir / "c.bin";
  WriteFile(a, RandomBytes(700 * 1024, 1));
  WriteFile(b, RandomBytes(700 * 1024, 2));
  WriteFile(c, RandomBytes(100 * 1024, 3));
  TZipJob job;
  job.TimerPool = &PoolVar;
  job.ZipName = dir / "Batch_009.zip";
  job.JobFiles.Assign(List({a, b, c}));
  job.zkt().SetMaxZipFileSizeInMb(1);
  EXPECT_EQ(job.Run(), mrOk);
  EXPECT_EQ(Names(job.NextVolumeFiles), (std::vector<std::string>{b, c}));
  EXPECT_EQ(PyList(dir / "Batch_009.zip"), "a.bin 716800 0\n");

  struct { const char* name; bool ok; const char* next; } names[] = {
      {"/o/Data_009.zip", true, "/o/Data_010.ZIP"}, {"/o/B_999.zip", true, "/o/B_1000.ZIP"},
      {"Batch_007.zip", true, "Batch_008.ZIP"},     {"/o/Data009.zip", false, ""},
      {"/o/_01.zip", false, ""},                    {"/o/Data_0a9.zip", false, ""},
  };
  for (const auto& n : names) {
    AnsiString next;
    EXPECT_EQ(NextZipVolumeName(n.name, next), n.ok) << n.name;
    if (n.ok) {
      EXPECT_EQ(next, n.next);
    }
  }
  EXPECT_EQ(ZipErrorClassName(4), "File Open Error");
  EXPECT_EQ(ZipErrorClassName(5), "");
}

}  // namespace

namespace {

TEST_F(ZipServiceTest, TheProgressWindowRunsItsJobOnceAndGoes) {
  {
    TfrmZipProgress form(nullptr);
    form.AfterConstruction();
    EXPECT_EQ(form.ClientWidth(), 528);
    EXPECT_EQ(form.ClientHeight(), 53);
    EXPECT_EQ(form.Position(), poScreenCenter);
    EXPECT_EQ(form.mtrZipProgress()->UsedColor(), clMaroon);
    EXPECT_EQ(form.mtrItemProgress()->UsedColor(), clTeal);
    EXPECT_EQ(form.mtrZipProgress()->Height(), 14);
    EXPECT_LT(form.mtrZipProgress()->Top(), form.mtrItemProgress()->Top());
    EXPECT_EQ(form.zkt().ArchiveProgressMeter(), form.mtrZipProgress());
    EXPECT_EQ(form.lblProgress()->Align(), alClient);
    EXPECT_NE(form.tilBackground, nullptr);
    EXPECT_EQ(form.zkt().PasswordRetries(), 2);
    EXPECT_EQ(form.zkt().StoreOptions(), soStripDrive | soStripPath | soRemoveDots);
    // Without a pool the window gives up at once.
    EXPECT_EQ(form.ShowModal(), mrCancel);
  }
  WriteFile(dir / "a.hot", HotText(100));
  ASSERT_TRUE(Zip(List({dir / "a.hot"}), dir / "arc.zip"));
  EXPECT_EQ(Pool->TriggerCount(), 0);

  // An exception out of the job closes the window at once and is shown by the application.
  WriteFile(dir / "bad.zip", std::string(500, 'x'));
  TStringList files;
  EXPECT_FALSE(Unzip(dir / "bad.zip", files));
  EXPECT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Pool->TriggerCount(), 0);
  for (HWND h : GetChildWindows(0)) EXPECT_FALSE(IsWindowVisible(h));
}

}  // namespace

namespace {

TEST_F(ZipServiceTest, KeptPathsBaseFolderAndFreshen) {
  WriteFile(dir / "base/sub/a.hot", HotText(100));
  WriteFile(dir / "base/b.hot", HotText(200));
  const auto files = List({dir / "base/sub/a.hot", dir / "base/b.hot"});
  ASSERT_TRUE(ZipFiles(nullptr, &PoolVar, files, dir / "kept.zip", "", true, dir / "base/", false, false, false));
  EXPECT_EQ(PyList(dir / "kept.zip"), "sub/a.hot 100 0\nb.hot 200 0\n");

  ASSERT_TRUE(Zip(List({dir / "base/b.hot"}), dir / "fresh.zip"));
  WriteFile(dir / "base/b.hot", HotText(300));
  fs::last_write_time(dir / "base/b.hot", fs::last_write_time(dir / "base/b.hot") + std::chrono::hours(2));
  ASSERT_TRUE(ZipFiles(nullptr, &PoolVar, List({dir / "base/b.hot", dir / "base/sub/a.hot"}), dir / "fresh.zip", "",
                       false, "", true, true, false));
  EXPECT_EQ(PyList(dir / "fresh.zip"), "b.hot 300 0\na.hot 100 0\n");
}

}  // namespace
