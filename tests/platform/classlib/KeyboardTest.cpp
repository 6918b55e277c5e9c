#include "platform/classlib/Forms.h"

#include "ClassLibTestSupport.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/Menus.h"

namespace {

// A focusable control that answers Enter or Escape as a dialog key and its "&" accelerator.
class TKeyBox : public TCustomControl {
public:
  TKeyBox(TComponent* owner, const AnsiString& name, std::vector<AnsiString>& log) : TCustomControl(owner), FLog(log) {
    SetName(name);
    SetTabStop(true);
    SetBounds(0, 0, 20, 20);
  }
  uint16_t AnswersKey = 0;
  uint32_t DlgCode = 0;

protected:
  void DoEnter() override { FLog.push_back("enter " + Name()); }
  void DoExit() override { FLog.push_back("exit " + Name()); }
  void KeyDown(uint16_t& key, TShiftState shift) override {
    FLog.push_back(Format("key %s %d", {Name(), int(key)}));
    TCustomControl::KeyDown(key, shift);
  }
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = DlgCode;
      return;
    }
    if (m.Msg == CM_DIALOGKEY && AnswersKey && m.WParam == AnswersKey) {
      FLog.push_back("dialogkey " + Name());
      m.Result = 1;
      return;
    }
    if (m.Msg == CM_DIALOGCHAR && IsAccel(static_cast<uint16_t>(m.WParam), Caption())) {
      FLog.push_back("accel " + Name());
      m.Result = 1;
      return;
    }
    TCustomControl::WndProc(m);
  }

private:
  std::vector<AnsiString>& FLog;
};

void Press(uint16_t vk, bool shift = false) {
  if (shift) InjectKeyDown(VK_SHIFT);
  InjectKeyPress(vk);
  if (shift) InjectKeyUp(VK_SHIFT);
}

}  // namespace

class KeyboardTest : public ClassLibTest {
protected:
  void SetUp() override {
    ClassLibTest::SetUp();
    Form = new TForm(&Application());
    Form->SetName("Form");
    Panel = new TCustomControl(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(0, 50, 200, 50);
    A = new TKeyBox(Form, "A", Log);
    B = new TKeyBox(Form, "B", Log);
    C = new TKeyBox(Form, "C", Log);
    D = new TKeyBox(Form, "D", Log);
    A->SetParent(Form);
    B->SetParent(Form);
    C->SetParent(Panel);
    D->SetParent(Form);
    // Tab order: A, panel (C inside it), D, B.
    B->SetTabOrder(3);
    Panel->SetTabOrder(1);
  }
  void TearDown() override {
    delete Form;
    ClassLibTest::TearDown();
  }
  std::vector<AnsiString> Log;
  TForm* Form = nullptr;
  TCustomControl* Panel = nullptr;
  TKeyBox *A = nullptr, *B = nullptr, *C = nullptr, *D = nullptr;
};

TEST_F(KeyboardTest, TabAndShiftTabFollowTheTabOrderThroughContainers) {
  Form->Show();
  Pump();
  EXPECT_EQ(Form->ActiveControl(), A);
  EXPECT_TRUE(A->Focused());
  std::vector<TWinControl*> seen;
  for (int i = 0; i < 5; ++i) {
    Press(VK_TAB);
    Pump();
    seen.push_back(Form->ActiveControl());
  }
  EXPECT_EQ(seen, (std::vector<TWinControl*>{C, D, B, A, C}));
  Press(VK_TAB, true);
  Pump();
  EXPECT_EQ(Form->ActiveControl(), A);
  EXPECT_TRUE(A->Focused());

  // Disabled and hidden controls are passed over.
  C->SetEnabled(false);
  D->Hide();
  Press(VK_TAB);
  Pump();
  EXPECT_EQ(Form->ActiveControl(), B);

  // WM_NEXTDLGCTL: the next, the previous, or a given control.
  SendMessage(Form->Handle(), WM_NEXTDLGCTL, 0, 0);
  EXPECT_EQ(Form->ActiveControl(), A);
  SendMessage(Form->Handle(), WM_NEXTDLGCTL, 1, 0);
  EXPECT_EQ(Form->ActiveControl(), B);
  D->Show();
  SendMessage(Form->Handle(), WM_NEXTDLGCTL, D->Handle(), 1);
  EXPECT_TRUE(D->Focused());
  EXPECT_EQ(Log.back(), "enter D");
}

TEST_F(KeyboardTest, EnterAndExitRunAsTheFocusMoves) {
  Form->Show();
  Pump();
  B->SetFocus();
  C->SetFocus();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"enter A", "exit A", "enter B", "exit B", "enter C"}));
  // A control that goes takes its place as the active control with it.
  const void* gone = C;
  delete C;
  C = nullptr;
  EXPECT_NE(static_cast<const void*>(Form->ActiveControl()), gone);
  Press(VK_TAB);
  Pump();
  EXPECT_EQ(Form->ActiveControl(), D);
  // Focusing a control of an inactive form brings that form forward.
  auto* other = new TForm(&Application());
  other->Show();
  EXPECT_FALSE(Form->Active());
  B->SetFocus();
  EXPECT_TRUE(Form->Active());
  EXPECT_TRUE(B->Focused());
  delete other;
  // A control hidden with the focus leaves it to the form; Tab goes on from there.
  B->Hide();
  EXPECT_TRUE(Form->Focused());
  Press(VK_TAB);
  Pump();
  EXPECT_TRUE(A->Focused());
  // Focusing a hidden control is refused.
  D->Hide();
  EXPECT_THROW(D->SetFocus(), EInvalidOperation);
}

