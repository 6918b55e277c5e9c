// The ZIP road of a split request end to end: archives made by zip, the split archive checked by
// unzip and Python's zipfile against what the plain road makes of the same files.
#include <gtest/gtest.h>

#include <filesystem>

#include "HotFiles.h"
#include "SplitRoadTest.h"
#include "platform/rtl/Files.h"

namespace fs = std::filesystem;

namespace {

std::string HotFile(bool layoutA, const char* agent) {
  hot::Generator g(layoutA);
  g.FileHeader();
  g.CycleHeader();
  g.Office(agent);
  g.Transaction("074", 2);
  g.Transaction("125", 1);
  g.Office("7654321");
  g.Transaction("074", 1);
  g.EndOfFile();
  return g.Text();
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for (auto& e : fs::directory_iterator(folder)) n += e.is_regular_file();
  return n;
}

class SplitZipRoadTest : public SplitRoadTest {
protected:
  void SetUp() override {
    SplitRoadTest::SetUp();
    fs::create_directory(dir.path + "plain");
  }
  // Two HOT files written into src, zipped by zip into Working.
  std::string MakeArchive(const std::string& name, const std::string& zipOptions = "") {
    fs::create_directory(dir.path + "src");
    dir.Write("src/H0101.hot", HotFile(true, "1234567"));
    dir.Write("src/H0202.hot", HotFile(false, "1234567"));
    EXPECT_EQ(Shell("cd " + Q(dir.path + "src") + " && zip -q " + zipOptions + " " + Q(dir.path + "Working/" + name) +
                  " H0101.hot H0202.hot"),
              0);
    return dir.path + "Working/" + name;
  }
  std::string Plain(const std::string& name) {
    fs::copy_file(dir.path + "src/" + name, dir.path + "plain/" + name, fs::copy_options::overwrite_existing);
    TCtlTextFileViewer v;
    THotSplitter splitter(v);
    splitter.SetAirlineList(request.AirlineList());
    splitter.SetAgentList(request.AgentList());
    return TempDir::Read(splitter.SplitOneFile(dir.path + "plain/" + name));
  }
};

TEST_F(SplitZipRoadTest, AnArchiveOfTwoHotFilesBecomesAPasswordedSplitArchive) {
  const std::string archive = MakeArchive("batch.zip");
  request.SetZipPassword("pa55");
  Choose(archive);
  request.btnSplitHotClick();

  const std::string out = dir.path + "Outbound/Split_batch.zip";
  ASSERT_TRUE(fs::exists(out));
  EXPECT_TRUE(fs::exists(dir.path + "Processd/batch.zip"));
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_EQ(FilesIn(dir.path + "Unzipped"), 0u);
  EXPECT_EQ(FilesIn(dir.path + "Working"), 0u);
  EXPECT_EQ(Shell("unzip -P pa55 -t " + Q(out)), 0);

  const std::string script = dir.Write("read.py",
                                       "import zipfile,sys\n"
                                       "z=zipfile.ZipFile(sys.argv[1])\n"
                                       "z.setpassword(b'pa55')\n"
                                       "print(' '.join(z.namelist()))\n"
                                       "for n in z.namelist(): open(sys.argv[2]+n,'wb').write(z.read(n))\n");
  fs::create_directory(dir.path + "py");
  ASSERT_EQ(std::system(("python3 " + Q(script) + " " + Q(out) + " " + Q(dir.path + "py/") + " > " +
                         Q(dir.path + "names.txt"))
                            .c_str()),
            0);
  EXPECT_EQ(TempDir::Read(dir.path + "names.txt"), "Split_H0101.hot Split_H0202.hot\n");
  for (const char* name : {"H0101.hot", "H0202.hot"}) {
    const std::string plain = Plain(name);
    EXPECT_FALSE(plain.empty());
    EXPECT_EQ(TempDir::Read(dir.path + "py/Split_" + name), plain) << name;
  }
}

TEST_F(SplitZipRoadTest, WithoutAPasswordTheSplitArchiveIsNotEncrypted) {
  Choose(MakeArchive("open.zip"));
  request.btnSplitHotClick();
  const std::string out = dir.path + "Outbound/Split_open.zip";
  EXPECT_EQ(Shell("unzip -P '' -tq " + Q(out)), 0);
  EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
                "sys.exit(any(i.flag_bits & 1 for i in z.infolist()))\" " + Q(out)),
            0);
}

