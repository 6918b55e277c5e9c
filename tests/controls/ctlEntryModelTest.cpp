// The entry field's editing without a window: every command group on plain text, the selection,
// the length limit, and the one flag that arms the field for a character.
#include <gtest/gtest.h>

#include <vector>

#include "controls/ctlCommand.h"
#include "controls/ctlEntryModel.h"

namespace {

struct Step {
  uint16_t code;
  TCtlEditArgs args{};
};

TCtlEditArgs chr(char c) {
  TCtlEditArgs a;
  a.Char = c;
  return a;
}
TCtlEditArgs at(int position, bool shift = false) {
  TCtlEditArgs a;
  a.Position = position;
  a.Shift = shift;
  return a;
}
TCtlEditArgs text(const char* s) {
  TCtlEditArgs a;
  a.Text = s;
  return a;
}
Step typed(char c) { return {ccChar, chr(c)}; }

struct Case {
  const char* name;
  const char* text;
  int caret;
  int selStart, selEnd;  // -1: none
  std::vector<Step> steps;
  const char* expectText;
  int expectCaret;
  int expectSelStart, expectSelEnd;
};

TCtlEntryModel modelFor(const Case& c) {
  TCtlEntryModel m;
  m.SetMaxLength(10);
  m.SetText(c.text);
  m.SetCaret(c.caret);
  m.Collapse();
  if (c.selStart >= 0) m.SetSelection(c.selStart, c.selEnd);
  return m;
}

void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    TCtlEntryModel m = modelFor(c);
    for (const Step& s : c.steps) {
      if (s.code == ccChar) m.Command(ccNotCommand);
      m.Command(s.code, s.args);
    }
    EXPECT_EQ(m.Text(), c.expectText) << c.name;
    EXPECT_EQ(m.Caret(), c.expectCaret) << c.name;
    EXPECT_EQ(m.SelStart(), c.expectSelStart) << c.name;
    EXPECT_EQ(m.SelEnd(), c.expectSelEnd) << c.name;
  }
}

}  // namespace

TEST(CtlEntryModel, CaretMoves) {
  runCases({
      {"left", "abc def", 3, -1, -1, {{ccLeft}}, "abc def", 2, 2, 2},
      {"left at start", "abc", 0, -1, -1, {{ccLeft}}, "abc", 0, 0, 0},
      {"right at end", "abc", 3, -1, -1, {{ccRight}}, "abc", 3, 3, 3},
      {"home end", "abc", 1, -1, -1, {{ccEnd}, {ccHome}}, "abc", 0, 0, 0},
      {"word left", "ab  cd ef", 9, -1, -1, {{ccWordLeft}, {ccWordLeft}}, "ab  cd ef", 4, 4, 4},
      {"word right", "ab  cd ef", 0, -1, -1, {{ccWordRight}, {ccWordRight}}, "ab  cd ef", 7, 7, 7},
      {"a move drops the selection", "abcdef", 4, 1, 4, {{ccRight}}, "abcdef", 5, 5, 5},
      {"mouse down", "abcdef", 0, -1, -1, {{ccMouseDown, at(4)}}, "abcdef", 4, 4, 4},
  });
}

TEST(CtlEntryModel, SelectionExtends) {
  runCases({
      {"shift right twice", "abcdef", 1, -1, -1, {{ccExtendRight}, {ccExtendRight}}, "abcdef", 3, 1, 3},
      {"back over the fixed end", "abcdef", 3, -1, -1, {{ccExtendRight}, {ccExtendLeft}, {ccExtendLeft}}, "abcdef", 2, 2, 3},
      {"to the end", "abcdef", 2, -1, -1, {{ccExtendEnd}}, "abcdef", 6, 2, 6},
      {"to the start", "abcdef", 2, -1, -1, {{ccExtendHome}}, "abcdef", 0, 0, 2},
      {"word right", "ab cd ef", 0, -1, -1, {{ccExtWordRight}}, "ab cd ef", 3, 0, 3},
      {"word left", "ab cd ef", 8, -1, -1, {{ccExtWordLeft}, {ccExtWordLeft}}, "ab cd ef", 3, 3, 8},
      {"drag", "abcdef", 1, -1, -1, {{ccMouseMove, at(5)}}, "abcdef", 5, 1, 5},
      {"shift click", "abcdef", 4, -1, -1, {{ccMouseDown, at(1, true)}}, "abcdef", 1, 1, 4},
      {"double click picks the word", "ab cdx ef", 0, -1, -1, {{ccDblClick, at(4)}}, "ab cdx ef", 6, 3, 6},
  });
}

