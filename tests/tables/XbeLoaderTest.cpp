#include <gtest/gtest.h>

#include "EngineRecorder.h"
#include "core/TempDir.h"
#include "tables/XbOps.h"
#include "tables/xbEnv.h"

namespace {

int BoundEntries() {
  int n = 0;
#define XBE_ENTRY(kind, result, name, params) n += name ? 1 : 0;
  XBE_ENTRIES
#undef XBE_ENTRY
  return n;
}

// Points the loader at a folder of the test's choosing for the test's length.
struct TLibraryFolder {
  explicit TLibraryFolder(const std::string& folder) {
    XBEEngine().Unload();
    SetLibraryFolders({folder});
  }
  ~TLibraryFolder() {
    XBEEngine().Unload();
    SetLibraryFolders({});
  }
};

TEST(XbeLoader, BindsEveryEntryOnceAndClearsThemOnUnload) {
  XBEEngine().Unload();
  uint32_t before = SetErrorMode(SEM_FAILCRITICALERRORS);
  EnsureTableEngine();
  EXPECT_EQ(GetErrorMode(), SEM_FAILCRITICALERRORS);
  ASSERT_TRUE(TableEngineReady());
  EXPECT_EQ(BoundEntries(), 184);
  HMODULE handle = XBEEngine().Handle();
  {
    TEngineRecorder recorder;
    EnsureTableEngine();
    EXPECT_TRUE(TEngineRecorder::Log().empty());  // no second load, no second string type
    EXPECT_EQ(XBEEngine().Handle(), handle);
  }
  EXPECT_FALSE(TableEngineReady());
  EXPECT_FALSE(XBEEngine().Loaded());
  EXPECT_EQ(BoundEntries(), 0);
  SetErrorMode(before);
}

TEST(XbeLoader, ALibraryLackingOneEntryLeavesNothingBound) {
  TLibraryFolder folder(QUORVEX_BINARY_DIR "/tests/tables/lacking");
  SetErrorMode(0);
  EXPECT_FALSE(XBEEngine().Load());
  EXPECT_EQ(GetErrorMode(), 0u);
  EXPECT_EQ(BoundEntries(), 0);
  EXPECT_EQ(XBEEngine().Handle(), 0u);
  EnsureTableEngine();
  EXPECT_FALSE(TableEngineReady());
}

TEST(XbeLoader, WithoutTheEngineSettingsWaitAndTableCallsSaySo) {
  TempDir empty;
  TLibraryFolder folder(empty.path);
  TXbEnv env(nullptr);
  env.SetDeleted(true);
  env.SetDateFormat(dfGerman);
  env.SetOptimisticBuffer(true);
  EXPECT_TRUE(env.Deleted());
  EXPECT_FALSE(env.OptimisticBuffer());
  EXPECT_FALSE(TableEngineReady());
  TXbTableCore table;
  try {
    XbOps::GoTop(table);
    FAIL() << "no error";
  } catch (const EXbError& e) {
    EXPECT_NE(e.Message().find("XBE7.DLL"), AnsiString::npos) << e.Message();
  }
}

}  // namespace
