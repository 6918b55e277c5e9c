#include "platform/classlib/ControlPaint.h"

#include <gtest/gtest.h>

namespace {

TScrollBarGeometry Bar(int min, int max, int page, int pos) {
  TScrollBarGeometry g;
  g.Kind = TScrollBarKind::Vertical;
  g.Bounds = TRect{0, 0, 16, 216};  // 16-pixel arrows leave a 184-pixel track
  g.Min = min, g.Max = max, g.Page = page, g.Position = pos;
  return g;
}

TEST(ScrollBarGeometryTest, ThumbFollowsPositionAndPage) {
  TScrollBarGeometry g = Bar(0, 99, 10, 0);
  EXPECT_EQ(g.MaxPosition(), 90);
  EXPECT_EQ(g.TrackRect(), (TRect{0, 16, 16, 200}));
  TRect t = g.ThumbRect();
  EXPECT_EQ(t.Top, 16);
  EXPECT_EQ(t.Height(), 18);  // a tenth of the track
  g.Position = 90;
  EXPECT_EQ(g.ThumbRect().Bottom, 200);
  g.Position = 500;  // out of range draws at the end
  EXPECT_EQ(g.ThumbRect().Bottom, 200);

  // Dragging the thumb maps its offset back to the position, both ends included.
  for (int pos : {0, 1, 45, 89, 90}) {
    g.Position = pos;
    EXPECT_EQ(g.PositionAtThumbOffset(g.ThumbOffset()), pos) << pos;
  }
  EXPECT_EQ(g.PositionAtThumbOffset(-40), 0);
  EXPECT_EQ(g.PositionAtThumbOffset(10000), 90);

  TScrollBarGeometry none = Bar(0, 5, 10, 0);
  EXPECT_FALSE(none.Scrollable());
  EXPECT_TRUE(none.ThumbRect().IsEmpty());
}

TEST(ScrollBarGeometryTest, HitTestNamesEveryPart) {
  TScrollBarGeometry g = Bar(0, 99, 10, 45);
  TRect t = g.ThumbRect();
  struct Case { int Y; TScrollPart Part; };
  for (const Case& c : {Case{5, TScrollPart::LineUp}, Case{20, TScrollPart::PageUp},
                        Case{t.Top + 2, TScrollPart::Thumb}, Case{t.Bottom + 2, TScrollPart::PageDown},
                        Case{210, TScrollPart::LineDown}, Case{300, TScrollPart::None}}) {
    EXPECT_EQ(g.HitTest({8, c.Y}), c.Part) << c.Y;
  }
}

TEST(ControlPaintTest, GlyphsUseTheSystemColours) {
  auto bmp = std::make_shared<TGdiBitmap>(40, 20, 32);
  TDeviceContext dc(bmp);
  dc.FillRect(TRect{0, 0, 40, 20}, SolidBrush(clRed));
  PaintCheckGlyph(dc, 0, 0, TCheckGlyph::Checked, true, false);
  EXPECT_EQ(bmp->Pixel(0, 0), ColorToRGB(clBtnShadow));        // sunken edge
  EXPECT_EQ(bmp->Pixel(12, 12), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(bmp->Pixel(3, 3), ColorToRGB(clWindow));           // inside, off the mark
  EXPECT_EQ(bmp->Pixel(3, 5), ColorToRGB(clWindowText));       // on the mark
  PaintRadioGlyph(dc, 20, 0, true, true, false);
  EXPECT_EQ(bmp->Pixel(20, 0), ColorToRGB(clRed));             // outside the circle
  EXPECT_EQ(bmp->Pixel(25, 5), ColorToRGB(clWindowText));      // the dot
  EXPECT_EQ(bmp->Pixel(24, 3), ColorToRGB(clWindow));
}

}  // namespace
