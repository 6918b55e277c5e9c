#include <gtest/gtest.h>

#include "controls/ctlPicMask.h"

namespace {

struct AcceptCase {
  char Mask;
  char In;
  char Prev;
  char Out;  // 0: refused
};

TEST(CtlPicMask, AcceptsAndConvertsCasePerMaskCharacter) {
  const TCtlMaskIntl intl;
  const AcceptCase cases[] = {
      {'9', '5', ' ', '5'}, {'9', 'a', ' ', 0},   {'9', ' ', ' ', ' '}, {'!', 'a', ' ', 'A'},
      {'x', 'a', ' ', 'A'}, {'x', 'a', '-', 'A'}, {'x', 'a', 'b', 'a'}, {'L', 'Q', ' ', 'q'},
      {'A', '1', ' ', 0},   {'A', 'e', ' ', 'E'}, {'a', 'e', ' ', 'e'}, {'#', '.', ' ', '.'},
      {'i', '.', ' ', 0},   {'i', '-', ' ', '-'}, {'K', 'f', ' ', 'F'}, {'K', 'G', ' ', 0},
      {'O', '8', ' ', 0},   {'b', '2', ' ', 0},   {'b', '1', ' ', '1'}, {'B', 't', ' ', 'T'},
      {'B', 'x', ' ', 0},   {'Y', 'n', ' ', 'N'}, {'E', 'e', ' ', 'E'}, {'X', 0, ' ', 0},
  };
  for (const auto& c : cases) {
    const auto got = AcceptMaskChar(c.Mask, c.In, c.Prev, intl);
    EXPECT_EQ(c.Out, got.value_or(0)) << c.Mask << " " << c.In;
  }
}

TEST(CtlPicMask, UserCharactersFollowTheirSetAndCase) {
  TCtlUserData user;
  TCtlCharSet digits;
  for (char c = '0'; c <= '9'; ++c) digits.set(uint8_t(c));
  user.SetUserCharSet('7', digits);
  user.SetForceCase('1', 1);
  user.SetForceCase('3', 3);
  const TCtlMaskIntl intl;
  EXPECT_FALSE(AcceptMaskChar('7', 'a', ' ', intl, user));
  EXPECT_EQ('4', *AcceptMaskChar('7', '4', ' ', intl, user));
  EXPECT_EQ('Q', *AcceptMaskChar('1', 'q', 'z', intl, user));
  EXPECT_EQ('Q', *AcceptMaskChar('3', 'q', ' ', intl, user));
  EXPECT_EQ('q', *AcceptMaskChar('3', 'q', 'z', intl, user));
  // A substitution character in the mask shows as the user's character.
  user.SetSubstChar(char(241), '#');
  TCtlPictureMask m(AnsiString("99") + char(241) + "99", 5);
  EXPECT_EQ("12#34", m.Merge("1234", intl, {}, user));
  EXPECT_EQ('#', m.LiteralShown(2, intl, user));
}

TEST(CtlPicMask, PositionKindsCaretRulesAndStripping) {
  const TCtlPictureMask m("999-999", 7);
  EXPECT_FALSE(m.NoLiterals());
  EXPECT_TRUE(m.IsLiteral(3));
  EXPECT_EQ(0, m.FirstEditPos());
  EXPECT_EQ(6, m.LastEditPos());
  EXPECT_EQ(4, m.NextEditPos(2));
  EXPECT_EQ(2, m.ClipCaret(3));
  EXPECT_EQ(7, m.ClipCaret(9));
  EXPECT_EQ(2, m.RunEnd(0));
  EXPECT_EQ(4, m.RunStart(6));
  EXPECT_EQ(2, m.EndOfText("12 -   "));
  EXPECT_EQ(4, m.EndPos("123-   "));
  EXPECT_TRUE(m.IsEmpty("   -   "));
  EXPECT_EQ("123456", m.StripLiterals("123-456"));

  const TCtlPictureMask x("X", 4);  // extended by repeating its last character
  EXPECT_EQ("XXXX", x.Mask());
  EXPECT_TRUE(x.NoLiterals());
  EXPECT_EQ(255, TCtlPictureMask(AnsiString(300, 'X'), 300).MaxLength());
}

struct MergeCase {
  const char* Mask;
  const char* Value;
  TCtlPictureMask::TMergeOptions Options;
  const char* Text;
  const char* Stripped;  // StripForValue of the text
};

TEST(CtlPicMask, MergeAndStripForValueBothWays) {
  TCtlMaskIntl intl;
  const MergeCase cases[] = {
      {"999-999", "123456", {}, "123-456", "123456"},
      {"!!!!", "ab", {}, "AB  ", "AB  "},
      {"xxxx", "ab", {}, "ab  ", "ab  "},
      {"XXXX", "ab", {false, true, false}, "  ab", "  ab"},
      {"$$,$$9.99", "1234.5", {}, "$1,234.50", "1234.50"},
      {"$$,$$9.99", "-12", {}, "  -$12.00", "  -12.00"},
      {"$$,$$9.99", "0", {}, "    $0.00", "    0.00"},
      {"999.99", ".5", {}, "  0.50", "  0.50"},
      {"KKKK", "00FF", {}, "00FF", "00FF"},
      {"KKKK", "F", {}, "000F", "000F"},
      {"cc999", "12", {}, " $ 12", " 12"},
      {"iiii", "-12", {false, false, true}, "-12 ", "-12 "},
  };
  for (const auto& c : cases) {
    const TCtlPictureMask m(c.Mask, int(strlen(c.Mask)));
    const AnsiString text = m.Merge(c.Value, intl, c.Options);
    EXPECT_EQ(c.Text, text) << c.Mask << " <- " << c.Value;
    EXPECT_EQ(c.Stripped, m.StripForValue(text, intl)) << c.Mask;
  }
  // Regional separators show in the text and come back as '.'.
  intl.DecimalChar = ',';
  intl.ThousandsChar = '.';
  const TCtlPictureMask m("$$,$$9.99", 9);
  EXPECT_EQ("$1.234,50", m.Merge("1234.5", intl, {}));
  EXPECT_EQ("1234.50", m.StripForValue("$1.234,50", intl));
}

TEST(CtlPicMask, NumbersThatDoNotFitShowAsOverflowNotAsOtherNumbers) {
  const TCtlMaskIntl intl;
  const TCtlPictureMask plain("999", 3);
  const AnsiString big = plain.Merge("65535", intl, {false, false, true});
  EXPECT_EQ("***", big);
  EXPECT_TRUE(plain.Overflowed(big));
  EXPECT_FALSE(plain.Overflowed("655"));
  const TCtlPictureMask money("$9.99", 5);
  EXPECT_EQ("**.**", money.Merge("123.45", intl, {}));
  EXPECT_TRUE(money.Overflowed(money.Merge("-12", intl, {})));
  // A string is cut, not flagged.
  EXPECT_EQ("abc", TCtlPictureMask("XXX", 3).Merge("abcdef", intl, {}));
}

TEST(CtlPicMask, DecimalFixupAndEditForm) {
  const TCtlMaskIntl intl;
  const TCtlPictureMask m("999.99", 6);
  EXPECT_EQ("  1.50", m.DecimalFixup("1  .5 "));
  EXPECT_EQ("  0.00", m.DecimalFixup("   .  "));
  const TCtlPictureMask money("$$,$$9.99", 9);
  const AnsiString edit = money.ToEditForm("$1,234.50", intl);
  EXPECT_EQ("  1234.50", edit);
  EXPECT_EQ("$1,234.50", money.FromEditForm(edit, intl, {}));
}

TEST(CtlPicMask, DisplayShowsPasswordAndPadCharacters) {
  const TCtlPictureMask m("XXXXXX", 6);
  EXPECT_EQ("***   ", m.Display("abc   ", true, ' ', '*'));
  EXPECT_EQ("***___", m.Display("abc   ", true, '_', '*'));
  EXPECT_EQ("ab____", m.Display("ab    ", false, '_', '*'));
  const TCtlPictureMask lit("99-99", 5);
  EXPECT_EQ("**-__", lit.Display("12-  ", true, '_', '*'));
}

}  // namespace
