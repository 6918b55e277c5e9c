#include "controls/ctlCustomControl.h"

#include "controls/ctlController.h"
#include "controls/ctlExcept.h"
#include "controls/ctlHelpers.h"
#include "controls/ctlMessages.h"
#include "platform/classlib/Forms.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Windows.h"

namespace {

TCtlController* FirstController(const TComponent* form) {
  if (!form) return nullptr;
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* c = dynamic_cast<TCtlController*>(form->Components(i))) return c;
  return nullptr;
}

// The main form's controller, looked up once and remembered until it is freed.
class TMainControllerMemo final : public TComponent {
public:
  TMainControllerMemo() : TComponent(nullptr) {}
  ~TMainControllerMemo() override {
    if (FController) FController->RemoveFreeNotification(this);
  }
  TCtlController* Get() {
    // Only a controller found is remembered: a main form may get its controller later.
    if (!FController) {
      FController = FirstController(Application().MainForm());
      if (FController) FController->FreeNotification(this);
    }
    return FController;
  }

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FController) FController = nullptr;
  }

private:
  TCtlController* FController = nullptr;
};

TMainControllerMemo& MainControllerMemo() {
  static TMainControllerMemo memo;
  return memo;
}

}  // namespace

// ---- TCtlAttachedLabel

TCtlAttachedLabel::TCtlAttachedLabel(TComponent* AOwner) : TLabel(AOwner) {
  SetAutoSize(true);
  SetParentFont(true);
  SetTransparent(false);
}

void TCtlAttachedLabel::SetControl(TCtlCustomControl* Value) {
  if (Value == FControl) return;
  if (FControl) FControl->RemoveFreeNotification(this);
  FControl = Value;
  if (FControl) FControl->FreeNotification(this);
  SetFocusControl(Value);
}

void TCtlAttachedLabel::tellControl() {
  if (!FControl || HasState(csLoading) || HasState(csDestroying)) return;
  // Only a label that shares its control's form speaks for it.
  if (FControl->Owner() != Owner() || !FControl->HandleAllocated()) return;
  SendMessage(FControl->Handle(), ctlm_AssignLabel, 0, reinterpret_cast<LPARAM>(this));
  PostMessage(FControl->Handle(), ctlm_RecordLabelPosition, 0, 0);
}

void TCtlAttachedLabel::SetBounds(int left, int top, int width, int height) {
  const bool moved = left != Left() || top != Top() || width != Width() || height != Height();
  TLabel::SetBounds(left, top, width, height);
  if (moved) tellControl();
}

void TCtlAttachedLabel::Loaded() {
  TLabel::Loaded();
  tellControl();
}

void TCtlAttachedLabel::Notification(TComponent* component, TOperation operation) {
  TLabel::Notification(component, operation);
  if (operation == opRemove && component == FControl) FControl = nullptr;
}

// ---- TCtlLabelInfo

void TCtlLabelInfo::SetOffsets(int X, int Y) {
  if (X == FOffsetX && Y == FOffsetY) return;
  FOffsetX = X;
  FOffsetY = Y;
  if (FOnOffsetChange) FOnOffsetChange();
}

void TCtlLabelInfo::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  if (FOnVisibleChange) FOnVisibleChange();
}

// ---- TCtlCustomControl

TCtlCustomControl::TCtlCustomControl(TComponent* AOwner) : TCustomControl(AOwner) {
  FLabelInfo.FOnVisibleChange = [this] { labelVisibleChanged(); };
  FLabelInfo.FOnOffsetChange = [this] { positionLabel(); };
}

TCtlCustomControl::~TCtlCustomControl() {
  FLabelInfo.FOnOffsetChange = nullptr;
  FLabelInfo.SetVisible(false);
  FLabelInfo.FOnVisibleChange = nullptr;
  if (FLabelInfo.FLabel) {
    // A label on no form of ours: let go of it without freeing it.
    FLabelInfo.FLabel->RemoveFreeNotification(this);
    FLabelInfo.FLabel->SetControl(nullptr);
    FLabelInfo.FLabel = nullptr;
  }
}

TComponent* TCtlCustomControl::labelForm() const {
  return dynamic_cast<TCustomForm*>(Owner()) ? Owner() : nullptr;
}

void TCtlCustomControl::labelVisibleChanged() {
  if (HasState(csLoading)) return;
  TComponent* form = labelForm();
  if (!form) return;
  if (TCtlAttachedLabel* old = FLabelInfo.FLabel) {
    FLabelInfo.FLabel = nullptr;
    old->RemoveFreeNotification(this);
    delete old;
  }
  if (!FLabelInfo.FVisible) return;
  const AnsiString name = UniqueComponentName(form, Name() + "Label");
  auto* label = new TCtlAttachedLabel(form);
  try {
    label->SetName(name);
  } catch (...) {
    delete label;
    throw;
  }
  label->SetCaption(name);
  FLabelInfo.FLabel = label;
  label->FreeNotification(this);
  label->SetParent(Parent());
  // The label is placed from the offsets below; until it is attached its moves tell no one.
  FLabelInfo.FOffsetX = 0;
  FLabelInfo.FOffsetY = 0;
  positionLabel();
  label->SetControl(this);
  label->BringToFront();
  label->SetVisible(Visible());
}

