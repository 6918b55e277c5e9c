// The toolbar button on a headless form: its settings, groups, auto-repeat on the fake clock, hot
// tracking on the shared timer, dialog keys, modal results and actions.
#include "ToolbarTestSupport.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/Menus.h"
#include "platform/rtl/Ticks.h"
#include "platform/win/WindowImage.h"

namespace {

class ToolbarButtonTest : public ToolbarFormTest {
protected:
  TtbToolbarButton* Button(int left, int group = 0) {
    auto* b = MakeButton(Form.get(), left);
    b->SetTop(40);
    b->SetGroupIndex(group);
    b->OnClick = [this, b](TObject*) { Clicks.push_back(b); };
    return b;
  }
  std::vector<TtbToolbarButton*> Clicks;
};

TEST_F(ToolbarButtonTest, SettingsKeepTheirLimits) {
  TtbToolbarButton* b = Button(10);
  EXPECT_EQ(23, b->Width());
  EXPECT_EQ(22, b->Height());
  b->SetNumGlyphs(0);
  EXPECT_EQ(1, b->NumGlyphs());
  b->SetNumGlyphs(9);
  EXPECT_EQ(5, b->NumGlyphs());
  b->SetDropdownArrowWidth(3);
  EXPECT_EQ(7, b->DropdownArrowWidth());
  b->SetMargin(-5);
  EXPECT_EQ(-1, b->Margin());
  b->SetDown(true);
  EXPECT_FALSE(b->Down()) << "not in a group";
  b->SetDropdownCombo(true);
  EXPECT_EQ(23 + 7 + 2, b->Width());
  b->SetDropdownArrowWidth(10);
  EXPECT_EQ(23 + 10 + 2, b->Width());
}

TEST_F(ToolbarButtonTest, AGroupKeepsOneButtonDown) {
  TtbToolbarButton* a = Button(10, 1);
  TtbToolbarButton* b = Button(40, 1);
  Click(a, 5, 5);
  EXPECT_TRUE(a->Down());
  Click(a, 5, 5);
  EXPECT_TRUE(a->Down()) << "without AllowAllUp a click does not raise it";
  a->SetDown(false);
  EXPECT_TRUE(a->Down());
  Click(b, 5, 5);
  EXPECT_FALSE(a->Down());
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(tbsExclusive, b->State());
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->AllowAllUp()) << "shared by the group";
  Click(b, 5, 5);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(4u, Clicks.size());
}

TEST_F(ToolbarButtonTest, HeldRepeatingButtonClicksOnThePressThenAt400And100) {
  TFakeClock clock;
  TtbToolbarButton* b = Button(10);
  b->SetRepeating(true);
  TPoint p = Screen(b, 5, 5);
  InjectMouseMove(p.X, p.Y);
  InjectMouseDown(TMouseButton::Left, p.X, p.Y);
  Pump();
  EXPECT_EQ(1u, Clicks.size());
  clock.Advance(399);
  Pump();
  EXPECT_EQ(1u, Clicks.size());
  clock.Advance(1);
  Pump();
  EXPECT_EQ(2u, Clicks.size());
  for (int i = 0; i < 3; ++i) {
    clock.Advance(100);
    Pump();
  }
  EXPECT_EQ(5u, Clicks.size());
  TPoint off = Screen(b, 60, 5);
  InjectMouseMove(off.X, off.Y);
  clock.Advance(100);
  Pump();
  clock.Advance(100);
  Pump();
  EXPECT_EQ(5u, Clicks.size()) << "paused while the cursor is off the button";
  InjectMouseMove(p.X, p.Y);
  Pump();
  clock.Advance(100);
  Pump();
  EXPECT_EQ(6u, Clicks.size()) << "and going on when it is back";
  InjectMouseUp(TMouseButton::Left, p.X, p.Y);
  clock.Advance(500);
  Pump();
  EXPECT_EQ(6u, Clicks.size()) << "the release does not click again";
}

TEST_F(ToolbarButtonTest, ModalResultReachesTheFormBeforeOnClick) {
  TtbToolbarButton* b = Button(10);
  b->SetModalResult(mrCancel);
  TModalResult seen = mrNone;
  b->OnClick = [&](TObject*) { seen = Form->ModalResult(); };
  Click(b, 5, 5);
  EXPECT_EQ(mrCancel, seen);
}

