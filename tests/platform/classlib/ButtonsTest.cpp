// The speed button: exclusive groups, click on release, glyph placement and the disabled look.
#include "platform/classlib/Buttons.h"

#include "StdCtrlsTestSupport.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/ExtCtrls.h"

namespace {

class SpeedButtonTest : public StdControlsTest {
protected:
  TSpeedButton* Button(int x, int y, int w, int h, int group = 0, TWinControl* parent = nullptr) {
    auto* b = Make<TSpeedButton>(x, y, w, h, parent);
    b->SetGroupIndex(group);
    b->OnClick = [this, b](TObject* s) {
      EXPECT_EQ(s, b);
      Clicks.push_back(b);
    };
    return b;
  }
  // A glyph of one colour, see-through colour set apart so every pixel shows.
  static void SolidGlyph(TSpeedButton* b, int w, int h, TColorRef c) {
    TBitmap bmp;
    bmp.SetSize(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) bmp.Image()->SetPixel(x, y, c);
    bmp.SetTransparentColor(clFuchsia);
    b->SetGlyph(&bmp);
  }
  // The box of a button's pixels in colour c, as the form shows them.
  TRect Box(TSpeedButton* b, TColorRef c) {
    TRect r{1000, 1000, -1, -1};
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x)
        if (Pixel(b, x, y) == c) {
          r.Left = std::min(r.Left, x);
          r.Top = std::min(r.Top, y);
          r.Right = std::max(r.Right, x + 1);
          r.Bottom = std::max(r.Bottom, y + 1);
        }
    return r.Right < 0 ? TRect{} : r;
  }
  void Press(TControl* c, int x, int y) {
    TPoint p = Screen(c, x, y);
    InjectMouseMove(p.X, p.Y);
    InjectMouseDown(TMouseButton::Left, p.X, p.Y);
    Pump();
  }
  void MoveTo(TControl* c, int x, int y) {
    TPoint p = Screen(c, x, y);
    InjectMouseMove(p.X, p.Y);
    Pump();
  }
  void Release(TControl* c, int x, int y) {
    TPoint p = Screen(c, x, y);
    InjectMouseUp(TMouseButton::Left, p.X, p.Y);
    Pump();
  }

  std::vector<TSpeedButton*> Clicks;
};

TEST_F(SpeedButtonTest, GroupKeepsOneButtonDownAndAllowAllUpIsShared) {
  TSpeedButton* a = Button(10, 10, 30, 22, 1);
  TSpeedButton* b = Button(50, 10, 30, 22, 1);
  TSpeedButton* c = Button(90, 10, 30, 22, 1);
  TSpeedButton* other = Button(130, 10, 30, 22, 2);
  auto* panel = Make<TPanel>(10, 60, 200, 60);
  TSpeedButton* elsewhere = Button(10, 10, 30, 22, 1, panel);
  TSpeedButton* plain = Button(170, 10, 30, 22, 0);
  other->SetDown(true);
  elsewhere->SetDown(true);

  Click(a, 5, 5);
  EXPECT_TRUE(a->Down());
  Click(b, 5, 5);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(b->State(), bsExclusive);
  // Without AllowAllUp the down button stays down when clicked again, but the click still runs.
  Click(b, 5, 5);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(Clicks, (std::vector<TSpeedButton*>{a, b, b}));
  b->SetDown(false);
  EXPECT_TRUE(b->Down());
  // Other groups and other parents are left alone.
  EXPECT_TRUE(other->Down());
  EXPECT_TRUE(elsewhere->Down());

  c->SetAllowAllUp(true);
  EXPECT_TRUE(a->AllowAllUp());
  EXPECT_TRUE(b->AllowAllUp());
  EXPECT_FALSE(other->AllowAllUp());
  Click(b, 5, 5);
  EXPECT_FALSE(b->Down());
  EXPECT_FALSE(a->Down() || c->Down());

  // A button outside any group clicks but never stays down; leaving the group brings one up.
  Click(plain, 5, 5);
  plain->SetDown(true);
  EXPECT_FALSE(plain->Down());
  c->SetDown(true);
  c->SetGroupIndex(0);
  EXPECT_FALSE(c->Down());
  EXPECT_EQ(Clicks.back(), plain);
}

TEST_F(SpeedButtonTest, ClickRunsOnReleaseOverTheButtonOnly) {
  TSpeedButton* b = Button(20, 20, 40, 30);
  Press(b, 10, 10);
  EXPECT_EQ(b->State(), bsDown);
  EXPECT_TRUE(Clicks.empty());
  MoveTo(b, 80, 80);  // dragged off: it comes up, still held
  EXPECT_EQ(b->State(), bsUp);
  MoveTo(b, 5, 5);
  EXPECT_EQ(b->State(), bsDown);
  MoveTo(b, -10, 5);
  Release(b, -10, 5);
  EXPECT_TRUE(Clicks.empty());
  EXPECT_EQ(b->State(), bsUp);

  Press(b, 10, 10);
  Release(b, 39, 29);
  EXPECT_EQ(Clicks.size(), 1u);
  EXPECT_EQ(b->State(), bsUp);

  // Disabled it takes no press; with no OnClick an action runs instead.
  b->SetEnabled(false);
  Click(b, 10, 10);
  EXPECT_EQ(Clicks.size(), 1u);
  b->SetEnabled(true);
  b->OnClick = nullptr;
  auto* action = new TAction(Form.get());
  int executed = 0;
  action->OnExecute = [&](TObject*) { ++executed; };
  b->SetAction(action);
  Click(b, 10, 10);
  EXPECT_EQ(executed, 1);
}

