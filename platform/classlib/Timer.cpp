#include "platform/classlib/Timer.h"

#include "platform/classlib/Forms.h"
#include "platform/win/MessageQueue.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner) { updateTimer(); }

TTimer::~TTimer() {
  if (FId) KillTimer(0, FId);
}

void TTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  updateTimer();
}

void TTimer::SetInterval(unsigned v) {
  if (v == FInterval) return;
  FInterval = v;
  updateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  updateTimer();
}

void TTimer::updateTimer() {
  if (FId) {
    KillTimer(0, FId);
    FId = 0;
  }
  if (!FEnabled || FInterval == 0 || HasState(csLoading) || HasState(csDesigning)) return;
  std::weak_ptr<const void> alive = Liveness();
  FId = SetTimer(0, 0, FInterval, [this, alive](HWND, UINT, uintptr_t, uint32_t) {
    if (alive.expired()) return;
    // As for a window's message: the error is shown and the timer goes on.
    try {
      Timer();
    } catch (...) {
      Application().HandleCurrentException();
    }
  });
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}
