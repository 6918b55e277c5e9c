#include "platform/win/DragFrame.h"

#include "platform/win/DisplayBackend.h"
#include "platform/win/WindowSurface.h"
#include "platform/win/Windows.h"

namespace {

// The pattern's set bits alternate and line up with the screen's origin.
void InvertChecker(TWindowSurface& s, const TRect& band) {
  TRect a = IntersectRect(band, TRect{0, 0, s.Width(), s.Height()});
  for (int y = a.Top; y < a.Bottom; ++y) {
    TColorRef* row = s.Bitmap->Row(y);
    for (int x = a.Left + ((a.Left + y + 1) & 1); x < a.Right; x += 2) row[x] ^= 0xFFFFFF;
  }
  s.MarkChanged(a);
}

}  // namespace

void DrawXorFrame(const TRect& r, int thickness) {
  if (r.IsEmpty() || thickness <= 0) return;
  if (TWindowSurface* s = GetWindowSurface(GetDesktopWindow())) {
    TRect inner{r.Left + thickness, r.Top + thickness, r.Right - thickness, r.Bottom - thickness};
    if (inner.IsEmpty()) {
      InvertChecker(*s, r);
    } else {
      // Four bands that do not overlap, so that no pixel is inverted twice.
      InvertChecker(*s, TRect{r.Left, r.Top, r.Right, inner.Top});
      InvertChecker(*s, TRect{r.Left, inner.Bottom, r.Right, r.Bottom});
      InvertChecker(*s, TRect{r.Left, inner.Top, inner.Left, inner.Bottom});
      InvertChecker(*s, TRect{inner.Right, inner.Top, r.Right, inner.Bottom});
    }
  }
  DisplayBackend().XorFrame(r, thickness);
}
