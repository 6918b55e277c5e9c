#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "platform/classlib/Forms.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"
#include "zip/engine/ZpBase.h"
#include "zip/engine/ZpMeter.h"

namespace {

// Runs of the used colour along one line of the bitmap: (start, length) of each block.
std::vector<std::pair<int, int>> Blocks(const TGdiBitmap& bmp, TColorRef used, bool alongX, int at) {
  std::vector<std::pair<int, int>> runs;
  const int n = alongX ? bmp.Width() : bmp.Height();
  for (int i = 0; i < n; ++i) {
    const bool hit = (alongX ? bmp.Pixel(i, at) : bmp.Pixel(at, i)) == used;
    if (!hit) continue;
    if (!runs.empty() && runs.back().first + runs.back().second == i) ++runs.back().second;
    else runs.push_back({i, 1});
  }
  return runs;
}

// The meter as it paints itself, on an off-screen bitmap of its size.
std::shared_ptr<TGdiBitmap> Painted(const TZpCustomMeter& meter) {
  auto bmp = std::make_shared<TGdiBitmap>(meter.Width(), meter.Height());
  TDeviceContext dc(bmp);
  ZpPaintMeter(dc, TRect{0, 0, meter.Width(), meter.Height()}, meter.Look(), meter.Percent());
  return bmp;
}

class TCountingMeter : public TZpCustomMeter {
public:
  using TZpCustomMeter::TZpCustomMeter;
  void Invalidate() override {
    ++Invalidated;
    TZpCustomMeter::Invalidate();
  }
  int Invalidated = 0;
};

TEST(ZpMeter, BlocksFollowThePercent) {
  TZpMeter meter(nullptr);
  meter.SetBounds(0, 0, 528, 14);
  meter.SetUsedColor(clMaroon);
  struct { uint8_t percent; std::size_t blocks; } cases[] = {{0, 0}, {4, 0}, {5, 1}, {50, 10}, {99, 19}, {100, 0}, {250, 0}};
  for (const auto& c : cases) {
    meter.DoProgress(c.percent);
    auto bmp = Painted(meter);
    auto runs = Blocks(*bmp, clMaroon, true, 7);
    ASSERT_EQ(runs.size(), c.blocks) << int(c.percent);
    for (std::size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].first, int(i) * 28 + 1);
      // The last of 19 blocks runs into the right frame, which cuts it short.
      EXPECT_EQ(runs[i].second, std::min(26, 527 - runs[i].first));
    }
    // Blocks stay inside the frame's rows.
    EXPECT_EQ(Blocks(*bmp, clMaroon, true, 0).size(), 0u);
    EXPECT_EQ(Blocks(*bmp, clMaroon, true, 13).size(), 0u);
  }
  EXPECT_EQ(ZpMeterBlockSize(TRect{0, 0, 528, 14}, moHorizontal), 26);
}

TEST(ZpMeter, FrameColoursAndBackground) {
  TZpMeter meter(nullptr);
  EXPECT_EQ(meter.Width(), 150);
  EXPECT_EQ(meter.Height(), 16);
  auto bmp = Painted(meter);
  EXPECT_EQ(bmp->Pixel(0, 0), ColorToRGB(clBtnShadow));
  EXPECT_EQ(bmp->Pixel(149, 15), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(bmp->Pixel(70, 8), ColorToRGB(clBtnFace));
  meter.SetCtl3D(false);
  bmp = Painted(meter);
  EXPECT_EQ(bmp->Pixel(0, 0), clBlack);
  EXPECT_EQ(bmp->Pixel(149, 15), clBlack);
  meter.SetBorderStyle(TZpMeterBorder::bsNone);
  bmp = Painted(meter);
  EXPECT_EQ(bmp->Pixel(0, 0), ColorToRGB(clBtnFace));
}

TEST(ZpMeter, TurningSwapsTheSidesAndStacksBlocksFromTheBottom) {
  TCountingMeter meter(nullptr);
  meter.SetOrientation(moVertical);
  EXPECT_EQ(meter.Width(), 16);
  EXPECT_EQ(meter.Height(), 150);
  EXPECT_GT(meter.Invalidated, 0);
  meter.DoProgress(15);
  auto runs = Blocks(*Painted(meter), clNavy, false, 8);
  const int size = ZpMeterBlockSize(TRect{0, 0, 16, 150}, moVertical);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs.back().first + runs.back().second, 149);
  for (const auto& r : runs) EXPECT_EQ(r.second, size);

  meter.Invalidated = 0;
  meter.DoProgress(15);
  meter.SetUsedColor(clNavy);
  EXPECT_EQ(meter.Invalidated, 0);  // nothing changed, nothing painted

  meter.BeginLoading();
  meter.SetOrientation(moHorizontal);
  meter.EndLoading();
  EXPECT_EQ(meter.Width(), 16);  // a form being loaded keeps its stored size
}

TEST(ZpMeter, VersionIsFixed) {
  TZpMeter meter(nullptr);
  TZpBaseComponent base(nullptr);
  meter.SetVersion("9.99");
  base.SetVersion("9.99");
  EXPECT_EQ(meter.Version(), "2.04");
  EXPECT_EQ(base.Version(), "2.04");
}

TEST(ZpMeter, PaintsItselfOnItsForm) {
  ResetWindowSystem();
  Application().Initialize();
  {
    TForm form(nullptr);
    form.SetBorderStyle(bsNone);
    form.SetBounds(0, 0, 600, 60);
    auto* meter = new TZpMeter(&form);
    meter->SetParent(&form);
    meter->SetBounds(10, 20, 528, 14);
    meter->SetUsedColor(clTeal);
    form.Show();
    meter->DoProgress(50);
    Application().ProcessMessages();
    TWindowSurface* s = GetWindowSurface(form.Handle());
    const TRect r = GetWindowSurfaceRect(form.Handle());
    int blocks = 0;
    bool inBlock = false;
    for (int x = 0; x < 600; ++x) {
      const bool hit = s->Pixel(r.Left + x, r.Top + 27) == clTeal;
      if (hit && !inBlock) ++blocks;
      inBlock = hit;
    }
    EXPECT_EQ(blocks, 10);
    EXPECT_EQ(s->Pixel(r.Left + 11, r.Top + 27), clTeal);
    EXPECT_EQ(s->Pixel(r.Left + 10, r.Top + 20), ColorToRGB(clBtnShadow));
  }
  Application().ProcessMessages();
  ResetWindowSystem();
}

}  // namespace
