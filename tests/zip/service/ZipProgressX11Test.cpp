// The zip progress window on a real X display: while a zip and an unzip job run inside it, the
// window is mapped, both meters move and what the X server shows matches them; screenshots are
// written for a look.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "../engine/ZipTestSupport.h"
#include "XPeer.h"
#include "controls/ctlTimerPool.h"
#include "framework/base/uMessageDialog.h"
#include "platform/gdi/BmpFile.h"
#include "platform/classlib/Forms.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/Windows.h"
#include "platform/x11/FormX11Fixture.h"
#include "zip/service/fZipProgress.h"
#include "zip/service/uZipService.h"

namespace {

using namespace ziptest;

constexpr int FileCount = 5;
constexpr std::size_t FileSize = 700 * 1024;
constexpr const char* Password = "Pl@tes";

struct TReport {
  const void* Item = nullptr;  // the item being processed, for the item meter
  int Reported = 0;            // what the engine reported
  int Shown = 0;               // what the meter then holds
};

// Runs of the used colour along the middle row of a meter in an image of its window.
int BlocksShown(const TGdiBitmap& image, const TZpMeter& meter, TPoint clientOrigin) {
  const int y = clientOrigin.Y + meter.Top() + meter.Height() / 2;
  const TColorRef used = ColorToRGB(meter.UsedColor());
  int runs = 0;
  bool inside = false;
  for (int x = clientOrigin.X + meter.Left(); x < clientOrigin.X + meter.Left() + meter.Width(); ++x) {
    const bool on = image.Pixel(x, y) == used;
    if (on && !inside) ++runs;
    inside = on;
  }
  return runs;
}

// Consecutive repeats taken out.
std::vector<int> Steps(const std::vector<TReport>& reports) {
  std::vector<int> v;
  for (const auto& r : reports)
    if (v.empty() || v.back() != r.Reported) v.push_back(r.Reported);
  return v;
}

class ZipProgressX11Test : public TFormX11Test<> {
protected:
  void SetUp() override {
    TFormX11Test::SetUp();
    if (!Ready()) return;
    // Our own look at the server, as another client sees it.
    FPeer = std::make_unique<TXPeer>(FServer->Display());
    ASSERT_TRUE(FPeer->Connected());
    FPool = std::make_unique<TCtlTimerPool>();
    FPoolVar = FPool.get();
    SetCollectMessages(true);
    ClearCollectedMessages();
    Application().OnException = [this](const Exception& e) { FErrors.push_back(e.Message()); };
    for (int i = 0; i < FileCount; ++i) {
      const std::string name = FDir / ("in/BKS" + std::to_string(i) + ".hot");
      WriteFile(name, HotText(FileSize + std::size_t(i) * 4096));
      FFiles.Add(name);
    }
    std::filesystem::create_directories(QUORVEX_BINARY_DIR "/screenshots");
  }
  void TearDown() override {
    Application().OnException = nullptr;
    ClearCollectedMessages();
    SetCollectMessages(false);
    FPool.reset();
    FPeer.reset();
    TFormX11Test::TearDown();
  }

  // The owner given to the service: it sees the progress window arrive and, once the window is
  // built and its modal loop runs, hooks its kit before the job's trigger fires.
  class TSpy final : public TComponent {
  public:
    explicit TSpy(ZipProgressX11Test& test) : TComponent(nullptr), FTest(test) {}
    void Notification(TComponent* component, TOperation operation) override {
      TComponent::Notification(component, operation);
      if (operation == opInsert) Application().PostCallback([this] { Hook(); }, this);
    }

  private:
    void Hook() {
      for (int i = 0; i < ComponentCount(); ++i)
        if (auto* form = dynamic_cast<TfrmZipProgress*>(Components(i))) FTest.Hook(*form);
    }
    ZipProgressX11Test& FTest;
  };

  void Hook(TfrmZipProgress& form) {
    ++FHooked;
    TZpZipKit& kit = form.zkt();
    kit.OnArchiveProgress = [this, &form](TComponent*, uint8_t progress, bool&) {
      FArchive.push_back({nullptr, progress, form.mtrZipProgress()->Percent()});
      Look(form);
    };
    auto job = kit.OnArchiveItemProgress;
    kit.OnArchiveItemProgress = [this, &form, job](TComponent* s, TZpArchiveItem* item, uint8_t progress, bool& a) {
      if (job) job(s, item, progress, a);
      FItem.push_back({item, progress, form.mtrItemProgress()->Percent()});
      Look(form);
    };
  }

  // While the job runs: the window on the server, and once both meters are well under way, the
  // server's picture of them and a screenshot.
  void Look(TfrmZipProgress& form) {
    const unsigned long w = FBackend->XWindowOf(form.Handle());
    FBackend->Sync();
    if (!FMapped) {
      FXWindow = w;
      FMapped = FPeer->Viewable(w);
      FTitle = FPeer->Title(w);
      FPlace = FPeer->Bounds(w);
    }
    const TZpMeter& archive = *form.mtrZipProgress();
    const TZpMeter& item = *form.mtrItemProgress();
    if (!FShot.Empty() || archive.Percent() < 40 || item.Percent() < 50) return;
    FShot = FPeer->Image(w);
    const TRect bounds = GetWindowRect(form.Handle());
    const TPoint origin = form.ClientToScreen(TPoint{0, 0});
    const TPoint client{origin.X - bounds.Left, origin.Y - bounds.Top};
    FClientOrigin = client;
    FBlocks = {BlocksShown(FShot, archive, client), BlocksShown(FShot, item, client)};
    FExpectedBlocks = {archive.Percent() / 5, item.Percent() / 5};
    FStatus = form.lblProgress()->Caption();
  }

