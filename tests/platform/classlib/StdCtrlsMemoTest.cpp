#include "StdCtrlsTestSupport.h"
#include "platform/classlib/Menus.h"

namespace {

class MemoTest : public StdControlsTest {};

TEST_F(MemoTest, TypingSelectingCuttingAndPastingThroughTheWindow) {
  auto* memo = Make<TMemo>(10, 10, 200, 120);
  memo->SetFocus();
  Pump();
  ASSERT_TRUE(memo->Focused());

  Type("220\n125\n");
  EXPECT_EQ(memo->Text(), "220\r\n125\r\n");
  ASSERT_EQ(memo->Lines().Count(), 2);
  EXPECT_EQ(memo->Lines()[1], "125");

  // Shift+Up twice from the empty last line selects both lines; Ctrl+X cuts them.
  Key(VK_UP, true);
  Key(VK_UP, true);
  EXPECT_EQ(memo->SelText(), "220\r\n125\r\n");
  Key('X', false, true);
  EXPECT_EQ(memo->Text(), "");
  EXPECT_EQ(GetClipboardText().value_or(""), "220\r\n125\r\n");

  // Paste twice, then Ctrl+Home, Shift+End and Ctrl+C copy the first line.
  Key('V', false, true);
  Key('V', false, true);
  EXPECT_EQ(memo->Lines().Count(), 4);
  Key(VK_HOME, false, true);
  Key(VK_END, true);
  Key('C', false, true);
  EXPECT_EQ(GetClipboardText().value_or(""), "220");

  // Backspace and Delete at line joins.
  Key(VK_HOME);
  Key(VK_DOWN);
  Key(VK_BACK);
  EXPECT_EQ(memo->Lines()[0], "220125");
  Key(VK_END);
  Key(VK_DELETE);
  EXPECT_EQ(memo->Lines()[0], "220125220");
  EXPECT_TRUE(memo->Modified());
}

TEST_F(MemoTest, MouseDragSelectsAndDoubleClickSelectsAWord) {
  auto* memo = Make<TMemo>(10, 10, 200, 120);
  memo->Lines().Add("alpha beta");
  memo->Lines().Add("gamma");
  // From the start of the first line to the end of the second.
  Drag(memo, 4, 4, 190, 4 + 16);
  EXPECT_TRUE(memo->Focused());
  EXPECT_EQ(memo->SelText(), "alpha beta\r\ngamma");

  TPoint p = Screen(memo, 3 + memo->Editor().TextWidth("alpha be"), 5);
  InjectClick(TMouseButton::Left, p.X, p.Y);
  InjectClick(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_EQ(memo->SelText(), "beta");
}

TEST_F(MemoTest, LinesRoundTripAsAStringList) {
  auto* memo = Make<TMemo>(10, 10, 200, 120);
  EXPECT_EQ(memo->Lines().Count(), 0);
  memo->Lines().Add("220");
  memo->Lines().Add("");
  memo->Lines().Add("125");
  EXPECT_EQ(memo->Lines().Count(), 3);
  EXPECT_EQ(memo->Lines().Text(), "220\r\n\r\n125\r\n");

  TStringList copy;
  copy.Assign(memo->Lines());
  memo->Lines().Clear();
  EXPECT_EQ(memo->Text(), "");
  memo->SetLines(copy);
  EXPECT_EQ(memo->Lines().Count(), 3);
  EXPECT_EQ(memo->Lines()[2], "125");

  memo->Lines().Insert(0, "first");
  memo->Lines().Delete(2);
  memo->Lines().SetStrings(1, "second");
  EXPECT_EQ(memo->Lines().Text(), "first\r\nsecond\r\n125\r\n");
  memo->SetText("a\rb\nc");
  EXPECT_EQ(memo->Lines().Count(), 3);
  EXPECT_THROW(memo->Lines().Get(3), EListError);

  int changes = 0;
  memo->OnChange = [&](TObject*) { ++changes; };
  memo->Lines().Add("d");
  EXPECT_GE(changes, 1);
}

TEST_F(MemoTest, ScrollBarsAndWrapFollowTheText) {
  auto* memo = Make<TMemo>(10, 10, 120, 60);
  memo->SetScrollBars(ssVertical);
  for (int i = 0; i < 30; ++i) memo->Lines().Add("line " + std::to_string(i));
  memo->SetFocus();
  Key(VK_END, false, true);
  EXPECT_GT(memo->Editor().TopRow(), 20);
  TRect bar = memo->VertScrollBarRect();
  ASSERT_FALSE(bar.IsEmpty());
  int top = memo->Editor().TopRow();
  Click(memo, bar.Left + 4, bar.Top + 4);  // the up arrow
  EXPECT_EQ(memo->Editor().TopRow(), top - 1);

  // A long line wraps to the width instead of running off to the right.
  memo->Lines().Clear();
  memo->Lines().Add("one two three four five six seven eight nine ten");
  EXPECT_GT(memo->Editor().RowCount(), 1);
  memo->SetWordWrap(false);
  EXPECT_EQ(memo->Editor().RowCount(), 2);  // the line and the empty one after it
}

TEST_F(MemoTest, ReturnGoesToTheDefaultButtonUnlessTheMemoWantsIt) {
  auto* memo = Make<TMemo>(10, 10, 200, 80);
  auto* ok = Make<TButton>(10, 100, 75, 25);
  ok->SetDefault(true);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  memo->SetFocus();
  Type("x\n");
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(memo->Lines().Count(), 1);
  memo->SetWantReturns(false);
  Key(VK_RETURN);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(memo->Text(), "x\r\n");
}

TEST_F(MemoTest, EditKeepsOneLineAndHonoursItsLimits) {
  auto* edit = Make<TEdit>(10, 10, 120, 21);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetMaxLength(5);
  edit->SetFocus();
  Type("abcdefg");
  EXPECT_EQ(edit->Text(), "abcde");
  EXPECT_EQ(changes, 5);
  OpenClipboard(0);
  EmptyClipboard();
  SetClipboardText("xy\r\nz");
  CloseClipboard();
  edit->SelectAll();
  Key('V', false, true);
  EXPECT_EQ(edit->Text(), "xy");

  edit->SetReadOnly(true);
  Type("q");
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "xy");

  // Entering by Tab selects the whole text.
  auto* other = Make<TEdit>(10, 40, 120, 21);
  other->SetText("hello");
  Key(VK_TAB);
  EXPECT_TRUE(other->Focused());
  EXPECT_EQ(other->SelText(), "hello");
}

TEST_F(MemoTest, LongTextScrollsSidewaysWithTheCaret) {
  auto* edit = Make<TEdit>(10, 10, 60, 21);
  edit->SetFocus();
  Type("a text far wider than the edit box");
  EXPECT_GT(edit->Editor().ScrollX(), 0);
  Key(VK_HOME);
  EXPECT_EQ(edit->Editor().ScrollX(), 0);

  auto* memo = Make<TMemo>(10, 40, 100, 80);
  memo->SetWordWrap(false);
  memo->SetScrollBars(ssBoth);
  memo->Lines().Add(std::string(60, 'x'));
  TRect bar = memo->HorzScrollBarRect();
  ASSERT_FALSE(bar.IsEmpty());
  EXPECT_FALSE(memo->VertScrollBarRect().IsEmpty());
  Click(memo, bar.Right - 4, bar.Top + 4);  // the right arrow
  int step = memo->Editor().ScrollX();
  EXPECT_GT(step, 0);
  Drag(memo, bar.Left + 20, bar.Top + 8, bar.Right + 50, bar.Top + 8);  // the thumb to the far end
  EXPECT_GT(memo->Editor().ScrollX(), step);
  memo->SetWordWrap(true);
  EXPECT_TRUE(memo->HorzScrollBarRect().IsEmpty());
}

TEST_F(MemoTest, PasswordEditShowsOnlyItsMaskCharacter) {
  auto* edit = Make<TEdit>(10, 10, 120, 21);
  edit->SetText("WWWW");
  auto inkPixels = [&] {
    Redraw();
    int n = 0;
    for (int y = 3; y < 18; ++y)
      for (int x = 3; x < 60; ++x) {
        TColorRef c = Pixel(edit, x, y);
        n += GetRValue(c) + GetGValue(c) + GetBValue(c) < 384;
      }
    return n;
  };
  int plain = inkPixels();
  edit->SetPasswordChar('.');
  int masked = inkPixels();
  EXPECT_GT(plain, 0);
  EXPECT_GT(masked, 0);
  EXPECT_LT(masked, plain);
  EXPECT_EQ(edit->Text(), "WWWW");

  // The hidden text stays off the clipboard.
  edit->SetFocus();
  edit->SelectAll();
  Key('C', false, true);
  Key('X', false, true);
  EXPECT_FALSE(GetClipboardText().has_value());
  EXPECT_EQ(edit->Text(), "WWWW");
}

TEST_F(MemoTest, RightClickOffersTheEditCommandsThatApply) {
  auto* edit = Make<TEdit>(10, 10, 120, 21);
  std::vector<bool> enabled;  // Undo, Cut, Copy, Paste, Delete, Select All
  AnsiString choose;
  TPopupMenu::SetTracker([&](TPopupMenu& m, int, int) {
    enabled.clear();
    TMenuItem* chosen = nullptr;
    for (int i = 0; i < m.Items().Count(); ++i)
      if (TMenuItem* item = m.Items().Items(i); !item->IsLine()) {
        enabled.push_back(item->Enabled());
        if (StripHotkey(item->Caption()) == choose) chosen = item;
      }
    return chosen;
  });
  auto rightClick = [&](const AnsiString& item) {
    choose = item;
    TPoint p = Screen(edit, 5, 5);
    InjectMouseDown(TMouseButton::Right, p.X, p.Y);
    Pump();
    InjectMouseUp(TMouseButton::Right, p.X, p.Y);
    Pump();
  };
  struct TCase {
    const char* Text;
    bool Select, ReadOnly, Password, Clip;
    std::vector<bool> Enabled;
  };
  const TCase cases[] = {{"", false, false, false, false, {0, 0, 0, 0, 0, 0}},
                         {"abc", false, false, false, true, {0, 0, 0, 1, 0, 1}},
                         {"abc", true, false, false, false, {0, 1, 1, 0, 1, 0}},
                         {"abc", true, true, false, true, {0, 0, 1, 0, 0, 0}},
                         {"abc", true, false, true, true, {0, 0, 0, 1, 1, 0}}};
  for (const TCase& c : cases) {
    edit->SetText(c.Text);
    edit->SetReadOnly(c.ReadOnly);
    edit->SetPasswordChar(c.Password ? '*' : 0);
    OpenClipboard(0);
    EmptyClipboard();
    if (c.Clip) SetClipboardText("clip");
    CloseClipboard();
    edit->SetSelLength(c.Select ? 3 : 0);
    rightClick("");
    EXPECT_EQ(enabled, c.Enabled) << &c - cases;
  }
  edit->SetReadOnly(false);
  edit->SetPasswordChar(0);
  edit->SetText("hello");
  rightClick("Select All");
  rightClick("Cut");
  EXPECT_EQ(edit->Text(), "");
  EXPECT_EQ(GetClipboardText(), AnsiString("hello"));
  rightClick("Undo");
  EXPECT_EQ(edit->Text(), "hello");
  TPopupMenu::SetTracker(nullptr);
}

}  // namespace