TEST_F(SplitZipRoadTest, FailuresNameTheArchiveAndLeaveItInWorking) {
  struct {
    const char* name;
    std::string zipOptions;
    bool makeWith;  // false: a file that is no archive
    const char* message;
  } cases[] = {
      {"locked.zip", "-P secret", true, "Unable to unzip "},
      {"empty.zip", "", false, "Unable to unzip "},
  };
  for (const auto& c : cases) {
    const std::string archive =
        c.makeWith ? MakeArchive(c.name, c.zipOptions) : dir.Write(std::string("Working/") + c.name, "");
    const std::string before = TempDir::Read(archive);
    Choose(archive);
    try {
      request.btnSplitHotClick();
      ADD_FAILURE() << c.name << ": no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message + archive) << c.name;
    }
    EXPECT_EQ(TempDir::Read(archive), before) << c.name;
    EXPECT_FALSE(fs::exists(dir.path + "Processd/" + c.name));
    EXPECT_FALSE(fs::exists(dir.path + "Outbound/Split_" + std::string(c.name)));
    EXPECT_FALSE(fs::exists(dir.path + "Working/Split_" + std::string(c.name)));
    EXPECT_EQ(FilesIn(dir.path + "Unzipped"), 0u) << c.name;
    EXPECT_FALSE(LastDialogMessage().empty());  // the user was told why
  }
}

TEST_F(SplitZipRoadTest, MembersThatWouldShareAFileAreRefusedBeforeAnythingMoves) {
  fs::create_directories(dir.path + "src/sub");
  dir.Write("src/H1.txt", HotFile(true, "1234567"));
  dir.Write("src/sub/H1.txt", HotFile(false, "1234567"));
  dir.Write("src/H2.txt", HotFile(false, "1234567"));
  const std::string twins = dir.path + "Working/twins.zip";
  const std::string other = dir.path + "Working/other.zip";
  ASSERT_EQ(Shell("cd " + Q(dir.path + "src") + " && zip -q " + Q(twins) + " H1.txt sub/H1.txt"), 0);
  ASSERT_EQ(Shell("cd " + Q(dir.path + "src") + " && zip -q " + Q(other) + " H2.txt"), 0);
  dir.Write("Unzipped/Split_H2.txt", "the user's");
  struct {
    std::string archive;
    std::vector<std::string> named;
  } cases[] = {{twins, {twins, "H1.txt and sub/H1.txt"}}, {other, {other, "Split_H2.txt"}}};
  for (const auto& c : cases) {
    Choose(c.archive);
    try {
      request.btnSplitHotClick();
      ADD_FAILURE() << c.archive << ": no error";
    } catch (const Exception& e) {
      for (const std::string& n : c.named) EXPECT_NE(e.Message().find(n), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(fs::exists(c.archive));
    EXPECT_EQ(FilesIn(dir.path + "Processd") + FilesIn(dir.path + "Outbound"), 0u);
  }
  EXPECT_EQ(FilesIn(dir.path + "Unzipped"), 1u);
  EXPECT_EQ(TempDir::Read(dir.path + "Unzipped/Split_H2.txt"), "the user's");
}

TEST_F(SplitZipRoadTest, AFailedMemberLeavesUnzippedAsItFoundIt) {
  fs::create_directory(dir.path + "src");
  dir.Write("src/H0101.hot", HotFile(true, "1234567"));
  dir.Write("src/bad.hot", HotFile(true, "1234567") + "\r\nnot a record\r\n" + HotFile(true, "1234567"));
  const std::string archive = dir.path + "Working/mixed.zip";
  ASSERT_EQ(Shell("cd " + Q(dir.path + "src") + " && zip -q " + Q(archive) + " H0101.hot bad.hot"), 0);
  dir.Write("Unzipped/keep.txt", "mine");
  Choose(archive);
  EXPECT_THROW(request.btnSplitHotClick(), EHotFileError);
  EXPECT_EQ(FilesIn(dir.path + "Unzipped"), 1u);
  EXPECT_EQ(TempDir::Read(dir.path + "Unzipped/keep.txt"), "mine");
  EXPECT_TRUE(fs::exists(archive));
  EXPECT_FALSE(fs::exists(dir.path + "Working/Split_mixed.zip"));
}

}  // namespace
