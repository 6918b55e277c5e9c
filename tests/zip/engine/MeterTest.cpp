#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

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

std::shared_ptr<TGdiBitmap> Painted(const TZpCustomMeter& meter) {
  auto bmp = std::make_shared<TGdiBitmap>(meter.Width(), meter.Height());
  TDeviceContext dc(bmp);
  meter.Paint(dc);
  return bmp;
}

TEST(ZpMeter, BlocksFollowThePercent) {
  TZpMeter meter(nullptr);
  meter.SetBounds(528, 14);
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
  TZpMeter meter(nullptr);
  int repaints = 0;
  meter.OnInvalidate = [&](TZpCustomMeter&) { ++repaints; };
  meter.SetOrientation(moVertical);
  EXPECT_EQ(meter.Width(), 16);
  EXPECT_EQ(meter.Height(), 150);
  EXPECT_GT(repaints, 0);
  meter.DoProgress(15);
  auto runs = Blocks(*Painted(meter), clNavy, false, 8);
  const int size = ZpMeterBlockSize(TRect{0, 0, 16, 150}, moVertical);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs.back().first + runs.back().second, 149);
  for (const auto& r : runs) EXPECT_EQ(r.second, size);

  repaints = 0;
  meter.DoProgress(15);
  meter.SetUsedColor(clNavy);
  EXPECT_EQ(repaints, 0);  // nothing changed, nothing painted

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

}  // namespace
