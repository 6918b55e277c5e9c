#include "platform/classlib/Forms.h"

#include "ClassLibTestSupport.h"
#include "platform/classlib/Memo.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/win/Cursors.h"
#include "platform/win/NonClient.h"

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

using FormsTest = ClassLibTest;

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
  int appOff = 0;
  Application().OnDeactivate = [&](TObject*) { ++appOff; };
  // The fake clock moves on whenever the loop waits.
  EXPECT_EQ(f->ShowModal(), mrOk);
  Application().OnDeactivate = nullptr;
  EXPECT_EQ(appOff, 0);  // the activation went straight back to the owner
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(f->Visible());
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_TRUE(owner->Active());
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

TEST_F(FormsTest, AnErrorWhileCreatingIsShownAndTheFormStays) {
  struct TFailing : TForm {
    explicit TFailing(TComponent* o) : TForm(o) {
      OnCreate = [this](TObject*) {
        Steps = 1;
        throw EInOutError("Unable to create folder", 5);
      };
    }
    int Steps = 0;
  };
  TFailing* f = nullptr;
  Application().CreateForm(f);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Steps, 1);
  EXPECT_EQ(Application().MainForm(), f);
  EXPECT_EQ(Errors, std::vector<AnsiString>{"Unable to create folder."});
  // Freeing the main form ends the program's loop.
  EXPECT_FALSE(Application().Terminated());
  delete f;
  EXPECT_EQ(Application().MainForm(), nullptr);
  EXPECT_TRUE(Application().Terminated());
}

