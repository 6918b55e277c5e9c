#include "toolbars/tbTiledImage.h"

#include <cmath>

namespace {

// Floating-point divisions truncated toward zero, as the styles are defined.
int truncScaled(double value) { return static_cast<int>(std::trunc(value)); }

}  // namespace

std::vector<TRect> TiledImageRects(TtbTiledImageStyle style, int clientW, int clientH, int picW, int picH) {
  std::vector<TRect> rects;
  if (picW <= 0 || picH <= 0 || clientW <= 0 || clientH <= 0) return rects;
  const double w = clientW, h = clientH, pw = picW, ph = picH;
  switch (style) {
    case sCenter: {
      int x = (clientW - picW) / 2, y = (clientH - picH) / 2;
      rects.push_back(Rect(x, y, x + picW, y + picH));
      break;
    }
    case sClip:
      rects.push_back(Rect(0, 0, picW, picH));
      break;
    case sFit:
      if (ph / pw > h / w)
        rects.push_back(Rect(0, 0, truncScaled(h / (ph / pw)), clientH));
      else
        rects.push_back(Rect(0, 0, clientW, truncScaled(ph / pw * w)));
      break;
    case sHeight:
      rects.push_back(Rect(0, 0, truncScaled(h / ph * pw), clientH));
      break;
    case sStretch:
      rects.push_back(Rect(0, 0, clientW, clientH));
      break;
    case sTile:
      for (int x = 0; x < clientW; x += picW)
        for (int y = 0; y < clientH; y += picH) rects.push_back(Rect(x, y, x + picW, y + picH));
      break;
    case sWidth:
      rects.push_back(Rect(0, 0, clientW, truncScaled(ph / pw * w)));
      break;
  }
  // A scaled size can truncate to nothing for extreme proportions.
  std::erase_if(rects, [](const TRect& r) { return r.IsEmpty(); });
  return rects;
}

void DrawTiledImage(TDeviceContext& dc, const TGdiBitmapPtr& picture, TtbTiledImageStyle style, int clientW,
                    int clientH) {
  if (!picture || picture->Empty()) return;
  const int pw = picture->Width(), ph = picture->Height();
  std::vector<TRect> rects = TiledImageRects(style, clientW, clientH, pw, ph);
  if (rects.empty()) return;
  TDeviceContext src(picture);
  for (const TRect& r : rects) {
    if (r.Width() == pw && r.Height() == ph)
      dc.BitBlt(r.Left, r.Top, pw, ph, &src, 0, 0, SRCCOPY);
    else
      dc.StretchBlt(r.Left, r.Top, r.Width(), r.Height(), &src, 0, 0, pw, ph, SRCCOPY);
  }
}
