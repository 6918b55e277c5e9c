// Image lists: images of one size with their monochrome masks (white = transparent).
#pragma once

#include <vector>

#include "platform/gdi/DeviceContext.h"

class TImageList {
public:
  TImageList(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return int(FImages.size()); }
  TColorRef BkColor() const { return FBkColor; }
  TColorRef SetBkColor(TColorRef c);

  // A strip wider than one image adds every whole image in it; returns the first index, or -1
  // when the strip is smaller than one image.
  int Add(const TGdiBitmap& image, const TGdiBitmap* mask);
  // Pixels of maskColor become transparent (and black in the stored image).
  int AddMasked(const TGdiBitmap& image, TColorRef maskColor);
  bool Replace(int index, const TGdiBitmap& image, const TGdiBitmap* mask);
  bool Remove(int index);  // -1 removes every image
  void Clear() { FImages.clear(); FMasks.clear(); }

  const TGdiBitmap& Image(int index) const { return FImages.at(size_t(index)); }
  const TGdiBitmap& Mask(int index) const { return FMasks.at(size_t(index)); }
  // ILD_NORMAL draws transparently while the background colour is CLR_NONE, else over it;
  // ILD_TRANSPARENT always draws transparently; ILD_MASK draws the mask.
  bool Draw(TDeviceContext& dc, int index, int x, int y, unsigned style) const;

private:
  void Cut(const TGdiBitmap& image, const TGdiBitmap* mask, int col, TGdiBitmap& outImage, TGdiBitmap& outMask) const;
  int FWidth;
  int FHeight;
  TColorRef FBkColor = CLR_NONE;
  std::vector<TGdiBitmap> FImages;
  std::vector<TGdiBitmap> FMasks;
};
