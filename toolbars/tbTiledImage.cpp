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

// ---- TtbCustomTiledImage ----

TtbCustomTiledImage::TtbCustomTiledImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(Left(), Top(), 105, 105);
  FPicture->OnChange = [this](TObject* Sender) { PictureChanged(Sender); };
}

TtbCustomTiledImage::~TtbCustomTiledImage() { FPicture->OnChange = nullptr; }

void TtbCustomTiledImage::SetImageStyle(TtbTiledImageStyle value) {
  FImageStyle = value;
  RepaintRequest();
}

void TtbCustomTiledImage::SetAutoSize(bool value) {
  FAutoSize = value;
  PictureChanged(this);
}

const std::vector<TColorRef>* TtbCustomTiledImage::GetPalette() const {
  auto* bitmap = dynamic_cast<TBitmap*>(FPicture->Graphic());
  return bitmap ? &bitmap->Image()->Palette() : nullptr;
}

void TtbCustomTiledImage::RepaintRequest() {
  if (!HasState(csLoading)) Invalidate();
}

void TtbCustomTiledImage::PictureChanged(TObject*) {
  if (HasState(csLoading)) return;
  const int pw = FPicture->Width(), ph = FPicture->Height();
  if (FAutoSize && pw > 0 && ph > 0) SetBounds(Left(), Top(), pw, ph);
  auto* bitmap = dynamic_cast<TBitmap*>(FPicture->Graphic());
  const bool opaque = bitmap && bitmap->Width() == Width() && bitmap->Height() == Height();
  SetControlStyle(opaque ? (ControlStyle() | csOpaque) : (ControlStyle() & ~TControlStyle(csOpaque)));
  RepaintRequest();
}

void TtbCustomTiledImage::Paint() {
  TCanvas& canvas = Canvas();
  if (HasState(csDesigning)) {
    canvas.Pen().SetStyle(psDash);
    canvas.Brush().SetStyle(bsClear);
    canvas.Rectangle(0, 0, Width(), Height());
  }
  TGraphic* graphic = FPicture->Graphic();
  if (!graphic || graphic->Empty()) return;
  const int pw = graphic->Width(), ph = graphic->Height();
  for (const TRect& r : TiledImageRects(FImageStyle, Width(), Height(), pw, ph)) {
    if (r.Width() == pw && r.Height() == ph)
      canvas.Draw(r.Left, r.Top, graphic);
    else
      canvas.StretchDraw(r, graphic);
  }
}
