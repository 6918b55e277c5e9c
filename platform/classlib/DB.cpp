#include "platform/classlib/DB.h"

#include <algorithm>

namespace {

template <class T>
void Erase(std::vector<T*>& v, T* item) {
  v.erase(std::remove(v.begin(), v.end(), item), v.end());
}

template <class T>
bool Holds(const std::vector<T*>& v, const T* item) {
  return std::find(v.begin(), v.end(), item) != v.end();
}

bool Editing(TDataSetState s) { return s == dsEdit || s == dsInsert; }

}  // namespace

// ---- TField ----

TField::TField(TComponent* AOwner) : TComponent(AOwner) {}

TField::~TField() {
  if (FDataSet) FDataSet->removeField(this);
}

void TField::SetDataSet(TDataSet* value) {
  if (value == FDataSet) return;
  if ((FDataSet && FDataSet->Active()) || (value && value->Active()))
    throw EDatabaseError("Cannot perform this operation on an open dataset");
  if (value && !FFieldName.empty() && value->FindField(FFieldName))
    throw EDatabaseError("Duplicate field name '%s'", {FFieldName});
  if (FDataSet) FDataSet->removeField(this);
  if (value) value->addField(this);
}

void TField::SetFieldName(const AnsiString& value) {
  if (value == FFieldName) return;
  if (FDataSet && !value.empty())
    if (TField* other = FDataSet->FindField(value); other && other != this)
      throw EDatabaseError("Duplicate field name '%s'", {value});
  FFieldName = value;
  if (FDataSet) FDataSet->DataEvent(deFieldListChange);
}

AnsiString TField::AsString() const {
  AnsiString value;
  if (!FDataSet || !FDataSet->Active() || !FDataSet->GetFieldData(this, value)) return AnsiString();
  return value;
}

void TField::SetAsString(const AnsiString& value) {
  if (!FDataSet) throw EDatabaseError("Field '%s' has no dataset", {FFieldName});
  FDataSet->CheckActive();
  if (!Editing(FDataSet->State())) throw EDatabaseError("Dataset not in edit or insert mode");
  FDataSet->SetFieldData(this, value);
  FDataSet->DataEvent(deFieldChange, this);
}

AnsiString TField::DisplayText() {
  AnsiString text;
  if (OnGetText) OnGetText(this, text, true);
  else text = GetText(true);
  return text;
}

// ---- TDataSet ----

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet() {
  // The subclass has closed its records; what is left is to let go of sources and fields.
  FActive = false;
  FState = dsInactive;
  while (!FDataSources.empty()) FDataSources.back()->SetDataSet(nullptr);
  for (TField* f : FFields) f->FDataSet = nullptr;
  FFields.clear();
}

void TDataSet::SetActive(bool value) {
  if (value == FActive) return;
  if (value) {
    InternalOpen();
    bool any = false;
    try {
      any = InternalFirst();
    } catch (...) {
      InternalClose();
      throw;
    }
    FActive = true;
    SetBofEof(true, !any);
    SetState(dsBrowse);
    return;
  }
  if (Editing(FState)) Cancel();
  // Closed whatever the source says on the way out.
  auto markClosed = [this] {
    FActive = false;
    SetBofEof(true, true);
    SetState(dsInactive);
  };
  try {
    InternalClose();
  } catch (...) {
    markClosed();
    throw;
  }
  markClosed();
}

TField* TDataSet::FindField(const AnsiString& name) const {
  for (TField* f : FFields)
    if (SameText(f->FieldName(), name)) return f;
  return nullptr;
}

TField* TDataSet::FieldByName(const AnsiString& name) const {
  TField* f = FindField(name);
  if (!f) throw EDatabaseError("Field '%s' not found", {name});
  return f;
}

void TDataSet::CheckActive() const {
  if (!FActive) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::First() {
  CheckActive();
  if (Editing(FState)) Post();
  bool any = InternalFirst();
  SetBofEof(true, !any);
  DataEvent(deDataSetChange);
}

void TDataSet::Next() {
  CheckActive();
  if (Editing(FState)) Post();
  if (FEof) return;
  if (!InternalNext()) {
    FEof = true;
    return;
  }
  FBof = false;
  DataEvent(deDataSetScroll);
}

void TDataSet::Edit() {
  CheckActive();
  if (Editing(FState)) return;
  if (IsEmpty()) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  InternalEdit();
  SetState(dsEdit);
}

void TDataSet::Post() {
  CheckActive();
  if (!Editing(FState)) throw EDatabaseError("Dataset not in edit or insert mode");
  InternalPost();
  SetState(dsBrowse);
  DataEvent(deDataSetChange);
}

void TDataSet::Cancel() {
  if (!Editing(FState)) return;
  InternalCancel();
  SetState(dsBrowse);
  DataEvent(deDataSetChange);
}

void TDataSet::SetFieldData(TField*, const AnsiString&) {
  throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDataSet::SetState(TDataSetState value) {
  if (value == FState) return;
  FState = value;
  DataEvent(deUpdateState);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  // A handler may take a source away or add one.
  std::vector<TDataSource*> sources = FDataSources;
  for (TDataSource* s : sources)
    if (Holds(FDataSources, s)) s->dataEvent(event, field);
}

void TDataSet::addField(TField* field) {
  FFields.push_back(field);
  field->FDataSet = this;
  DataEvent(deFieldListChange);
}

void TDataSet::removeField(TField* field) {
  Erase(FFields, field);
  field->FDataSet = nullptr;
  DataEvent(deFieldListChange);
}

// ---- TDataSource ----

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  while (!FDataLinks.empty()) {
    TDataLink* link = FDataLinks.back();
    FDataLinks.pop_back();
    link->FDataSource = nullptr;
    link->UpdateState();
  }
}

void TDataSource::SetDataSet(TDataSet* value) {
  if (value == FDataSet) return;
  if (FDataSet) {
    Erase(FDataSet->FDataSources, this);
    FDataSet->RemoveFreeNotification(this);
  }
  FDataSet = value;
  if (value) {
    value->FDataSources.push_back(this);
    value->FreeNotification(this);
  }
  updateLinks();
}

void TDataSource::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  updateLinks();
}

void TDataSource::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDataSet) SetDataSet(nullptr);
}

void TDataSource::updateLinks() {
  std::vector<TDataLink*> links = FDataLinks;
  for (TDataLink* link : links)
    if (Holds(FDataLinks, link)) link->SourceChanged();
  dataEvent(deUpdateState, nullptr);
}

void TDataSource::dataEvent(TDataEvent event, TField* field) {
  if (event == deUpdateState) {
    if (State() != FLastState) {
      FLastState = State();
      if (OnStateChange) OnStateChange(this);
    }
  } else if (State() != dsInactive && event != deUpdateRecord && event != deCheckBrowseMode && OnDataChange) {
    OnDataChange(this, event == deFieldChange ? field : nullptr);
  }
  if (!FEnabled) return;
  std::vector<TDataLink*> links = FDataLinks;
  for (TDataLink* link : links)
    if (Holds(FDataLinks, link)) link->DataEvent(event, field);
}

// ---- TDataLink ----

TDataLink::~TDataLink() {
  if (FDataSource) Erase(FDataSource->FDataLinks, this);
}

void TDataLink::SetDataSource(TDataSource* value) {
  if (value == FDataSource) return;
  if (FDataSource) Erase(FDataSource->FDataLinks, this);
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
  bool editing = active && Editing(set->State());
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