TEST_F(FormsTest, CreateRunsOnCreateBeforeTheCallerGoesOnAndFreeRunsOnDestroyWhileWhole) {
  struct TJobForm : TForm {
    explicit TJobForm(TComponent* o) : TForm(o) {
      OnCreate = [this](TObject*) { Job = "cleared"; };
      OnDestroy = [this](TObject*) { Seen = Job; };
    }
    AnsiString Job = "unset";
    AnsiString* Out = nullptr;
    AnsiString Seen;
    ~TJobForm() override {
      if (Out) *Out = Seen;
    }
  };
  AnsiString seen;
  auto* f = TCustomForm::Create<TJobForm>(&Application());
  EXPECT_EQ(f->Job, "cleared");
  f->Job = "zip these";
  f->Out = &seen;
  f->Show();
  EXPECT_EQ(f->Job, "zip these");  // the show does not run OnCreate again
  f->Free();
  EXPECT_EQ(seen, "zip these");
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
  EXPECT_EQ(GetCursor(), LoadCursor(0, IDC_WAIT));
  Screen().SetCursor(crDefault);

  // Minimizing the application minimizes its visible forms.
  int width = b->Width();
  Application().Minimize();
  EXPECT_EQ(b->WindowState(), wsMinimized);
  EXPECT_EQ(b->Width(), width);
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
    f->SetBounds(0, 0, 60, 40);  // small: the test is about what stays behind, not drawing
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

TEST_F(FormsTest, AClickMayFreeTheFormItLandsOn) {
  auto* f = new TForm(&Application());
  f->SetBorderStyle(bsNone);
  std::weak_ptr<const void> alive = f->Liveness();
  f->OnClick = [&](TObject*) { delete f; };
  f->Show();
  Pump();
  ClickAt(*f, 3, 3);
  Pump();
  EXPECT_TRUE(alive.expired());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(FormsTest, TheApplicationHearsItsActivationAndHiddenWindowsTheirMessages) {
  std::vector<AnsiString> log;
  Application().OnActivate = [&](TObject*) { log.push_back("app on"); };
  Application().OnDeactivate = [&](TObject*) { log.push_back("app off"); };
  auto* f = new TForm(&Application());
  f->Show();
  InjectAppDeactivate();
  Pump();
  f->Show();
  EXPECT_EQ(log, (std::vector<AnsiString>{"app on", "app off", "app on"}));
  Application().OnActivate = nullptr;
  Application().OnDeactivate = nullptr;

  int got = 0;
  HWND h = AllocateHWnd([&](TMessage& m) {
    if (m.Msg == WM_USER) {
      ++got;
      throw EConvertError("bad post");
    }
    m.Result = DefWindowProc(0, m.Msg, m.WParam, m.LParam);
  });
  PostMessage(h, WM_USER);
  Pump();
  EXPECT_EQ(got, 1);
  EXPECT_EQ(Errors, std::vector<AnsiString>{"bad post."});
  DeallocateHWnd(h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(PostMessage(h, WM_USER));
}

TEST_F(FormsTest, ModalLoopsNestAndTheCloseQueryCanKeepThemOpen) {
  TFakeClock clock;
  std::vector<AnsiString> log;
  auto* outer = new TLogForm(&Application(), log);
  auto* inner = new TForm(&Application());
  TModalResult innerResult = mrNone;
  int step = 0;
  SetTimer(0, 0, 10, [&](HWND, UINT, uintptr_t id, uint32_t) {
    switch (++step) {
      case 1:
        // A modal form inside a modal loop: the outer one waits for it.
        inner->OnShow = [&](TObject*) { Application().PostCallback([&] { inner->SetModalResult(mrYes); }); };
        innerResult = inner->ShowModal();
        EXPECT_TRUE(outer->Modal());
        break;
      case 2:
        outer->AllowClose = false;
        PostMessage(outer->Handle(), WM_CLOSE);
        break;
      case 3:
        EXPECT_TRUE(outer->Visible());
        outer->AllowClose = true;
        outer->SetModalResult(mrAbort);
        KillTimer(0, id);
        break;
    }
  });
  EXPECT_EQ(outer->ShowModal(), mrAbort);
  EXPECT_EQ(innerResult, mrYes);
  EXPECT_EQ(step, 3);
  // The refused close ran the query but not OnClose.
  EXPECT_EQ(log, (std::vector<AnsiString>{"create", "show", "activate", "deactivate", "activate", "closequery",
                                          "closequery", "close", "deactivate", "hide"}));
  delete outer;

  // Processing messages from inside a handler that processing runs goes on where it was.
  int nested = 0, done = 0;
  Application().PostCallback([&] {
    Application().PostCallback([&] { ++nested; });
    Application().ProcessMessages();
    ++done;
  });
  Pump();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(done, 1);
}

TEST_F(FormsTest, ConstraintsHoldForResizesFromOutside) {
  auto* f = new TForm(&Application());
  f->Constraints().SetMinWidth(150);
  f->Constraints().SetMaxHeight(120);
  f->Show();
  MoveWindow(f->Handle(), 0, 0, 100, 300);
  EXPECT_EQ(f->Width(), 150);
  EXPECT_EQ(f->Height(), 120);
  EXPECT_EQ(GetWindowRect(f->Handle()).Width(), 150);
}

TEST_F(FormsTest, FormsLeftAtTheEndOfTheProcessGoWithTheApplication) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        TForm* f = nullptr;
        Application().CreateForm(f);
        auto* child = new TCustomControl(f);
        child->SetParent(f);
        f->Show();
        Application().ProcessMessages();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(FormsTest, LoopsWithNothingLeftToWaitForEndQuietly) {
  // An error display that shows a modal box of its own, as the message box does.
  int shown = 0;
  Application().SetExceptionDisplay([&](const AnsiString&, const AnsiString&) {
    ++shown;
    auto* box = new TForm(&Application());
    box->ShowModal();
    delete box;
  });
  auto* f = new TForm(&Application());
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_EQ(shown, 0);
  TForm* main = nullptr;
  Application().CreateForm(main);
  Application().Run();
  EXPECT_EQ(shown, 0);
  EXPECT_TRUE(main->Visible());
}

TEST_F(FormsTest, CaptionButtonsAndAltF4WorkOnAForm) {
  auto* form = new TForm(&Application());
  form->SetBounds(40, 40, 320, 240);
  form->Show();
  Pump();
  HWND h = form->Handle();
  auto press = [&](int hit) {
    TRect wr = GetWindowRect(h);
    TNonClientLayout l = NonClientLayout(static_cast<uint32_t>(GetWindowLongPtr(h, GWL_STYLE)),
                                         static_cast<uint32_t>(GetWindowLongPtr(h, GWL_EXSTYLE)), wr.Width(), wr.Height());
    TRect b = hit == HTCLOSE ? l.Close : hit == HTMAXBUTTON ? l.Max : l.Min;
    InjectMouseDown(TMouseButton::Left, wr.Left + b.Left + 4, wr.Top + b.Top + 4);
    Pump();
    InjectMouseUp(TMouseButton::Left, wr.Left + b.Left + 4, wr.Top + b.Top + 4);
    Pump();
  };
  press(HTMAXBUTTON);
  EXPECT_TRUE(IsZoomed(h));
  press(HTMAXBUTTON);
  press(HTMINBUTTON);
  EXPECT_TRUE(IsIconic(h));
  press(HTMINBUTTON);
  EXPECT_EQ(GetWindowRect(h), (TRect{40, 40, 360, 280})) << "restored";
  press(HTCLOSE);
  EXPECT_FALSE(form->Visible());
  form->Show();
  Pump();
  InjectKeyDown(VK_MENU);
  InjectKeyPress(VK_F4);
  InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_FALSE(form->Visible()) << "Alt+F4";
}

TEST_F(FormsTest, WindowsUnderAModalFormTakeNoInput) {
  auto* main = new TForm(&Application());
  main->SetBounds(20, 20, 400, 300);
  auto* memo = new TMemo(main);
  memo->SetParent(main);
  auto* button = new TButton(main);
  button->SetParent(main);
  button->SetBounds(10, 200, 80, 25);
  auto* box = new TForm(&Application());
  box->SetBounds(300, 150, 200, 120);
  int clicks = 0;
  button->OnClick = [&](TObject*) {
    if (++clicks == 1) box->ShowModal();
  };
  box->OnShow = [&](TObject*) {
    Application().PostCallback([&] {
      for (TControl* c : std::initializer_list<TControl*>{memo, button}) {
        TPoint p = c->ClientToScreen(TPoint{5, 5});
        InjectMouseDown(TMouseButton::Left, p.X, p.Y);
        Application().ProcessMessages();
        InjectMouseUp(TMouseButton::Left, p.X, p.Y);
        InjectChar('x');
        Application().ProcessMessages();
      }
      EXPECT_EQ(box->Handle(), GetActiveWindow());
      EXPECT_EQ(box->Handle(), GetChildWindows(0).front()) << "the main window stays below";
      box->SetModalResult(mrOk);
    });
  };
  main->Show();
  Pump();
  ClickAt(*button, 5, 5);
  Pump();
  EXPECT_EQ(1, clicks) << "no second dialog from a click behind the first";
  EXPECT_EQ("", memo->Text());
}
