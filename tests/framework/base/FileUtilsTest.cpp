#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "framework/base/uFileUtils.h"
#include "framework/base/uMessageDialog.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "platform/classlib/Forms.h"

namespace {

namespace fs = std::filesystem;

struct TTempDir {
  fs::path Path;
  explicit TTempDir(const char* base = "/tmp") {
    std::string tmpl = std::string(base) + "/quorvex-fu-XXXXXX";
    Path = mkdtemp(tmpl.data());
  }
  ~TTempDir() {
    std::error_code ec;
    fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& e : fs::recursive_directory_iterator(Path, ec))
      if (e.is_directory()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Path, ec);
  }
  AnsiString File(const std::string& name) const { return (Path / name).string(); }
};

void WriteFile(const AnsiString& name, const std::string& data) {
  std::ofstream(name, std::ios::binary) << data;
}

std::string ReadFile(const AnsiString& name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

time_t MTime(const AnsiString& name) {
  struct stat st{};
  EXPECT_EQ(::stat(name.c_str(), &st), 0) << name;
  return st.st_mtime;
}

// Gives the file a whole even-second date, which the packed file date keeps exactly.
time_t StampFile(const AnsiString& name, int year, int month, int day, int hour, int min, int sec) {
  const time_t t = static_cast<time_t>(DateTimeToUnix(EncodeDate(year, month, day) + EncodeTime(hour, min, sec, 0)));
  struct timeval tv[2] = {{t, 0}, {t, 0}};
  EXPECT_EQ(::utimes(name.c_str(), tv), 0);
  return t;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

std::string Payload(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7919) % 251);
  return s;
}

TEST(FileExceptions, MessagesNameTheDestinationAndTheSource) {
  EFileException plain("Unable to delete file:", "/w/a.hot");
  EXPECT_EQ(plain.Message(), "Unable to delete file:\rsource: /w/a.hot");
  EXPECT_EQ(plain.Source(), "/w/a.hot");

  EFileMoveError move("Unable to move file (source doesn't exist)", "/w/a%s.hot", "/p/a.hot");
  EXPECT_EQ(move.Message(), "Unable to move file (source doesn't exist)\rdest   : /p/a.hot\rsource: /w/a%s.hot");
  EXPECT_EQ(move.Destination(), "/p/a.hot");
  EXPECT_EQ(move.Source(), "/w/a%s.hot");

  // The reason and destination are cut to 255 characters; the source line follows whole.
  const AnsiString longDest = "/" + AnsiString(400, 'd');
  EFileMoveError cut("reason", "/s", longDest);
  EXPECT_EQ(cut.Message(), ("reason\rdest   : " + longDest).substr(0, 255) + "\rsource: /s");

  const EFileException& base = cut;
  EXPECT_NE(dynamic_cast<const EFileMoveError*>(&base), nullptr);
  EXPECT_FALSE(UseShellFileOperations());
}

TEST(MoveFileChecked, MovesAndKeepsContentAndDate) {
  TTempDir dir;
  const AnsiString src = dir.File("in.hot"), dst = dir.File("out.hot");
  const std::string data = Payload(3 * CopyBlockSize + 17);
  WriteFile(src, data);
  const time_t stamp = StampFile(src, 2021, 3, 14, 9, 26, 52);
  // A message posted before the move runs while it waits.
  int pumped = 0;
  Application().PostCallback([&] { ++pumped; });
  EXPECT_TRUE(MoveFileChecked(src, dst, true, true, false));
  EXPECT_FALSE(fs::exists(src));
  EXPECT_EQ(ReadFile(dst), data);
  EXPECT_EQ(MTime(dst), stamp);
  EXPECT_EQ(pumped, 1);
}

