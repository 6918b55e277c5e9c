#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Streams.h"

namespace {

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/quorvex-rtl-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  AnsiString File(const char* name) const { return (path / name).string(); }
};

TEST(FileStream, ShareModesRefuseASecondWriterAndASelfCopy) {
  TempDir dir;
  AnsiString name = dir.File("a.txt");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello", 5);
  }
  TFileStream reader(name, fmOpenRead | fmShareDenyWrite);
  EXPECT_THROW(TFileStream(name, fmOpenWrite | fmShareDenyNone), EFOpenError);
  EXPECT_THROW(TFileStream(name, fmCreate), EFCreateError);
  EXPECT_EQ(reader.Size(), 5);
  TFileStream second(name, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(second.Size(), 5);
}

}  // namespace

// The stream keeps its own position: it must stay what the handle's offset is through reads
// that end short, writes, seeks of every origin, refused seeks and a size that grows elsewhere.
TEST(FileStream, KeptPositionFollowsTheHandle) {
  TempDir dir;
  const AnsiString name = dir.File("p.bin");
  TFileStream f(name, fmCreate);
  auto offset = [&] { return static_cast<int64_t>(::lseek(f.Handle(), 0, SEEK_CUR)); };
  EXPECT_EQ(f.Write("abcdefghij", 10), 10);
  EXPECT_EQ(f.Position(), 10);
  EXPECT_EQ(f.Seek(-4, soFromCurrent), 6);
  char b[16] = {};
  EXPECT_EQ(f.Read(b, 16), 4);  // short: the end
  EXPECT_EQ(std::string(b, 4), "ghij");
  EXPECT_EQ(f.Position(), offset());
  EXPECT_EQ(f.Seek(-3, soFromEnd), 7);
  EXPECT_EQ(f.Seek(-20, soFromCurrent), -1);
  EXPECT_EQ(f.Position(), 7);
  EXPECT_EQ(f.Position(), offset());
  f.SetPosition(2);
  EXPECT_EQ(f.Read(b, 3), 3);
  EXPECT_EQ(std::string(b, 3), "cde");
  EXPECT_EQ(f.Position(), offset());
  const int other = ::open(name.c_str(), O_WRONLY | O_APPEND);
  ASSERT_EQ(::write(other, "klm", 3), 3);
  ::close(other);
  EXPECT_EQ(f.Size(), 13);
  EXPECT_EQ(f.Position(), 5);
  f.SetSize(4);
  EXPECT_EQ(f.Position(), 4);
  EXPECT_EQ(f.Position(), offset());
}
