#include "platform/gdi/Bitmap.h"

#include <limits>

#include "platform/gdi/Colors.h"

namespace {

// Largest bitmap accepted: guards against absurd sizes from files.
constexpr int64_t MaxPixels = int64_t(1) << 28;

int ColorDistance(TColorRef a, TColorRef b) {
  int dr = int(GetRValue(a)) - GetRValue(b);
  int dg = int(GetGValue(a)) - GetGValue(b);
  int db = int(GetBValue(a)) - GetBValue(b);
  return dr * dr + dg * dg + db * db;
}

void CheckSize(int width, int height) {
  if (width < 0 || height < 0 || int64_t(width) * int64_t(height) > MaxPixels)
    throw EOutOfResources("Out of system resources");
}

}  // namespace

bool TGdiBitmap::ValidDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24 || bpp == 32; }

std::vector<TColorRef> TGdiBitmap::DefaultPalette(int bpp) {
  static const TColorRef vga[16] = {clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clSilver,
                                    clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite};
  switch (bpp) {
    case 1: return {clBlack, clWhite};
    case 4: return std::vector<TColorRef>(vga, vga + 16);
    case 8: {
      // The 16 standard colours, then a 6x6x6 cube, then a grey ramp.
      std::vector<TColorRef> p(vga, vga + 16);
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b) p.push_back(RGB(uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)));
      for (int i = 0; p.size() < 256; ++i) {
        uint8_t v = uint8_t(8 + i * 10);
        p.push_back(RGB(v, v, v));
      }
      return p;
    }
    default: return {};
  }
}

TGdiBitmap::TGdiBitmap(int width, int height, int bpp)
    : TGdiBitmap(width, height, bpp, DefaultPalette(bpp)) {}

TGdiBitmap::TGdiBitmap(int width, int height, int bpp, std::vector<TColorRef> palette) {
  if (!ValidDepth(bpp)) throw EInvalidGraphic("Bitmap image is not valid");
  CheckSize(width, height);
  FWidth = width;
  FHeight = height;
  FBitsPerPixel = bpp;
  if (bpp <= 8) {
    if (palette.empty()) palette = DefaultPalette(bpp);
    palette.resize(std::min<size_t>(palette.size(), size_t(1) << bpp));
    for (auto& c : palette) c &= 0xFFFFFF;
  } else {
    palette.clear();
  }
  FPalette = std::move(palette);
  FPixels.assign(size_t(width) * size_t(height), BlankColor());
}

void TGdiBitmap::SetPalette(std::vector<TColorRef> palette) {
  if (FBitsPerPixel > 8) return;
  std::vector<int> indices(FPixels.size());
  for (size_t i = 0; i < FPixels.size(); ++i) indices[i] = PixelIndex(int(i % FWidth), int(i / FWidth));
  TGdiBitmap fresh(0, 0, FBitsPerPixel, std::move(palette));
  FPalette = fresh.FPalette;
  for (size_t i = 0; i < FPixels.size(); ++i)
    FPixels[i] = FPalette[std::min<size_t>(size_t(indices[i]), FPalette.size() - 1)];
}

void TGdiBitmap::SetSize(int width, int height) {
  CheckSize(width, height);
  std::vector<TColorRef> pixels(size_t(width) * size_t(height), BlankColor());
  for (int y = 0; y < std::min(height, FHeight); ++y)
    for (int x = 0; x < std::min(width, FWidth); ++x) pixels[size_t(y) * width + x] = Row(y)[x];
  FPixels = std::move(pixels);
  FWidth = width;
  FHeight = height;
}

TColorRef TGdiBitmap::NearestColor(TColorRef c) const {
  c &= 0xFFFFFF;
  if (FBitsPerPixel > 8 || FPalette.empty()) return c;
  int best = 0, bestDist = std::numeric_limits<int>::max();
  for (size_t i = 0; i < FPalette.size(); ++i) {
    int d = ColorDistance(FPalette[i], c);
    if (d < bestDist) {
      bestDist = d;
      best = int(i);
      if (d == 0) break;
    }
  }
  return FPalette[best];
}

TColorRef TGdiBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return CLR_INVALID;
  return Row(y)[x];
}

void TGdiBitmap::SetPixel(int x, int y, TColorRef c) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  Row(y)[x] = NearestColor(c);
}

int TGdiBitmap::PixelIndex(int x, int y) const {
  if (FBitsPerPixel > 8 || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  TColorRef c = Row(y)[x];
  for (size_t i = 0; i < FPalette.size(); ++i)
    if (FPalette[i] == c) return int(i);
  return 0;
}

void TGdiBitmap::Fill(TColorRef c) { std::fill(FPixels.begin(), FPixels.end(), NearestColor(c)); }

int TGdiBitmap::DibStride(int width, int bpp) { return int(((int64_t(width) * bpp + 31) / 32) * 4); }

std::vector<uint8_t> TGdiBitmap::GetDIBits(int bpp, bool topDown, std::vector<TColorRef>* palette) const {
  if (!ValidDepth(bpp)) throw EInvalidGraphic("Bitmap image is not valid");
  std::vector<TColorRef> pal = (bpp == FBitsPerPixel) ? FPalette : DefaultPalette(bpp);
  TGdiBitmap mapper(0, 0, bpp, pal);
  int stride = DibStride(FWidth, bpp);
  std::vector<uint8_t> bits(size_t(stride) * size_t(FHeight), 0);
  for (int y = 0; y < FHeight; ++y) {
    uint8_t* row = bits.data() + size_t(topDown ? y : FHeight - 1 - y) * stride;
    for (int x = 0; x < FWidth; ++x) {
      TColorRef c = Row(y)[x];
      if (bpp > 8) {
        uint8_t* p = row + size_t(x) * (bpp / 8);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
        if (bpp == 32) p[3] = 0;
        continue;
      }
      int index = 0;
      TColorRef n = mapper.NearestColor(c);
      for (size_t i = 0; i < pal.size(); ++i)
        if (pal[i] == n) { index = int(i); break; }
      int bitPos = x * bpp;
      int shift = 8 - bpp - (bitPos % 8);
      row[bitPos / 8] |= uint8_t(index << shift);
    }
  }
  if (palette) *palette = mapper.FPalette;
  return bits;
}

void TGdiBitmap::SetDIBits(const uint8_t* bits, size_t size, int bpp, bool topDown,
                           const std::vector<TColorRef>& palette) {
  if (!ValidDepth(bpp)) throw EInvalidGraphic("Bitmap image is not valid");
  int stride = DibStride(FWidth, bpp);
  if (size < size_t(stride) * size_t(FHeight)) throw EInvalidGraphic("Bitmap image is not valid");
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* row = bits + size_t(topDown ? y : FHeight - 1 - y) * stride;
    for (int x = 0; x < FWidth; ++x) {
      TColorRef c;
      if (bpp > 8) {
        const uint8_t* p = row + size_t(x) * (bpp / 8);
        c = RGB(p[2], p[1], p[0]);
      } else {
        int bitPos = x * bpp;
        int shift = 8 - bpp - (bitPos % 8);
        size_t index = (row[bitPos / 8] >> shift) & ((1u << bpp) - 1);
        c = index < palette.size() ? palette[index] : clBlack;
      }
      Row(y)[x] = NearestColor(c);
    }
  }
}
