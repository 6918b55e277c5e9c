// The timer pool on the fake clock: periods, the due rule, handles, enabling, events that change the
// pool under it, and nested pumping.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "controls/ctlExcept.h"
#include "controls/ctlTimerPool.h"
#include "platform/rtl/Ticks.h"
#include "platform/classlib/Forms.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/WinState.h"
#include "platform/win/Windows.h"

namespace {

struct TFired {
  int Handle;
  uint32_t Interval;
  int Elapsed;
  uint64_t At;
};

class TimerPoolTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetWindowSystem();
    Pool = std::make_unique<TCtlTimerPool>();
  }
  void TearDown() override {
    Pool.reset();
    ResetWindowSystem();
  }

  // Dispatches what is due now.
  static void Pump() {
    TMsg m;
    while (PeekMessage(m, 0, 0, 0, PM_REMOVE)) DispatchMessage(m);
  }
  // Moves the clock on in steps of 1 ms so that each window-timer tick is seen when it falls due.
  void Run(uint64_t ms) {
    for (uint64_t i = 0; i < ms; ++i) {
      Clock.Advance(1);
      Pump();
    }
  }
  bool HasWindowTimer() const {
    const auto& t = WinState().Timers;
    return std::any_of(t.begin(), t.end(), [&](const TTimerRec& r) { return r.Window == Pool->WindowHandle(); });
  }
  TTriggerEvent Recorder() {
    return [this](TCtlTimerPool*, int h, uint32_t i, int e) { Fired.push_back({h, i, e, Clock.Now()}); };
  }

  TFakeClock Clock{1000};
  std::unique_ptr<TCtlTimerPool> Pool;
  std::vector<TFired> Fired;
};

TEST_F(TimerPoolTest, PeriodFollowsTheIntervals) {
  struct {
    std::vector<uint32_t> Intervals;
    uint32_t Period;
  } const cases[] = {
      {{100}, 100}, {{10}, 55}, {{100, 150}, 55}, {{100, 300}, 100}, {{200, 300}, 100}, {{1000, 250}, 250},
  };
  for (const auto& c : cases) {
    TCtlTimerPool pool;
    for (uint32_t i : c.Intervals) pool.AddTrigger(i, nullptr);
    EXPECT_EQ(c.Period, pool.Period()) << c.Intervals.size() << " intervals from " << c.Intervals[0];
    EXPECT_EQ(int(c.Intervals.size()), pool.ActiveCount());
  }
  EXPECT_EQ("v3.07", Pool->About());
}

TEST_F(TimerPoolTest, ShortIntervalIsRaisedToTheMinimum) {
  int h = Pool->AddTrigger(10, Recorder());
  EXPECT_EQ(0, h);
  Run(54);
  EXPECT_TRUE(Fired.empty());
  Run(1);
  ASSERT_EQ(1u, Fired.size());
  EXPECT_EQ(55u, Fired[0].Interval);
}

TEST_F(TimerPoolTest, FirstFiringAtTheFirstTickWithSeventyThreeMillisecondsGone) {
  int h = Pool->AddTrigger(100, Recorder());
  EXPECT_EQ(0, h);
  EXPECT_EQ(100u, Pool->Period());
  Run(99);
  EXPECT_TRUE(Fired.empty());
  Run(1);
  ASSERT_EQ(1u, Fired.size());
  EXPECT_EQ(1100u, Fired[0].At);
  EXPECT_EQ(100, Fired[0].Elapsed);
  Run(300);
  ASSERT_EQ(4u, Fired.size());
  EXPECT_EQ(400, Fired[3].Elapsed);
}

TEST_F(TimerPoolTest, TriggerIsDueTwentySevenMillisecondsEarly) {
  // A 55 ms timer serves both triggers; the tick at 55 ms fires an interval of up to 82 ms.
  struct {
    uint32_t Interval;
    uint64_t FirstAt;
  } const cases[] = {{80, 1055}, {82, 1055}, {83, 1110}, {100, 1110}};
  for (const auto& c : cases) {
    Pool.reset();
    ResetWindowSystem();
    Fired.clear();
    Pool = std::make_unique<TCtlTimerPool>();
    uint64_t start = Clock.Now();
    Pool->AddTrigger(c.Interval, [&](TCtlTimerPool*, int, uint32_t, int) { Fired.push_back({0, 0, 0, Clock.Now() - start}); });
    Pool->AddTrigger(55, nullptr);
    EXPECT_EQ(55u, Pool->Period());
    Run(110);
    ASSERT_FALSE(Fired.empty()) << c.Interval;
    EXPECT_EQ(c.FirstAt - 1000, Fired[0].At) << c.Interval;
  }
}

TEST_F(TimerPoolTest, TriggersFireInOrderOfIntervalThenOfAddition) {
  std::vector<int> order;
  auto note = [&](TCtlTimerPool*, int h, uint32_t, int) { order.push_back(h); };
  Pool->AddTrigger(300, note);  // 0
  Pool->AddTrigger(100, note);  // 1
  Pool->AddTrigger(100, note);  // 2
  Pool->AddTrigger(200, note);  // 3
  std::vector<int> all;
  Pool->OnAllTriggers = [&](TCtlTimerPool*, int h, uint32_t, int) { all.push_back(h); };
  Run(300);
  EXPECT_EQ((std::vector<int>{1, 2, 1, 2, 3, 1, 2, 0}), order);
  EXPECT_EQ(order, all);
}

