// The entry field's editing state without a window: the length limit cuts the text, and the caret
// and the selection stay within whatever text there is.
#include <gtest/gtest.h>

#include "controls/ctlEntryModel.h"

namespace {

TEST(CtlEntryModel, TheTextKeepsItsLimitAndTheCaretAndSelectionStayInIt) {
  TCtlEntryModel m;
  m.SetMaxLength(300);
  EXPECT_EQ(ctlMaxEditLength, m.MaxLength());
  m.SetMaxLength(0);
  EXPECT_EQ(1, m.MaxLength());
  m.SetMaxLength(10);
  m.SetText("abcdefghijkl");
  EXPECT_EQ("abcdefghij", m.Text());
  m.SetCaret(8);
  m.SetSelection(2, 9);
  m.SetSelection(5, 4);  // backwards: ignored
  EXPECT_EQ("cdefghi", m.SelText());
  m.SetMaxLength(5);
  EXPECT_EQ("abcde", m.Text());
  EXPECT_EQ(5, m.Caret());
  EXPECT_EQ(2, m.SelStart());
  EXPECT_EQ(5, m.SelEnd());
  m.Collapse();
  EXPECT_FALSE(m.HasSelection());
  EXPECT_EQ(5, m.SelStart());
}

}  // namespace
