#include "platform/win/PaintContext.h"

#include <map>
#include <memory>

namespace {

struct TContexts {
  std::map<HDC, std::unique_ptr<TDeviceContext>> Live;
  HDC Next = 0x40000;
};

TContexts& Ctx() {
  static TContexts c;
  return c;
}

}  // namespace

void UseGdiDeviceContexts() {
  TDcProvider p;
  p.Acquire = [](const TDcTarget& t) -> HDC {
    if (!t.Surface) return 0;
    auto dc = std::make_unique<TDeviceContext>(t.Surface->Bitmap);
    // Logical 0,0 is the window's corner; drawing stays inside the window's visible part.
    dc->SetViewportOrg(t.Origin.X, t.Origin.Y);
    TRegion clip(t.Clip);
    dc->SelectClipRgn(&clip);
    ExcludeChildWindows(*dc, t);
    HDC h = Ctx().Next++;
    Ctx().Live[h] = std::move(dc);
    return h;
  };
  p.Release = [](HDC h) { Ctx().Live.erase(h); };
  SetDcProvider(std::move(p));
  SetSysColorResolver([](TColorRef c) { return ColorToRGB(c); });
}

void ExcludeChildWindows(TDeviceContext& dc, const TDcTarget& t) {
  for (const TRect& r : t.Excluded)
    dc.ExcludeClipRect(r.Left - t.Origin.X, r.Top - t.Origin.Y, r.Right - t.Origin.X, r.Bottom - t.Origin.Y);
}

TDeviceContext* DeviceContextOf(HDC dc) {
  auto it = Ctx().Live.find(dc);
  return it == Ctx().Live.end() ? nullptr : it->second.get();
}
