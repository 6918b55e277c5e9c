#include "platform/vcl/Forms.h"

#include "VclTestSupport.h"

namespace {

class TLogForm : public TForm {
public:
  TLogForm(TComponent* owner, std::vector<AnsiString>& log) : TForm(owner), FLog(log) {
    SetBorderStyle(bsSingle);
    OnCreate = [this](TObject*) { FLog.push_back("create"); };
    OnShow = [this](TObject*) { FLog.push_back("show"); };
    OnActivate = [this](TObject*) { FLog.push_back("activate"); };
    OnDeactivate = [this](TObject*) { FLog.push_back("deactivate"); };
    OnCloseQuery = [this](TObject*, bool& can) {
      FLog.push_back("closequery");
      can = AllowClose;
    };
    OnClose = [this](TObject*, TCloseAction& a) {
      FLog.push_back("close");
      a = Action;
    };
    OnHide = [this](TObject*) { FLog.push_back("hide"); };
    OnDestroy = [this](TObject*) { FLog.push_back("destroy"); };
  }
  ~TLogForm() override { BeforeDestruction(); }
  bool AllowClose = true;
  TCloseAction Action = caHide;

private:
  std::vector<AnsiString>& FLog;
};

}  // namespace

using FormsTest = VclTest;

TEST_F(FormsTest, EventsRunInCreateShowCloseDestroyOrder) {
  std::vector<AnsiString> log;
  auto* f = new TLogForm(&Application(), log);
  f->AfterConstruction();
  f->Show();
  Pump();
  EXPECT_TRUE(f->Active());
  EXPECT_EQ(Screen().ActiveForm(), f);
  f->AllowClose = false;
  f->Close();
  EXPECT_TRUE(f->Visible());
  f->AllowClose = true;
  f->Close();
  EXPECT_FALSE(f->Visible());
  delete f;
  EXPECT_EQ(log, (std::vector<AnsiString>{"create", "show", "activate", "closequery", "closequery", "close",
                                          "deactivate", "hide", "destroy"}));
}

TEST_F(FormsTest, ShowModalEndsWhenATimerSetsTheResult) {
  std::vector<AnsiString> log;
  auto* owner = new TForm(&Application());
  owner->Show();
  auto* f = new TLogForm(&Application(), log);
  TFakeClock clock;
  int ticks = 0;
  SetTimer(0, 0, 50, [&](HWND, UINT, uintptr_t id, uint32_t) {
    ++ticks;
    EXPECT_FALSE(IsWindowEnabled(owner->Handle()));
    if (ticks == 3) {
      KillTimer(0, id);
      f->SetModalResult(mrOk);
    }
  });
  // The fake clock moves on whenever the loop waits.
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_EQ(log, (std::vector<AnsiString>{"create", "show", "activate", "closequery", "close", "deactivate", "hide"}));
  EXPECT_THROW(
      {
        f->Show();
        f->ShowModal();
      },
      EInvalidOperation);
  delete f;
}

TEST_F(FormsTest, ErrorsInHandlersAreShownAndTheLoopGoesOn) {
  auto* f = new TForm(&Application());
  int after = 0;
  f->OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
  f->Show();
  Pump();
  TFakeClock clock;
  Application().PostCallback([&] { ClickAt(*f, 5, 5); });
  // Timers come after input: the click has been handled by then.
  SetTimer(0, 0, 50, [&](HWND, UINT, uintptr_t id, uint32_t) {
    KillTimer(0, id);
    ++after;
    f->SetModalResult(mrCancel);
  });
  f->Hide();
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_EQ(after, 1);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], "'x' is not a valid integer value.");
}

namespace {

class TMainTestForm : public TForm {
public:
  explicit TMainTestForm(TComponent* owner) : TForm(owner) { SetCaption("Main"); }
};

}  // namespace

