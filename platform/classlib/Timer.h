// The timer component: OnTimer every Interval milliseconds while Enabled, run from the message loop.
#pragma once

#include "platform/classlib/Classes.h"

class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  AnsiString ClassName() const override { return "TTimer"; }

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  unsigned Interval() const { return FInterval; }
  // 0 stops the timer; setting it again starts the count afresh.
  void SetInterval(unsigned v);
  TNotifyEvent OnTimer;

protected:
  virtual void Timer();
  void Loaded() override;

private:
  void updateTimer();
  bool FEnabled = true;
  unsigned FInterval = 1000;
  uintptr_t FId = 0;
};
