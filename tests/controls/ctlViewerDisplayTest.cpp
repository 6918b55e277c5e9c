// The viewer on a headless form: commands move the caret and extend the selection, the mouse
// selects words and whole lines, search in both directions, bookmarks, and the clipboard copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "WindowSystemTest.h"
#include "controls/ctlCommand.h"
#include "controls/ctlController.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlViewer.h"
#include "platform/win/VirtualKeys.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/win/Caret.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Cursors.h"
#include "platform/win/DisplayBackend.h"
#include "platform/win/HeadlessBackend.h"
#include "platform/win/Input.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualKeys.h"
#include "platform/win/WindowImage.h"
#include "platform/win/Windows.h"

namespace {

class ViewerDisplayTest : public WindowSystemTest {
protected:
  void SetUp() override {
    WindowSystemTest::SetUp();
    char tmpl[] = "/tmp/vwrdispXXXXXX";
    FDir = ::mkdtemp(tmpl);
    Application().CreateForm(FForm);
    FForm->SetBounds(0, 0, 400, 300);
    new TCtlController(FForm);
    FViewer = new TCtlTextFileViewer(FForm);
    FViewer->SetParent(FForm);
    FViewer->SetBounds(10, 10, 300, 200);
    FViewer->OnShowStatus = [this](TObject*, int line, int col) { FStatus = {line, col}; };
    FForm->Show();
  }
  void TearDown() override {
    Application().DestroyComponents();
    WindowSystemTest::TearDown();
    std::filesystem::remove_all(FDir);
  }
  void Open(const std::string& text) {
    const std::string name = FDir + "/v.txt";
    std::ofstream(name, std::ios::binary) << text;
    FViewer->SetFileName(name);
    FViewer->SetIsOpen(true);
  }
  TPoint Cell(int line, int col) {
    const TPoint p = FViewer->ClientToScreen(TPoint{FViewer->LeftMargin() + col * FViewer->CharWidth() + 4,
                                                    (line - FViewer->TopLine()) * FViewer->RowHeight() + 5});
    return p;
  }

  std::string FDir;
  TForm* FForm = nullptr;
  TCtlTextFileViewer* FViewer = nullptr;
  TVwrPos FStatus{-1, -1};
};

}  // namespace

TEST_F(ViewerDisplayTest, CommandsMoveTheCaretAndExtendTheSelection) {
  Open("alpha beta\tgamma\r\nxy\r\nlast line here\r\n");
  struct {
    uint16_t cmd;
    TVwrPos caret;
    bool selected;
  } steps[] = {
      {ccEnd, {0, 16}, false},        {ccDown, {1, 2}, false},         {ccRight, {2, 0}, false},
      {ccLeft, {1, 2}, false},        {ccExtendLeft, {1, 1}, true},    {ccExtWordRight, {1, 2}, false},
      {ccExtWordRight, {2, 0}, true}, {ccExtWordRight, {2, 5}, true},  {ccFirstPage, {0, 0}, false},
      {ccExtWordRight, {0, 6}, true}, {ccExtWordLeft, {0, 0}, false},  {ccExtLastPage, {3, 0}, true},
  };
  for (const auto& s : steps) {
    ASSERT_TRUE(FViewer->ProcessCommand(s.cmd)) << CommandName(s.cmd);
    EXPECT_EQ(FViewer->CaretPos(), s.caret) << CommandName(s.cmd);
    EXPECT_EQ(FViewer->HasSelection(), s.selected) << CommandName(s.cmd);
  }
  EXPECT_FALSE(FViewer->ProcessCommand(ccWordLeft));  // left to the default key handling
  Pump();
  EXPECT_EQ(FStatus, (TVwrPos{3, 0}));
  // The caret keeps its visual column over a tab.
  FViewer->MoveCaretTo(2, 12);
  FViewer->ProcessCommand(ccUp);
  FViewer->ProcessCommand(ccUp);
  EXPECT_EQ(FViewer->CaretPos(), (TVwrPos{0, 11}));  // display column 12 lies after "alpha beta\t"
}