TEST(MoveFileChecked, MovesAcrossFileSystemsBothWays) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no tmpfs folder";
  TTempDir shm("/dev/shm"), disk;
  struct stat a{}, b{};
  ::stat(shm.Path.c_str(), &a);
  ::stat(disk.Path.c_str(), &b);
  if (a.st_dev == b.st_dev) GTEST_SKIP() << "/dev/shm and /tmp share a file system";
  const std::string data = Payload(100000);
  WriteFile(shm.File("a.hot"), data);
  const time_t stamp = StampFile(shm.File("a.hot"), 2019, 12, 31, 23, 59, 58);

  EXPECT_TRUE(MoveFileChecked(shm.File("a.hot"), disk.File("a.hot"), true, true, false));
  EXPECT_FALSE(fs::exists(shm.File("a.hot")));
  EXPECT_EQ(ReadFile(disk.File("a.hot")), data);
  EXPECT_EQ(MTime(disk.File("a.hot")), stamp);

  EXPECT_TRUE(MoveFileChecked(disk.File("a.hot"), shm.File("b.hot"), true, true, false));
  EXPECT_FALSE(fs::exists(disk.File("a.hot")));
  EXPECT_EQ(ReadFile(shm.File("b.hot")), data);
  EXPECT_EQ(MTime(shm.File("b.hot")), stamp);
}

TEST(MoveFileChecked, OverwritesADestinationAndEntersAFolder) {
  TTempDir dir;
  WriteFile(dir.File("a"), "short");
  WriteFile(dir.File("b"), std::string(50000, 'x'));
  EXPECT_TRUE(MoveFileChecked(dir.File("a"), dir.File("b"), true, true, false));
  EXPECT_EQ(ReadFile(dir.File("b")), "short");
  EXPECT_FALSE(fs::exists(dir.File("a")));

  fs::create_directory(dir.Path / "Processd");
  EXPECT_TRUE(MoveFileChecked(dir.File("b"), dir.File("Processd"), true, true, false));
  EXPECT_EQ(ReadFile(dir.File("Processd/b")), "short");
  EXPECT_FALSE(fs::exists(dir.File("b")));

  // The copying twin leaves the source.
  EXPECT_TRUE(CopyFileChecked(dir.File("Processd/b"), dir.File("c"), true, false));
  EXPECT_EQ(ReadFile(dir.File("c")), "short");
  EXPECT_TRUE(fs::exists(dir.File("Processd/b")));
}

TEST(MoveFileChecked, MissingSource) {
  TTempDir dir;
  const AnsiString src = dir.File("none.hot"), dst = dir.File("out.hot");
  EXPECT_TRUE(MoveFileChecked(src, dst, true, true, true));
  EXPECT_FALSE(MoveFileChecked(src, dst, false, true, false));
  EXPECT_FALSE(fs::exists(dst));
  try {
    MoveFileChecked(src, dst, true, true, false);
    FAIL() << "no exception";
  } catch (const EFileMoveError& e) {
    EXPECT_EQ(e.Message(), "Unable to move file (source doesn't exist)\rdest   : " + dst + "\rsource: " + src);
  }
  try {
    CopyFileChecked(src, dst, true, false);
    FAIL() << "no exception";
  } catch (const EFileMoveError& e) {
    EXPECT_EQ(e.Message().substr(0, 42), "Unable to copy file (source doesn't exist)");
  }
  EXPECT_FALSE(fs::exists(dst));
}

TEST(MoveFileChecked, OntoItselfIsRefusedAndTheFileStaysWhole) {
  TTempDir dir;
  const AnsiString name = dir.File("a.hot");
  const std::string data = Payload(20000);
  WriteFile(name, data);
  fs::create_hard_link(dir.Path / "a.hot", dir.Path / "link.hot");
  const AnsiString sameFile[] = {name, dir.File("./a.hot"), dir.File("link.hot"), dir.File("")};

  for (const AnsiString& dest : sameFile) {
    EXPECT_THROW(StreamCopyFile(name, dest), EFCreateError) << dest;
    EXPECT_FALSE(MoveFileChecked(name, dest, false, true, false)) << dest;
    EXPECT_FALSE(CopyFileChecked(name, dest, false, false)) << dest;
    try {
      MoveFileChecked(name, dest, true, true, false);
      FAIL() << "no exception for " << dest;
    } catch (const EFileMoveError& e) {
      EXPECT_EQ(e.Message().rfind("Unable to move file (stream error during move)\r(Cannot create file ", 0), 0u)
          << e.Message();
    }
    EXPECT_EQ(ReadFile(name), data) << dest;
  }
}

