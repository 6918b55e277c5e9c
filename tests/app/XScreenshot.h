// A picture of the whole X screen for a look: xwd's dump of the root window, saved as PNG.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/BmpFile.h"

// The whole X screen as pixels; empty when xwd is missing or its dump is not 32 bits a pixel.
inline TGdiBitmap XScreenImage(const std::string& display) {
  FILE* f = popen(("xwd -root -silent -display " + display).c_str(), "r");
  if (!f) return TGdiBitmap(0, 0, 32);
  std::vector<unsigned char> d;
  unsigned char buf[65536];
  while (size_t n = fread(buf, 1, sizeof buf, f)) d.insert(d.end(), buf, buf + n);
  pclose(f);
  if (d.size() < 100) return TGdiBitmap(0, 0, 32);
  auto field = [&](int i) {
    const unsigned char* p = d.data() + 4 * i;
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
  };
  const uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7);
  const uint32_t bitsPerPixel = field(11), bytesPerLine = field(12), colours = field(19);
  const size_t start = size_t(headerSize) + size_t(colours) * 12;
  if (bitsPerPixel != 32 || d.size() < start + size_t(bytesPerLine) * height) return TGdiBitmap(0, 0, 32);
  TGdiBitmap image(int(width), int(height), 32);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = d.data() + start + size_t(y) * bytesPerLine + 4 * size_t(x);
      const uint32_t v = byteOrder == 0 ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16
                                        : uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16;
      // 0x00RRGGBB from the server, 0x00BBGGRR for the drawing layer.
      image.SetPixel(int(x), int(y), ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF));
    }
  }
  return image;
}

// False when there was no picture to take.
inline bool SaveXScreenshot(const std::string& display, const std::string& pngFile) {
  TGdiBitmap image = XScreenImage(display);
  if (image.Width() == 0) return false;
  SavePngFile(image, pngFile);
  return true;
}
