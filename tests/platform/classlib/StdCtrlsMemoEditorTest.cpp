#include "platform/classlib/MemoEditor.h"

#include <gtest/gtest.h>

#include "platform/win/Clipboard.h"
#include "platform/win/VirtualKeys.h"

namespace {

class MemoEditorTest : public ::testing::Test {
protected:
  void SetUp() override { ResetClipboard(); }
  void TearDown() override { ResetClipboard(); }

  void Type(TMemoEditor& e, std::string_view s) {
    for (char c : s) e.KeyChar(c == '\n' ? '\r' : c);
  }
  static AnsiString Clip() { return GetClipboardText().value_or("<none>"); }
  static void PutClip(const AnsiString& s) {
    OpenClipboard(0);
    EmptyClipboard();
    SetClipboardText(s);
    CloseClipboard();
  }
};

TEST_F(MemoEditorTest, TypingSplitsAndJoinsLines) {
  TMemoEditor e;
  Type(e, "220\n\n125");
  EXPECT_EQ(e.Text(), "220\r\n\r\n125");
  EXPECT_EQ(e.LineCount(), 3);
  EXPECT_EQ(e.Caret(), (TTextPos{2, 3}));
  EXPECT_TRUE(e.Modified());

  // Backspace at a line start joins it to the line above; delete at a line end joins the next.
  e.SetCaret({2, 0});
  e.KeyChar(8);
  EXPECT_EQ(e.Text(), "220\r\n125");
  EXPECT_EQ(e.Caret(), (TTextPos{1, 0}));
  e.SetCaret({0, 3});
  e.KeyDown(VK_DELETE, false, false);
  EXPECT_EQ(e.Text(), "220125");
  e.SetCaret({0, 0});
  EXPECT_FALSE(e.Backspace());
  e.MoveEnd(true, false);
  EXPECT_FALSE(e.DeleteForward());

  // Enter in the middle of a line splits it there.
  e.SetCaret({0, 3});
  e.KeyChar('\r');
  EXPECT_EQ(e.Text(), "220\r\n125");
  EXPECT_EQ(e.Caret(), (TTextPos{1, 0}));
}

TEST_F(MemoEditorTest, TextSplitsOnEveryLineEndAndOffsetsCountBreaksAsTwo) {
  TMemoEditor e;
  e.SetText("ab\r\ncd\ref\ngh");
  ASSERT_EQ(e.LineCount(), 4);
  EXPECT_EQ(e.Line(2), "ef");
  EXPECT_EQ(e.Text(), "ab\r\ncd\r\nef\r\ngh");
  EXPECT_EQ(e.TextLength(), 14);
  EXPECT_FALSE(e.Modified());

  struct Case { int Offset; TTextPos Pos; };
  for (const Case& c : {Case{0, {0, 0}}, Case{2, {0, 2}}, Case{3, {0, 2}}, Case{4, {1, 0}},
                        Case{13, {3, 1}}, Case{14, {3, 2}}, Case{99, {3, 2}}, Case{-5, {0, 0}}}) {
    EXPECT_EQ(e.PosOf(c.Offset), c.Pos) << c.Offset;
  }
  EXPECT_EQ(e.OffsetOf({2, 1}), 9);

  e.SetSelStart(1);
  e.SetSelLength(5);
  EXPECT_EQ(e.SelText(), "b\r\ncd");
  EXPECT_EQ(e.SelStart(), 1);
  EXPECT_EQ(e.SelLength(), 5);
  e.SetSelText("X\r\nY");
  EXPECT_EQ(e.Text(), "aX\r\nY\r\nef\r\ngh");
  EXPECT_EQ(e.Caret(), (TTextPos{1, 1}));

  TMemoEditor single(false);
  single.SetText("a\r\nb");
  EXPECT_EQ(single.LineCount(), 1);
  EXPECT_EQ(single.Text(), "a\r\nb");
}

TEST_F(MemoEditorTest, ShiftMovesSelectAndTypingReplacesTheSelection) {
  TMemoEditor e;
  e.SetText("one two\r\nthree");
  e.SetCaret({0, 4});
  e.KeyDown(VK_END, true, false);
  EXPECT_EQ(e.SelText(), "two");
  e.KeyDown(VK_DOWN, true, false);
  EXPECT_EQ(e.SelText(), "two\r\nthree");
  Type(e, "Z");
  EXPECT_EQ(e.Text(), "one Z");

  // An arrow without shift drops the selection at its near end.
  e.SetText("abcdef");
  e.SetCaret({0, 1});
  e.SetCaret({0, 4}, true);
  e.KeyDown(VK_LEFT, false, false);
  EXPECT_FALSE(e.HasSelection());
  EXPECT_EQ(e.Caret(), (TTextPos{0, 1}));
  e.SetCaret({0, 4}, true);
  e.KeyDown(VK_RIGHT, false, false);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 4}));

  e.KeyDown('A', false, true);
  EXPECT_EQ(e.SelText(), "abcdef");
  e.KeyChar(8);
  EXPECT_EQ(e.Text(), "");
}

