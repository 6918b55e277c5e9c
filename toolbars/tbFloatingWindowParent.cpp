#include "toolbars/tbFloatingWindowParent.h"

#include "platform/win/VirtualKeys.h"
#include "toolbars/tbToolWindow.h"

TtbFloatingWindowParent::TtbFloatingWindowParent(TComponent* AOwner) : TCustomForm(AOwner) {
  SetBorderStyle(bsNone);
  SetBounds(0, 0, 0, 0);
  SetShowHint(true);
}

TtbFloatingWindowParent::~TtbFloatingWindowParent() {
  if (FParentForm) FParentForm->RemoveFreeNotification(this);
}

void TtbFloatingWindowParent::SetParentForm(TCustomForm* form) {
  if (form == FParentForm) return;
  if (FParentForm) FParentForm->RemoveFreeNotification(this);
  FParentForm = form;
  if (form) form->FreeNotification(this);
}

TtbCustomToolWindow* TtbFloatingWindowParent::ToolWindow() const {
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* w = dynamic_cast<TtbCustomToolWindow*>(Controls(i))) return w;
  return nullptr;
}

void TtbFloatingWindowParent::CreateParams(TCreateParams& params) {
  TCustomForm::CreateParams(params);
  // Never shown: it only holds the tool window, which floats as its own pop-up.
  params.Style = WS_POPUP;
  params.ExStyle = WS_EX_TOOLWINDOW;
}

void TtbFloatingWindowParent::Notification(TComponent* component, TOperation operation) {
  TCustomForm::Notification(component, operation);
  if (operation != opRemove || component != FParentForm) return;
  FParentForm = nullptr;
  TtbCustomToolWindow* w = ToolWindow();
  if (!w) {
    Application().PostCallback([alive = Liveness(), this] {
      if (!alive.expired() && !ToolWindow()) delete this;
    });
    return;
  }
  // The tool window leaving frees this host: nothing may touch it after this call.
  if (w->FloatingMode() != afmOnTopOfAllForms) w->SetParent(nullptr);
}

void TtbFloatingWindowParent::CMDialogKey(TMessage& m) {
  if (m.WParam == VK_ESCAPE && KeyboardStateToShiftState() == 0 && FParentForm) {
    FParentForm->SetFocus();
    m.Result = 1;
    return;
  }
  TCustomForm::CMDialogKey(m);
}
