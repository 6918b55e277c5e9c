#include "platform/win/X11Icon.h"

#include "platform/gdi/BmpFile.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr int SmallestIcon = 16;

struct TArgb {
  unsigned A = 0, R = 0, G = 0, B = 0;
};

void Append(std::vector<long>& out, const std::vector<TArgb>& px, int w, int h) {
  out.push_back(w);
  out.push_back(h);
  for (const TArgb& p : px) out.push_back(static_cast<long>((p.A << 24) | (p.R << 16) | (p.G << 8) | p.B));
}

// Each pixel the mean of four, weighted by their cover so that edges do not darken.
std::vector<TArgb> Halve(const std::vector<TArgb>& px, int w, int h) {
  std::vector<TArgb> out(static_cast<size_t>((w / 2) * (h / 2)));
  for (int y = 0; y < h / 2; ++y)
    for (int x = 0; x < w / 2; ++x) {
      TArgb sum;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const TArgb& p = px[static_cast<size_t>((2 * y + dy) * w + 2 * x + dx)];
          sum.A += p.A, sum.R += p.R * p.A, sum.G += p.G * p.A, sum.B += p.B * p.A;
        }
      TArgb& o = out[static_cast<size_t>(y * (w / 2) + x)];
      o.A = sum.A / 4;
      if (sum.A) o.R = sum.R / sum.A, o.G = sum.G / sum.A, o.B = sum.B / sum.A;
    }
  return out;
}

}  // namespace

std::vector<long> NetWmIconOf(const TGdiBitmap& picture) {
  std::vector<long> out;
  int w = picture.Width(), h = picture.Height();
  if (picture.Empty()) return out;
  TColorRef clear = picture.Pixel(0, h - 1);
  std::vector<TArgb> px(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      TColorRef c = picture.Pixel(x, y);
      if (c != clear) px[static_cast<size_t>(y * w + x)] = TArgb{255, c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
    }
  Append(out, px, w, h);
  while (w / 2 >= SmallestIcon && h / 2 >= SmallestIcon) {
    px = Halve(px, w, h);
    w /= 2, h /= 2;
    Append(out, px, w, h);
  }
  return out;
}

std::vector<long> ProgramNetWmIcon() {
  const TResource* r = FindResource("BITMAP", "MAINICON");
  if (!r) return {};
  try {
    TMemoryStream stream;
    stream.Write(r->Data, static_cast<int64_t>(r->Size));
    stream.SetPosition(0);
    return NetWmIconOf(ReadBmp(stream));
  } catch (const Exception&) {
    return {};  // a window without an icon rather than no window
  }
}
