// The spin button: its regions, its look, and stepping on a fake clock that counts the waits.
#include <gtest/gtest.h>

#include "controls/ctlSpinner.h"
#include "platform/classlib/ClassLibTestSupport.h"
#include "platform/classlib/Memo.h"
#include "platform/classlib/Timer.h"
#include "platform/gdi/Colors.h"

namespace {

// A clock that moves only when the code under test sleeps, and counts the sleeps.
struct CountingClock {
  CountingClock() {
    SetTickSource({[this] { return Now; }, [this](uint32_t ms) {
                     Now += ms;
                     ++Sleeps;
                   }});
  }
  ~CountingClock() { SetTickSource({}); }
  uint64_t Now = 1000;
  int Sleeps = 0;
};

class SpinnerTest : public ClassLibTest {
protected:
  void SetUp() override {
    ClassLibTest::SetUp();
    Form = new TForm(&Application());
    Form->SetBounds(50, 50, 300, 200);
    Spin = new TCtlSpinner(Form);
    Spin->SetParent(Form);
    Spin->SetBounds(200, 20, 16, 25);
    Form->Show();
    Pump();
  }
  TPoint ScreenAt(int x, int y) { return Spin->ClientToScreen(TPoint{x, y}); }
  void Press(int x, int y) {
    const TPoint p = ScreenAt(x, y);
    InjectMouseMove(p.X, p.Y);
    InjectMouseDown(TMouseButton::Left, p.X, p.Y);
    Pump();
  }
  void Release() {
    TPoint p;
    GetCursorPos(p);
    InjectMouseUp(TMouseButton::Left, p.X, p.Y);
  }

  TForm* Form = nullptr;
  TCtlSpinner* Spin = nullptr;
};

struct HitCase {
  TCtlSpinnerStyle Style;
  int X, Y;
  TCtlSpinState Want;
};

TEST_F(SpinnerTest, RegionsAnswerTheHitTestPerStyle) {
  const HitCase cases[] = {
      {stNormalVertical, 5, 3, SpinUp},       {stNormalVertical, 5, 20, SpinDown},
      {stNormalHorizontal, 3, 10, SpinLeft},  {stNormalHorizontal, 24, 10, SpinRight},
      {stFourWay, 15, 3, SpinUp},             {stFourWay, 3, 15, SpinLeft},
      {stFourWay, 27, 15, SpinRight},         {stFourWay, 15, 27, SpinDown},
      {stStar, 15, 15, SpinCenter},           {stStar, 15, 4, SpinUp},
      {stStar, 4, 15, SpinLeft},              {stStar, 0, 0, SpinNormal},
      {stDiagonalVertical, 3, 3, SpinUp},     {stDiagonalVertical, 26, 26, SpinDown},
      {stDiagonalHorizontal, 3, 3, SpinLeft}, {stDiagonalFourWay, 15, 5, SpinUp},
      {stDiagonalFourWay, 2, 15, SpinLeft},   {stPlainStar, 26, 15, SpinRight},
  };
  for (const auto& c : cases) {
    Spin->SetStyle(c.Style);
    Spin->SetBounds(200, 20, 30, 30);
    EXPECT_EQ(c.Want, Spin->StateAt(TPoint{c.X, c.Y})) << c.Style << " " << c.X << "," << c.Y;
  }
  EXPECT_TRUE(Spin->Region(SpinCenter).Empty());  // the last style has no centre
  Spin->SetAcceleration(11);
  EXPECT_EQ(5, Spin->Acceleration());
  EXPECT_EQ(LRESULT(DLGC_STATIC), Spin->Perform(WM_GETDLGCODE));
}

TEST_F(SpinnerTest, PaintsArrowsAndSinksThePressedHalf) {
  Spin->SetBounds(200, 20, 16, 25);
  Spin->Repaint();
  Pump();
  // The up arrow's tip sits in the middle of the upper half.
  bool arrow = false;
  for (int y = 2; y < 12; ++y) arrow = arrow || PixelOf(*Spin, 7, y) == ColorToRGB(clBtnText);
  EXPECT_TRUE(arrow);
  EXPECT_EQ(ColorToRGB(clBtnFace), PixelOf(*Spin, 3, 20));
  Spin->SetStyle(stStar);
  Spin->SetBounds(200, 20, 30, 30);
  Spin->Repaint();
  Pump();
  // The centre's face, between the edges that meet in its middle.
  EXPECT_EQ(ColorToRGB(clBtnFace), PixelOf(*Spin, 15, 12));
}

TEST_F(SpinnerTest, HoldingUpStepsAnEditOnTheScheduleAndSleepsBetweenSteps) {
  CountingClock clock;
  auto* edit = new TEdit(Form);
  edit->SetParent(Form);
  edit->SetBounds(10, 20, 100, 22);
  edit->SetText("2.5");
  Spin->SetFocusedControl(edit);
  std::vector<std::pair<uint64_t, AnsiString>> steps;
  Spin->OnClick = [&](TObject*, TCtlSpinState s, double delta, bool wrap) {
    EXPECT_EQ(SpinUp, s);
    EXPECT_EQ(1.0, delta);
    EXPECT_TRUE(wrap);
    steps.emplace_back(clock.Now, edit->Text());
    if (steps.size() == 14) Release();
  };
  Press(5, 3);
  ASSERT_EQ(14u, steps.size());
  const uint64_t t0 = steps[0].first;
  EXPECT_EQ("3.5", steps[0].second);
  EXPECT_EQ(t0 + 500, steps[1].first);
  EXPECT_EQ("4.5", steps[1].second);
  EXPECT_EQ(t0 + 950, steps[2].first);
  EXPECT_EQ("5.5", steps[2].second);
  // Pauses shrink by 50 ms until none are left.
  EXPECT_EQ(steps[11].first, steps[12].first);
  EXPECT_EQ("16.5", steps[13].second);
  // One wait per pause, not a spin.
  EXPECT_LE(clock.Sleeps, 12);
  EXPECT_TRUE(edit->Focused());
  EXPECT_FALSE(Spin->Pressed());
}

TEST_F(SpinnerTest, DraggingToTheOtherHalfStepsTheOtherWay) {
  CountingClock clock;
  std::vector<TCtlSpinState> states;
  Spin->OnClick = [&](TObject*, TCtlSpinState s, double, bool) {
    states.push_back(s);
    if (states.size() == 1) {
      const TPoint p = ScreenAt(5, 20);
      InjectMouseMove(p.X, p.Y);
    }
    if (states.size() == 3) Release();
  };
  Press(5, 3);
  EXPECT_EQ((std::vector<TCtlSpinState>{SpinUp, SpinDown, SpinDown}), states);
}

TEST_F(SpinnerTest, TheCentreOfAStarStepsOnceAndDoesNotRepeat) {
  CountingClock clock;
  Spin->SetStyle(stStar);
  Spin->SetBounds(200, 20, 30, 30);
  int clicks = 0;
  Spin->OnClick = [&](TObject*, TCtlSpinState s, double, bool) {
    EXPECT_EQ(SpinCenter, s);
    ++clicks;
  };
  auto* timer = new TTimer(Form);
  timer->SetInterval(3000);
  timer->OnTimer = [&](TObject*) {
    timer->SetEnabled(false);
    Release();
  };
  Press(15, 15);
  EXPECT_EQ(1, clicks);
  EXPECT_GE(clock.Now, 4000u);  // held until the timer let go
}

}  // namespace
