#include "platform/gdi/ImageList.h"

#include <utility>

TImageList::TImageList(int width, int height) : FWidth(std::max(1, width)), FHeight(std::max(1, height)) {}

TColorRef TImageList::SetBkColor(TColorRef c) { return std::exchange(FBkColor, c); }

void TImageList::Cut(const TGdiBitmap& image, const TGdiBitmap* mask, int col, TGdiBitmap& outImage,
                     TGdiBitmap& outMask) const {
  outImage = TGdiBitmap(FWidth, FHeight, 32);
  outMask = TGdiBitmap(FWidth, FHeight, 1);
  for (int y = 0; y < FHeight; ++y)
    for (int x = 0; x < FWidth; ++x) {
      int sx = col * FWidth + x;
      outImage.SetPixel(x, y, image.Pixel(sx, y));
      bool transparent = mask && mask->Pixel(sx, y) != CLR_INVALID && mask->PixelBit(sx, y);
      outMask.SetPixel(x, y, transparent ? clWhite : clBlack);
    }
}

int TImageList::Add(const TGdiBitmap& image, const TGdiBitmap* mask) {
  if (image.Width() < FWidth || image.Height() < FHeight) return -1;
  int first = Count();
  for (int col = 0; col < image.Width() / FWidth; ++col) {
    TGdiBitmap img, msk;
    Cut(image, mask, col, img, msk);
    FImages.push_back(std::move(img));
    FMasks.push_back(std::move(msk));
  }
  return first;
}

int TImageList::AddMasked(const TGdiBitmap& image, TColorRef maskColor) {
  TColorRef key = ColorToRGB(maskColor);
  TGdiBitmap mask(image.Width(), image.Height(), 1);
  TGdiBitmap copy(image.Width(), image.Height(), 32);
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      bool transparent = image.Row(y)[x] == key;
      mask.SetPixel(x, y, transparent ? clWhite : clBlack);
      copy.SetPixel(x, y, transparent ? clBlack : image.Row(y)[x]);
    }
  return Add(copy, &mask);
}

bool TImageList::Replace(int index, const TGdiBitmap& image, const TGdiBitmap* mask) {
  if (index < 0 || index >= Count() || image.Width() < FWidth || image.Height() < FHeight) return false;
  Cut(image, mask, 0, FImages[size_t(index)], FMasks[size_t(index)]);
  return true;
}

bool TImageList::Remove(int index) {
  if (index == -1) {
    Clear();
    return true;
  }
  if (index < 0 || index >= Count()) return false;
  FImages.erase(FImages.begin() + index);
  FMasks.erase(FMasks.begin() + index);
  return true;
}

bool TImageList::Draw(TDeviceContext& dc, int index, int x, int y, unsigned style) const {
  if (index < 0 || index >= Count()) return false;
  const TGdiBitmap& img = FImages[size_t(index)];
  const TGdiBitmap& msk = FMasks[size_t(index)];
  bool transparent = (style & ILD_TRANSPARENT) || FBkColor == CLR_NONE;
  for (int j = 0; j < FHeight; ++j)
    for (int i = 0; i < FWidth; ++i) {
      bool clear = msk.PixelBit(i, j);
      if (style & ILD_MASK) {
        dc.SetPixel(x + i, y + j, clear ? clWhite : clBlack);
      } else if (!clear) {
        dc.SetPixel(x + i, y + j, img.Row(j)[i]);
      } else if (!transparent) {
        dc.SetPixel(x + i, y + j, FBkColor);
      }
    }
  return true;
}
