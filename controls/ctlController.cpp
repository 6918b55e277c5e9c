#include "controls/ctlController.h"

#include "controls/ctlCustomControl.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "controls/ctlMsgBox.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Controls.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

TCtlController::TCtlController(TComponent* AOwner)
    : TCtlComponent(AOwner),
      FEntryCommands(std::make_unique<TCtlCommandProcessor>()),
      FEpoch(CenturyOfToday()),
      FTimerPool(std::make_unique<TCtlTimerPool>()) {
  FTimerPool->OnAllTriggers = [this](TCtlTimerPool* Sender, int Handle, uint32_t Interval, int ElapsedTime) {
    if (OnTimerTrigger) OnTimerTrigger(Sender, Handle, Interval, ElapsedTime);
  };
  // The owner's insert notice came while this was not yet a controller: controls of the form that
  // have none adopt it now.
  if (TComponent* form = Owner())
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (auto* control = dynamic_cast<TCtlCustomControlEx*>(form->Components(i)))
        if (!control->Controller()) control->SetController(this);
}

TCtlController::~TCtlController() {
  FTimerPool.reset();
  FEntryCommands.reset();
  DeallocateHWnd(FWindowHandle);
}

int TCtlController::GetEpoch() {
  int epoch = FEpoch;
  if (OnGetEpoch) OnGetEpoch(this, epoch);
  return epoch;
}

void TCtlController::SetEpoch(int Value) {
  if (Value == FEpoch || Value < ctlMinEpoch || Value > ctlMaxEpoch) return;
  FEpoch = Value;
}

HWND TCtlController::WindowHandle() {
  if (!FWindowHandle || !IsWindow(FWindowHandle))
    FWindowHandle = AllocateHWnd(
        [this](TMessage& m) { m.Result = controllerWndProc(FWindowHandle, m.Msg, m.WParam, m.LParam); });
  return FWindowHandle;
}

bool TCtlController::IsSpecialControl(HWND Handle) {
  if (!OnIsSpecialControl) return false;
  bool special = false;
  OnIsSpecialControl(this, FindControl(Handle), special);
  return special;
}

void TCtlController::DoOnError(TComponent* Field, uint16_t ErrorCode, const AnsiString& ErrorMsg) {
  if (OnError) OnError(Field, ErrorCode, ErrorMsg);
  else CtlMessageBox(ErrorMsg, MB_ICONERROR | MB_OK, 0);
}

void TCtlController::PostPreEdit(TComponent* Field, HWND LosingControl) {
  post(ctlm_PreEdit, LosingControl, Field);
}

void TCtlController::PostPostEdit(TComponent* Field, HWND GainingControl) {
  post(ctlm_PostEdit, GainingControl, Field);
}

void TCtlController::PostSetFocus(TWinControl* Control) { post(ctlm_SetFocus, 0, Control); }

void TCtlController::DelayNotify(TComponent* Sender, uint16_t NotifyCode) {
  post(ctlm_DelayNotify, NotifyCode, Sender);
}

void TCtlController::post(UINT msg, WPARAM wp, TComponent* target) {
  HWND h = WindowHandle();
  if (!h) return;
  const LPARAM notice = FNextNotice++;
  FNotices[notice] = TNoticeTarget{target, target ? target->Liveness() : std::weak_ptr<const void>()};
  if (!PostMessage(h, msg, wp, notice)) FNotices.erase(notice);
}

LRESULT TCtlController::controllerWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg < ctlm_First || msg > ctlm_Last) return DefWindowProc(hwnd, msg, wp, lp);
  auto it = FNotices.find(lp);
  if (it == FNotices.end()) return DefWindowProc(hwnd, msg, wp, lp);
  TNoticeTarget target = it->second;
  FNotices.erase(it);
  // The object the notice is about went away while the notice waited.
  if (target.Object && target.Alive.expired()) return 0;
  try {
    handleNotice(msg, wp, target.Object);
  } catch (...) {
    Application().HandleCurrentException();
  }
  return 0;
}

void TCtlController::handleNotice(UINT msg, WPARAM wp, TComponent* target) {
  switch (msg) {
    case ctlm_PreEdit:
      if (OnPreEdit) OnPreEdit(target, FindControl(static_cast<HWND>(wp)));
      break;
    case ctlm_PostEdit:
      if (OnPostEdit) OnPostEdit(target, FindControl(static_cast<HWND>(wp)));
      break;
    case ctlm_SetFocus:
      if (auto* control = dynamic_cast<TWinControl*>(target)) {
        control->Show();
        if (control->CanFocus()) control->SetFocus();
      }
      break;
    case ctlm_DelayNotify:
      if (OnDelayNotify) OnDelayNotify(target, LOWORD(wp));
      break;
    default:
      break;
  }
}