TEST_F(ToolbarButtonTest, EnterAndEscapeReachDefaultAndCancelButtons) {
  auto* edit = new TCustomControl(Form.get());
  edit->SetTabStop(true);
  edit->SetParent(Form.get());
  edit->SetBounds(10, 100, 50, 20);
  edit->SetFocus();
  TtbToolbarButton* ok = Button(10);
  TtbToolbarButton* cancel = Button(40);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  InjectKeyPress(VK_RETURN);
  Pump();
  ASSERT_EQ(1u, Clicks.size());
  EXPECT_EQ(ok, Clicks[0]);
  InjectKeyDown(VK_SHIFT);
  InjectKeyPress(VK_RETURN);
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(1u, Clicks.size()) << "not with Shift held";
  InjectKeyPress(VK_ESCAPE);
  Pump();
  ASSERT_EQ(2u, Clicks.size());
  EXPECT_EQ(cancel, Clicks[1]);
  ok->SetEnabled(false);
  InjectKeyPress(VK_RETURN);
  Pump();
  EXPECT_EQ(2u, Clicks.size()) << "a disabled button takes no key";
}

TEST_F(ToolbarButtonTest, HotTrackingFollowsTheCursorAndTheApplication) {
  TFakeClock clock;
  TtbToolbarButton* a = Button(10);
  TtbToolbarButton* b = Button(40);
  b->SetShowBorderWhenInactive(true);
  int entered = 0, left = 0;
  a->OnMouseEnter = [&](TObject*) { ++entered; };
  a->OnMouseLeave = [&](TObject*) { ++left; };
  SetActiveWindow(Form->Handle());
  TPoint pa = Screen(a, 5, 5);
  InjectMouseMove(pa.X, pa.Y);
  Pump();
  EXPECT_EQ(a, TtbToolbarButton::HotButton());
  EXPECT_EQ(tbsHot, a->State());
  EXPECT_EQ(1, entered);
  // Moved off without a move message reaching it: the shared timer notices.
  SetCursorPos(pa.X, pa.Y + 100);
  clock.Advance(125);
  Pump();
  EXPECT_EQ(nullptr, TtbToolbarButton::HotButton());
  EXPECT_EQ(tbsUp, a->State());
  EXPECT_EQ(1, left);

  InjectMouseMove(pa.X, pa.Y);
  Pump();
  EXPECT_EQ(a, TtbToolbarButton::HotButton());
  InjectAppDeactivate();
  Pump();
  EXPECT_EQ(nullptr, TtbToolbarButton::HotButton()) << "the frame goes with the activation";
  EXPECT_FALSE(a->MouseInControl());

  TPoint pb = Screen(b, 5, 5);
  InjectMouseMove(pb.X, pb.Y);
  Pump();
  EXPECT_EQ(b, TtbToolbarButton::HotButton()) << "ShowBorderWhenInactive tracks without an active window";
  InjectAppDeactivate();
  Pump();
  EXPECT_TRUE(b->MouseInControl());
}

TEST_F(ToolbarButtonTest, ActionCouplesCheckedHelpAndImage) {
  TAction action(nullptr);
  action.SetChecked(true);
  action.SetHelpContext(7);
  action.SetImageIndex(2);
  TtbToolbarButton* b = Button(10, 1);
  b->SetAction(&action);
  EXPECT_TRUE(b->Down());
  EXPECT_EQ(7, b->HelpContext());
  EXPECT_EQ(2, b->ImageIndex());
  EXPECT_FALSE(b->IsDownStored());
  b->SetAllowAllUp(true);
  action.SetChecked(false);
  EXPECT_FALSE(b->Down());

  TAction other(nullptr);
  TtbToolbarButton* c = Button(40, 2);
  c->SetDown(true);
  c->SetHelpContext(5);
  other.Assign(c);
  EXPECT_TRUE(other.Checked());
  EXPECT_EQ(5, other.HelpContext());
  b->SetAction(nullptr);
}