TEST_F(FormsTest, RunShowsTheMainFormAndEndsWhenItCloses) {
  TMainTestForm* main = nullptr;
  Application().CreateForm(main);
  ASSERT_NE(main, nullptr);
  TForm* other = nullptr;
  Application().CreateForm(other);
  EXPECT_EQ(Application().MainForm(), main);
  EXPECT_EQ(main->Owner(), &Application());
  bool shownInRun = false;
  main->OnShow = [&](TObject*) {
    shownInRun = true;
    // Closing another form hides it; closing the main form ends the program.
    Application().PostCallback([&] {
      other->Show();
      other->Close();
      EXPECT_FALSE(other->Visible());
      EXPECT_FALSE(Application().Terminated());
      PostMessage(main->Handle(), WM_CLOSE);
    });
  };
  Application().Run();
  EXPECT_TRUE(shownInRun);
  EXPECT_TRUE(Application().Terminated());
  EXPECT_FALSE(Application().HelpContext(100));
}

TEST_F(FormsTest, CloseWithFreeReleasesTheFormAfterPendingMessages) {
  std::vector<AnsiString> log;
  auto* f = new TLogForm(&Application(), log);
  f->Action = caFree;
  f->Show();
  int before = Application().ComponentCount();
  std::weak_ptr<const void> alive = f->Liveness();
  f->Close();
  EXPECT_FALSE(alive.expired());
  Pump();
  EXPECT_TRUE(alive.expired());
  EXPECT_EQ(Application().ComponentCount(), before - 1);
  EXPECT_EQ(log.back(), "destroy");
}

TEST_F(FormsTest, ScreenListsFormsInZOrderAndKnowsTheActiveOne) {
  auto* a = new TForm(&Application());
  auto* b = new TForm(&Application());
  auto* hidden = new TForm(&Application());
  a->Show();
  b->Show();
  std::vector<TCustomForm*> forms = Screen().Forms();
  ASSERT_EQ(forms.size(), 3u);
  EXPECT_EQ(forms[0], b);
  EXPECT_EQ(forms[1], a);
  EXPECT_EQ(forms[2], hidden);
  EXPECT_EQ(Screen().ActiveForm(), b);
  a->Show();
  EXPECT_EQ(Screen().Forms()[0], a);
  EXPECT_EQ(Screen().ActiveForm(), a);
  EXPECT_TRUE(a->Active());
  EXPECT_FALSE(b->Active());
  delete a;
  EXPECT_EQ(Screen().FormCount(), 2);
  Screen().SetCursor(crHourGlass);
  EXPECT_EQ(GetCursor(), crHourGlass);
  Screen().SetCursor(crDefault);

  // Minimizing the application minimizes its visible forms.
  Application().Minimize();
  EXPECT_EQ(b->WindowState(), wsMinimized);
  Application().Restore();
  EXPECT_EQ(b->WindowState(), wsNormal);
}

TEST_F(FormsTest, PositionAndBorderStyleShapeTheWindow) {
  auto* f = new TForm(&Application());
  f->SetBounds(0, 0, 200, 100);
  f->SetPosition(poScreenCenter);
  f->SetBorderStyle(bsDialog);
  f->SetClientWidth(150);
  f->Show();
  TRect area = GetWorkArea();
  EXPECT_EQ(f->Left(), (area.Width() - f->Width()) / 2);
  EXPECT_EQ(f->ClientWidth(), 150);
  auto style = static_cast<uint32_t>(GetWindowLongPtr(f->Handle(), GWL_STYLE));
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_TRUE(style & WS_CAPTION);
  // Changing the border remakes the window with the same client area and visibility.
  HWND before = f->Handle();
  f->SetBorderStyle(bsSizeable);
  EXPECT_NE(f->Handle(), before);
  EXPECT_TRUE(GetWindowLongPtr(f->Handle(), GWL_STYLE) & WS_THICKFRAME);
  EXPECT_TRUE(IsWindowVisible(f->Handle()));
}

TEST_F(FormsTest, ManyFormsMadeShownClosedAndFreedLeaveNothingBehind) {
  for (int i = 0; i < 1000; ++i) {
    auto* f = new TForm(&Application());
    auto* child = new TCustomControl(f);
    child->SetParent(f);
    child->SetAlign(alClient);
    f->Show();
    Pump();
    f->Close();
    delete f;
  }
  EXPECT_EQ(Screen().FormCount(), 0);
  EXPECT_EQ(Application().ComponentCount(), 0);
  EXPECT_TRUE(GetChildWindows(0).size() <= 1u);  // at most the application's own window
}