TEST_F(KeyboardTest, DialogKeysAndAcceleratorsReachTheControlsThatAnswer) {
  B->AnswersKey = VK_RETURN;
  D->AnswersKey = VK_ESCAPE;
  C->SetCaption("&Go");
  Form->Show();
  Pump();
  Log.clear();
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  InjectChar('g');
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"dialogkey B", "dialogkey D", "accel C"}));

  // Enter that no control answers comes to the focused control as a character too.
  B->AnswersKey = 0;
  A->OnKeyPress = [&](TObject*, char& ch) { Log.push_back(Format("char %d", {int(ch)})); };
  Log.clear();
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"key A 13", "char 13", "dialogkey D"}));
  A->OnKeyPress = nullptr;

  // A control that wants the keys keeps them.
  A->DlgCode = DLGC_WANTALLKEYS | DLGC_WANTCHARS | DLGC_WANTTAB;
  Log.clear();
  Press(VK_RETURN);
  Press(VK_TAB);
  InjectChar('g');
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"key A 13", "key A 9"}));
  EXPECT_EQ(Form->ActiveControl(), A);

  // Alt+letter is an accelerator even where the characters are wanted.
  Log.clear();
  InjectKeyDown(VK_MENU);
  InjectKeyPress('G');
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(Log.back(), "accel C");
}

TEST_F(KeyboardTest, KeyPreviewLetsTheFormTakeKeysFirst) {
  Form->Show();
  Pump();
  Log.clear();
  Form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState shift) {
    Log.push_back(Format("form %d %d", {int(key), int((shift & ssCtrl) != 0)}));
    if (key == VK_F5) key = 0;
  };
  Form->OnKeyPress = [&](TObject*, char& ch) {
    if (ch == 'x') ch = 0;
  };
  A->OnKeyPress = [&](TObject*, char& ch) { Log.push_back(AnsiString("char ") + ch); };
  Press(VK_F5);
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"key A 116"}));
  Form->SetKeyPreview(true);
  Log.clear();
  InjectKeyDown(VK_CONTROL);
  InjectKeyPress(VK_F5);
  InjectKeyUp(VK_CONTROL);
  Press(VK_F6);
  InjectChar('x');
  InjectChar('y');
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"form 17 1", "key A 17", "form 116 1", "form 117 0", "key A 117",
                                          "char y"}));
}

TEST_F(KeyboardTest, ShortcutsOfTheMenuAndTheActionsComeBeforeTheControl) {
  auto* menu = new TMainMenu(Form);
  auto* save = new TMenuItem(menu);
  save->SetCaption("&Save");
  save->SetShortCut(ShortCut('S', ssCtrl));
  save->OnClick = [&](TObject*) { Log.push_back("save"); };
  menu->Items().Add(save);
  Form->SetMenu(menu);
  auto* list = new TActionList(Form);
  auto* refresh = new TAction(Form);
  refresh->SetActionList(list);
  refresh->SetShortCut(ShortCut(VK_F9, 0));
  refresh->OnExecute = [&](TObject*) { Log.push_back("refresh"); };
  Form->Show();
  Pump();
  Log.clear();
  InjectKeyDown(VK_CONTROL);
  InjectKeyPress('S');
  InjectKeyUp(VK_CONTROL);
  Press(VK_F9);
  Press(VK_F8);
  // Alt and the menu item's accelerator.
  InjectKeyDown(VK_MENU);
  InjectKeyPress('S');
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(Log, (std::vector<AnsiString>{"key A 17", "save", "refresh", "key A 119", "key A 18", "key A 83", "save"}));
}
