// The framework's small units: the temporary folder and the gauge's percentage caption.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "framework/base/uGauge.h"
#include "framework/base/uMaxInt.h"
#include "framework/base/uSysFolders.h"
#include "platform/classlib/ExtCtrls.h"

namespace fs = std::filesystem;

TEST(SmallUnits, TempFolderIsMadeWhenMissing) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  const fs::path base = fs::temp_directory_path() / ("smallunits" + std::to_string(::getpid()));
  const std::string missing = (base / "deeper").string();
  ::setenv("TMPDIR", missing.c_str(), 1);
  AnsiString folder;
  TempFolder("ignored", folder);
  EXPECT_EQ(folder, missing + "/");
  EXPECT_TRUE(fs::is_directory(missing));
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  fs::remove_all(base);
  EXPECT_FALSE(GetWindowsFolder(folder));
  EXPECT_TRUE(folder.empty());
  static_assert(MaxInt32(-3, -7) == -3);
}

TEST(SmallUnits, GaugeShowsTheClampedPercentOnlyOnChange) {
  TPanel gauge(nullptr);
  struct {
    int percent;
    const char* caption;
  } cases[] = {{150, "100%"}, {-5, "0%"}, {42, "42%"}};
  for (const auto& c : cases) {
    SetGaugeProgress(gauge, c.percent);
    EXPECT_EQ(gauge.Caption(), c.caption) << c.percent;
  }
  gauge.SetCaption("busy");
  SetGaugeProgress(gauge, 42);  // the value it holds: nothing changes
  EXPECT_EQ(gauge.Caption(), "busy");
}
