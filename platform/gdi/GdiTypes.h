// Plain value types of the drawing layer: points, sizes, rectangles and colour values.
#pragma once

#include <algorithm>
#include <cstdint>

using TColorRef = uint32_t;  // 0x00BBGGRR, or 0x80000000 | system colour index

struct TPoint {
  int X = 0;
  int Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and bottom lie outside the rectangle.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TPoint Point(int x, int y) { return TPoint{x, y}; }

inline TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

inline TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

inline TRect OffsetRect(const TRect& r, int dx, int dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

inline TRect InflateRect(const TRect& r, int dx, int dy) {
  return TRect{r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}

constexpr TColorRef RGB(uint8_t r, uint8_t g, uint8_t b) {
  return TColorRef(r) | (TColorRef(g) << 8) | (TColorRef(b) << 16);
}
constexpr uint8_t GetRValue(TColorRef c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GetGValue(TColorRef c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColorRef c) { return uint8_t((c >> 16) & 0xFF); }
