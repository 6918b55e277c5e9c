#include "framework/forms/BxDBCtrl.h"

TBxDBLabel::TBxDBLabel(TComponent* AOwner) : TBxCustomLabel(AOwner) {
  // Each change of the field's value, or of which field it is, shows and measures anew.
  FDataLink->OnDataChange = [this](TObject*) { Changed(true); };
}

// The link leaves its source before the label is gone, so no change reaches a freed label.
TBxDBLabel::~TBxDBLabel() { FDataLink.reset(); }

void TBxDBLabel::SetDataSource(TDataSource* value) { FDataLink->SetDataSource(value); }

AnsiString TBxDBLabel::GetLabelText() {
  if (HasState(csDesigning)) return Name();
  TField* field = FDataLink->Field();
  return field ? field->DisplayText() : AnsiString();
}
