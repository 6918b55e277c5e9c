// Layout as pure functions: toolbar rows, wrapping and sizes; dock rows, limits and drops; the
// geometry of a drag.
#include <gtest/gtest.h>

#include "toolbars/tbFloating.h"
#include "toolbars/tbToolbar.h"

namespace {

TtbLayoutItem Button(int w, int h) {
  TtbLayoutItem i;
  i.Width = w;
  i.Height = h;
  return i;
}
TtbLayoutItem Separator(bool blank = false) {
  TtbLayoutItem i;
  i.Separator = true;
  i.Width = i.Height = 6;
  i.Blank = blank;
  return i;
}

TEST(ToolbarLayout, DockedRowCentresAcrossTheThickestButton) {
  std::vector<TtbLayoutItem> items{Button(23, 23), Button(23, 23), Separator(), Button(30, 40)};
  EXPECT_EQ(40, ToolbarThickness(items, 1));
  TtbToolbarLayoutResult r = LayoutToolbarItems(items, 1, 0, -1, true);
  EXPECT_EQ((TSize{23 + 23 + 6 + 30, 40}), r.Size);
  EXPECT_EQ((TRect{0, 8, 23, 31}), items[0].Bounds);
  EXPECT_EQ((TRect{46, 0, 52, 40}), items[2].Bounds);
  EXPECT_EQ((TRect{52, 0, 82, 40}), items[3].Bounds);
  // On a side dock the roles of width and height change.
  r = LayoutToolbarItems(items, 2, 0, -1, true);
  EXPECT_EQ((TSize{30, 23 + 23 + 6 + 40}), r.Size);
  EXPECT_EQ((TRect{3, 0, 26, 23}), items[0].Bounds);
  // Nothing that counts: 8 by 8.
  std::vector<TtbLayoutItem> none;
  EXPECT_EQ((TSize{8, 8}), LayoutToolbarItems(none, 1, 0, -1, false).Size);
}

TEST(ToolbarLayout, FloatingRowsWrapAtTheRightEdge) {
  std::vector<TtbLayoutItem> items{Button(23, 23), Button(23, 23), Button(23, 23)};
  TtbToolbarLayoutResult r = LayoutToolbarItems(items, 0, 50, -1, true);
  for (int k = 0; k < 3; ++k) EXPECT_EQ((TRect{4, 2 + 23 * k, 27, 25 + 23 * k}), items[static_cast<size_t>(k)].Bounds);
  EXPECT_EQ((TSize{4 + 23 + 4, 2 + 3 * 23 + 1}), r.Size);
  r = LayoutToolbarItems(items, 0, 0, -1, false);
  EXPECT_EQ((TSize{4 + 69 + 4, 2 + 23 + 1}), r.Size) << "0 means one row";
}

TEST(ToolbarLayout, AGroupWrappedAfterASeparatorLeavesAnEtchedGap) {
  std::vector<TtbLayoutItem> items{Button(23, 23), Button(23, 23), Separator(), Button(23, 23), Button(23, 23)};
  TtbToolbarLayoutResult r = LayoutToolbarItems(items, 0, 60, -1, true);
  EXPECT_EQ((TRect{4, 2, 27, 25}), items[0].Bounds);
  EXPECT_EQ(0, items[2].Bounds.Width()) << "the separator that ends a row takes no room";
  EXPECT_EQ((TRect{4, 2 + 23 + 6, 27, 2 + 23 + 6 + 23}), items[3].Bounds) << "6 lower than a plain wrap";
  ASSERT_EQ(1u, r.Lines.size());
  EXPECT_EQ(31, r.Lines[0].RowTop);
  EXPECT_EQ((TSize{4 + 46 + 4, 31 + 23 + 1}), r.Size) << "the width before the separator";
  std::vector<TtbLayoutItem> measured{Button(23, 23), Separator(), Button(23, 23)};
  LayoutToolbarItems(measured, 0, 30, -1, false);
  EXPECT_EQ(TRect{}, measured[0].Bounds) << "measuring places nothing";
}

TEST(ToolbarLayout, FloatingSizesListEveryWrap) {
  std::vector<TtbLayoutItem> items{Button(23, 22), Button(23, 22), Button(23, 22), Button(23, 22)};
  auto measure = [&](int rightX) {
    std::vector<TtbLayoutItem> copy = items;
    return LayoutToolbarItems(copy, 0, rightX, -1, false).Size;
  };
  std::vector<TSize> sizes = ToolbarFloatingSizes(measure, 22);
  // Three over one is as high as two over two: the narrower of the two stays.
  std::vector<TSize> expected{{100, 25}, {54, 47}, {31, 91}};
  EXPECT_EQ(expected, sizes);
}

TEST(DockArrangement, PushAndPullBackKeepRowsInsideTheDock) {
  const struct {
    int DockLength;
    int Pos0, Pos1;
    bool Store;
    int Adjusted0, Adjusted1, Stored1;
  } cases[] = {
      {300, 0, 50, false, 0, 100, 100},
      {150, 0, 50, false, 0, 100, 100},    // pulled back to -30 and 70, then forward again
      {250, 0, 200, true, 0, 170, 170},    // the pulled-back position is stored
      {250, 0, 200, false, 0, 170, 200},   // or only the pushed one
      {300, 200, 10, false, 10, 200, 200},  // sorted by position first
  };
  for (const auto& c : cases) {
    std::vector<TtbDockItem> items(2);
    items[0].Pos = c.Pos0, items[0].Length = 100, items[0].Thickness = 22, items[0].Tag = 0;
    items[1].Pos = c.Pos1, items[1].Length = 80, items[1].Thickness = 22, items[1].Tag = 1;
    ArrangeDockItems(items, c.DockLength, false, c.Store);
    EXPECT_EQ(c.Adjusted0, items[0].AdjustedPos) << c.DockLength << " " << c.Pos1;
    EXPECT_EQ(c.Adjusted1, items[1].AdjustedPos) << c.DockLength << " " << c.Pos1;
    EXPECT_EQ(c.Stored1, items[1].Pos) << c.DockLength << " " << c.Pos1;
  }
}

TEST(DockArrangement, RowsCloseUpAndFullSizeWindowsGetTheirOwn) {
  std::vector<TtbDockItem> items(3);
  items[0].Row = 0, items[0].Length = 50, items[0].Thickness = 22;
  items[1].Row = 2, items[1].Length = 50, items[1].Thickness = 30;
  items[2].Row = 2, items[2].Pos = 10, items[2].Length = 50, items[2].Thickness = 5, items[2].FullSize = true;
  TtbDockLayout l = ArrangeDockItems(items, 300, false, false);
  // Row 1 was empty, so row 2 became 1; the full-size window keeps it and the other moves on.
  EXPECT_EQ(0, items[0].Row);
  EXPECT_EQ(1, items[1].Row);
  EXPECT_TRUE(items[1].FullSize);
  EXPECT_EQ(2, items[2].Row);
  EXPECT_EQ((std::vector<int>{22, 8, 30}), l.RowThickness) << "at least 8";
  EXPECT_EQ(26 + 12 + 34, l.Across);
  EXPECT_EQ(26 + 12, items[2].Across);
  EXPECT_EQ(0, items[1].AdjustedPos);

  for (TtbDockItem& i : items) i.FullSize = false;
  ArrangeDockItems(items, 300, true, false);
  for (const TtbDockItem& i : items) EXPECT_EQ(0, i.Row);
  // A hidden window keeps its place but takes no room.
  std::vector<TtbDockItem> hidden(1);
  hidden[0].Counts = false;
  hidden[0].Thickness = 22;
  EXPECT_EQ(0, ArrangeDockItems(hidden, 300, false, false).Across);
}

TEST(DockArrangement, DropsFallIntoRowsOrBetweenThem) {
  const std::vector<int> rows{22, 0, 30};  // rows 0 and 2; 26 and 34 thick
  const struct {
    int Across;
    TtbRowHit Hit;
  } cases[] = {{0, {0, true}}, {4, {0, true}}, {5, {0, false}}, {20, {0, false}}, {21, {1, true}},
               {26, {2, true}}, {31, {2, false}}, {55, {3, true}}, {60, {3, false}}, {500, {3, false}}};
  for (const auto& c : cases) {
    TtbRowHit h = RowAtCoordinate(rows, c.Across);
    EXPECT_EQ(c.Hit.Row, h.Row) << c.Across;
    EXPECT_EQ(c.Hit.NewRow, h.NewRow) << c.Across;
  }
}

TEST(DragGeometry, DockTestAndPlacement) {
  const TRect dock{0, 100, 400, 130};
  const TSize window{100, 41};  // grab fractions: 32 * 50 / 99 = 16, 20 * 20 / 40 = 10
  const TPoint grab{50, 20};
  auto candidate = [&](TPoint c) { return PlaceWithGrab(c, grab, window, window); };
  const struct {
    TPoint Cursor;
    bool Side, Hit;
  } cases[] = {{{200, 115}, false, true}, {{200, 89}, false, false}, {{200, 90}, false, true},
               {{200, 139}, false, true}, {{200, 140}, false, false}, {{-17, 115}, false, false},
               {{-16, 115}, false, true}, {{200, 95}, true, false}, {{200, 129}, true, true}};
  for (const auto& c : cases)
    EXPECT_EQ(c.Hit, DockDragHit(dock, c.Side, c.Cursor, grab, window, candidate(c.Cursor)))
        << c.Cursor.X << "," << c.Cursor.Y << " side " << c.Side;
  // An empty dock still has an edge to drop on.
  EXPECT_TRUE(DockDragHit(TRect{0, 100, 400, 100}, false, {200, 100}, grab, window, candidate({200, 100})));

  EXPECT_EQ((TRect{190, 90, 240, 110}), PlaceWithGrab({200, 100}, {20, 20}, {100, 40}, {50, 20}));
  const TRect wa{0, 0, 1024, 768};
  EXPECT_EQ((TRect{-92, 8, 8, 48}), KeepReachable(TRect{-500, 8, -400, 48}, wa, 4, 15)) << "pulled in from the left";
  EXPECT_EQ((TRect{10, -15, 110, 25}), KeepReachable(TRect{10, -100, 110, -60}, wa, 4, 15)) << "caption kept reachable";
}

}  // namespace
