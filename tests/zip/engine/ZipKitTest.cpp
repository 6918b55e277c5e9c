#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ZipTestSupport.h"
#include "platform/rtl/Files.h"
#include "zip/engine/ZpZDecoder.h"
#include "zip/engine/ZpZipKit.h"
#include "platform/rtl/Streams.h"

namespace {

using namespace ziptest;

struct TFailure {
  AnsiString Name;
  TZpProcessType Type;
  TZpErrorClass Class;
  int Code;
};

void RecordFailures(TZpZipKit& kit, std::vector<TFailure>& failures) {
  kit.OnProcessItemFailure = [&failures](TComponent*, TZpArchiveItem* item, TZpProcessType type, TZpErrorClass cls,
                                         int code) { failures.push_back({item ? item->FileName() : "", type, cls, code}); };
}

// A wrong password that passes the one-byte check of the archive's first item, as the engine checks it.
std::string PasswordPassingTheCheck(const std::string& zip) {
  const std::string bytes = ReadFile(zip);
  auto u16 = [&](std::size_t at) { return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
  const std::size_t central = bytes.find("PK\x01\x02");
  const uint32_t crc = u16(central + 16) | uint32_t(u16(central + 18)) << 16;
  const std::size_t header = 30 + u16(26) + u16(28);
  for (int i = 0;; ++i) {
    const std::string password = "wrong" + std::to_string(i);
    TMemoryStream s;
    s.WriteBuffer(bytes.data() + header, TZpZDecoder::HeaderSize);
    s.SetPosition(0);
    TZpZDecoder decoder(password, true, crc, &s);
    if (u16(6) & ZpFlagDataDescriptor) decoder.SetCheckTime(u16(10));
    try {
      decoder.VerifyHeader();
      return password;
    } catch (const EZpZipInvalidPassword&) {
    }
  }
}

TEST(ZpZipKit, DefaultsAndVersion) {
  TZpZipKit kit(nullptr);
  EXPECT_EQ(kit.Version(), "2.04");
  EXPECT_FALSE(kit.AutoSave());
  EXPECT_EQ(kit.CompressionMethodToUse(), smBestMethod);
  EXPECT_EQ(kit.DeflationOption(), TZpZipDeflationOption::doNormal);
  EXPECT_EQ(kit.StoreOptions(), soStripDrive | soRemoveDots);
  EXPECT_EQ(kit.ExtractOptions(), 0);
  EXPECT_EQ(kit.PasswordRetries(), 3);
  EXPECT_EQ(kit.MaxZipFileSizeInMb(), 0);
  EXPECT_EQ(kit.Count(), 0);
  EXPECT_THROW(kit.AddFilesByMask("*.*", 0), EZpNoArchive);
  EXPECT_THROW(kit.FreshenByMask("*.*"), EZpNoArchive);
  EXPECT_THROW(kit.ExtractByMask("*.*"), EZpNoArchive);
  EXPECT_THROW(kit.SaveArchive(), EZpNoArchive);
  EXPECT_THROW(kit.SetZipfileComment("x"), EZpNoArchive);
}

TEST(ZpZipKit, ANewNameIsCreatedAtOnceAndClosingSaves) {
  TempDir dir;
  WriteFile(dir / "in/a.hot", HotText(5000));
  WriteFile(dir / "in/b.hot", HotText(7000));
  TZpZipKit kit(nullptr);
  int changes = 0;
  kit.OnChange = [&](TComponent*) { ++changes; };
  kit.SetFileName(dir / "new.zip");
  EXPECT_TRUE(fs::exists(dir / "new.zip"));
  EXPECT_EQ(kit.Count(), 0);
  EXPECT_EQ(changes, 1);

  kit.SetStoreOptions(soStripDrive | soRemoveDots | soStripPath);
  kit.AddFilesByMask(dir / "in/a.hot", 0);
  kit.SetStoreOptions(soStripDrive | soRemoveDots);  // reaches the open archive for the next add
  kit.AddFilesByMask(dir / "in/b.hot", 0);
  ASSERT_EQ(kit.Count(), 2);
  EXPECT_EQ(kit.Items(0)->FileName(), "a.hot");
  EXPECT_NE(kit.Items(1)->FileName(), "b.hot");
  EXPECT_EQ(kit.Items(1)->FileName().substr(kit.Items(1)->FileName().size() - 8), "in/b.hot");
  kit.CloseArchive();
  EXPECT_EQ(Shell("unzip -tq " + Quote(dir / "new.zip")), 0);

  kit.SetFileName(dir / "new.zip");
  EXPECT_EQ(kit.Count(), 2);
  kit.CloseArchive();
}

TEST(ZpZipKit, ReadOnlyMakesNothingAndChangesNothing) {
  TempDir dir;
  TZpZipKit kit(nullptr);
  kit.SetReadOnly(true);
  kit.SetFileName(dir / "missing.zip");
  EXPECT_FALSE(kit.IsOpen());
  EXPECT_EQ(kit.Count(), 0);
  kit.CloseArchive();
  EXPECT_FALSE(fs::exists(dir / "missing.zip"));

  WriteFile(dir / "a.hot", HotText(3000));
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q arc.zip a.hot"), 0);
  const std::string before = ReadFile(dir / "arc.zip");
  fs::create_directory(dir / "out");
  kit.SetBaseDirectory(dir / "out");
  kit.SetFileName(dir / "arc.zip");
  ASSERT_EQ(kit.Count(), 1);
  kit.ExtractByMask("*.*");
  kit.CloseArchive();
  EXPECT_EQ(ReadFile(dir / "out/a.hot"), HotText(3000));
  EXPECT_EQ(ReadFile(dir / "arc.zip"), before);
}

TEST(ZpZipKit, PasswordsAndItemFailures) {
  TempDir dir;
  WriteFile(dir / "a.hot", HotText(4000));
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q -P secret arc.zip a.hot"), 0);
  fs::create_directory(dir / "out");
  // Its data decodes to noise: that is a wrong password too, asked again, never "damaged".
  const std::string passing = PasswordPassingTheCheck(dir / "arc.zip");
  struct { std::string password; const char* answer; bool written; } cases[] = {
      {"secret", "", true},
      {"wrong", "", false},
      {"", "", false},
      {"wrong", "secret", true},  // the password request's answer is tried
      {passing, "", false},
      {passing, "secret", true},
  };
  for (const auto& c : cases) {
    fs::remove(dir / "out/a.hot");
    TZpZipKit kit(nullptr);
    std::vector<TFailure> failures;
    RecordFailures(kit, failures);
    int asked = 0;
    kit.OnNeedPassword = [&](TComponent*, AnsiString& p) {
      ++asked;
      p = c.answer;
    };
    kit.SetReadOnly(true);
    kit.SetPassword(c.password);
    kit.SetBaseDirectory(dir / "out");
    kit.SetFileName(dir / "arc.zip");
    kit.ExtractByMask("*.*");
    kit.CloseArchive();
    EXPECT_EQ(fs::exists(dir / "out/a.hot"), c.written) << c.password << "/" << c.answer;
    EXPECT_EQ(failures.size(), c.written ? 0u : 1u) << c.password;
    if (!failures.empty()) {
      EXPECT_EQ(failures[0].Type, ptExtract);
      EXPECT_EQ(failures[0].Code, ZpText::ZipInvalidPassword) << c.password;
    }
    if (*c.answer) {
      EXPECT_GT(asked, 0);
      EXPECT_EQ(kit.Password(), c.answer);
    }
  }
}

class TStepMeter : public TZpCustomMeter {
public:
  using TZpCustomMeter::TZpCustomMeter;
  void Invalidate() override {
    Steps.push_back(Percent());
    TZpCustomMeter::Invalidate();
  }
  std::vector<int> Steps;
};

TEST(ZpZipKit, MetersFollowAndAFreedMeterIsForgotten) {
  TempDir dir;
  WriteFile(dir / "a.hot", HotText(200000));
  TZpZipKit kit(nullptr);
  auto archiveMeter = std::make_unique<TZpMeter>(nullptr);
  auto itemMeter = std::make_unique<TStepMeter>(nullptr);
  kit.SetArchiveProgressMeter(archiveMeter.get());
  kit.SetItemProgressMeter(itemMeter.get());
  kit.SetFileName(dir / "arc.zip");
  kit.AddFilesByMask(dir / "a.hot", 0);
  kit.SaveArchive();
  EXPECT_FALSE(itemMeter->Steps.empty());
  EXPECT_EQ(archiveMeter->Percent(), 0);  // 100 shows as an empty bar
  archiveMeter.reset();
  EXPECT_EQ(kit.ArchiveProgressMeter(), nullptr);
  EXPECT_EQ(kit.ItemProgressMeter(), itemMeter.get());
  kit.CloseArchive();
  itemMeter.reset();
  EXPECT_EQ(kit.ItemProgressMeter(), nullptr);
}

}  // namespace
