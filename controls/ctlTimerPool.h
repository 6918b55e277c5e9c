// Timer pool: any number of periodic triggers served by one window timer on one hidden window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/AnsiString.h"
#include "platform/classlib/Classes.h"
#include "platform/win/WinTypes.h"

class TCtlTimerPool;

// An event counts as assigned when the function is not empty.
using TTriggerEvent =
    std::function<void(TCtlTimerPool* Sender, int Handle, uint32_t Interval, int ElapsedTime)>;

constexpr uint32_t ctlMinTriggerInterval = 55;

class TCtlTimerPool : public TComponent {
public:
  explicit TCtlTimerPool(TComponent* AOwner = nullptr);
  ~TCtlTimerPool() override;

  // Returns the new trigger's handle; intervals below 55 ms become 55 ms.
  int AddTrigger(uint32_t Interval, TTriggerEvent Event);
  // An unknown handle is ignored.
  void RemoveTrigger(int Handle);
  // These raise EInvalidTriggerHandle for an unknown handle.
  void SetTriggerEvent(int Handle, TTriggerEvent Event);
  void SetTriggerEnabled(int Handle, bool Enabled);

  uint32_t Period() const { return FPeriod; }
  int ActiveCount() const { return FActiveCount; }
  int TriggerCount() const { return static_cast<int>(FTriggers.size()); }
  AnsiString About() const { return "v3.07"; }
  void SetAbout(const AnsiString&) {}
  // The hidden window that carries the timer.
  HWND WindowHandle() const { return FWindowHandle; }

  // Called after each trigger's own event.
  TTriggerEvent OnAllTriggers;

protected:
  // Fires every enabled trigger that is due; run for each timer message.
  virtual void FireTriggers();

private:
  struct TTriggerRec {
    int Handle = 0;
    int ElapsedTime = 0;
    uint32_t Interval = 0;
    int32_t LastFire = 0;
    TTriggerEvent Event;
    bool Enabled = false;
    bool Recurring = false;
    uint64_t Serial = 0;  // tells a record apart from a later one at the same address
  };

  LRESULT poolWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  TTriggerRec* find(int handle) const;
  int indexOfSerial(uint64_t serial) const;
  void recount();
  void calcPeriod();
  void sortByInterval();
  void restartTimer();

  std::vector<std::unique_ptr<TTriggerRec>> FTriggers;
  HWND FWindowHandle = 0;
  uint32_t FPeriod = 0;
  int FActiveCount = 0;
  uint64_t FNextSerial = 1;
};