TEST_F(SpeedButtonTest, AcceleratorClicksAnEnabledButton) {
  TSpeedButton* b = Button(20, 20, 60, 30);
  b->SetCaption("&Open");
  EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, 'o'), 1);
  EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, 'x'), 0);
  b->SetEnabled(false);
  EXPECT_EQ(Form->Perform(CM_DIALOGCHAR, 'o'), 0);
  EXPECT_EQ(Clicks.size(), 1u);
}

TEST_F(SpeedButtonTest, CheckedActionHoldsAGroupedButtonDown) {
  TSpeedButton* b = Button(20, 20, 40, 30, 3);
  b->SetAllowAllUp(true);
  auto* action = new TAction(Form.get());
  action->SetCaption("Bold");
  b->SetAction(action);
  action->SetChecked(true);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(b->Caption(), "Bold");
  action->SetChecked(false);
  EXPECT_FALSE(b->Down());
}

TEST_F(SpeedButtonTest, GlyphGoesWhereTheLayoutPutsIt) {
  TSpeedButton* b = Button(20, 20, 60, 40);
  SolidGlyph(b, 8, 8, clRed);
  b->SetCaption("Go");
  b->SetMargin(4);
  struct Case {
    TButtonLayout Layout;
    TPoint At;
  } cases[] = {
      {blGlyphLeft, Point(4, 16)},
      {blGlyphRight, Point(48, 16)},
      {blGlyphTop, Point(26, 4)},
      {blGlyphBottom, Point(26, 28)},
  };
  for (const Case& c : cases) {
    b->SetLayout(c.Layout);
    Redraw();
    EXPECT_EQ(Box(b, clRed), Rect(c.At.X, c.At.Y, c.At.X + 8, c.At.Y + 8)) << c.Layout;
  }
  // Alone and centred; held down, one pixel lower and further right.
  b->SetCaption("");
  b->SetMargin(-1);
  b->SetLayout(blGlyphLeft);
  Redraw();
  EXPECT_EQ(Box(b, clRed), Rect(26, 16, 34, 24));
  b->SetGroupIndex(1);
  b->SetDown(true);
  Redraw();
  EXPECT_EQ(Box(b, clRed), Rect(27, 17, 35, 25));
}

TEST_F(SpeedButtonTest, PlacementSpreadsAndCentres) {
  TRect client = Rect(0, 0, 100, 20);
  // Spacing -1 with margin -1: equal thirds of the free room.
  TButtonPlacement p = PlaceButtonContent(client, TSize{10, 10}, TSize{30, 8}, blGlyphLeft, -1, -1);
  EXPECT_EQ(p.Glyph, Point(20, 5));
  EXPECT_EQ(p.Text, Rect(50, 6, 80, 14));
  // A fixed margin with spacing -1 puts the caption midway in what is left.
  p = PlaceButtonContent(client, TSize{10, 10}, TSize{30, 8}, blGlyphRight, 2, -1);
  EXPECT_EQ(p.Glyph, Point(88, 5));
  EXPECT_EQ(p.Text, Rect(29, 6, 59, 14));
  // Without a caption the spacing does not count.
  p = PlaceButtonContent(client, TSize{10, 10}, TSize{}, blGlyphLeft, -1, 4);
  EXPECT_EQ(p.Glyph, Point(45, 5));
}

TEST_F(SpeedButtonTest, DisabledButtonGreysItsGlyphUnlessTheStripHasADisabledImage) {
  TSpeedButton* b = Button(20, 20, 40, 40);
  b->SetFlat(true);  // no frame, so the shadow colour is the glyph's alone
  SolidGlyph(b, 8, 8, clBlack);
  b->SetEnabled(false);
  Redraw();
  EXPECT_EQ(Box(b, clBlack), TRect{});
  TRect shade = Box(b, ColorToRGB(clBtnShadow));
  EXPECT_EQ(shade, Rect(16, 16, 24, 24));
  // The emboss: highlight one pixel down and right of the ink.
  EXPECT_EQ(Pixel(b, 24, 24), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(b->State(), bsDisabled);

  // A strip of two images: the second is the disabled one.
  TBitmap strip;
  strip.SetSize(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) strip.Image()->SetPixel(x, y, x < 8 ? clBlack : clBlue);
  strip.SetTransparentColor(clFuchsia);
  b->SetGlyph(&strip);
  EXPECT_EQ(b->NumGlyphs(), 2);
  Redraw();
  EXPECT_EQ(Box(b, clBlue), Rect(16, 16, 24, 24));
  b->SetEnabled(true);
  Redraw();
  EXPECT_EQ(Box(b, clBlack), Rect(16, 16, 24, 24));
  EXPECT_EQ(Box(b, clBlue), TRect{});
}

TEST_F(SpeedButtonTest, FlatButtonFramesOnlyWhileTheMouseIsOver) {
  TSpeedButton* b = Button(20, 20, 30, 30);
  b->SetFlat(true);
  Redraw();
  EXPECT_EQ(Pixel(b, 0, 0), ColorToRGB(Form->Color()));
  MoveTo(b, 10, 10);
  EXPECT_TRUE(b->MouseInControl());
  Redraw();
  EXPECT_EQ(Pixel(b, 0, 0), ColorToRGB(clBtnHighlight));
  MoveTo(b, 100, 100);
  EXPECT_FALSE(b->MouseInControl());
  Redraw();
  EXPECT_EQ(Pixel(b, 0, 0), ColorToRGB(Form->Color()));
}

}  // namespace