TEST(MoveFileChecked, ReadOnlyFolders) {
  if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
  TTempDir dir;
  fs::create_directory(dir.Path / "ro");
  WriteFile(dir.File("ro/in.hot"), "held");
  WriteFile(dir.File("a.hot"), "data");
  fs::permissions(dir.Path / "ro", fs::perms::owner_read | fs::perms::owner_exec);

  // Into a read-only folder: the create fails, the source stays.
  EXPECT_FALSE(MoveFileChecked(dir.File("a.hot"), dir.File("ro/a.hot"), false, true, false));
  try {
    MoveFileChecked(dir.File("a.hot"), dir.File("ro/a.hot"), true, true, false);
    FAIL() << "no exception";
  } catch (const EFileMoveError& e) {
    EXPECT_NE(e.Message().find("(Cannot create file " + dir.File("ro/a.hot") + ")"), AnsiString::npos) << e.Message();
    EXPECT_EQ(e.Destination(), dir.File("ro/a.hot"));
  }
  EXPECT_EQ(ReadFile(dir.File("a.hot")), "data");

  // Out of it: a good copy whose source cannot go still counts as moved.
  EXPECT_TRUE(MoveFileChecked(dir.File("ro/in.hot"), dir.File("out.hot"), true, true, false));
  EXPECT_EQ(ReadFile(dir.File("out.hot")), "held");
  EXPECT_TRUE(fs::exists(dir.File("ro/in.hot")));

  TStringList names;
  names.Add(dir.File("a.hot"));
  names.Add(dir.File("ro/in.hot"));
  names.Add(dir.File("out.hot"));
  EXPECT_FALSE(DeleteFiles(names, false));
  EXPECT_FALSE(fs::exists(dir.File("a.hot")));
  EXPECT_TRUE(fs::exists(dir.File("out.hot")));  // the first failure stops the list
  try {
    DeleteFiles(names, true);
    FAIL() << "no exception";
  } catch (const EFileDeletionError& e) {
    EXPECT_EQ(e.Message(), "Unable to delete file:\rsource: " + dir.File("ro/in.hot"));
  }

  EXPECT_THROW(ForceDirectoriesChecked(dir.File("ro/sub/deeper")), EInvalidDrive);
  try {
    ForceDirectoriesChecked(dir.File("ro/sub"));
  } catch (const EInvalidDrive& e) {
    EXPECT_EQ(e.Message(), "Directory does not exist and cannot be created\rsource: " + dir.File("ro/sub/"));
  }
}

TEST(DeleteFiles, DeletesInOrder) {
  TTempDir dir;
  TStringList names;
  EXPECT_TRUE(DeleteFiles(names, true));
  WriteFile(dir.File("a"), "1");
  WriteFile(dir.File("b"), "2");
  names.Add(dir.File("a"));
  names.Add(dir.File("missing"));
  names.Add(dir.File("b"));
  EXPECT_TRUE(DeleteFiles(names, true));
  EXPECT_FALSE(fs::exists(dir.File("a")));
  EXPECT_FALSE(fs::exists(dir.File("b")));
  EXPECT_TRUE(DeleteOneFile(dir.File("a"), true));
}

TEST(ForceDirectoriesChecked, CreatesTheChain) {
  TTempDir dir;
  EXPECT_FALSE(ForceDirectoriesChecked(""));
  EXPECT_TRUE(ForceDirectoriesChecked(dir.File("a/b:c/d")));
  EXPECT_TRUE(fs::is_directory(dir.Path / "a/b:c/d"));
  EXPECT_TRUE(ForceDirectoriesChecked(dir.File("a/b:c/d/")));
  EXPECT_TRUE(ForceDirectoriesChecked("/"));
}