TEST_F(ToolbarButtonTest, DropdownOpensItsMenuBelowAndDropsTheClicksMeantForIt) {
  TtbToolbarButton* b = Button(10);
  auto* menu = new TPopupMenu(Form.get());
  menu->SetAlignment(paCenter);
  auto* item = new TMenuItem(menu);
  item->SetCaption("Item");
  menu->Items().Add(item);
  b->SetDropdownMenu(menu);
  TPoint shownAt{-1, -1};
  TPopupAlignment alignment = paCenter;
  TPopupMenu::SetTracker([&](TPopupMenu& m, int x, int y) -> TMenuItem* {
    shownAt = TPoint{x, y};
    alignment = m.Alignment();
    // Presses that arrive while the menu is open: one on the button, one elsewhere.
    TPoint on = Screen(b, 5, 5), off = Screen(b, 100, 100);
    InjectMouseMove(on.X, on.Y);
    InjectMouseDown(TMouseButton::Left, on.X, on.Y);
    InjectMouseMove(off.X, off.Y);
    InjectMouseDown(TMouseButton::Left, off.X, off.Y);
    return nullptr;
  });
  bool asked = false;
  b->OnDropdown = [&](TObject*, bool& showMenu, bool& removeClicks) {
    asked = showMenu && removeClicks;
  };
  TPoint p = Screen(b, 5, 5);
  InjectMouseMove(p.X, p.Y);
  InjectMouseDown(TMouseButton::Left, p.X, p.Y);
  Pump();
  TPopupMenu::SetTracker(nullptr);
  EXPECT_TRUE(asked);
  EXPECT_EQ(Screen(b, 0, b->Height()), shownAt) << "below the button, not docked on a side";
  EXPECT_EQ(paLeft, alignment);
  EXPECT_EQ(paCenter, menu->Alignment()) << "put back afterwards";
  EXPECT_EQ(1u, Clicks.size()) << "the menu opened on the press, and once only";
  EXPECT_EQ(mrNone, Form->ModalResult());
}

// What a click leaves behind when its OnClick failed, or ran a dialog while the pointer wandered.
TEST_F(ToolbarButtonTest, AClickEndsUpAndTrackedWhateverItsOnClickDid) {
  TFakeClock clock;
  SetActiveWindow(Form->Handle());
  TtbToolbarButton* b = Button(10);
  TtbToolbarButton* normal = Button(40);
  const TPoint away = Screen(b, 5, 100);
  b->OnClick = [&](TObject*) {
    SetCursorPos(away.X, away.Y);
    throw Exception("already exists");
  };
  Click(b, 5, 5);
  ASSERT_EQ(1u, Errors.size());
  EXPECT_EQ(tbsUp, b->State());
  EXPECT_FALSE(b->MouseInControl());
  const TGdiBitmap shot = GetWindowImage(Form->Handle());
  auto image = [&](TControl* c) {
    const TRect wr = GetWindowRect(Form->Handle());
    const TPoint o = c->ClientToScreen(TPoint{0, 0});
    std::vector<TColorRef> px;
    for (int y = 0; y < c->Height(); ++y)
      for (int x = 0; x < c->Width(); ++x) px.push_back(shot.Pixel(o.X - wr.Left + x, o.Y - wr.Top + y));
    return px;
  };
  EXPECT_EQ(image(normal), image(b)) << "drawn up, as a button never pressed";

  // The pointer still on it at the end of the click, then straight off: no hot frame stays.
  b->OnClick = nullptr;
  Click(b, 5, 5);
  EXPECT_EQ(tbsHot, b->State());
  InjectMouseMove(away.X, away.Y);
  Pump();
  EXPECT_EQ(tbsUp, b->State());
  EXPECT_FALSE(b->MouseInControl());
}

// Freed by what its own press started: a menu item of its dropdown, or a repeating click.
TEST_F(ToolbarButtonTest, AButtonFreedByItsOwnPressIsNotTouchedAgain) {
  for (bool dropdown : {true, false}) {
    SCOPED_TRACE(dropdown ? "dropdown" : "repeating");
    TtbToolbarButton* b = Button(10);
    auto* menu = new TPopupMenu(Form.get());
    auto* item = new TMenuItem(menu);
    menu->Items().Add(item);
    item->OnClick = [b](TObject*) { delete b; };
    if (dropdown) {
      b->SetDropdownMenu(menu);
      TPopupMenu::SetTracker([](TPopupMenu& m, int, int) -> TMenuItem* { return m.Items().Items(0); });
    } else {
      b->SetRepeating(true);
      b->OnClick = [b](TObject*) { delete b; };
    }
    TPoint p = Screen(b, 5, 5);
    InjectMouseMove(p.X, p.Y);
    InjectMouseDown(TMouseButton::Left, p.X, p.Y);
    Pump();
    InjectMouseUp(TMouseButton::Left, p.X, p.Y);
    Pump();
    TPopupMenu::SetTracker(nullptr);
    EXPECT_TRUE(Errors.empty());
    delete menu;
  }
}

}  // namespace
