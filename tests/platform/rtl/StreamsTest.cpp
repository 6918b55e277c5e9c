#include <gtest/gtest.h>

#include <filesystem>

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