void TCtlCustomControl::positionLabel() {
  TCtlAttachedLabel* label = FLabelInfo.FLabel;
  if (!label || HasState(csLoading) || !label->Parent() || !FLabelInfo.FVisible) return;
  const int left = Left() + FLabelInfo.FOffsetX;
  const int top = FLabelBelow ? Top() + Height() + FLabelInfo.FOffsetY
                              : Top() + FLabelInfo.FOffsetY - label->Height();
  if (label->Left() != left || label->Top() != top) label->SetBounds(left, top, label->Width(), label->Height());
}

void TCtlCustomControl::readLabelOffset() {
  TCtlAttachedLabel* label = FLabelInfo.FLabel;
  if (!label) return;
  const int x = label->Left() - Left();
  const int y = FLabelBelow ? label->Top() - Top() - Height() : label->Top() + label->Height() - Top();
  FLabelInfo.FVisible = true;  // without its callback: the label stays
  if (x == FLabelInfo.FOffsetX && y == FLabelInfo.FOffsetY) return;
  FLabelInfo.FOffsetX = x;
  FLabelInfo.FOffsetY = y;
  positionLabel();
}

void TCtlCustomControl::SetLabelBelow(bool Value) {
  if (Value == FLabelBelow) return;
  FLabelBelow = Value;
  positionLabel();
}

TCtlAttachedLabel* TCtlCustomControl::AttachedLabel() const {
  if (!FLabelInfo.FVisible) throw Exception("Label not attached");
  return FLabelInfo.FLabel;
}

void TCtlCustomControl::SetBounds(int left, int top, int width, int height) {
  TCustomControl::SetBounds(left, top, width, height);
  if (HandleAllocated()) PostMessage(Handle(), ctlm_PositionLabel, 0, 0);
}

void TCtlCustomControl::SetVisible(bool v) {
  TCustomControl::SetVisible(v);
  if (!HasState(csLoading) && FLabelInfo.FVisible && FLabelInfo.FLabel) FLabelInfo.FLabel->SetVisible(v);
}

void TCtlCustomControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case ctlm_AfterEnter:
      if (AfterEnter) AfterEnter(this);
      return;
    case ctlm_AfterExit:
      if (AfterExit) AfterExit(this);
      return;
    case ctlm_PositionLabel:
      positionLabel();
      return;
    case ctlm_RecordLabelPosition:
      readLabelOffset();
      return;
    case ctlm_AssignLabel: {
      auto* label = reinterpret_cast<TCtlAttachedLabel*>(message.LParam);
      if (label && label != FLabelInfo.FLabel) {
        if (FLabelInfo.FLabel) FLabelInfo.FLabel->RemoveFreeNotification(this);
        FLabelInfo.FLabel = label;
        label->FreeNotification(this);
      }
      return;
    }
    case WM_MOUSEWHEEL:
      DoMouseWheel(MouseKeysToShiftState(LOWORD(message.WParam)), GET_WHEEL_DELTA_WPARAM(message.WParam),
                   GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam));
      return;
    default:
      TCustomControl::WndProc(message);
  }
}

void TCtlCustomControl::WMSetFocus(TMessage& m) {
  TCustomControl::WMSetFocus(m);
  if (HandleAllocated()) PostMessage(Handle(), ctlm_AfterEnter, 0, 0);
}

void TCtlCustomControl::WMKillFocus(TMessage& m) {
  TCustomControl::WMKillFocus(m);
  if (HandleAllocated()) PostMessage(Handle(), ctlm_AfterExit, 0, 0);
}

void TCtlCustomControl::DoMouseWheel(TShiftState Shift, int Delta, int XPos, int YPos) {
  if (OnMouseWheel) OnMouseWheel(this, Shift, Delta, XPos, YPos);
}

void TCtlCustomControl::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != opRemove || !component || component != FLabelInfo.FLabel) return;
  FLabelInfo.FLabel = nullptr;
  // The label was freed by someone else: the control no longer shows one.
  if (!(Owner() && Owner()->HasState(csDestroying))) FLabelInfo.FVisible = false;
}

// ---- TCtlCustomControlEx

TCtlCustomControlEx::TCtlCustomControlEx(TComponent* AOwner) : TCtlCustomControl(AOwner) {}

TCtlCustomControlEx::~TCtlCustomControlEx() {
  if (FController) FController->RemoveFreeNotification(this);
}

void TCtlCustomControlEx::SetController(TCtlController* Value) {
  if (Value == FController) return;
  if (FController) FController->RemoveFreeNotification(this);
  FController = Value;
  if (FController) FController->FreeNotification(this);
}

void TCtlCustomControlEx::CreateWnd() {
  TCustomForm* form = GetParentForm(this);
  if (HasState(csDesigning)) {
    if (form && !HasState(csLoading) && !FirstController(form)) {
      auto* c = new TCtlController(form);
      try {
        c->SetName("CtlController1");
      } catch (...) {
        delete c;
        throw;
      }
    }
  } else if (!FController) {
    TCtlController* found = FirstController(form);
    if (!found) found = MainControllerMemo().Get();
    if (!found) throw ENoControllerAssigned();
    SetController(found);
  }
  TCtlCustomControl::CreateWnd();
}

void TCtlCustomControlEx::Notification(TComponent* component, TOperation operation) {
  TCtlCustomControl::Notification(component, operation);
  if (operation == opRemove && component == FController) {
    FController = nullptr;
  } else if (operation == opInsert && !FController) {
    if (auto* c = dynamic_cast<TCtlController*>(component)) SetController(c);
  }
}