  // Both meters moved, each in steps that go up and end at the end of the job; the window is
  // gone from the screen once the call returns.
  void ExpectMetersAdvanced() {
    FBackend->Sync();
    EXPECT_FALSE(FPeer->Viewable(FXWindow)) << "the window stayed on the screen";
    EXPECT_EQ(FHooked, 1);
    EXPECT_TRUE(FMapped) << "the window was not viewable on the server while the job ran";
    // Centred on the screen, as the server places it.
    const TRect screen = DisplayBackend().ScreenRect();
    EXPECT_LE(std::abs(FPlace.Left + FPlace.Right - screen.Left - screen.Right), 1);
    EXPECT_LE(std::abs(FPlace.Top + FPlace.Bottom - screen.Top - screen.Bottom), 1);
    EXPECT_EQ(FPlace.Right - FPlace.Left, TfrmZipProgress::FormClientWidth + FClientOrigin.X * 2);
    const std::vector<int> archive = Steps(FArchive);
    ASSERT_GE(archive.size(), 3u);
    EXPECT_EQ(archive.back(), 100);
    // The last pass over the items, from its first step up to the end.
    std::size_t start = archive.size() - 1;
    while (start > 0 && archive[start - 1] < archive[start]) --start;
    EXPECT_GE(archive.size() - start, std::size_t(FileCount)) << ::testing::PrintToString(archive);
    for (const auto& r : FArchive) EXPECT_EQ(r.Shown, r.Reported >= 100 ? 0 : r.Reported);

    int items = 0;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < FItem.size();) {
      std::size_t j = i;
      std::vector<TReport> one;
      while (j < FItem.size() && FItem[j].Item == FItem[i].Item) one.push_back(FItem[j++]);
      const std::vector<int> steps = Steps(one);
      EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end())) << ::testing::PrintToString(steps);
      EXPECT_EQ(steps.back(), 100);
      longest = std::max(longest, steps.size());
      ++items;
      i = j;
    }
    EXPECT_EQ(items, FileCount);
    EXPECT_GE(longest, 3u);
    for (const auto& r : FItem) EXPECT_EQ(r.Shown, r.Reported >= 100 ? 0 : r.Reported);

    ASSERT_FALSE(FShot.Empty()) << "the meters never stood at 40 and 50 percent together";
    EXPECT_EQ(FBlocks, FExpectedBlocks) << "the server does not show what the meters hold";
  }

  TempDir FDir;
  std::unique_ptr<TXPeer> FPeer;
  std::unique_ptr<TCtlTimerPool> FPool;
  TCtlTimerPool* FPoolVar = nullptr;
  TStringList FFiles;
  std::vector<AnsiString> FErrors;

  int FHooked = 0;
  bool FMapped = false;
  unsigned long FXWindow = 0;
  AnsiString FTitle;
  TRect FPlace;
  std::vector<TReport> FArchive, FItem;
  TGdiBitmap FShot;
  TPoint FClientOrigin;
  std::pair<int, int> FBlocks, FExpectedBlocks;
  AnsiString FStatus;
};

TEST_F(ZipProgressX11Test, ZipAndUnzipShowMovingMetersOnTheServer) {
  const std::string zip = FDir / "Split_BKS.zip";
  {
    TSpy spy(*this);
    ASSERT_TRUE(ZipFiles(&spy, &FPoolVar, FFiles, zip, Password, false, "", false, false, false))
        << ::testing::PrintToString(FErrors);
  }
  EXPECT_EQ(FTitle, "Zipping Split_BKS.zip");
  EXPECT_EQ(FStatus.rfind("BKS", 0), 0u) << FStatus;
  ExpectMetersAdvanced();
  if (!FShot.Empty()) SavePngFile(FShot, QUORVEX_BINARY_DIR "/screenshots/zip_progress.png");
  EXPECT_EQ(Shell("unzip -P " + std::string(Password) + " -tq " + Quote(zip)), 0);

  FHooked = 0;
  FMapped = false;
  FXWindow = 0;
  FTitle.clear();
  FPlace = TRect{};
  FArchive.clear();
  FItem.clear();
  FShot = TGdiBitmap();
  const std::string target = FDir / "Unzipped";
  std::filesystem::create_directories(target);
  TStringList files;
  {
    TSpy spy(*this);
    ASSERT_TRUE(UnzipFiles(&spy, &FPoolVar, zip, target, files, false, Password, nullptr))
        << ::testing::PrintToString(FErrors);
  }
  EXPECT_EQ(FTitle, "Unzipping Split_BKS.zip");
  ExpectMetersAdvanced();
  if (!FShot.Empty()) SavePngFile(FShot, QUORVEX_BINARY_DIR "/screenshots/unzip_progress.png");
  ASSERT_EQ(files.Count(), FileCount);
  for (int i = 0; i < FileCount; ++i) EXPECT_EQ(ReadFile(files[i]), ReadFile(FFiles[i])) << files[i];
}

}  // namespace
