// Carets fitted to their cells, shared carets, colour sets and border lines: a change that changes
// nothing is ignored, each real one reaches the owner once.
#include <gtest/gtest.h>

#include "controls/ctlBorders.h"
#include "controls/ctlCaret.h"
#include "controls/ctlColors.h"
#include "platform/classlib/Controls.h"

TEST(CtlCaret, FitsTheCellByShapeAndAlignment) {
  struct Case {
    TCtlCaretShape shape;
    TCtlCaretAlign align;
    int cellH, cellW;
    int height, width, offX, offY;
  } cases[] = {
      {csHalfBlock, caBottom, 15, 8, 7, 8, 0, 8},
      {csVertLine, caCenter, 14, 8, 14, 2, 3, 0},
      {csBlock, caLeft, 13, 7, 13, 7, 0, 0},
      {csHorzLine, caBottom, 13, 7, 2, 7, 0, 11},
      {csVertLine, caRight, 12, 9, 12, 2, 7, 0},
  };
  for (const Case& c : cases) {
    TCtlSingleCaret caret(nullptr);
    caret.Caret()->SetShape(c.shape);
    caret.Caret()->SetAlign(c.align);
    caret.SetCellHeight(c.cellH);
    caret.SetCellWidth(c.cellW);
    EXPECT_EQ(caret.Caret()->CaretHeight(), c.height) << int(c.shape);
    EXPECT_EQ(caret.Caret()->CaretWidth(), c.width) << int(c.shape);
    EXPECT_EQ(caret.Offset(), (TPoint{c.offX, c.offY})) << int(c.shape);
  }
}

TEST(CtlCaret, ChangesReachTheOwnerOnceAndSameValuesAreIgnored) {
  auto* caret = new TCtlCaret;
  caret->AddRef();
  int calls = 0;
  int owner = 0;
  caret->SetOnChange(&owner, [&] { ++calls; });
  caret->SetAlign(caLeft);  // already
  caret->SetBlinkTime(0);
  caret->SetBitmapHotSpotX(3);  // only a bitmap caret cares
  EXPECT_EQ(calls, 0);
  caret->SetShape(csHorzLine);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(caret->Align(), caBottom);
  EXPECT_EQ(caret->CaretHeight(), 2);
  caret->SetIsGray(true);
  caret->SetIsGray(true);
  EXPECT_EQ(calls, 2);
  caret->Release(&owner);
}

TEST(CtlCaret, ASharedCaretForgetsTheOwnerThatLetsItGo) {
  auto first = std::make_unique<TCtlSingleCaret>(nullptr);
  TCtlCaret* shared = first->Caret();
  {
    TCtlSingleCaret second(nullptr);
    second.SetCaret(shared);
    EXPECT_EQ(shared->RefCount(), 2);
    EXPECT_EQ(shared->ChangeOwner(), &second);
  }
  // The second owner is gone; a change must not reach it.
  EXPECT_EQ(shared->RefCount(), 1);
  EXPECT_EQ(shared->ChangeOwner(), nullptr);
  shared->SetShape(csBlock);
  EXPECT_EQ(shared->CaretWidth(), 2) << "nobody fitted it";
  first.reset();
}

TEST(CtlCaret, PairSwitchesCaretsAndLinksOnlyWithAWindow) {
  TCtlCaretPair pair(nullptr);
  EXPECT_EQ(pair.Caret(), pair.InsertCaret());
  EXPECT_EQ(pair.InsertCaret()->Shape(), csVertLine);
  EXPECT_EQ(pair.OverwriteCaret()->Shape(), csBlock);
  pair.SetInsertMode(false);
  EXPECT_EQ(pair.Caret(), pair.OverwriteCaret());
  auto* custom = new TCtlCaret;
  pair.SetOverwriteCaret(custom);
  EXPECT_EQ(pair.Caret(), custom);
  EXPECT_EQ(custom->RefCount(), 2);
  pair.SetLinked(true);
  EXPECT_FALSE(pair.Linked()) << "no window to put the caret in";
  pair.SetPosition(-5, 3);
  EXPECT_EQ(pair.Position().X, INT_MAX);
}

TEST(CtlColors, DefaultsAndChanges) {
  TCtlColors colors(clBlack, clWhite);
  int calls = 0;
  colors.OnChange = [&] { ++calls; };
  colors.SetBackColor(clWhite);
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(colors.UseDefault());
  colors.SetBackColor(clYellow);
  EXPECT_FALSE(colors.UseDefault());
  EXPECT_EQ(calls, 1);
  colors.SetBackColor(clWhite);
  EXPECT_FALSE(colors.UseDefault()) << "only UseDefault brings the defaults back";
  colors.SetTextColor(clRed);
  colors.SetUseDefault(true);
  EXPECT_EQ(colors.TextColor(), clBlack);
  EXPECT_EQ(calls, 4);
  TCtlColors other(clNavy, clSilver);
  other.Assign(&colors);
  EXPECT_EQ(other.TextColor(), clBlack);
  EXPECT_EQ(other.BackColor(), clWhite);
}

TEST(CtlBorders, SettersNotifyOnceAndLinesAreDrawn) {
  TCtlBorders borders;
  int calls = 0;
  borders.OnChange = [&] { ++calls; };
  borders.LeftBorder().SetPenWidth(0);
  borders.LeftBorder().SetPenWidth(2);
  borders.LeftBorder().SetEnabled(false);
  EXPECT_EQ(calls, 0);
  borders.LeftBorder().SetEnabled(true);
  borders.LeftBorder().SetPenColor(clRed);
  borders.BottomBorder().SetEnabled(true);
  borders.BottomBorder().SetPenWidth(3);
  borders.BottomBorder().SetPenColor(clBlue);
  EXPECT_EQ(calls, 5);
  TCtlBorders copy;
  copy.Assign(&borders);
  EXPECT_TRUE(copy.LeftBorder().Enabled());
  EXPECT_EQ(copy.BottomBorder().PenWidth(), 3);

  TBitmap bmp;
  bmp.SetSize(40, 20);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(TRect{0, 0, 40, 20});
  borders.Draw(c, 40, 20);
  EXPECT_EQ(c.Pixel(1, 10), clRed);
  EXPECT_EQ(c.Pixel(2, 10), clRed);
  EXPECT_EQ(c.Pixel(3, 10), clWhite);
  EXPECT_EQ(c.Pixel(20, 17), clBlue) << "an odd width sits a pixel further in";
  EXPECT_EQ(c.Pixel(20, 19), clBlue);
  EXPECT_EQ(c.Pixel(20, 16), clWhite);
  EXPECT_EQ(c.Pixel(39, 5), clWhite) << "the right border is off";
}
