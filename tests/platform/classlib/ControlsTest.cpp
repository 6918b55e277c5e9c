#include "platform/classlib/Controls.h"

#include "ClassLibTestSupport.h"
#include "platform/win/Cursors.h"

namespace {

class TBox : public TCustomControl {
public:
  explicit TBox(TComponent* owner) : TCustomControl(owner) { SetTabStop(true); }
  std::vector<AnsiString>* Log = nullptr;
  TColor Fill = clRed;

protected:
  void Paint() override {
    Canvas().Brush().SetColor(Fill);
    Canvas().FillRect(ClientRect());
  }
  void DoEnter() override {
    if (Log) Log->push_back("enter " + Name());
    TCustomControl::DoEnter();
  }
  void DoExit() override {
    if (Log) Log->push_back("exit " + Name());
    TCustomControl::DoExit();
  }
};

class TDot : public TGraphicControl {
public:
  explicit TDot(TComponent* owner) : TGraphicControl(owner) {}

protected:
  void Paint() override {
    Canvas().Brush().SetColor(clBlue);
    Canvas().FillRect(ClientRect());
  }
};

TForm* NewForm(int w = 300, int h = 200) {
  auto* f = new TForm(&Application());
  f->SetBorderStyle(bsNone);
  f->SetBounds(10, 10, w, h);
  return f;
}

}  // namespace

using ControlsTest = ClassLibTest;

