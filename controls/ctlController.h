// The controller of a form's entry controls: key translation, entry options, the century epoch,
// the last error, the insert state, a timer pool and a hidden window for deferred notices.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "controls/ctlBase.h"
#include "controls/ctlCommand.h"
#include "controls/ctlTimerPool.h"
#include "platform/win/WinTypes.h"

class TWinControl;
class TCtlController;

enum TCtlBaseEFOption : uint8_t {
  efoAutoAdvanceChar, efoAutoAdvanceLeftRight, efoAutoAdvanceUpDown, efoAutoSelect, efoBeepOnError,
  efoInsertPushes,
};

// A set of entry options; bit n is member n.
class TCtlBaseEFOptions {
public:
  TCtlBaseEFOptions() = default;
  TCtlBaseEFOptions(std::initializer_list<TCtlBaseEFOption> members) {
    for (TCtlBaseEFOption m : members) FBits |= bit(m);
  }
  bool Contains(TCtlBaseEFOption m) const { return FBits & bit(m); }
  TCtlBaseEFOptions& Include(TCtlBaseEFOption m) { FBits |= bit(m); return *this; }
  TCtlBaseEFOptions& Exclude(TCtlBaseEFOption m) { FBits &= static_cast<uint8_t>(~bit(m)); return *this; }
  uint8_t Bits() const { return FBits; }
  friend bool operator==(TCtlBaseEFOptions, TCtlBaseEFOptions) = default;

private:
  static uint8_t bit(TCtlBaseEFOption m) { return static_cast<uint8_t>(1u << m); }
  uint8_t FBits = 0;
};

using TCtlDelayNotifyEvent = std::function<void(TComponent* Sender, uint16_t NotifyCode)>;
using TCtlErrorEvent = std::function<void(TComponent* Sender, uint16_t ErrorCode, const AnsiString& ErrorMsg)>;
using TCtlGetEpochEvent = std::function<void(TCtlController* Sender, int& Epoch)>;
using TCtlIsSpecialControlEvent = std::function<void(TCtlController* Sender, TWinControl* Control, bool& Special)>;
using TCtlPreEditEvent = std::function<void(TComponent* Sender, TWinControl* LosingControl)>;
using TCtlPostEditEvent = std::function<void(TComponent* Sender, TWinControl* GainingControl)>;

constexpr int ctlMinEpoch = 1600;
constexpr int ctlMaxEpoch = 3999;

class TCtlController : public TCtlComponent {
public:
  explicit TCtlController(TComponent* AOwner = nullptr);
  ~TCtlController() override;

  TCtlBaseEFOptions EntryOptions() const { return FEntryOptions; }
  void SetEntryOptions(TCtlBaseEFOptions Value) { FEntryOptions = Value; }
  TCtlCommandProcessor& EntryCommands() const { return *FEntryCommands; }
  // The stored epoch, which OnGetEpoch may replace on every read.
  int GetEpoch();
  // Years outside 1600..3999 are ignored.
  void SetEpoch(int Value);
  bool ErrorPending() const { return FErrorPending; }
  void SetErrorPending(bool Value) { FErrorPending = Value; }
  const AnsiString& ErrorText() const { return FErrorText; }
  void SetErrorText(const AnsiString& Value) { FErrorText = Value; }
  bool InsertState() const { return FInsertState; }
  void SetInsertState(bool Value) { FInsertState = Value; }
  TCtlTimerPool& TimerPool() const { return *FTimerPool; }
  // The hidden window, made on first use.
  HWND WindowHandle();

  // Asked by a field that loses the focus to another control of its form.
  virtual bool IsSpecialControl(HWND Handle);
  // OnError when assigned, else a modal error box with one OK button.
  void DoOnError(TComponent* Field, uint16_t ErrorCode, const AnsiString& ErrorMsg);

  // Deferred notices through the hidden window. A notice whose sender, field or control is freed
  // before it comes up is dropped.
  void PostPreEdit(TComponent* Field, HWND LosingControl);
  void PostPostEdit(TComponent* Field, HWND GainingControl);
  // Shows the control and gives it the focus when it can take it: how a field that failed its
  // validation gets the focus back.
  void PostSetFocus(TWinControl* Control);
  void DelayNotify(TComponent* Sender, uint16_t NotifyCode);

  TCtlDelayNotifyEvent OnDelayNotify;
  TCtlErrorEvent OnError;
  TCtlGetEpochEvent OnGetEpoch;
  TCtlIsSpecialControlEvent OnIsSpecialControl;
  TCtlPostEditEvent OnPostEdit;
  TCtlPreEditEvent OnPreEdit;
  TTriggerEvent OnTimerTrigger;

private:
  struct TNoticeTarget {
    TComponent* Object = nullptr;
    std::weak_ptr<const void> Alive;
  };

  LRESULT controllerWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void handleNotice(UINT msg, WPARAM wp, TComponent* target);
  void post(UINT msg, WPARAM wp, TComponent* target);

  TCtlBaseEFOptions FEntryOptions{efoAutoSelect, efoBeepOnError, efoInsertPushes};
  std::unique_ptr<TCtlCommandProcessor> FEntryCommands;
  int FEpoch = 0;
  bool FErrorPending = false;
  AnsiString FErrorText;
  HWND FWindowHandle = 0;
  bool FInsertState = true;
  std::unique_ptr<TCtlTimerPool> FTimerPool;
  // What the queued notices refer to, by the number each carries in lParam.
  std::map<LPARAM, TNoticeTarget> FNotices;
  LPARAM FNextNotice = 1;
};
