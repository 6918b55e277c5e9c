#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

namespace {
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/quorvex-dates-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  AnsiString File(const char* name) const { return (path / name).string(); }
};

time_t localTime(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<time_t>(DateTimeToUnix(EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0)));
}

int32_t packed(int y, int mo, int d, int h, int mi, int s) {
  return static_cast<int32_t>(static_cast<uint32_t>(((y - 1980) << 9) | (mo << 5) | d) << 16 |
                              static_cast<uint32_t>((h << 11) | (mi << 5) | (s / 2)));
}

time_t mtimeOf(const AnsiString& name) {
  struct stat st{};
  EXPECT_EQ(::stat(name.c_str(), &st), 0);
  return st.st_mtime;
}

std::string readFile(const AnsiString& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
}  // namespace

TEST(FileDates, PackedDatesRoundTripAgainstStat) {
  TempDir dir;
  AnsiString name = dir.File("d.hot");
  std::ofstream(name) << "x";
  struct Case {
    int y, mo, d, h, mi, s;
  };
  const Case cases[] = {
      {1980, 1, 1, 0, 0, 0}, {2000, 2, 29, 23, 59, 58}, {2026, 12, 8, 21, 4, 6}, {2107, 12, 31, 12, 30, 30},
      {2026, 7, 15, 13, 7, 44},  // summer time where the zone has it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.y);
    int32_t age = packed(c.y, c.mo, c.d, c.h, c.mi, c.s);
    ASSERT_EQ(FileSetDate(name, age), 0);
    EXPECT_EQ(mtimeOf(name), localTime(c.y, c.mo, c.d, c.h, c.mi, c.s));
    EXPECT_EQ(FileAge(name), age);
    EXPECT_EQ(DateTimeToFileDate(FileDateToDateTime(age)), age);
    EXPECT_EQ(FileDateToDateTime(age), EncodeDate(c.y, c.mo, c.d) + EncodeTime(c.h, c.mi, c.s, 0));

    // Set from outside with an odd second: the packed form keeps two-second units.
    time_t t = localTime(c.y, c.mo, c.d, c.h, c.mi, c.s + 1);
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimes(name.c_str(), tv), 0);
    EXPECT_EQ(FileAge(name), age);
  }

  // Through a handle as well.
  int fd = ::open(name.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  int32_t age = packed(2010, 5, 6, 7, 8, 10);
  EXPECT_EQ(FileSetDateHandle(fd, age), 0);
  EXPECT_EQ(FileGetDateHandle(fd), age);
  ::close(fd);
  EXPECT_EQ(mtimeOf(name), localTime(2010, 5, 6, 7, 8, 10));
}

// Times of one hour share the zone's offset; the next hour, or another TZ, asks the zone again.
TEST(FileDates, SetDatesFollowTheZoneAcrossSummerTimeAndAChangeOfZone) {
  TempDir dir;
  AnsiString name = dir.File("z.hot");
  std::ofstream(name) << "x";
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  struct Case {
    const char* Zone;
    int y, mo, d, h, mi, s;
  };
  const Case cases[] = {{"Europe/Berlin", 2026, 3, 29, 1, 10, 0},  {"Europe/Berlin", 2026, 3, 29, 1, 58, 2},
                        {"Europe/Berlin", 2026, 3, 29, 3, 0, 0},   {"Europe/Berlin", 2026, 3, 29, 3, 40, 0},
                        {"Europe/Berlin", 2026, 7, 1, 12, 0, 0},   {"America/New_York", 2026, 7, 1, 12, 0, 0},
                        {"America/New_York", 2026, 7, 1, 12, 30, 0}, {"UTC", 2026, 7, 1, 12, 30, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Zone) + " " + std::to_string(c.h) + ":" + std::to_string(c.mi));
    ::setenv("TZ", c.Zone, 1);
    ::tzset();
    ASSERT_EQ(FileSetDate(name, packed(c.y, c.mo, c.d, c.h, c.mi, c.s)), 0);
    EXPECT_EQ(mtimeOf(name), localTime(c.y, c.mo, c.d, c.h, c.mi, c.s));
  }
  if (old)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();
}

TEST(FileDates, ImpossibleDatesAreRefusedAndLeaveTheFile) {
  TempDir dir;
  AnsiString name = dir.File("d.hot");
  std::ofstream(name) << "x";
  int32_t good = packed(2020, 1, 2, 3, 4, 6);
  ASSERT_EQ(FileSetDate(name, good), 0);
  const int32_t bad[] = {packed(2021, 2, 29, 0, 0, 0), packed(2020, 4, 31, 0, 0, 0), packed(2020, 13, 1, 0, 0, 0),
                         packed(2020, 1, 0, 0, 0, 0), packed(2020, 1, 1, 24, 0, 0), packed(2020, 1, 1, 0, 60, 0)};
  for (int32_t b : bad) {
    EXPECT_NE(FileSetDate(name, b), 0) << std::hex << b;
    EXPECT_EQ(FileAge(name), good);
  }
  EXPECT_EQ(FileAge(dir.File("missing")), -1);
  EXPECT_EQ(FileAge(dir.path.string()), -1);  // a folder has no file age
  EXPECT_NE(FileSetDate(dir.File("missing"), good), 0);

  // Dates the packed form cannot hold.
  struct timeval tv[2] = {{localTime(1975, 1, 1, 0, 0, 0), 0}, {localTime(1975, 1, 1, 0, 0, 0), 0}};
  ASSERT_EQ(::utimes(name.c_str(), tv), 0);
  EXPECT_EQ(FileAge(name), -1);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
}

TEST(FileStream, CopyOntoItselfIsRefusedAndLeavesTheFileWhole) {
  TempDir dir;
  AnsiString name = dir.File("a.hot");
  std::ofstream(name, std::ios::binary) << "header\r\nbody\r\n";
  ASSERT_EQ(::link(name.c_str(), dir.File("b.hot").c_str()), 0);
  // The same file under other spellings: a dot folder, a hard link.
  for (AnsiString dest : {name, (dir.path / "." / "a.hot").string(), dir.File("b.hot")}) {
    TFileStream source(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TFileStream(dest, fmCreate), EFCreateError) << dest;
    EXPECT_THROW(TFileStream(dest, fmOpenReadWrite), EFOpenError) << dest;
  }
  EXPECT_EQ(readFile(name), "header\r\nbody\r\n");

  // Deny-all refuses even readers; after it closes, all is open again.
  {
    TFileStream excl(name, fmOpenReadWrite | fmShareExclusive);
    EXPECT_THROW(TFileStream(name, fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  TFileStream reader(name, fmOpenRead | fmShareDenyNone);
  TFileStream writer(name, fmOpenWrite | fmShareDenyNone);
  writer.Seek(0, soFromEnd);
  writer.WriteBuffer("end", 3);
  char buf[64];
  EXPECT_EQ(reader.Read(buf, sizeof buf), 17);
  EXPECT_THROW(reader.ReadBuffer(buf, 1), EReadError);
  EXPECT_THROW(TFileStream(dir.File("none/x"), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.File("missing"), fmOpenRead), EFOpenError);
}