TEST_F(ViewerDisplayTest, TheMouseSelectsWordsAndWholeLines) {
  Open("one two  three\r\nsecond line\r\nthird\r\n");
  Pump();
  const TPoint onTwo = Cell(0, 5);
  InjectClick(mbLeft, onTwo.X, onTwo.Y);
  InjectClick(mbLeft, onTwo.X, onTwo.Y);  // a double click
  Pump();
  EXPECT_EQ(FViewer->SelectedText(), "two  ");
  const TPoint margin = FViewer->ClientToScreen(TPoint{5, 5});
  InjectClick(mbLeft, margin.X, margin.Y + FViewer->RowHeight());
  Pump();
  EXPECT_EQ(FViewer->SelectedText(), "second line");
  const TPoint from = Cell(0, 4), dragTo = Cell(2, 3);
  InjectMouseDown(mbLeft, from.X, from.Y);
  InjectMouseMove(dragTo.X, dragTo.Y);
  InjectMouseUp(mbLeft, dragTo.X, dragTo.Y);
  Pump();
  EXPECT_EQ(FViewer->SelectedText(), "two  three\r\nsecond line\r\nthi");
  // Shift and a margin click grow the text selection to whole lines from where it starts.
  InjectKeyDown(VK_SHIFT);
  InjectClick(mbLeft, margin.X, margin.Y + 2 * FViewer->RowHeight());
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(FViewer->SelectedText(), "one two  three\r\nsecond line\r\nthird");

  // While a field's error is pending, a click neither activates the form nor reaches the viewer.
  FViewer->Controller()->SetErrorPending(true);
  const TVwrPos caret = FViewer->CaretPos();
  TForm* other = nullptr;
  Application().CreateForm(other);
  other->Show();
  const TPoint onThird = Cell(2, 1);
  InjectClick(mbLeft, onThird.X, onThird.Y);
  Pump();
  EXPECT_EQ(GetActiveWindow(), other->Handle());
  EXPECT_EQ(FViewer->CaretPos(), caret);
}

TEST_F(ViewerDisplayTest, TheMarginShowsTheLineCursor) {
  Open("first\r\nsecond\r\n");
  const int line = LoadCursorFromLibrary("CTLLINECURSOR");
  EXPECT_THROW(LoadCursorFromLibrary("NOPE"), EResNotFound);
  const TPoint margin = FViewer->ClientToScreen(TPoint{5, 5}), text = Cell(1, 2);
  const struct {
    TPoint At;
    TCursor Screen;
    int Shown;
  } steps[] = {{margin, crDefault, line}, {text, crDefault, IDC_ARROW}, {margin, crHourGlass, IDC_WAIT}};
  for (const auto& s : steps) {
    Screen().SetCursor(s.Screen);
    InjectMouseMove(s.At.X, s.At.Y);
    Pump();  // the move itself must not take the shape back
    EXPECT_EQ(static_cast<THeadlessBackend&>(DisplayBackend()).CursorShape(), s.Shown) << s.At.X;
  }
  Screen().SetCursor(crDefault);
}

