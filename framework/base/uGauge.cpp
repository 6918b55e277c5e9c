#include "framework/base/uGauge.h"

#include <algorithm>

#include "platform/classlib/Controls.h"
#include "platform/rtl/Format.h"

namespace {
constexpr const char* kPercentFormat = "%d%%";
constexpr std::size_t kCaptionLength = 5;
}  // namespace

void SetGaugeProgress(TControl& Gauge, int Percent) {
  if (Gauge.Tag() == Percent) return;
  Gauge.SetTag(Percent);
  Gauge.SetCaption(Format(kPercentFormat, {std::clamp(Percent, 0, 100)}).substr(0, kCaptionLength));
  Gauge.Repaint();
}
