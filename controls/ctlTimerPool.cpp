#include "controls/ctlTimerPool.h"

#include <climits>

#include "controls/ctlExcept.h"
#include "platform/rtl/Ticks.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Controls.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

namespace {

constexpr uintptr_t PoolTimerId = 1;
// A trigger counts as due this much before its full interval, so that a timer tick that comes a
// little early does not push it a whole period late.
constexpr int32_t DueSlack = 27;

int32_t Now() { return static_cast<int32_t>(GetTickCount()); }

// Signed 32-bit arithmetic that wraps, as the tick count does.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

int32_t SinceLast(int32_t now, int32_t last) {
  if (now >= last) return Wrap(int64_t(now) - last);
  // The tick count has passed its largest value and gone negative.
  return Wrap((int64_t(INT32_MAX) - last) + (int64_t(now) - INT32_MIN));
}

}  // namespace

TCtlTimerPool::TCtlTimerPool(TComponent* AOwner) : TComponent(AOwner) {
  FWindowHandle = AllocateHWnd(
      [this](TMessage& m) { m.Result = poolWndProc(FWindowHandle, m.Msg, m.WParam, m.LParam); });
}

TCtlTimerPool::~TCtlTimerPool() {
  FPeriod = 0;
  try {
    restartTimer();
  } catch (...) {
  }
  FTriggers.clear();
  DeallocateHWnd(FWindowHandle);
}

LRESULT TCtlTimerPool::poolWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_TIMER) return DefWindowProc(hwnd, msg, wp, lp);
  try {
    FireTriggers();
  } catch (...) {
    Application().HandleCurrentException();
  }
  return 0;
}

TCtlTimerPool::TTriggerRec* TCtlTimerPool::find(int handle) const {
  for (const auto& t : FTriggers)
    if (t->Handle == handle) return t.get();
  return nullptr;
}

int TCtlTimerPool::indexOfSerial(uint64_t serial) const {
  for (std::size_t i = 0; i < FTriggers.size(); ++i)
    if (FTriggers[i]->Serial == serial) return static_cast<int>(i);
  return -1;
}

int TCtlTimerPool::AddTrigger(uint32_t Interval, TTriggerEvent Event) {
  auto rec = std::make_unique<TTriggerRec>();
  rec->Enabled = true;
  rec->Recurring = true;
  int handle = 0;
  for (const auto& t : FTriggers) handle = std::max(handle, t->Handle + 1);
  rec->Handle = handle;
  rec->LastFire = Now();
  rec->Interval = Interval < ctlMinTriggerInterval ? ctlMinTriggerInterval : Interval;
  rec->Event = std::move(Event);
  rec->Serial = FNextSerial++;
  FTriggers.push_back(std::move(rec));
  recount();
  calcPeriod();
  sortByInterval();
  restartTimer();
  return handle;
}

void TCtlTimerPool::RemoveTrigger(int Handle) {
  for (auto it = FTriggers.begin(); it != FTriggers.end(); ++it) {
    if ((*it)->Handle != Handle) continue;
    FTriggers.erase(it);
    recount();
    calcPeriod();
    restartTimer();
    return;
  }
}

void TCtlTimerPool::SetTriggerEvent(int Handle, TTriggerEvent Event) {
  TTriggerRec* t = find(Handle);
  if (!t) throw EInvalidTriggerHandle();
  t->Event = std::move(Event);
}

void TCtlTimerPool::SetTriggerEnabled(int Handle, bool Enabled) {
  TTriggerRec* t = find(Handle);
  if (!t) throw EInvalidTriggerHandle();
  if (t->Enabled == Enabled) return;
  t->Enabled = Enabled;
  recount();
  calcPeriod();
  restartTimer();
}

void TCtlTimerPool::FireTriggers() {
  const int32_t now = Now();
  const std::weak_ptr<const void> alive = Liveness();
  std::size_t index = 0;
  while (index < FTriggers.size()) {
    TTriggerRec& t = *FTriggers[index];
    if (!t.Enabled) {
      ++index;
      continue;
    }
    const int32_t sinceLast = SinceLast(now, t.LastFire);
    if (sinceLast < Wrap(int64_t(static_cast<int32_t>(t.Interval)) - DueSlack)) {
      ++index;
      continue;
    }
    t.LastFire = now;
    t.ElapsedTime = INT32_MAX - t.ElapsedTime < sinceLast ? INT32_MAX : t.ElapsedTime + sinceLast;
    // The event may remove this trigger, change the list or free the pool: work from copies and
    // look again afterwards.
    const int handle = t.Handle;
    const uint32_t interval = t.Interval;
    const int elapsed = t.ElapsedTime;
    const uint64_t serial = t.Serial;
    if (t.Event) {
      TTriggerEvent event = t.Event;
      event(this, handle, interval, elapsed);
      if (alive.expired()) return;
    }
    int at = indexOfSerial(serial);
    if (at < 0) continue;  // removed: the next trigger now sits at this index
    if (OnAllTriggers) {
      TTriggerEvent all = OnAllTriggers;
      all(this, handle, interval, elapsed);
      if (alive.expired()) return;
      at = indexOfSerial(serial);
      if (at < 0) continue;
    }
    index = static_cast<std::size_t>(at) + 1;
  }
}

void TCtlTimerPool::recount() {
  FActiveCount = 0;
  for (const auto& t : FTriggers)
    if (t->Enabled) ++FActiveCount;
}

void TCtlTimerPool::calcPeriod() {
  const int32_t now = Now();
  bool any = false;
  int32_t smallest = INT32_MAX;
  for (const auto& t : FTriggers) {
    if (!t->Enabled) continue;
    const int32_t interval = static_cast<int32_t>(t->Interval);
    const int32_t elapsed = t->LastFire > now ? INT32_MAX : Wrap(int64_t(now) - t->LastFire);
    const int32_t toDue = Wrap(int64_t(interval) - elapsed);
    if (!any || interval < smallest) smallest = interval;
    if (toDue < smallest) smallest = toDue;
    any = true;
  }
  if (!any) {
    FPeriod = 0;
    return;
  }
  uint32_t b = smallest < int32_t(ctlMinTriggerInterval) ? ctlMinTriggerInterval : uint32_t(smallest);
  // Shrink to a period that divides every interval, unless that gets too short to be worth it.
  bool again = true;
  while (again && b > ctlMinTriggerInterval) {
    again = false;
    for (const auto& t : FTriggers) {
      const uint32_t rest = t->Interval % b;
      if (rest != 0) {
        b -= rest;
        again = true;
        break;
      }
    }
  }
  FPeriod = b < ctlMinTriggerInterval ? ctlMinTriggerInterval : b;
}

void TCtlTimerPool::sortByInterval() {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (std::size_t i = 0; i + 1 < FTriggers.size(); ++i) {
      if (FTriggers[i + 1]->Interval < FTriggers[i]->Interval) {
        std::swap(FTriggers[i], FTriggers[i + 1]);
        swapped = true;
      }
    }
  }
}

void TCtlTimerPool::restartTimer() {
  KillTimer(FWindowHandle, PoolTimerId);
  if (FPeriod != 0 && FActiveCount > 0) {
    if (!FWindowHandle || SetTimer(FWindowHandle, PoolTimerId, FPeriod) == 0) throw ENoTimersAvailable();
  }
}