TEST_F(ViewerDisplayTest, SearchBookmarksAndTheClipboardLimit) {
  Open("abc Find abc\r\nfind me\r\nabcabc\r\n");
  EXPECT_TRUE(FViewer->Search("find", soWholeText));
  EXPECT_EQ(FViewer->SelStart(), (TVwrPos{0, 4}));
  EXPECT_TRUE(FViewer->Search("find", 0));  // on from the caret
  EXPECT_EQ(FViewer->SelStart(), (TVwrPos{1, 0}));
  EXPECT_TRUE(FViewer->Search("Find", soMatchCase | soWholeText | soBackward));
  EXPECT_EQ(FViewer->SelStart(), (TVwrPos{0, 4}));
  FViewer->MoveCaretTo(2, 5);  // backward: only "abca" lies before column 5 of "abcabc"
  EXPECT_TRUE(FViewer->Search("abc", soBackward));
  EXPECT_EQ(FViewer->SelStart(), (TVwrPos{2, 0}));
  EXPECT_EQ(FViewer->CaretPos(), (TVwrPos{2, 0}));
  EXPECT_FALSE(FViewer->Search("", soWholeText));

  FViewer->MoveCaretTo(1, 2);
  FViewer->SetBookmark(3);
  EXPECT_EQ(FViewer->Bookmark(3), (TVwrPos{1, 2}));
  FViewer->SetBookmark(3);  // again at the same place: cleared
  EXPECT_EQ(FViewer->Bookmark(3).Line, -1);

  FViewer->SetSelection(0, 4, 1, 4, true);
  FViewer->CopyToClipboard();
  EXPECT_EQ(GetClipboardText().value_or(""), "Find abc\r\nfind");

  const std::string row(1000, 'x');
  std::string big;
  for (int i = 0; i < 70; ++i) big += row + "\r\n";
  Open(big);
  FViewer->SetSelection(0, 0, 64, 0, true);  // 64 lines of 1002: within the limit
  EXPECT_NO_THROW(FViewer->CopyToClipboard());
  FViewer->SetSelection(0, 0, 66, 0, true);
  EXPECT_THROW(FViewer->CopyToClipboard(), ERegionTooLarge);
}

TEST_F(ViewerDisplayTest, CaretHighlightBordersAndBookmarksOnScreen) {
  Open("first line\r\nsecond\r\n");
  FViewer->SetFocus();
  Pump();
  ASSERT_EQ(CaretWindow(), FViewer->Handle());
  const int rh = FViewer->RowHeight(), cw = FViewer->CharWidth(), edge = 2;
  const int left = edge + FViewer->LeftMargin();
  EXPECT_EQ(GetCaretPos(), (TPoint{left, edge}));
  // The caret's shape is fitted to the character cell where the caret stands.
  FViewer->Caret()->SetShape(csHalfBlock);
  FViewer->MoveCaretTo(1, 3);
  EXPECT_EQ(GetCaretPos(), (TPoint{left + 3 * cw, edge + rh + rh - rh / 2}));

  // Bookmark 7's glyph stands whole in the margin of its row.
  FViewer->SetBookmark(7);
  Pump();
  const TGdiBitmap strip = LoadBitmapFromLibrary("CTLMARKERS");
  const int gw = strip.Width() / 10, gh = strip.Height();
  const TPoint at{edge + (FViewer->LeftMargin() - gw) / 2, edge + rh + (rh > gh + 1 ? (rh - gh) / 2 : 0)};
  const TGdiBitmap shown = GetWindowImage(FViewer->Handle());
  for (int y = 1; y < gh - 1; ++y)
    for (int x = 1; x < gw - 1; ++x)
      ASSERT_EQ(shown.Pixel(at.X + x, at.Y + y), strip.Pixel(7 * gw + x, y)) << x << "," << y;

  FViewer->HighlightColors().SetBackColor(clRed);
  FViewer->SetSelection(0, 0, 0, 5, true);
  Pump();
  EXPECT_EQ(GetWindowImage(FViewer->Handle()).Pixel(left + 1, edge + 1), TColorRef(clRed));

  // An enabled border line takes the place of the sunken edge.
  FViewer->Borders().LeftBorder().SetPenColor(clLime);
  FViewer->Borders().LeftBorder().SetEnabled(true);
  EXPECT_EQ(FViewer->BorderStyle(), bsNone);
  EXPECT_FALSE(FViewer->Ctl3D());
  Pump();
  const TGdiBitmap image = GetWindowImage(FViewer->Handle());
  EXPECT_EQ(image.Pixel(1, 3 * rh), TColorRef(clLime));
  EXPECT_EQ(image.Pixel(2, 3 * rh), TColorRef(clLime));
  EXPECT_EQ(GetCaretPos().X, FViewer->LeftMargin() + 5 * cw);  // the edge is gone

  (new TButton(FForm))->SetParent(FForm);
  FForm->SelectNext(FViewer, true, true);
  EXPECT_EQ(CaretWindow(), HWND(0));
}
