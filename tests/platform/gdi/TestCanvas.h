// A 32-bit bitmap with its device context, filled with one colour, for the drawing tests to read
// back pixel by pixel.
#pragma once

#include <algorithm>
#include <memory>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/DeviceContext.h"

struct Canvas {
  std::shared_ptr<TGdiBitmap> bmp;
  TDeviceContext dc;
  explicit Canvas(int w, int h, TColorRef fill = clWhite) : bmp(std::make_shared<TGdiBitmap>(w, h, 32)), dc(bmp) {
    bmp->Fill(fill);
  }
  TColorRef At(int x, int y) const { return bmp->Pixel(x, y); }
  int Count(TColorRef c) const {
    int n = 0;
    for (int y = 0; y < bmp->Height(); ++y)
      for (int x = 0; x < bmp->Width(); ++x) n += bmp->Pixel(x, y) == c;
    return n;
  }
  // Bounds of the pixels that are not white.
  TRect Ink() const {
    TRect r{bmp->Width(), bmp->Height(), -1, -1};
    for (int y = 0; y < bmp->Height(); ++y)
      for (int x = 0; x < bmp->Width(); ++x)
        if (bmp->Pixel(x, y) != clWhite) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r;
  }
};
