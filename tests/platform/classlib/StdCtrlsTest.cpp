#include "StdCtrlsTestSupport.h"

#include "platform/rtl/Ticks.h"

namespace {

class StdCtrlsTest : public StdControlsTest {};

TEST_F(StdCtrlsTest, LabelSizesToItsCaptionAndItsAcceleratorFocusesItsControl) {
  auto* label = Make<TLabel>(10, 10, 200, 40);
  auto* edit = Make<TEdit>(10, 40, 120, 21);
  Make<TEdit>(10, 70, 120, 21)->SetFocus();
  label->SetCaption("&Name");
  int w = label->Width();
  EXPECT_GT(w, 10);
  EXPECT_LT(w, 60);
  EXPECT_GE(label->Height(), 10);
  label->SetCaption("A much longer name");
  EXPECT_GT(label->Width(), w);
  label->SetCaption("");
  EXPECT_GE(label->Height(), 10);  // an empty caption keeps a line's height

  label->SetCaption("&Name");
  label->SetFocusControl(edit);
  InjectKeyDown(VK_MENU);
  Key('N');
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_TRUE(edit->Focused());

  // Freeing the focus control clears the reference.
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST_F(StdCtrlsTest, OpaqueLabelFillsItsColourAndTransparentOneDoesNot) {
  Form->SetColor(clBlue);
  auto* label = Make<TLabel>(10, 10, 60, 20);
  label->SetAutoSize(false);
  label->SetCaption("");
  label->SetParentColor(false);
  label->SetColor(clYellow);
  Redraw();
  EXPECT_EQ(Pixel(label, 50, 10), ColorToRGB(clYellow));
  label->SetTransparent(true);
  Redraw();
  EXPECT_EQ(Pixel(label, 50, 10), ColorToRGB(clBlue));
}

TEST_F(StdCtrlsTest, AShrinkingMovingOrHiddenLabelLeavesNoPixelsBehind) {
  Form->SetColor(clBlue);
  auto* label = Make<TLabel>(10, 10, 60, 20);
  label->SetParentColor(false);
  label->SetColor(clYellow);
  label->SetCaption("WWWWWWWWWWWW");
  Redraw();
  int wide = label->Width();
  ASSERT_EQ(Pixel(label, wide - 2, 2), ColorToRGB(clYellow));
  label->SetCaption("W");
  Pump();
  ASSERT_LT(label->Width(), wide / 2);
  EXPECT_EQ(Pixel(label, wide - 2, 2), ColorToRGB(clBlue)) << "the old caption's tail is gone";
  label->SetLeft(200);
  Pump();
  EXPECT_EQ(Pixel(label, -190 + 2, 2), ColorToRGB(clBlue)) << "moved away";
  label->SetVisible(false);
  Pump();
  EXPECT_EQ(Pixel(label, 2, 2), ColorToRGB(clBlue)) << "hidden";
}

TEST_F(StdCtrlsTest, ButtonClicksByMouseKeysAndDefaultOrCancel) {
  auto* edit = Make<TEdit>(10, 10, 120, 21);
  auto* ok = Make<TButton>(10, 50, 75, 25);
  auto* cancel = Make<TButton>(100, 50, 75, 25);
  ok->SetCaption("OK");
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  cancel->SetCaption("&Cancel");
  cancel->SetCancel(true);
  std::vector<std::string> clicks;
  ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };

  edit->SetFocus();
  Key(VK_RETURN);
  Key(VK_ESCAPE);
  Click(cancel, 10, 10);
  EXPECT_TRUE(cancel->Focused());
  Key(VK_SPACE);
  Key(VK_RETURN);  // the focused button, not the default one
  InjectKeyDown(VK_MENU);
  Key('C');
  InjectKeyUp(VK_MENU);
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel", "cancel", "cancel", "cancel", "cancel"}));
  EXPECT_EQ(Form->ModalResult(), mrOk);

  // A press released outside the button is no click.
  clicks.clear();
  Drag(ok, 10, 10, 200, 200);
  EXPECT_TRUE(clicks.empty());
  ok->SetEnabled(false);
  Click(ok, 10, 10);
  EXPECT_TRUE(clicks.empty());
}

TEST_F(StdCtrlsTest, CheckBoxAndRadioButtonsToggle) {
  auto* box = Make<TCheckBox>(10, 10, 120, 17);
  box->SetCaption("Collate");
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  Click(box, 6, 8);
  EXPECT_TRUE(box->Checked());
  Key(VK_SPACE);
  EXPECT_FALSE(box->Checked());
  box->SetAllowGrayed(true);
  Key(VK_SPACE);
  EXPECT_EQ(box->State(), cbGrayed);
  Key(VK_SPACE);
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(clicks, 4);
  box->SetChecked(true);  // no change, no click
  EXPECT_EQ(clicks, 4);

  auto* group = Make<TGroupBox>(10, 40, 200, 100);
  auto* a = Make<TRadioButton>(10, 20, 100, 17, group);
  auto* b = Make<TRadioButton>(10, 40, 100, 17, group);
  auto* other = Make<TRadioButton>(10, 150, 100, 17);
  other->SetChecked(true);
  a->SetChecked(true);
  Click(b, 5, 8);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(other->Checked());  // another parent is another group
  Key(VK_UP);
  EXPECT_TRUE(a->Checked());
  EXPECT_TRUE(a->Focused());
}

TEST_F(StdCtrlsTest, GroupBoxPutsItsChildrenBelowTheCaptionAndDrawsAnEtchedFrame) {
  auto* group = Make<TGroupBox>(10, 10, 200, 100);
  group->SetCaption("Airline Plates");
  auto* memo = Make<TMemo>(0, 0, 10, 10, group);
  memo->SetAlign(alClient);
  EXPECT_GT(memo->Top(), 8);
  EXPECT_LT(memo->Top(), 20);
  EXPECT_LT(memo->Width(), 200);
  Redraw();
  EXPECT_EQ(Pixel(group, 2, 99), ColorToRGB(clBtnHighlight));  // etched: light line under the dark one
  EXPECT_EQ(Pixel(group, 0, 98), ColorToRGB(clBtnShadow));
}

TEST_F(StdCtrlsTest, ListBoxSelectsSinglyAndInRanges) {
  auto* list = Make<TListBox>(10, 10, 120, 80);
  for (const char* s : {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine"}) list->Items().Add(s);
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  int h = list->ItemHeight();
  Click(list, 10, h + 3);
  EXPECT_EQ(list->ItemIndex(), 1);
  Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_TRUE(list->Selected(2));
  EXPECT_FALSE(list->Selected(1));
  Key(VK_END);
  EXPECT_EQ(list->ItemIndex(), 8);
  EXPECT_EQ(list->TopIndex(), 9 - list->VisibleItems());
  Type("t");
  EXPECT_EQ(list->ItemIndex(), 1);  // the next item starting with T, from the top again
  EXPECT_EQ(clicks, 4);
  EXPECT_EQ(list->SelCount(), -1);

  list->SetMultiSelect(true);
  list->SetTopIndex(0);
  Click(list, 10, 3);
  InjectKeyDown(VK_SHIFT);
  Click(list, 10, 2 * h + 3);
  InjectKeyUp(VK_SHIFT);
  InjectKeyDown(VK_CONTROL);
  Click(list, 10, 4 * h + 3);
  Click(list, 10, 1 * h + 3);
  InjectKeyUp(VK_CONTROL);
  Pump();
  std::vector<int> selected;
  for (int i = 0; i < list->Count(); ++i)
    if (list->Selected(i)) selected.push_back(i);
  EXPECT_EQ(selected, (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(list->SelCount(), 3);

  // The selection stays on its items while others come and go.
  list->Items().Insert(0, "zero");
  list->Items().Delete(2);
  std::vector<std::string> names;
  for (int i = 0; i < list->Count(); ++i)
    if (list->Selected(i)) names.push_back(list->Items()[i]);
  EXPECT_EQ(names, (std::vector<std::string>{"one", "three", "five"}));
  EXPECT_EQ(list->ItemIndex(), -1);  // the current item, "two", went
  list->Items().Clear();
  EXPECT_EQ(list->ItemIndex(), -1);
  EXPECT_EQ(list->SelCount(), 0);
  EXPECT_THROW(list->Selected(0), EListError);
}

TEST_F(StdCtrlsTest, ComboBoxDropsDownAndChoosesByMouseAndKeys) {
  auto* combo = Make<TComboBox>(10, 10, 145, 21);
  combo->SetStyle(csDropDownList);
  for (int i = 0; i < 12; ++i) combo->Items().Add("Printer " + std::to_string(i));
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->SetItemIndex(0);
  EXPECT_EQ(combo->Text(), "Printer 0");

  Click(combo, 140, 10);
  ASSERT_TRUE(combo->DroppedDown());
  HWND list = combo->ListWindow();
  ASSERT_NE(list, 0u);
  EXPECT_TRUE(combo->Focused());  // the list never takes the focus
  TRect lr = GetWindowRect(list);
  EXPECT_EQ(lr.Top, combo->ClientToScreen(TPoint{0, combo->Height()}).Y);
  int h = (lr.Height() - 2) / combo->DropDownCount();
  InjectClick(TMouseButton::Left, lr.Left + 10, lr.Top + 1 + 3 * h + h / 2);
  Pump();
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 3);
  EXPECT_EQ(combo->Text(), "Printer 3");

  Key(VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 4);
  Key(VK_DOWN, false, false);
  InjectKeyDown(VK_MENU);
  Key(VK_DOWN);
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_TRUE(combo->DroppedDown());
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 6);
  Key(VK_F4);
  Key(VK_UP);
  Key(VK_ESCAPE);
  EXPECT_EQ(combo->ItemIndex(), 6);  // Escape keeps what was chosen before
  EXPECT_EQ(changes, 4);

  // A press outside the open list closes it without a choice.
  Key(VK_F4);
  Click(Form.get(), 300, 250);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 6);
}

TEST_F(StdCtrlsTest, LongDropDownListScrollsWithItsBarAndTheWheel) {
  auto* combo = Make<TComboBox>(10, 10, 145, 21);
  combo->SetStyle(csDropDownList);
  for (int i = 0; i < 30; ++i) combo->Items().Add("Item " + std::to_string(i));
  combo->SetDropDownCount(5);
  combo->SetFocus();
  combo->SetDroppedDown(true);
  Pump();
  TRect lr = GetWindowRect(combo->ListWindow());
  int h = (lr.Height() - 2) / 5;
  EXPECT_EQ(h * 5 + 2, lr.Height());
  // Two presses on the bar's lower arrow, then the first row shown is chosen.
  TPoint arrow{lr.Right - 6, lr.Bottom - 6};
  InjectClick(TMouseButton::Left, arrow.X, arrow.Y);
  InjectClick(TMouseButton::Left, arrow.X, arrow.Y);
  Pump();
  ASSERT_TRUE(combo->DroppedDown());
  InjectClick(TMouseButton::Left, lr.Left + 10, lr.Top + 1 + h / 2);
  Pump();
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);

  // Opened again, the list shows the chosen item; the wheel scrolls three rows a notch.
  combo->SetDroppedDown(true);
  InjectWheel(-WHEEL_DELTA, lr.Left + 10, lr.Top + 10);
  Pump();
  InjectClick(TMouseButton::Left, lr.Left + 10, lr.Top + 1 + h / 2);
  Pump();
  EXPECT_EQ(combo->ItemIndex(), 3);
}

TEST_F(StdCtrlsTest, EditableComboBoxTypesAndMatchesItems) {
  auto* combo = Make<TComboBox>(10, 10, 145, 21);
  combo->Items().Add("Zip Files");
  combo->Items().Add("any file");
  combo->SetFocus();
  Type("any file");
  EXPECT_EQ(combo->Text(), "any file");
  EXPECT_EQ(combo->ItemIndex(), 1);
  Key(VK_BACK);
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetText("Zip Files");
  EXPECT_EQ(combo->ItemIndex(), 0);
  // The current item stays itself while items come and go before it; deleting it empties the box.
  combo->Items().Insert(0, "All Files");
  EXPECT_EQ(combo->ItemIndex(), 1);
  combo->Items().Delete(1);
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->SetStyle(csDropDownList);
  combo->SetText("nothing like it");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "");
}

