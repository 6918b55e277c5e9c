#include <gtest/gtest.h>

#include "platform/gdi/Region.h"

TEST(Region, RectangleExcludesRightAndBottom) {
  TRegion r(TRect{1, 2, 4, 6});
  EXPECT_TRUE(r.Contains(1, 2));
  EXPECT_TRUE(r.Contains(3, 5));
  EXPECT_FALSE(r.Contains(4, 5));
  EXPECT_FALSE(r.Contains(3, 6));
  EXPECT_FALSE(r.Contains(0, 2));
  EXPECT_EQ(r.Kind(), SIMPLEREGION);
  EXPECT_EQ(r.Bounds(), (TRect{1, 2, 4, 6}));
  EXPECT_EQ(TRegion(TRect{3, 3, 3, 8}).Kind(), NULLREGION);
}

TEST(Region, CombineModes) {
  const TRegion a(TRect{0, 0, 4, 4}), b(TRect{2, 2, 6, 6});
  struct Case {
    int mode;
    int kind;
    int area;
    TRect box;
    bool at11, at33, at55;
  };
  const Case cases[] = {
      {RGN_AND, SIMPLEREGION, 4, {2, 2, 4, 4}, false, true, false},
      {RGN_OR, COMPLEXREGION, 28, {0, 0, 6, 6}, true, true, true},
      {RGN_XOR, COMPLEXREGION, 24, {0, 0, 6, 6}, true, false, true},
      {RGN_DIFF, COMPLEXREGION, 12, {0, 0, 4, 4}, true, false, false},
      {RGN_COPY, SIMPLEREGION, 16, {0, 0, 4, 4}, true, true, false},
  };
  for (const auto& c : cases) {
    TRegion r;
    EXPECT_EQ(CombineRgn(r, a, b, c.mode), c.kind) << c.mode;
    int area = 0;
    for (const TRect& q : r.Rects()) area += q.Width() * q.Height();
    EXPECT_EQ(area, c.area) << c.mode;
    EXPECT_EQ(GetRgnBox(r), c.box) << c.mode;
    EXPECT_EQ(PtInRegion(r, 1, 1), c.at11) << c.mode;
    EXPECT_EQ(PtInRegion(r, 3, 3), c.at33) << c.mode;
    EXPECT_EQ(PtInRegion(r, 5, 5), c.at55) << c.mode;
  }
  TRegion r;
  EXPECT_EQ(r.Combine(a, b, 9), RGN_ERROR);
  // Disjoint AND is empty; a union of touching halves is one rectangle again.
  EXPECT_EQ(r.Combine(TRegion(TRect{0, 0, 2, 2}), TRegion(TRect{5, 5, 7, 7}), RGN_AND), NULLREGION);
  EXPECT_TRUE(r.Empty());
  EXPECT_EQ(r.Combine(TRegion(TRect{0, 0, 2, 4}), TRegion(TRect{2, 0, 5, 4}), RGN_OR), SIMPLEREGION);
  EXPECT_EQ(r, TRegion(TRect{0, 0, 5, 4}));
  // Combining into one of the operands.
  TRegion self(TRect{0, 0, 4, 4});
  self.Combine(self, TRegion(TRect{0, 0, 2, 4}), RGN_DIFF);
  EXPECT_EQ(self, TRegion(TRect{2, 0, 4, 4}));
}

TEST(Region, PolygonRegionsAndOffset) {
  TRegion square = TRegion::FromPolygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
  EXPECT_EQ(square, TRegion(TRect{0, 0, 4, 4}));
  TRegion tri = TRegion::FromPolygon({{0, 0}, {10, 0}, {0, 10}});
  EXPECT_TRUE(tri.Contains(0, 0));
  EXPECT_TRUE(tri.Contains(4, 4));
  EXPECT_FALSE(tri.Contains(5, 5));
  EXPECT_FALSE(tri.Contains(9, 9));
  EXPECT_EQ(tri.Kind(), COMPLEXREGION);
  EXPECT_EQ(tri.Bounds(), (TRect{0, 0, 9, 9}));  // pixel centres inside
  EXPECT_TRUE(TRegion::FromPolygon({{0, 0}, {3, 3}}).Empty());
  tri.Offset(5, -1);
  EXPECT_TRUE(tri.Contains(5, -1));
  EXPECT_FALSE(tri.Contains(0, 0));
  EXPECT_TRUE(tri.RectInRegion(TRect{0, 0, 6, 6}));
  EXPECT_FALSE(tri.RectInRegion(TRect{0, 0, 5, 5}));
}