TEST_F(MemoEditorTest, WordMovesStopAtWordStartsAndCrossLines) {
  TMemoEditor e;
  e.SetText("alpha  beta gamma\r\ndelta");
  std::vector<TTextPos> right;
  for (int i = 0; i < 5; ++i) {
    e.MoveRight(true, false);
    right.push_back(e.Caret());
  }
  EXPECT_EQ(right, (std::vector<TTextPos>{{0, 7}, {0, 12}, {0, 17}, {1, 0}, {1, 5}}));
  std::vector<TTextPos> left;
  for (int i = 0; i < 5; ++i) {
    e.KeyDown(VK_LEFT, false, true);
    left.push_back(e.Caret());
  }
  EXPECT_EQ(left, (std::vector<TTextPos>{{1, 0}, {0, 17}, {0, 12}, {0, 7}, {0, 0}}));

  e.SelectWordAt({0, 8});
  EXPECT_EQ(e.SelText(), "beta");
  e.SelectWordAt({0, 6});
  EXPECT_EQ(e.SelText(), "  ");
}

TEST_F(MemoEditorTest, UpAndDownKeepTheColumnAcrossShortLines) {
  TMemoEditor e;
  e.SetText("abcdefgh\r\nab\r\nabcdefgh");
  e.SetCaret({0, 6});
  e.MoveDown(false);
  EXPECT_EQ(e.Caret(), (TTextPos{1, 2}));
  e.MoveDown(false);
  EXPECT_EQ(e.Caret(), (TTextPos{2, 6}));
  e.MoveDown(false);  // the last line: nowhere further
  EXPECT_EQ(e.Caret(), (TTextPos{2, 6}));
  e.KeyDown(VK_HOME, false, true);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 0}));
  e.KeyDown(VK_END, false, true);
  EXPECT_EQ(e.Caret(), (TTextPos{2, 8}));
  e.SetViewSize(2, 100);
  e.PageUp(false);
  EXPECT_EQ(e.Caret(), (TTextPos{1, 2}));
}

TEST_F(MemoEditorTest, CutCopyAndPasteGoThroughTheClipboard) {
  TMemoEditor e;
  e.SetText("first\r\nsecond");
  EXPECT_FALSE(e.CopyToClipboard());  // nothing selected
  EXPECT_EQ(Clip(), "<none>");

  e.SetCaret({0, 3});
  e.SetCaret({1, 3}, true);
  e.KeyDown('C', false, true);
  EXPECT_EQ(Clip(), "st\r\nsec");
  EXPECT_EQ(e.Text(), "first\r\nsecond");

  e.KeyDown('X', false, true);
  EXPECT_EQ(e.Text(), "firond");
  e.MoveEnd(false, false);
  e.KeyDown('V', false, true);
  EXPECT_EQ(e.Text(), "firondst\r\nsec");
  EXPECT_EQ(e.Caret(), (TTextPos{1, 3}));

  // Shift+Delete, Ctrl+Insert and Shift+Insert are the older keys for the same.
  e.SelectAll();
  e.KeyDown(VK_INSERT, false, true);
  EXPECT_EQ(Clip(), "firondst\r\nsec");
  e.KeyDown(VK_DELETE, true, false);
  EXPECT_EQ(e.Text(), "");
  PutClip("a\nb\rc");
  e.KeyDown(VK_INSERT, true, false);
  EXPECT_EQ(e.Text(), "a\r\nb\r\nc");

  // A single-line editor pastes the first line only.
  TMemoEditor edit(false);
  edit.PasteFromClipboard();
  EXPECT_EQ(edit.Text(), "a");
}

TEST_F(MemoEditorTest, ReadOnlyAndMaxLengthRefuseWhatDoesNotFit) {
  TMemoEditor e;
  e.SetText("abc");
  e.SetReadOnly(true);
  e.SetCaret({0, 3});
  Type(e, "x");
  e.KeyChar(8);
  e.SelectAll();
  EXPECT_TRUE(e.CopyToClipboard());
  EXPECT_FALSE(e.CutToClipboard());
  EXPECT_EQ(e.Text(), "abc");
  EXPECT_FALSE(e.Modified());

  e.SetReadOnly(false);
  e.SetMaxLength(6);
  e.SetCaret({0, 3});
  Type(e, "defgh");
  EXPECT_EQ(e.Text(), "abcdef");
  // A line break counts two and is never cut in half.
  e.SetMaxLength(8);
  PutClip("\r\nxyz");
  e.PasteFromClipboard();
  EXPECT_EQ(e.Text(), "abcdef\r\n");
  // A selection makes room for what replaces it.
  e.SelectAll();
  PutClip("12345678");
  e.PasteFromClipboard();
  EXPECT_EQ(e.Text(), "12345678");
}

