#include "framework/forms/QsDbCtrl.h"

#include "platform/gdi/DrawText.h"

void SetLinkedControl(TComponent* holder, TWinControl*& field, TWinControl* value) {
  // The old link stays registered: another field may still hold the same control, and a stale
  // notice only clears fields that match.
  field = value;
  if (value) value->FreeNotification(holder);
}

// ---- TQsPanel ----

void TQsPanel::Paint() {
  if (!Transparent()) {
    TPanel::Paint();
    return;
  }
  TCanvas& c = Canvas();
  TRect r = ClientRect();
  auto bevel = [&](TPanelBevel b) {
    if (b == bvNone) return;
    if (b == bvSpace) {
      Frame3D(c, r, Color(), Color(), BevelWidth());
      return;
    }
    bool raised = b == bvRaised;
    Frame3D(c, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, BevelWidth());
  };
  bevel(BevelOuter());
  Frame3D(c, r, Color(), Color(), BorderWidth());
  bevel(BevelInner());
  if (Caption().empty()) return;
  c.Font().Assign(&Font());
  c.Brush().SetStyle(bsClear);
  // The caption sits in a band one "W" high across the middle of the client area.
  const int band = c.TextHeight("W");
  const int top = (ClientHeight() - band) / 2;
  TRect text = Rect(r.Left, top, r.Right, top + band);
  static constexpr unsigned align[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  c.DrawText(Caption(), text, DT_SINGLELINE | DT_EXPANDTABS | align[Alignment()]);
}

// ---- TQsGroupBox ----

void TQsGroupBox::SetNextControl(TWinControl* Value) { SetLinkedControl(this, FNextControl, Value); }
void TQsGroupBox::SetPrevControl(TWinControl* Value) { SetLinkedControl(this, FPrevControl, Value); }

void TQsGroupBox::Notification(TComponent* AComponent, TOperation Operation) {
  TQsTransparentControl<TGroupBox>::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FNextControl) FNextControl = nullptr;
  if (AComponent == FPrevControl) FPrevControl = nullptr;
}