TEST_F(ControlsTest, WindowIsMadeOnDemandAndKeepsTheControlsState) {
  TForm* f = NewForm();
  auto* box = new TBox(f);
  box->SetParent(f);
  box->SetBounds(5, 6, 50, 40);
  box->SetCaption("Box");
  box->SetEnabled(false);
  EXPECT_FALSE(f->HandleAllocated());
  EXPECT_FALSE(box->HandleAllocated());
  HWND h = box->Handle();
  EXPECT_TRUE(f->HandleAllocated());
  EXPECT_EQ(GetParent(h), f->Handle());
  EXPECT_EQ(FindControl(h), box);
  EXPECT_EQ(GetWindowText(h), "Box");
  EXPECT_FALSE(IsWindowEnabled(h));
  TRect wr = GetWindowRect(h);
  TPoint o = ClientToScreen(f->Handle(), TPoint{5, 6});
  EXPECT_EQ(wr.Left, o.X);
  EXPECT_EQ(wr.Width(), 50);

  // Recreating keeps bounds, text, state and the focus; the window is new.
  box->SetEnabled(true);
  f->Show();
  box->SetFocus();
  box->RecreateWnd();
  EXPECT_TRUE(box->Focused());
  EXPECT_NE(box->Handle(), h);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(GetWindowText(box->Handle()), "Box");
  EXPECT_TRUE(IsWindowEnabled(box->Handle()));
  EXPECT_EQ(box->BoundsRect(), Rect(5, 6, 55, 46));

  // Moving the window from outside reaches the control's bounds.
  MoveWindow(box->Handle(), 7, 8, 30, 20);
  EXPECT_EQ(box->BoundsRect(), Rect(7, 8, 37, 28));
  delete f;
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(ControlsTest, ParentPaintsGraphicChildrenOverItsBackground) {
  TForm* f = NewForm(100, 80);
  f->SetColor(clYellow);
  auto* box = new TBox(f);
  box->SetBounds(0, 0, 20, 20);
  box->SetParent(f);
  auto* dot = new TDot(f);
  dot->SetBounds(40, 40, 10, 10);
  dot->SetParent(f);
  f->Show();
  Pump();
  EXPECT_EQ(PixelOf(*f, 60, 60), clYellow);
  EXPECT_EQ(PixelOf(*f, 45, 45), clBlue);
  EXPECT_EQ(PixelOf(*f, 5, 5), clRed);
  dot->Hide();
  Pump();
  EXPECT_EQ(PixelOf(*f, 45, 45), clYellow);
  box->Fill = clLime;
  box->Invalidate();
  Pump();
  EXPECT_EQ(PixelOf(*f, 5, 5), clLime);

  // Drawing outside painting lands at the control's place in its parent, and stays inside it.
  dot->Show();
  dot->Canvas().Brush().SetColor(clFuchsia);
  dot->Canvas().FillRect(Rect(-5, -5, 50, 50));
  EXPECT_EQ(PixelOf(*f, 40, 40), clFuchsia);
  EXPECT_EQ(PixelOf(*f, 49, 49), clFuchsia);
  EXPECT_EQ(PixelOf(*f, 50, 50), clYellow);
  EXPECT_EQ(PixelOf(*f, 39, 39), clYellow);
  // The context goes when the loop is idle; the canvas takes a fresh one after a move.
  Application().Idle();
  dot->SetLeft(60);
  Pump();
  dot->Canvas().Brush().SetColor(clNavy);
  dot->Canvas().FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(PixelOf(*f, 65, 45), clNavy);
}

TEST_F(ControlsTest, ColourAndFontComeFromTheParentUntilSetOwn) {
  TForm* f = NewForm();
  auto* box = new TBox(f);
  box->SetParent(f);
  auto* dot = new TDot(f);
  dot->SetParent(box);
  EXPECT_EQ(dot->Color(), box->Color());
  box->SetColor(clTeal);
  EXPECT_EQ(dot->Color(), clTeal);
  EXPECT_TRUE(dot->ParentColor());
  dot->SetColor(clMaroon);
  box->SetColor(clNavy);
  EXPECT_EQ(dot->Color(), clMaroon);
  EXPECT_FALSE(dot->ParentColor());

  f->Font().SetSize(12);
  EXPECT_EQ(box->Font().Size(), 12);
  EXPECT_EQ(dot->Font().Size(), 12);
  EXPECT_TRUE(dot->ParentFont());
  dot->Font().SetStyle(fsBold);
  EXPECT_FALSE(dot->ParentFont());
  f->Font().SetSize(14);
  EXPECT_EQ(dot->Font().Size(), 12);
  dot->SetParentFont(true);
  EXPECT_EQ(dot->Font().Size(), 14);
}

TEST_F(ControlsTest, NotificationsReachTheControl) {
  struct TSpy : TGraphicControl {
    explicit TSpy(TComponent* o) : TGraphicControl(o) {}
    std::vector<UINT> Got;
    void WndProc(TMessage& m) override {
      if (m.Msg >= CM_BASE && m.Msg < CN_BASE) Got.push_back(m.Msg);
      TGraphicControl::WndProc(m);
    }
  };
  TForm* f = NewForm();
  auto* spy = new TSpy(f);
  spy->SetParent(f);
  spy->Got.clear();
  spy->SetEnabled(false);
  spy->SetVisible(false);
  spy->SetCaption("x");
  spy->SetColor(clRed);
  spy->Font().SetSize(20);
  spy->SetCaption("x");  // unchanged: no notification
  EXPECT_EQ(spy->Got, (std::vector<UINT>{CM_ENABLEDCHANGED, CM_VISIBLECHANGED, CM_TEXTCHANGED, CM_COLORCHANGED,
                                         CM_FONTCHANGED}));
  std::vector<std::pair<TControl*, bool>> changes;
  struct TWatch : TForm {
    explicit TWatch(TComponent* o) : TForm(o) {}
    std::vector<std::pair<TControl*, bool>>* Out = nullptr;
    void WndProc(TMessage& m) override {
      if (m.Msg == CM_CONTROLLISTCHANGE && Out) Out->push_back({reinterpret_cast<TControl*>(m.WParam), m.LParam != 0});
      TForm::WndProc(m);
    }
  };
  auto* w = new TWatch(&Application());
  w->Out = &changes;
  auto* d = new TDot(w);
  d->SetParent(w);
  d->SetParent(nullptr);
  EXPECT_EQ(changes, (std::vector<std::pair<TControl*, bool>>{{d, true}, {d, false}}));
  delete d;
}

TEST_F(ControlsTest, MouseGoesToTheGraphicChildWhichHoldsTheCapture) {
  TForm* f = NewForm();
  auto* dot = new TDot(f);
  dot->SetBounds(20, 20, 30, 30);
  dot->SetParent(f);
  std::vector<AnsiString> log;
  dot->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    log.push_back(Format("down %d %d %d %d", {int(b == mbLeft), int((s & ssShift) != 0), x, y}));
  };
  dot->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { log.push_back(Format("move %d %d", {x, y})); };
  dot->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) { log.push_back(Format("up %d %d", {x, y})); };
  dot->OnClick = [&](TObject*) { log.push_back("click"); };
  f->OnClick = [&](TObject*) { log.push_back("form click"); };
  f->Show();
  Pump();

  ClickAt(*f, 25, 26);
  Pump();
  EXPECT_EQ(log, (std::vector<AnsiString>{"down 1 0 5 6", "click", "up 5 6"}));
  log.clear();

  // Pressed inside, released outside: the moves still come, no click.
  TPoint in = f->ClientToScreen(TPoint{30, 30}), out = f->ClientToScreen(TPoint{100, 100});
  InjectMouseDown(TMouseButton::Left, in.X, in.Y);
  Pump();
  EXPECT_EQ(GetCaptureControl(), dot);
  InjectMouseMove(out.X, out.Y);
  InjectMouseUp(TMouseButton::Left, out.X, out.Y);
  Pump();
  EXPECT_EQ(log, (std::vector<AnsiString>{"down 1 0 10 10", "move 80 80", "up 80 80"}));
  EXPECT_EQ(GetCaptureControl(), nullptr);
  log.clear();

  // Cancel mode reaches the graphic control that holds the capture, which then loses it.
  struct TCancelSpy : TDot {
    using TDot::TDot;
    int Cancelled = 0;
    void WndProc(TMessage& m) override {
      if (m.Msg == WM_CANCELMODE) ++Cancelled;
      TDot::WndProc(m);
    }
  };
  auto* spy = new TCancelSpy(f);
  spy->SetBounds(200, 0, 10, 10);
  spy->SetParent(f);
  spy->SetMouseCapture(true);
  EXPECT_TRUE(spy->MouseCapture());
  SendMessage(f->Handle(), WM_CANCELMODE);
  EXPECT_EQ(spy->Cancelled, 1);
  EXPECT_FALSE(spy->MouseCapture());
  EXPECT_EQ(GetCapture(), 0u);

  ClickAt(*f, 150, 150);
  Pump();
  EXPECT_EQ(log, (std::vector<AnsiString>{"form click"}));
  EXPECT_EQ(FindDragTarget(f->ClientToScreen(TPoint{21, 21}), false), dot);
  EXPECT_EQ(FindDragTarget(f->ClientToScreen(TPoint{10, 10}), false), f);
  dot->SetEnabled(false);
  EXPECT_EQ(FindDragTarget(f->ClientToScreen(TPoint{21, 21}), false), f);
  EXPECT_EQ(FindDragTarget(f->ClientToScreen(TPoint{21, 21}), true), dot);
}