TEST_F(StdCtrlsTest, ScrollBarMovesByLinesPagesAndThumb) {
  auto* bar = Make<TScrollBar>(10, 10, 200, 16);
  bar->SetLargeChange(10);
  std::vector<TScrollCode> codes;
  bar->OnScroll = [&](TObject*, TScrollCode code, int&) { codes.push_back(code); };
  Click(bar, 195, 8);
  EXPECT_EQ(bar->Position(), 1);
  Click(bar, 150, 8);
  EXPECT_EQ(bar->Position(), 11);
  bar->SetFocus();
  Key(VK_END);
  EXPECT_EQ(bar->Position(), 100);
  Key(VK_LEFT);
  EXPECT_EQ(bar->Position(), 99);
  Drag(bar, 180, 8, 20, 8);
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_NE(std::find(codes.begin(), codes.end(), scTrack), codes.end());
  EXPECT_THROW(bar->SetParams(0, 10, 5), EInvalidOperation);
  bar->SetParams(500, 0, 50);
  EXPECT_EQ(bar->Position(), 50);
}

TEST_F(StdCtrlsTest, ControlsMeasureWithTheFontTheyTakeFromTheirParent) {
  auto* edit = Make<TEdit>(10, 10, 120, 21);
  auto* list = Make<TListBox>(10, 40, 120, 80);
  auto* combo = Make<TComboBox>(10, 130, 120, 21);
  int editHeight = edit->Height(), itemHeight = list->ItemHeight(), comboHeight = combo->Height();
  Form->Font().SetSize(16);
  EXPECT_GT(edit->Height(), editHeight);
  EXPECT_GT(list->ItemHeight(), itemHeight);
  EXPECT_GT(combo->Height(), comboHeight);
}