TEST_F(MemoEditorTest, UndoTakesBackARunOfTypingAndUndoingAgainRedoes) {
  TMemoEditor e;
  e.SetText("abc");
  EXPECT_FALSE(e.CanUndo());
  e.MoveEnd(false, false);
  Type(e, "def");
  EXPECT_EQ(e.Text(), "abcdef");
  e.KeyDown('Z', false, true);
  EXPECT_EQ(e.Text(), "abc");
  EXPECT_EQ(e.Caret(), (TTextPos{0, 3}));
  e.Undo();
  EXPECT_EQ(e.Text(), "abcdef");

  // A run of backspaces is one step; a move in between starts a new one.
  e.KeyChar(8);
  e.KeyChar(8);
  e.MoveLeft(false, false);
  e.KeyChar(8);
  EXPECT_EQ(e.Text(), "abd");
  e.Undo();
  EXPECT_EQ(e.Text(), "abcd");
  // Paste and cut are single steps; the program's own changes clear the undo.
  e.SelectAll();
  PutClip("x");
  e.PasteFromClipboard();
  EXPECT_EQ(e.Text(), "x");
  e.Undo();
  EXPECT_EQ(e.Text(), "abcd");
  e.SetText("new");
  EXPECT_FALSE(e.Undo());
  EXPECT_EQ(e.Text(), "new");
}

TEST_F(MemoEditorTest, LineEditsKeepTheCaretOnValidGround) {
  TMemoEditor e;
  e.SetText("a\r\nb\r\nc");
  e.SetCaret({2, 1});
  e.DeleteLine(2);
  EXPECT_EQ(e.Caret(), (TTextPos{1, 0}));
  e.InsertLine(0, "z");
  EXPECT_EQ(e.Text(), "z\r\na\r\nb");
  EXPECT_EQ(e.Caret(), (TTextPos{2, 0}));
  e.PutLine(1, "p\r\nq");
  EXPECT_EQ(e.Text(), "z\r\np\r\nq\r\nb");
  for (int i = 0; i < 6; ++i) e.DeleteLine(0);
  EXPECT_EQ(e.LineCount(), 1);
  EXPECT_EQ(e.Text(), "");
  EXPECT_EQ(e.Caret(), (TTextPos{0, 0}));
}

TEST_F(MemoEditorTest, WrappedRowsBreakAfterBlanksAndCaretMovesByRow) {
  TMemoEditor e;
  e.SetText("aaa bbb cccccccccc\r\nd");
  e.SetWrapWidth(8);
  ASSERT_EQ(e.RowCount(), 4);
  auto rowText = [&](int r) {
    const TTextRow& row = e.Row(r);
    return e.Line(row.Line).substr(size_t(row.Start), size_t(row.End - row.Start));
  };
  EXPECT_EQ(rowText(0), "aaa bbb ");
  EXPECT_EQ(rowText(1), "cccccccc");  // a word wider than the row breaks inside
  EXPECT_EQ(rowText(2), "cc");
  EXPECT_EQ(rowText(3), "d");

  e.SetCaret({0, 2});
  e.MoveDown(false);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 10}));
  e.KeyDown(VK_HOME, false, false);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 8}));
  e.KeyDown(VK_END, false, false);
  EXPECT_EQ(e.Caret(), (TTextPos{0, 15}));
  EXPECT_EQ(e.RowOf({0, 18}), 2);
  EXPECT_EQ(e.PosAtRowX(0, 100), (TTextPos{0, 7}));
  EXPECT_EQ(e.PosAtRowX(3, 100), (TTextPos{1, 1}));
}

TEST_F(MemoEditorTest, ScrollingFollowsTheCaret) {
  TMemoEditor e;
  e.SetCharWidth([](char) { return 6; });
  e.SetViewSize(3, 60);
  for (int i = 0; i < 10; ++i) Type(e, "line\n");
  e.ScrollCaretIntoView();
  EXPECT_EQ(e.TopRow(), 8);
  e.KeyDown(VK_HOME, false, true);
  e.ScrollCaretIntoView();
  EXPECT_EQ(e.TopRow(), 0);

  Type(e, "0123456789ABCDEF");  // 96 pixels on a 60-pixel view
  e.ScrollCaretIntoView();
  EXPECT_GT(e.ScrollX(), 0);
  EXPECT_LT(e.XOfPos(e.Caret()) - e.ScrollX(), 60);
  e.KeyDown(VK_HOME, false, false);
  e.ScrollCaretIntoView();
  EXPECT_EQ(e.ScrollX(), 0);
  EXPECT_EQ(e.PosAtRowX(0, 14), (TTextPos{0, 2}));
  EXPECT_EQ(e.PosAtRowX(0, 15), (TTextPos{0, 3}));

  // Deleting lines under the view pulls the top row back.
  e.SetTopRow(9);
  e.SetText("one");
  EXPECT_EQ(e.TopRow(), 0);
}

}  // namespace
