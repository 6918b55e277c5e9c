// Bitmaps of 1, 4, 8, 24 or 32 bits per pixel, and their device-independent bits.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/GdiTypes.h"
#include "platform/rtl/Exceptions.h"

QUORVEX_EXCEPTION(EInvalidGraphic, Exception);
QUORVEX_EXCEPTION(EOutOfResources, Exception);

// Each pixel is kept as a colour value; a bitmap of 8 bits or fewer keeps only colours of its
// palette, so writing a colour stores the nearest entry. A 1-bit bitmap is monochrome: its
// entry 0 counts as black (bit 0) and entry 1 as white (bit 1) for the blit rules.
class TGdiBitmap {
public:
  TGdiBitmap() = default;
  TGdiBitmap(int width, int height, int bitsPerPixel = 32);
  TGdiBitmap(int width, int height, int bitsPerPixel, std::vector<TColorRef> palette);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int BitsPerPixel() const { return FBitsPerPixel; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  bool Monochrome() const { return FBitsPerPixel == 1; }
  const std::vector<TColorRef>& Palette() const { return FPalette; }
  void SetPalette(std::vector<TColorRef> palette);

  // Keeps the pixels that still fit; new pixels are blank.
  void SetSize(int width, int height);

  TColorRef Pixel(int x, int y) const;        // CLR_INVALID outside
  void SetPixel(int x, int y, TColorRef c);   // ignored outside
  // Palette index of a pixel for bitmaps of 8 bits or fewer, else 0.
  int PixelIndex(int x, int y) const;
  // Monochrome bit of a pixel: 1 for white, 0 for black.
  bool PixelBit(int x, int y) const { return PixelIndex(x, y) != 0; }

  TColorRef* Row(int y) { return FPixels.data() + size_t(y) * size_t(FWidth); }
  const TColorRef* Row(int y) const { return FPixels.data() + size_t(y) * size_t(FWidth); }
  void Fill(TColorRef c);
  TColorRef NearestColor(TColorRef c) const;
  // Colour of zeroed bits: palette entry 0, or black.
  TColorRef BlankColor() const { return FPalette.empty() ? 0 : FPalette[0]; }

  // Bytes per row of device-independent bits, padded to four bytes.
  static int DibStride(int width, int bitsPerPixel);
  // Device-independent bits at the given depth, bottom-up unless topDown; the palette used for
  // 8 bits or fewer is the bitmap's own when its depth matches, else a standard one (returned).
  std::vector<uint8_t> GetDIBits(int bitsPerPixel, bool topDown, std::vector<TColorRef>* palette = nullptr) const;
  // Replaces the pixels from bits of any supported depth with the given palette.
  void SetDIBits(const uint8_t* bits, size_t size, int bitsPerPixel, bool topDown,
                 const std::vector<TColorRef>& palette);

  static std::vector<TColorRef> DefaultPalette(int bitsPerPixel);
  static bool ValidDepth(int bitsPerPixel);

private:
  int FWidth = 0;
  int FHeight = 0;
  int FBitsPerPixel = 32;
  std::vector<TColorRef> FPalette;
  std::vector<TColorRef> FPixels;
};

using TGdiBitmapPtr = std::shared_ptr<TGdiBitmap>;