TEST_F(TimerPoolTest, HandlesAfterRemoval) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(i, Pool->AddTrigger(100, nullptr));
  Pool->RemoveTrigger(2);
  EXPECT_EQ(2, Pool->AddTrigger(100, nullptr));
  Pool->RemoveTrigger(0);
  EXPECT_EQ(3, Pool->AddTrigger(100, nullptr));
  Pool->RemoveTrigger(42);  // unknown: nothing
  EXPECT_EQ(3, Pool->TriggerCount());
  EXPECT_THROW(Pool->SetTriggerEnabled(42, false), EInvalidTriggerHandle);
  EXPECT_THROW(Pool->SetTriggerEvent(0, nullptr), EInvalidTriggerHandle);
  try {
    Pool->SetTriggerEnabled(0, true);
  } catch (const EInvalidTriggerHandle& e) {
    EXPECT_EQ("Invalid trigger handle", e.Message());
  }
}

TEST_F(TimerPoolTest, DisablingTheOnlyTriggerStopsTheTimer) {
  int h = Pool->AddTrigger(100, Recorder());
  EXPECT_TRUE(HasWindowTimer());
  Pool->SetTriggerEnabled(h, false);
  EXPECT_FALSE(HasWindowTimer());
  EXPECT_EQ(0, Pool->ActiveCount());
  EXPECT_EQ(0u, Pool->Period());
  Run(500);
  EXPECT_TRUE(Fired.empty());
  Pool->SetTriggerEnabled(h, true);
  EXPECT_TRUE(HasWindowTimer());
  EXPECT_EQ(1, Pool->ActiveCount());
  // Overdue: the timer runs at the shortest period and fires it at its first tick.
  EXPECT_EQ(55u, Pool->Period());
  Run(55);
  ASSERT_EQ(1u, Fired.size());
  // Time counts from the last firing (here: when it was added), disabled time included.
  EXPECT_EQ(555, Fired[0].Elapsed);
  Pool->RemoveTrigger(h);
  EXPECT_FALSE(HasWindowTimer());
}

TEST_F(TimerPoolTest, ReplacedEventIsTheOneCalled) {
  int h = Pool->AddTrigger(100, Recorder());
  int other = 0;
  Pool->SetTriggerEvent(h, [&](TCtlTimerPool*, int, uint32_t, int) { ++other; });
  Run(200);
  EXPECT_TRUE(Fired.empty());
  EXPECT_EQ(2, other);
}

TEST_F(TimerPoolTest, EventThatRemovesItsOwnTriggerLeavesTheOthersFiring) {
  std::vector<int> order;
  int first = Pool->AddTrigger(100, [&](TCtlTimerPool* p, int h, uint32_t, int) {
    order.push_back(h);
    p->RemoveTrigger(h);
  });
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int h, uint32_t, int) { order.push_back(h); });
  std::vector<int> all;
  Pool->OnAllTriggers = [&](TCtlTimerPool*, int h, uint32_t, int) { all.push_back(h); };
  Run(250);
  EXPECT_EQ(1, Pool->TriggerCount());
  EXPECT_EQ((std::vector<int>{first, 1, 1}), order);
  EXPECT_EQ((std::vector<int>{1, 1}), all);
}

TEST_F(TimerPoolTest, EventThatFreesThePool) {
  int later = 0;
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int, uint32_t, int) { Pool.reset(); });
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int, uint32_t, int) { ++later; });
  Pool->OnAllTriggers = [&](TCtlTimerPool*, int, uint32_t, int) { ++later; };
  Run(300);
  EXPECT_EQ(nullptr, Pool);
  EXPECT_EQ(0, later);
  EXPECT_TRUE(WinState().Timers.empty());
}

TEST_F(TimerPoolTest, EventThatDisablesItselfRunsOnce) {
  int runs = 0;
  Pool->AddTrigger(100, [&](TCtlTimerPool* p, int h, uint32_t, int) {
    p->SetTriggerEnabled(h, false);
    ++runs;
  });
  Run(1000);
  EXPECT_EQ(1, runs);
  EXPECT_FALSE(HasWindowTimer());
}

TEST_F(TimerPoolTest, ExceptionFromAnEventGoesToTheApplicationAndThePoolGoesOn) {
  std::vector<AnsiString> shown;
  Application().OnException = [&](const Exception& e) { shown.push_back(e.Message()); };
  int second = 0;
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int, uint32_t, int) { throw Exception("trigger failed"); });
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int, uint32_t, int) { ++second; });
  Run(200);
  Application().OnException = nullptr;
  EXPECT_EQ((std::vector<AnsiString>{"trigger failed", "trigger failed"}), shown);
  EXPECT_EQ(0, second);  // the rest of that tick is not fired
}

TEST_F(TimerPoolTest, NestedPumpingInsideAnEvent) {
  // A long job inside a trigger lets pending messages run; the pool keeps serving its other triggers
  // and the running trigger does not fire again inside itself.
  int outer = 0, inner = 0, nestedOuter = 0;
  bool inside = false;
  Pool->AddTrigger(100, [&](TCtlTimerPool*, int, uint32_t, int) {
    if (inside) {
      ++nestedOuter;
      return;
    }
    inside = true;
    ++outer;
    for (int i = 0; i < 60; ++i) {
      Clock.Advance(1);
      Pump();
    }
    inside = false;
  });
  Pool->AddTrigger(55, [&](TCtlTimerPool*, int, uint32_t, int) { ++inner; });
  Run(120);
  EXPECT_EQ(1, outer);
  EXPECT_EQ(0, nestedOuter);
  EXPECT_GE(inner, 2);
}

}  // namespace
