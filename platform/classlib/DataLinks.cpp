#include "platform/classlib/DataLinks.h"

#include <algorithm>

TDataLink::~TDataLink() {
  if (FDataSource) std::erase(FDataSource->FDataLinks, this);
}

void TDataLink::SetDataSource(TDataSource* value) {
  if (value == FDataSource) return;
  if (FDataSource) std::erase(FDataSource->FDataLinks, this);
  FDataSource = value;
  if (value) value->FDataLinks.push_back(this);
  SourceChanged();
}

void TDataLink::UpdateState() {
  TDataSet* set = DataSet();
  bool active = set && set->Active();
  if (active != FActive) {
    FActive = active;
    ActiveChanged();
  }
  bool editing = active && IsEditState(set->State());
  if (editing != FEditing) {
    FEditing = editing;
    EditingChanged();
  }
}

void TDataLink::SourceChanged() {
  bool wasActive = FActive;
  UpdateState();
  if (wasActive && FActive) LayoutChanged();
}

void TDataLink::DataEvent(TDataEvent event, TField* field) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!FActive) return;
  switch (event) {
    case deFieldChange: RecordChanged(field); break;
    case deRecordChange: RecordChanged(nullptr); break;
    case deDataSetChange: DataSetChanged(); break;
    case deDataSetScroll: DataSetScrolled(); break;
    case deLayoutChange:
    case deFieldListChange: LayoutChanged(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    default: break;
  }
}

// ---- TFieldDataLink ----

void TFieldDataLink::SetFieldName(const AnsiString& value) {
  if (value == FFieldName) return;
  FFieldName = value;
  updateField();
  dataChanged();
}

bool TFieldDataLink::updateField() {
  TDataSet* set = DataSet();
  TField* f = Active() && set && !FFieldName.empty() ? set->FindField(FFieldName) : nullptr;
  bool changed = f != FField;
  FField = f;
  return changed;
}

void TFieldDataLink::dataChanged() {
  if (OnDataChange) OnDataChange(this);
}

void TFieldDataLink::ActiveChanged() {
  updateField();
  dataChanged();
  if (OnActiveChange) OnActiveChange(this);
}

void TFieldDataLink::LayoutChanged() {
  updateField();
  dataChanged();
}

void TFieldDataLink::RecordChanged(TField* field) {
  if (!field || field == FField) dataChanged();
}

// ---- TMasterDataLink ----

void TMasterDataLink::SetFieldNames(const AnsiString& value) {
  if (value == FFieldNames) return;
  FFieldNames = value;
  updateFields();
  if (Active() && OnMasterChange) OnMasterChange(this);
}

void TMasterDataLink::updateFields() {
  FFields.clear();
  TDataSet* set = DataSet();
  if (!Active() || !set) return;
  for (const AnsiString& name : SplitFieldNames(FFieldNames))
    if (TField* f = set->FindField(name)) FFields.push_back(f);
}

void TMasterDataLink::ActiveChanged() {
  updateFields();
  if (Active()) {
    if (OnMasterChange) OnMasterChange(this);
  } else if (OnMasterDisable) {
    OnMasterDisable(this);
  }
}

void TMasterDataLink::LayoutChanged() { updateFields(); }

void TMasterDataLink::RecordChanged(TField* field) {
  if (FFields.empty() || !DataSet() || IsEditState(DataSet()->State())) return;
  if (!field || std::ranges::find(FFields, field) != FFields.end())
    if (OnMasterChange) OnMasterChange(this);
}

void TMasterDataLink::CheckBrowseMode() {
  if (FDetail && FDetail->Active()) FDetail->CheckBrowseMode();
}
