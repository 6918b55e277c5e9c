// Regions: unions of rectangles kept as horizontal bands of sorted spans.
#pragma once

#include <vector>

#include "platform/gdi/GdiConsts.h"
#include "platform/gdi/GdiTypes.h"

class TRegion {
public:
  TRegion() = default;
  explicit TRegion(const TRect& r);
  static TRegion FromRect(int l, int t, int r, int b) { return TRegion(TRect{l, t, r, b}); }
  // Pixels whose centres lie inside the polygon, by the alternate or winding rule.
  static TRegion FromPolygon(const std::vector<TPoint>& points, int fillMode = ALTERNATE);

  // Sets this region to a combined with b (RGN_COPY takes a); returns the region kind.
  int Combine(const TRegion& a, const TRegion& b, int mode);
  int Kind() const;
  bool Empty() const { return FBands.empty(); }
  bool Contains(int x, int y) const;
  bool RectInRegion(const TRect& r) const;
  TRect Bounds() const;
  void Offset(int dx, int dy);
  // The region as non-overlapping rectangles, top to bottom, left to right.
  std::vector<TRect> Rects() const;
  friend bool operator==(const TRegion&, const TRegion&) = default;

private:
  struct Band {
    int Top = 0;
    int Bottom = 0;
    std::vector<int> Spans;  // pairs of left, right (right excluded)
    friend bool operator==(const Band&, const Band&) = default;
  };
  void Normalize();
  std::vector<Band> FBands;
};

inline int CombineRgn(TRegion& dest, const TRegion& a, const TRegion& b, int mode) {
  return dest.Combine(a, b, mode);
}
inline bool PtInRegion(const TRegion& r, int x, int y) { return r.Contains(x, y); }
inline TRect GetRgnBox(const TRegion& r) { return r.Bounds(); }