TEST_F(StdCtrlsTest, HeldScrollArrowRepeatsUntilReleased) {
  TFakeClock clock;
  auto* bar = Make<TScrollBar>(10, 10, 200, 16);
  TPoint arrow = Screen(bar, 195, 8);
  InjectMouseMove(arrow.X, arrow.Y);
  InjectMouseDown(TMouseButton::Left, arrow.X, arrow.Y);
  Pump();
  EXPECT_EQ(bar->Position(), 1);
  clock.Advance(TPressRepeat::FirstDelayMs);
  Pump();
  EXPECT_EQ(bar->Position(), 2);
  for (int i = 0; i < 3; ++i) {
    clock.Advance(TPressRepeat::RepeatMs);
    Pump();
  }
  EXPECT_EQ(bar->Position(), 5);
  // Moved off the arrow, the press holds still; released, it stops.
  TPoint away = Screen(bar, 100, 40);
  InjectMouseMove(away.X, away.Y);
  clock.Advance(TPressRepeat::RepeatMs);
  Pump();
  EXPECT_EQ(bar->Position(), 5);
  InjectMouseUp(TMouseButton::Left, away.X, away.Y);
  clock.Advance(1000);
  Pump();
  EXPECT_EQ(bar->Position(), 5);
}

}  // namespace
