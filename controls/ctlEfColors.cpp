#include "controls/ctlEfColors.h"

TCtlEfColors::TCtlEfColors()
    : FDisabled(clGrayText, clWindow), FError(clBlack, clRed), FHighlight(clHighlightText, clHighlight) {
  for (TCtlColors* c : {&FDisabled, &FError, &FHighlight})
    c->OnChange = [this] {
      if (OnChange) OnChange();
    };
}

void TCtlEfColors::Assign(const TPersistent* Source) {
  auto* other = dynamic_cast<const TCtlEfColors*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  FDisabled.Assign(&other->FDisabled);
  FError.Assign(&other->FError);
  FHighlight.Assign(&other->FHighlight);
}
