// The picture field's edit commands on the model: caret moves, deletes, typing, clipboard, restore.
#include <gtest/gtest.h>

#include "controls/ctlCommand.h"
#include "controls/ctlPicEdit.h"

namespace {

struct Editing {
  Editing(const char* mask, const char* text, TCtlPicEditKind kind = TCtlPicEditKind::String,
          TCtlPicEditOptions options = {})
      : Mask(mask, int(strlen(mask))), Editor(Mask, Intl, kind, options, host()) {
    State.Text = text;
    State.EditForm = true;
  }
  TCtlPicEditHost host() {
    TCtlPicEditHost h;
    h.Beep = [this] { ++Beeps; };
    h.FocusNext = [this](bool forward) { Focus += forward ? ">" : "<"; };
    h.IncreaseValue = [this](bool wrap, double delta) { Steps.push_back(wrap ? delta : delta * 100); };
    h.Restore = [this] { State.Text = "restored"; };
    h.Copy = [this](const AnsiString& t) { Clipboard = t; };
    h.TodayText = [] { return AnsiString("12/25/26"); };
    h.CharAtPixel = [](int x) { return x / 8; };
    return h;
  }
  TCtlPicEditResult Do(uint16_t code, TCtlPicEditArg arg = {}) { return Editor.Command(State, code, arg); }
  void Type(const char* chars) {
    for (const char* c = chars; *c; ++c) {
      Do(ccNotCommand);
      TCtlPicEditArg a;
      a.Ch = *c;
      Do(ccChar, a);
    }
  }
  void At(int caret) { State.Caret = State.SelStart = State.SelEnd = State.MovingEnd = caret; }

