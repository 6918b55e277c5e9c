#include <gtest/gtest.h>

#include "ZipTestSupport.h"
#include "platform/rtl/Files.h"
#include "zip/engine/ZpExceptions.h"
#include "zip/engine/ZpVirtualMemoryStream.h"

namespace {

std::string ReadAll(TZpVirtualMemoryStream& s) {
  s.SetPosition(0);
  std::string out(std::size_t(s.Size()), '\0');
  EXPECT_EQ(s.Read(out.data(), int64_t(out.size())), int64_t(out.size()));
  return out;
}

TEST(ZpVirtualMemoryStream, SwapsOldPagesOutAndReadsThemBack) {
  ziptest::TempDir dir;
  std::string swapName;
  {
    TZpVirtualMemoryStream s;
    s.SetSwapFileDir(dir.Path());
    std::string data = ziptest::RandomBytes(200000, 1);
    // Written in uneven pieces so pieces straddle pages.
    for (std::size_t at = 0; at < data.size(); at += 3001)
      s.Write(data.data() + at, int64_t(std::min<std::size_t>(3001, data.size() - at)));
    EXPECT_EQ(s.PagesInMemory(), 25);
    EXPECT_GT(s.SwapFileSize(), 0);
    swapName = s.SwapFileName();
    EXPECT_TRUE(FileExists(swapName));
    EXPECT_EQ(ReadAll(s), data);
    // Rewriting in the middle after the pages moved out.
    s.SetPosition(5000);
    s.Write("XYZ", 3);
    data.replace(5000, 3, "XYZ");
    EXPECT_EQ(ReadAll(s), data);
  }
  EXPECT_FALSE(FileExists(swapName));
}

TEST(ZpVirtualMemoryStream, SizesPositionsAndGaps) {
  TZpVirtualMemoryStream s;
  char buf[16];
  EXPECT_EQ(s.Read(buf, 16), 0);
  s.Write("abc", 3);
  s.Seek(10000, soFromBeginning);
  EXPECT_EQ(s.Read(buf, 16), 0);
  s.Write("z", 1);
  EXPECT_EQ(s.Size(), 10001);
  std::string all = ReadAll(s);
  EXPECT_EQ(all.substr(0, 3), "abc");
  EXPECT_EQ(all.substr(3, 9997), std::string(9997, '\0'));
  EXPECT_EQ(s.Seek(-1, soFromEnd), 10000);

  s.SetSize(0);
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
  s.Write("again", 5);
  EXPECT_EQ(ReadAll(s), "again");

  EXPECT_THROW(s.Seek(0, TSeekOrigin(3)), EZpVMSInvalidOrigin);
  EXPECT_THROW(s.Seek(-1, soFromBeginning), EStreamError);
  s.SetMaxMemToUse(5000);
  EXPECT_EQ(s.MaxPages(), 2);
  EXPECT_EQ(s.MaxMemToUse(), 8192);
  s.SetMaxMemToUse(100 << 20);
  EXPECT_EQ(s.MaxPages(), 256);
}

TEST(ZpVirtualMemoryStream, ShorterEndReadsAsZerosWhenTheStreamGrowsAgain) {
  for (bool swapped : {false, true}) {
    ziptest::TempDir dir;
    TZpVirtualMemoryStream s;
    s.SetSwapFileDir(dir.Path());
    s.SetMaxMemToUse(swapped ? 4096 : 102400);
    std::string data(20000, 'x');
    s.Write(data.data(), int64_t(data.size()));
    s.SetSize(5000);
    s.SetSize(20000);
    std::string all = ReadAll(s);
    EXPECT_EQ(all.substr(0, 5000), std::string(5000, 'x'));
    EXPECT_EQ(all.substr(5000), std::string(15000, '\0')) << "swapped " << swapped;
  }
}

}  // namespace