TEST_F(ControlsTest, AlignedChildrenShareTheClientAreaAndFollowResizes) {
  TForm* f = NewForm(300, 200);
  auto make = [&](TAlign a, int w, int h) {
    auto* c = new TBox(f);
    c->SetBounds(0, 0, w, h);
    c->SetAlign(a);
    c->SetParent(f);
    return c;
  };
  TBox* top = make(alTop, 10, 30);
  TBox* bottom = make(alBottom, 10, 20);
  TBox* left = make(alLeft, 40, 10);
  TBox* right = make(alRight, 50, 10);
  TBox* client = make(alClient, 1, 1);
  auto check = [&](int w, int h) {
    EXPECT_EQ(top->BoundsRect(), Rect(0, 0, w, 30));
    EXPECT_EQ(bottom->BoundsRect(), Rect(0, h - 20, w, h));
    EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 40, h - 20));
    EXPECT_EQ(right->BoundsRect(), Rect(w - 50, 30, w, h - 20));
    EXPECT_EQ(client->BoundsRect(), Rect(40, 30, w - 50, h - 20));
  };
  check(300, 200);
  f->SetBounds(10, 10, 400, 250);  // without a window
  check(400, 250);
  f->Show();
  MoveWindow(f->Handle(), 10, 10, 350, 220);  // with one, as a user's resize
  check(350, 220);

  // Hidden controls give their room up; a second top control stacks below the first.
  left->Hide();
  EXPECT_EQ(client->BoundsRect(), Rect(0, 30, 300, 200));
  TBox* top2 = make(alTop, 10, 15);
  top2->SetTop(100);
  EXPECT_EQ(top2->BoundsRect(), Rect(0, 30, 350, 45));
  EXPECT_EQ(client->BoundsRect(), Rect(0, 45, 300, 200));

  // Constraints hold inside the alignment.
  client->Constraints().SetMaxWidth(100);
  EXPECT_EQ(client->Width(), 100);
}

