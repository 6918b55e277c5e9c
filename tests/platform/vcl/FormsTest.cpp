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