TEST(CtlEntryModel, Deletes) {
  runCases({
      {"back", "abc", 2, -1, -1, {{ccBack}}, "ac", 1, 1, 1},
      {"back at start", "abc", 0, -1, -1, {{ccBack}}, "abc", 0, 0, 0},
      {"back takes the selection", "abcdef", 5, 1, 4, {{ccBack}}, "aef", 1, 1, 1},
      {"del", "abc", 0, -1, -1, {{ccDel}}, "bc", 0, 0, 0},
      {"del at end", "abc", 3, -1, -1, {{ccDel}}, "abc", 3, 3, 3},
      {"to line start", "abcdef", 4, -1, -1, {{ccDelBol}}, "ef", 0, 0, 0},
      {"to line end", "abcdef", 4, -1, -1, {{ccDelEol}}, "abcd", 4, 4, 4},
      {"line", "abcdef", 4, -1, -1, {{ccDelLine}}, "", 0, 0, 0},
      {"word and its blanks", "ab cd  ef", 3, -1, -1, {{ccDelWord}}, "ab ef", 3, 3, 3},
      {"cut command", "abcdef", 0, 2, 4, {{ccCut}}, "abef", 2, 2, 2},
  });
}

TEST(CtlEntryModel, InsertOverwriteAndTheLengthLimit) {
  runCases({
      {"insert", "ac", 1, -1, -1, {typed('b')}, "abc", 2, 2, 2},
      {"overwrite", "axc", 1, -1, -1, {{ccIns}, typed('b')}, "abc", 2, 2, 2},
      {"overwrite at the end appends", "ab", 2, -1, -1, {{ccIns}, typed('c')}, "abc", 3, 3, 3},
      {"typing replaces the selection", "abcdef", 0, 1, 5, {typed('x')}, "axf", 2, 2, 2},
      {"full field refuses", "0123456789", 3, -1, -1, {typed('x')}, "0123456789", 3, 3, 3},
      {"full field overwrites", "0123456789", 3, -1, -1, {{ccIns}, typed('x')}, "012x456789", 4, 4, 4},
      {"control characters need a literal-next", "ab", 2, -1, -1, {typed('\x01')}, "ab", 2, 2, 2},
      {"literal-next takes one", "ab", 2, -1, -1, {{ccCtrlChar}, typed('\x01'), typed('\x02')}, "ab\x01", 3, 3, 3},
      {"paste stops at the limit", "abc", 3, -1, -1, {{ccPaste, text("defghijklmn")}}, "abcdefghij", 10, 10, 10},
      {"paste replaces the selection", "abcdef", 0, 1, 5, {{ccPaste, text("XY")}}, "aXYf", 3, 3, 3},
  });
  TCtlEntryModel m;
  m.SetMaxLength(0);
  EXPECT_EQ(m.MaxLength(), 1);
  m.SetMaxLength(300);
  EXPECT_EQ(m.MaxLength(), 255);
  m.SetText(std::string(300, 'x'));
  EXPECT_EQ(m.Length(), 255);
  m.SetMaxLength(4);
  EXPECT_EQ(m.Text(), "xxxx");
}

TEST(CtlEntryModel, RestoreBringsBackTheSavedText) {
  TCtlEntryModel m;
  m.SetText("saved");
  m.SaveText();
  m.Command(ccDelLine);
  m.Command(ccNotCommand);
  m.Command(ccChar, chr('z'));
  m.SetModified(true);
  TCtlEditResult r = m.Command(ccRestore);
  EXPECT_TRUE(r.Changed);
  EXPECT_EQ(m.Text(), "saved");
  EXPECT_FALSE(m.Modified());
  EXPECT_EQ(m.SelStart(), 0);
  EXPECT_EQ(m.SelEnd(), 5);
}

TEST(CtlEntryModel, OneFlagArmsTheFieldForTheNextCharacter) {
  TCtlEntryModel m;
  auto type = [&](char c) { return m.Command(ccChar, chr(c)).Changed; };
  EXPECT_FALSE(type('a')) << "a character nobody armed for";
  m.Command(ccNotCommand);
  EXPECT_TRUE(m.CharArmed());
  EXPECT_TRUE(type('a'));
  EXPECT_FALSE(type('b')) << "the character handler clears the arm";
  m.Command(300);  // an unknown code arms
  EXPECT_TRUE(type('b'));
  m.Command(ccNotCommand);
  m.Command(ccLeft);  // any other command clears it
  EXPECT_FALSE(m.CharArmed());
  EXPECT_FALSE(type('c'));
  m.Command(ccNotCommand);
  m.Command(ccPartial);
  EXPECT_FALSE(m.CharArmed());
  m.Command(ccNotCommand);
  EXPECT_TRUE(m.Command(ccChar, chr(0)).Changed == false);
  EXPECT_EQ(m.Text(), "ab");
}