// A user's file where a folder of the chain goes is never deleted: the error names it.
TEST(ForceDirectoriesChecked, AFileInTheWayIsKeptAndNamed) {
  TTempDir dir;
  WriteFile(dir.File("Working"), "HOT");
  for (const char* folder : {"Working", "Working/", "Working/Processd/Deeper"}) {
    try {
      ForceDirectoriesChecked(dir.File(folder));
      ADD_FAILURE() << folder;
    } catch (const EInvalidDrive& e) {
      EXPECT_EQ(e.Source(), dir.File("Working")) << folder;
      EXPECT_NE(e.Message().find("a file of that name is in the way"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(ReadFile(dir.File("Working")), "HOT") << folder;
  }
}

TEST(FileDates, AgreeWithStat) {
  TTempDir dir;
  const AnsiString name = dir.File("a");
  WriteFile(name, "x");
  const TDateTime when = EncodeDate(2020, 5, 17) + EncodeTime(13, 45, 20, 0);
  SetFileDate(name, when);
  EXPECT_EQ(MTime(name), DateTimeToUnix(when));
  TDateTime got = 0;
  EXPECT_TRUE(GetFileDate(name, got));
  EXPECT_NEAR(got, when, 1e-9);

  const time_t stamp = StampFile(name, 2001, 1, 2, 3, 4, 6);
  EXPECT_TRUE(GetFileDate(name, got));
  EXPECT_EQ(DateTimeToUnix(got), DateTimeToUnix(UnixToDateTime(stamp)));

  got = 1.5;
  EXPECT_FALSE(GetFileDate(dir.File("missing"), got));
  EXPECT_EQ(got, 1.5);
  EXPECT_FALSE(GetFileDate(dir.File(""), got));  // a folder has no file date here
  SetFileDate(dir.File("missing"), when);
  EXPECT_FALSE(fs::exists(dir.File("missing")));
}

TEST(FileSizes, SparseFileOver4GiB) {
  TTempDir dir;
  const AnsiString big = dir.File("big.hot");
  int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  if (::ftruncate(fd, 5000000000LL) != 0) {
    ::close(fd);
    GTEST_SKIP() << "no sparse files of 5 GB here";
  }
  ::close(fd);
  int64_t size = 0;
  EXPECT_TRUE(GetFileSizeRetry(big, size));
  EXPECT_EQ(size, 5000000000LL);
  EXPECT_EQ(size >> 32, 1);
  EXPECT_EQ(size & 0xFFFFFFFF, 705032704);

  WriteFile(dir.File("small"), "abc");
  int64_t a = 0, b = 0;
  EXPECT_FALSE(SameFileSize(big, dir.File("small"), a, b));
  EXPECT_EQ(a, 5000000000LL);
  EXPECT_EQ(b, 3);
  EXPECT_FALSE(SameFileSize(big, dir.File("missing"), a, b));
  EXPECT_EQ(b, -1);
  EXPECT_TRUE(SameFileSize(big, big, a, b));
  EXPECT_FALSE(GetFileSizeRetry(dir.File("missing"), size));
  EXPECT_EQ(size, -1);
}

TEST(StreamCopyFile, GaugeClimbsTo100) {
  TTempDir dir;
  WriteFile(dir.File("a"), Payload(5 * CopyBlockSize + 1));
  std::vector<int> seen;
  StreamCopyFile(dir.File("a"), dir.File("b"), [&](int p) { seen.push_back(p); });
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);
  EXPECT_EQ(ReadFile(dir.File("b")), ReadFile(dir.File("a")));
  EXPECT_THROW(StreamCopyFile(dir.File("none"), dir.File("c")), EFOpenError);
}

TEST(IsZipFile, LooksAtTheFileNameExtension) {
  struct {
    const char* Name;
    bool Zip;
  } cases[] = {
      {"/in/a.zip", true}, {"/in/A.ZIP", true}, {"/in/a.Zip", true}, {"/in/a.zip.hot", false},
      {"/in/zip", false},  {"/in.zip/a", false}, {"a.zipx", false},  {".zip", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsZipFile(c.Name), c.Zip) << c.Name;
}

}  // namespace

namespace {

TEST(CopyFileChecked, OverwritesAndKeepsTheSource) {
  TTempDir dir;
  WriteFile(dir.File("a.hot"), "new data");
  WriteFile(dir.File("b.hot"), "older and longer data");
  EXPECT_TRUE(CopyFileChecked(dir.File("a.hot"), dir.File("b.hot"), true, false));
  EXPECT_EQ(ReadFile(dir.File("b.hot")), "new data");
  EXPECT_EQ(ReadFile(dir.File("a.hot")), "new data");
}

TEST(CopyFileChecked, TheShellCopyWritesTheExactDestination) {
  TTempDir dir;
  const std::string data = Payload(30000);
  WriteFile(dir.File("a.hot"), data);
  // The stream copy cannot create a file in a missing folder; the shell's copy makes the folder.
  const AnsiString dest = dir.File("new/sub/renamed.hot");
  EXPECT_TRUE(CopyFileChecked(dir.File("a.hot"), dest, true, false));
  EXPECT_EQ(ReadFile(dest), data);
  EXPECT_FALSE(fs::exists(dir.File("new/sub/a.hot")));
  EXPECT_EQ(ReadFile(dir.File("a.hot")), data);
}

TEST(CopyFileChecked, BothRoadsFailing) {
  TTempDir dir;
  WriteFile(dir.File("a.hot"), "data");
  WriteFile(dir.File("blocker"), "a file where a folder should be");
  const AnsiString dest = dir.File("blocker/a.hot");
  EXPECT_FALSE(CopyFileChecked(dir.File("a.hot"), dest, false, false));
  try {
    CopyFileChecked(dir.File("a.hot"), dest, true, false);
    FAIL() << "no exception";
  } catch (const EFileMoveError& e) {
    EXPECT_EQ(e.Message().rfind("Unable to copy file (error during copy)", 0), 0u) << e.Message();
    EXPECT_EQ(e.Destination(), dest);
    EXPECT_EQ(e.Source(), dir.File("a.hot"));
  }
  EXPECT_EQ(ReadFile(dir.File("blocker")), "a file where a folder should be");
  EXPECT_TRUE(CopyFileChecked(dir.File("none.hot"), dest, true, true));
}

TEST(RestoreFromIniCopy, FillsAMissingOptionFileFromItsIniTwin) {
  struct {
    const char* option;
    std::vector<const char*> present;
    bool result;
    bool filled;  // the option file now holds the ini copy's text
  } cases[] = {
      {"prog.ACOPT", {"prog.INI"}, true, true},
      {"prog.ACOPT", {}, false, false},
      {"prog.ACOPT", {"prog.ini"}, false, false},  // names are exact
      {"prog.ACOPT", {"prog.ACOPT", "prog.INI"}, true, false},
      {"prog.INI", {}, false, false},
      {"prog.ini", {"prog.INI"}, false, false},    // already an ini name: never copied
      {"prog", {"prog.INI"}, true, true},
  };
  for (const auto& c : cases) {
    TTempDir dir;
    for (const char* p : c.present) WriteFile(dir.File(p), std::string("from ") + p);
    const AnsiString name = dir.File(c.option);
    AnsiString out;
    EXPECT_EQ(PrepareOptionFile(name, out), c.result) << c.option;
    EXPECT_EQ(out, name);
    EXPECT_EQ(fs::exists(name.c_str()), c.result) << c.option;
    if (c.filled) {
      EXPECT_EQ(ReadFile(name), "from prog.INI");
    }
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.Path)) files += e.is_regular_file();
    EXPECT_EQ(files, c.present.size() + (c.filled ? 1 : 0)) << c.option;
  }
}

}  // namespace