TEST_F(ControlsTest, AnchoredChildrenKeepTheirDistancesOnResize) {
  TForm* f = NewForm(200, 100);
  struct Case {
    TAnchors Anchors;
    TRect After;  // once the form grew by 50 x 30
  };
  const Case cases[] = {
      {akLeft | akTop, Rect(10, 10, 30, 20)},
      {akRight | akTop, Rect(60, 10, 80, 20)},
      {akLeft | akRight | akTop, Rect(10, 10, 80, 20)},
      {akLeft | akTop | akBottom, Rect(10, 10, 30, 50)},
      {akRight | akBottom, Rect(60, 40, 80, 50)},
      {akLeft | akTop | akRight | akBottom, Rect(10, 10, 80, 50)},
  };
  std::vector<TBox*> boxes;
  for (const Case& c : cases) {
    auto* b = new TBox(f);
    b->SetParent(f);
    b->SetBounds(10, 10, 20, 10);
    b->SetAnchors(c.Anchors);
    boxes.push_back(b);
  }
  f->SetBounds(10, 10, 250, 130);
  for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i]->BoundsRect(), cases[i].After) << i;
  // A parent that gets its size only after its children were placed.
  auto* panel = new TBox(f);
  panel->SetParent(f);
  auto* corner = new TBox(f);
  corner->SetParent(panel);
  corner->SetBounds(70, 70, 10, 10);
  corner->SetAnchors(akRight | akBottom);
  panel->SetBounds(0, 0, 100, 100);
  panel->SetBounds(0, 0, 120, 110);
  EXPECT_EQ(corner->BoundsRect(), Rect(90, 80, 100, 90));
  delete panel;

  // Back to the first size: exactly where they were.
  f->Show();
  MoveWindow(f->Handle(), 10, 10, 200, 100);
  for (TBox* b : boxes) EXPECT_EQ(b->BoundsRect(), Rect(10, 10, 30, 20));
}

