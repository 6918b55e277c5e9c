#include "platform/classlib/Menus.h"

#include "ClassLibTestSupport.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/Timer.h"

namespace {

TMenuItem* AddItem(TMenu& m, const AnsiString& caption, std::vector<AnsiString>* log = nullptr) {
  auto* i = new TMenuItem(&m);
  i->SetCaption(caption);
  if (log) i->OnClick = [log, caption](TObject*) { log->push_back(StripHotkey(caption)); };
  m.Items().Add(i);
  return i;
}

}  // namespace

using MenusTest = ClassLibTest;

TEST_F(MenusTest, PopupTracksKeysOverSeparatorsAndDisabledItems) {
  auto* form = new TForm(&Application());
  form->Show();
  auto* pm = new TPopupMenu(form);
  std::vector<AnsiString> log;
  AddItem(*pm, "&Open", &log);
  AddItem(*pm, "-");
  TMenuItem* off = AddItem(*pm, "&Delete", &log);
  off->SetEnabled(false);
  AddItem(*pm, "&Rename", &log);
  struct Case {
    std::vector<uint16_t> Keys;
    std::vector<AnsiString> Chosen;
  };
  const Case cases[] = {
      {{VK_DOWN, VK_RETURN}, {"Open"}},
      {{VK_DOWN, VK_DOWN, VK_RETURN}, {"Rename"}},  // past the separator and the disabled item
      {{VK_UP, VK_RETURN}, {"Rename"}},
      {{VK_DOWN, VK_ESCAPE}, {}},
      {{'D', VK_ESCAPE}, {}},  // the accelerator of a disabled item does nothing
      {{'R'}, {"Rename"}},
  };
  for (const Case& c : cases) {
    log.clear();
    for (uint16_t k : c.Keys) InjectKeyPress(k);
    pm->Popup(50, 50);
    EXPECT_EQ(log, c.Chosen);
    Pump();
  }
  // A click outside cancels; a click on an item chooses it.
  log.clear();
  // The clicks come once the menu is up, from the loop that tracks it.
  Application().PostCallback([] { InjectClick(TMouseButton::Left, 700, 700); });
  pm->Popup(50, 50);
  EXPECT_TRUE(log.empty());
  Application().PostCallback([] { InjectClick(TMouseButton::Left, 60, 54); });
  pm->Popup(50, 50);
  EXPECT_EQ(log, std::vector<AnsiString>{"Open"});
  delete form;
}

TEST_F(MenusTest, RightClickOpensTheControlsPopupMenu) {
  auto* form = new TForm(&Application());
  form->SetBorderStyle(bsNone);
  auto* pm = new TPopupMenu(form);
  TMenuItem* item = AddItem(*pm, "&Copy");
  int copied = 0;
  item->OnClick = [&](TObject*) { ++copied; };
  TPoint at;
  TPopupMenu::SetTracker([&](TPopupMenu& m, int x, int y) -> TMenuItem* {
    at = Point(x, y);
    return &m.Items().Items(0)[0];
  });
  form->SetPopupMenu(pm);
  form->Show();
  Pump();
  TPoint p = form->ClientToScreen(Point(10, 12));
  InjectClick(TMouseButton::Right, p.X, p.Y);
  Pump();
  EXPECT_EQ(copied, 1);
  EXPECT_EQ(at, p);
  EXPECT_EQ(pm->PopupComponent(), form);
  delete pm;  // the form forgets it
  EXPECT_EQ(form->PopupMenu(), nullptr);
  InjectClick(TMouseButton::Right, p.X, p.Y);
  Pump();
  EXPECT_EQ(copied, 1);
  TPopupMenu::SetTracker(nullptr);
  delete form;
}