  TCtlMaskIntl Intl;
  TCtlPictureMask Mask;
  TCtlPictureEditor Editor;
  TCtlPicEditState State;
  int Beeps = 0;
  AnsiString Focus;
  std::vector<double> Steps;
  AnsiString Clipboard;
};

struct MoveCase {
  uint16_t Code;
  int From;
  int To;
};

TEST(CtlPicEdit, CaretMovesSkipLiteralsAndStopAtTheEdges) {
  const MoveCase cases[] = {
      {ccRight, 2, 4}, {ccLeft, 4, 2},  {ccHome, 5, 0},  {ccEnd, 0, 5},      {ccRight, 6, 7},
      {ccLeft, 0, 0},  {ccWordRight, 0, 4}, {ccWordLeft, 5, 4}, {ccWordLeft, 4, 0},
  };
  for (const auto& c : cases) {
    Editing e("999-999", "123-4  ");
    e.At(c.From);
    e.Do(c.Code);
    EXPECT_EQ(c.To, e.State.Caret) << "code " << c.Code << " from " << c.From;
  }
}

struct DeleteCase {
  uint16_t Code;
  int Caret;
  const char* After;
  int CaretAfter;
};

TEST(CtlPicEdit, DeletesCloseUpTheirRunOnly) {
  const DeleteCase cases[] = {
      {ccDel, 0, "23 -456", 0},   {ccBack, 2, "13 -456", 1}, {ccBack, 4, "12 -456", 2},
      {ccDelBol, 6, "123-6  ", 4}, {ccDelEol, 4, "123-   ", 4}, {ccDelLine, 5, "   -   ", 0},
      {ccDelWord, 4, "123-   ", 4}, {ccBack, 0, "123-456", 0},
  };
  for (const auto& c : cases) {
    Editing e("999-999", "123-456");
    e.At(c.Caret);
    const auto r = e.Do(c.Code);
    EXPECT_EQ(c.After, e.State.Text) << "code " << c.Code;
    EXPECT_EQ(c.CaretAfter, e.State.Caret) << "code " << c.Code;
    EXPECT_EQ(AnsiString(c.After) != "123-456", r.Changed()) << "code " << c.Code;
  }
  Editing sel("XXXXXX", "abcdef");
  sel.State.SelStart = 1, sel.State.SelEnd = 3;
  sel.Do(ccDel);
  EXPECT_EQ("adef  ", sel.State.Text);
  EXPECT_EQ(1, sel.State.Caret);
  EXPECT_FALSE(sel.State.HasSelection());
}

TEST(CtlPicEdit, TypingInsertsOrOverwritesAndRefusesWhatTheMaskRefuses) {
  Editing over("999-999", "12 -   ");
  over.State.InsertMode = false;
  over.At(2);
  over.Type("3");
  EXPECT_EQ("123-   ", over.State.Text);
  EXPECT_EQ(4, over.State.Caret);  // over the hyphen
  over.Type("a");
  EXPECT_EQ(1, over.Beeps);
  EXPECT_EQ("123-   ", over.State.Text);

  Editing full("999-999", "123-   ", TCtlPicEditKind::String, {.InsertPushes = false});
  full.At(0);
  full.Type("9");
  EXPECT_EQ("123-   ", full.State.Text);
  EXPECT_EQ(1, full.Beeps);
  Editing push("999-999", "123-   ");
  push.At(0);
  push.Type("9");
  EXPECT_EQ("912-   ", push.State.Text);  // the run's last character drops off

  Editing upper("!!!!", "    ");
  upper.Type("ab");
  EXPECT_EQ("AB  ", upper.State.Text);
  // An unarmed character does nothing.
  TCtlPicEditArg a;
  a.Ch = 'z';
  upper.Do(ccChar, a);
  EXPECT_EQ("AB  ", upper.State.Text);
  // A control character only after the literal-next command.
  upper.At(2);
  upper.Type("\x01");
  EXPECT_EQ("AB  ", upper.State.Text);
  upper.Do(ccCtrlChar);
  upper.Type("\x01");
  EXPECT_EQ("AB\x01 ", upper.State.Text);
}

TEST(CtlPicEdit, TypingPastTheEndAdvancesTheFocusOrBeeps) {
  Editing adv("99", "  ", TCtlPicEditKind::Integer, {.AutoAdvanceChar = true});
  adv.Type("12");
  EXPECT_EQ(">", adv.Focus);
  Editing stay("99", "12", TCtlPicEditKind::Integer);
  stay.At(2);
  stay.Type("3");
  EXPECT_EQ("", stay.Focus);
  EXPECT_EQ(1, stay.Beeps);
  Editing lr("99", "12", TCtlPicEditKind::Integer, {.AutoAdvanceLeftRight = true});
  lr.At(0);
  lr.Do(ccLeft);
  lr.At(2);
  lr.Do(ccRight);
  EXPECT_EQ("<>", lr.Focus);
}

TEST(CtlPicEdit, DecimalSeparatorJumpsThePointAndFixesTheNumber) {
  Editing e("999.99", "   .  ", TCtlPicEditKind::Floating);
  e.Type("12.5");
  EXPECT_EQ(" 12.5 ", e.State.Text);
  EXPECT_EQ(5, e.State.Caret);
  e.Do(ccHome);  // crossing back fixes the fraction
  EXPECT_EQ(" 12.50", e.State.Text);
  Editing comma("999.99", "   .  ", TCtlPicEditKind::Floating);
  comma.Intl.DecimalChar = ',';
  comma.Type("7.");
  EXPECT_EQ(1, comma.Beeps);  // a full stop is no separator here
  comma.Type(",");
  EXPECT_EQ("  7.  ", comma.State.Text);
}

TEST(CtlPicEdit, SelectionCommandsExtendFromTheFixedEnd) {
  Editing e("XXXXXXXX", "ab cd   ");
  e.At(1);
  e.Do(ccExtendRight);
  e.Do(ccExtendRight);
  EXPECT_EQ(1, e.State.SelStart);
  EXPECT_EQ(3, e.State.SelEnd);
  e.Do(ccExtWordRight);  // over the word, then over the blanks after it
  EXPECT_EQ(8, e.State.SelEnd);
  e.Do(ccExtendHome);
  EXPECT_EQ(0, e.State.SelStart);
  EXPECT_EQ(1, e.State.SelEnd);
  TCtlPicEditArg dbl;
  dbl.X = 4 * 8;
  e.Do(ccDblClick, dbl);
  EXPECT_EQ(3, e.State.SelStart);
  EXPECT_EQ(5, e.State.SelEnd);
  e.Do(ccRight);  // any other command collapses the selection
  EXPECT_FALSE(e.State.HasSelection());
}

TEST(CtlPicEdit, MouseClicksStayWithinTheText) {
  Editing e("999-999", "12 -   ");
  TCtlPicEditArg a;
  a.X = 6 * 8;
  e.Do(ccMouseDown, a);
  EXPECT_EQ(2, e.State.Caret);  // not beyond the end of the text
  a.X = 8;
  a.Shift = true;
  e.Do(ccMouseDown, a);
  EXPECT_EQ(1, e.State.SelStart);
  EXPECT_EQ(2, e.State.SelEnd);
}

TEST(CtlPicEdit, ClipboardAndRestore) {
  Editing e("999-999", "123-456");
  e.State.SelStart = 1, e.State.SelEnd = 5;
  e.Do(ccCopy);
  EXPECT_EQ("23-4", e.Clipboard);
  EXPECT_TRUE(e.State.HasSelection());
  e.Do(ccCut);
  EXPECT_EQ("1  -56 ", e.State.Text);  // each run closes up on its own
  TCtlPicEditArg p;
  p.Text = "98-7";
  e.At(0);
  e.Do(ccDelLine);
  e.Do(ccPaste, p);
  EXPECT_EQ("987-   ", e.State.Text);  // the pasted hyphen meets the literal
  e.Do(ccRestore);
  EXPECT_EQ("restored", e.State.Text);
  EXPECT_FALSE(e.State.EditForm);
}

TEST(CtlPicEdit, StepCommandsWrapAndSinglePositionFields) {
  Editing num("iiii", "12  ", TCtlPicEditKind::Integer, {.ArrowIncDec = true});
  num.Do(ccUp);
  num.Do(ccDown);
  num.Do(ccInc);
  num.Do(ccDec);
  EXPECT_EQ((std::vector<double>{1, -1, 1, -1}), num.Steps);
  Editing plain("iiii", "12  ", TCtlPicEditKind::Integer);
  plain.At(1);
  plain.Do(ccUp);  // without arrow stepping Up is Left
  EXPECT_EQ(0, plain.State.Caret);
  EXPECT_TRUE(plain.Steps.empty());

  Editing yes("Y", "N", TCtlPicEditKind::SinglePosition, {.AutoAdvanceChar = true});
  yes.Type("y");
  EXPECT_EQ("Y", yes.State.Text);
  EXPECT_EQ(">", yes.Focus);
  yes.Type("q");
  EXPECT_EQ(1, yes.Beeps);
  TCtlPicEditArg p;
  p.Text = "xn";
  yes.Do(ccPaste, p);
  EXPECT_EQ("N", yes.State.Text);
  yes.Do(ccInc);
  EXPECT_EQ(std::vector<double>{1}, yes.Steps);
}

TEST(CtlPicEdit, CompleteDateFillsTheRunAtTheCaret) {
  Editing e("99/99/99", "  /  /  ", TCtlPicEditKind::Date);
  e.At(3);
  e.Do(ccCompleteDate);
  EXPECT_EQ("  /25/  ", e.State.Text);
  EXPECT_EQ(6, e.State.Caret);
  e.State.SelStart = 0, e.State.SelEnd = 8;
  e.Do(ccCompleteDate);
  EXPECT_EQ("12/25/26", e.State.Text);
  Editing sep("99/99/99", "1 /  /  ", TCtlPicEditKind::Date);
  sep.At(1);
  sep.Type("/");
  EXPECT_EQ(3, sep.State.Caret);
}

}  // namespace