TEST_F(ControlsTest, TheCursorFollowsTheControlUnderTheMouse) {
  TForm* f = NewForm();
  auto* dot = new TDot(f);
  dot->SetBounds(10, 10, 20, 20);
  dot->SetCursor(crHandPoint);
  dot->SetParent(f);
  auto* box = new TBox(f);
  box->SetBounds(100, 10, 20, 20);
  box->SetCursor(crIBeam);
  box->SetParent(f);
  f->Show();
  auto moveTo = [&](int x, int y) {
    TPoint p = f->ClientToScreen(Point(x, y));
    InjectMouseMove(p.X, p.Y);
    Pump();
    return GetCursor();
  };
  EXPECT_EQ(moveTo(15, 15), LoadCursor(0, IDC_HAND));
  EXPECT_EQ(moveTo(105, 15), LoadCursor(0, IDC_IBEAM));
  EXPECT_EQ(moveTo(60, 60), LoadCursor(0, IDC_ARROW));
  Screen().SetCursor(crHourGlass);
  EXPECT_EQ(moveTo(15, 15), LoadCursor(0, IDC_WAIT));
  Screen().SetCursor(crDefault);
  EXPECT_EQ(moveTo(16, 16), LoadCursor(0, IDC_HAND));
}

TEST_F(ControlsTest, AControlMayLiveInAWindowOutsideTheLibrary) {
  TWndClass wc;
  wc.lpszClassName = "Host";
  wc.lpfnWndProc = DefWindowProc;
  RegisterClass(wc);
  HWND host = CreateWindowEx(0, "Host", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 200, 0);
  auto* box = new TBox(nullptr);
  EXPECT_THROW(box->Handle(), EInvalidOperation);  // no parent of any kind
  box->SetBounds(10, 20, 30, 40);
  box->SetParentWindow(host);
  EXPECT_EQ(GetParent(box->Handle()), host);
  MoveWindow(box->Handle(), 15, 25, 30, 40);
  EXPECT_EQ(box->BoundsRect(), Rect(15, 25, 45, 65));
  delete box;
  DestroyWindow(host);
}

TEST_F(ControlsTest, HintsShowAfterAPauseAndGoOnAClickOrAMove) {
  TFakeClock clock;
  TForm* f = NewForm();
  auto* dot = new TDot(f);
  dot->SetBounds(10, 10, 20, 20);
  dot->SetHint("Keldara website\rLogged in user is Ann|Opens the maker's site");
  dot->SetParent(f);
  auto* plain = new TDot(f);
  plain->SetBounds(100, 10, 20, 20);
  plain->SetParent(f);
  f->SetShowHint(true);  // the children follow their parent
  EXPECT_TRUE(dot->ShowHint());
  f->Show();
  auto moveTo = [&](int x, int y) {
    TPoint p = f->ClientToScreen(Point(x, y));
    InjectMouseMove(p.X, p.Y);
    Pump();
  };
  auto wait = [&](int ms) {
    clock.Advance(ms);
    Pump();
  };
  moveTo(15, 15);
  wait(400);
  EXPECT_EQ(Application().HintWindow(), nullptr);
  wait(100);
  ASSERT_NE(Application().HintWindow(), nullptr);
  THintWindow* hw = Application().HintWindow();
  EXPECT_EQ(hw->Caption(), "Keldara website\rLogged in user is Ann");
  EXPECT_GT(hw->Height(), 2 * f->Canvas().TextHeight("K"));  // two lines
  EXPECT_GE(hw->Top(), f->ClientToScreen(Point(15, 15)).Y);
  EXPECT_NE(GetActiveWindow(), hw->Handle());
  // Moving within the control keeps it; a click takes it away.
  moveTo(16, 16);
  EXPECT_NE(Application().HintWindow(), nullptr);
  ClickAt(*f, 16, 16);
  Pump();
  EXPECT_EQ(Application().HintWindow(), nullptr);
  // It goes by itself after a while, and a control without a hint shows none.
  moveTo(60, 60);
  moveTo(15, 15);
  wait(500);
  EXPECT_NE(Application().HintWindow(), nullptr);
  wait(2500);
  EXPECT_EQ(Application().HintWindow(), nullptr);
  moveTo(105, 15);
  wait(1000);
  EXPECT_EQ(Application().HintWindow(), nullptr);
  EXPECT_EQ(GetShortHint("a|b"), "a");
  EXPECT_EQ(GetLongHint("a|b"), "b");
  EXPECT_EQ(GetLongHint("a"), "a");
}