TEST_F(MenusTest, ShortcutsHotkeysAndCaptions) {
  TMainMenu menu(nullptr);
  TMenuItem* save = AddItem(menu, "&Save");
  save->SetShortCut(ShortCut('S', ssCtrl));
  int saved = 0;
  save->OnClick = [&](TObject*) { ++saved; };
  EXPECT_TRUE(menu.IsShortCut(ShortCut('S', ssCtrl)));
  EXPECT_FALSE(menu.IsShortCut(ShortCut('S', 0)));
  save->SetEnabled(false);
  EXPECT_FALSE(menu.IsShortCut(ShortCut('S', ssCtrl)));
  EXPECT_EQ(saved, 1);
  EXPECT_EQ(ShortCutToText(ShortCut('S', ssCtrl | ssShift)), "Shift+Ctrl+S");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F5, 0)), "F5");
  EXPECT_EQ(StripHotkey("Save && &Exit"), "Save & Exit");
  EXPECT_EQ(GetHotkey("Save && &exit"), 'E');
  EXPECT_EQ(GetHotkey("No && key"), 0);
  EXPECT_TRUE(IsAccel('x', "E&xit"));
  EXPECT_FALSE(IsAccel('e', "E&xit"));
}

TEST_F(MenusTest, ActionsDriveTheirControlsAndItems) {
  auto* form = new TForm(&Application());
  auto* list = new TActionList(form);
  auto* act = new TAction(form);
  act->SetActionList(list);
  act->SetCaption("&Print");
  act->SetHint("Print the file");
  int ran = 0;
  act->OnExecute = [&](TObject*) { ++ran; };
  bool allow = true;
  act->OnUpdate = [&](TObject* s) { static_cast<TAction*>(s)->SetEnabled(allow); };

  struct TSpyButton : TCustomControl {
    using TCustomControl::TCustomControl;
    int Changes = 0;
    void ActionChange(TBasicAction*, bool) override { ++Changes; }
  };
  auto* button = new TSpyButton(form);
  button->SetParent(form);
  button->SetAction(act);
  EXPECT_EQ(button->Changes, 1);
  auto* pm = new TPopupMenu(form);
  TMenuItem* item = AddItem(*pm, "x");
  item->SetAction(act);
  EXPECT_EQ(button->Caption(), "&Print");
  EXPECT_EQ(button->Hint(), "Print the file");
  EXPECT_EQ(item->Caption(), "&Print");

  button->Click();
  item->Click();
  EXPECT_EQ(ran, 2);
  act->SetCaption("Print &now");
  EXPECT_EQ(button->Caption(), "Print &now");
  EXPECT_EQ(button->Changes, 2);

  // Idle time updates the actions; a disabled action neither runs nor leaves its clients enabled.
  allow = false;
  form->Show();
  Application().Idle();
  EXPECT_FALSE(act->Enabled());
  EXPECT_FALSE(button->Enabled());
  EXPECT_FALSE(item->Enabled());
  EXPECT_FALSE(act->Execute());
  EXPECT_EQ(ran, 2);

  // An action outside any list is brought up to date through its control.
  auto* lone = new TAction(form);
  int updates = 0;
  lone->OnUpdate = [&](TObject*) { ++updates; };
  auto* other = new TCustomControl(form);
  other->SetParent(form);
  other->SetAction(lone);
  Application().Idle();
  EXPECT_EQ(updates, 1);
  other->Hide();
  Application().Idle();
  EXPECT_EQ(updates, 1);

  // A list may take the execution over; a freed action leaves its clients alone.
  allow = true;
  list->OnExecute = [&](TBasicAction*, bool& handled) { handled = true; };
  EXPECT_TRUE(act->Execute());
  EXPECT_EQ(ran, 2);
  delete act;
  EXPECT_EQ(button->Action(), nullptr);
  EXPECT_EQ(item->Action(), nullptr);
  button->Click();
  delete form;
}

TEST_F(MenusTest, TimersTickFromTheLoopWhileEnabled) {
  TFakeClock clock;
  auto* form = new TForm(&Application());
  auto* t = new TTimer(form);
  t->SetInterval(100);
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 3) form->SetModalResult(mrOk);
  };
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(clock.Now(), 1300u);
  t->SetEnabled(false);
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(ticks, 3);
  // An error in a tick is shown and the timer goes on.
  t->OnTimer = [&](TObject*) {
    ++ticks;
    throw EConvertError("tick failed");
  };
  t->SetEnabled(true);
  clock.Advance(100);
  Pump();
  clock.Advance(100);
  Pump();
  EXPECT_EQ(ticks, 5);
  EXPECT_EQ(Errors, (std::vector<AnsiString>{"tick failed.", "tick failed."}));
  delete form;
  clock.Advance(100);
  Pump();
  EXPECT_EQ(ticks, 5);
}
