#include "platform/classlib/DataSet.h"

#include <algorithm>
#include <cstring>

#include "platform/classlib/DataSource.h"
#include "platform/classlib/Forms.h"

namespace {

// Events that show records; while controls are disabled they wait for the last enable.
bool ShowsRecords(TDataEvent e) {
  return e == deFieldChange || e == deRecordChange || e == deDataSetChange || e == deDataSetScroll;
}

}  // namespace

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner), FFieldDefs(std::make_unique<TFieldDefs>(this)) {}

TDataSet::~TDataSet() {
  // The subclass has closed its records; what is left is to let go of sources and fields.
  FActive = false;
  FState = dsInactive;
  for (TRecordBuffer* b : {&FBuffer, &FSpare, &FSavedActive}) {
    delete[] *b;
    *b = nullptr;
  }
  while (!FDataSources.empty()) FDataSources.back()->SetDataSet(nullptr);
  for (TField* f : FFields) f->FDataSet = nullptr;
  FFields.clear();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (FStreamedActive) SetActive(true);
}

TRecordBuffer TDataSet::AllocRecordBuffer() {
  auto size = static_cast<std::size_t>(std::max(GetRecordSize(), 1));
  return new char[size]();
}

void TDataSet::CopyBuffer(TRecordBuffer dest, TRecordBuffer source) {
  std::memcpy(dest, source, static_cast<std::size_t>(std::max(GetRecordSize(), 1)));
}

void TDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
  delete[] buffer;
  buffer = nullptr;
}

void TDataSet::allocateBuffers() {
  FBuffer = AllocRecordBuffer();
  FSpare = AllocRecordBuffer();
  FSavedActive = AllocRecordBuffer();
}

void TDataSet::freeBuffers() {
  for (TRecordBuffer* b : {&FBuffer, &FSpare, &FSavedActive})
    if (*b) FreeRecordBuffer(*b);
  FBufferRecords = 0;
}

void TDataSet::SetActive(bool value) {
  if (HasState(csLoading)) {
    FStreamedActive = value;
    return;
  }
  if (value == FActive) return;
  if (value) {
    fire(BeforeOpen);
    openCursor();
    SetState(dsBrowse);
    fire(AfterOpen);
    if (!IsEmpty()) DoAfterScroll();
    return;
  }
  if (IsEditState(FState)) Cancel();
  fire(BeforeClose);
  closeCursor();
  fire(AfterClose);
}

void TDataSet::openCursor() {
  FDefaultFields = FFields.empty();
  try {
    InternalOpen();
    allocateBuffers();
    FBufferRecords = 0;
    FCursorValid = true;
    FModified = false;
    FActive = true;
    fetch(gmNext);
    SetBofEof(true, FBufferRecords == 0);
  } catch (...) {
    FActive = false;
    try {
      if (IsCursorOpen()) InternalClose();
    } catch (...) {
    }
    freeBuffers();
    throw;
  }
}

void TDataSet::closeCursor() {
  // Closed whatever the source says on the way out.
  auto markClosed = [this] {
    freeBuffers();
    FActive = false;
    FModified = false;
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

bool TDataSet::fetch(TGetMode mode) {
  if (GetRecord(FSpare, mode, mode == gmCurrent) == grOK) {
    std::swap(FBuffer, FSpare);
    FBufferRecords = 1;
    FCursorValid = true;
    return true;
  }
  FCursorValid = false;  // the cursor may have gone past either end
  return false;
}

void TDataSet::UpdateCursorPos() {
  if (FBufferRecords > 0) InternalSetToRecord(FBuffer);
  FCursorValid = true;
}

void TDataSet::ClearBuffers() {
  FBufferRecords = 0;
  FCursorValid = true;
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

TField* TDataSet::FieldByNumber(int fieldNo) const {
  for (TField* f : FFields)
    if (f->FieldNo() == fieldNo) return f;
  return nullptr;
}

void TDataSet::CheckActive() const {
  if (!FActive) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TDataSet::NotEditingError() { throw EDatabaseError("Dataset not in edit or insert mode"); }

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(deCheckBrowseMode);
  if (IsEditState(FState)) {
    DataEvent(deUpdateRecord);
    if (FModified) Post();
    else Cancel();
  }
}

void TDataSet::DoBeforeScroll() { fire(BeforeScroll); }
void TDataSet::DoAfterScroll() { fire(AfterScroll); }

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  InternalFirst();
  fetch(gmNext);
  SetBofEof(true, FBufferRecords == 0);
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  InternalLast();
  fetch(gmPrior);
  SetBofEof(FBufferRecords == 0, true);
  DataEvent(deDataSetChange);
  DoAfterScroll();
}

void TDataSet::Next() { MoveBy(1); }
void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  if (distance == 0 || (distance > 0 && FEof) || (distance < 0 && FBof)) return 0;
  DoBeforeScroll();
  FBof = FEof = false;
  if (!FCursorValid) UpdateCursorPos();
  int moved = 0;
  TGetMode mode = distance > 0 ? gmNext : gmPrior;
  int want = distance > 0 ? distance : -distance;
  while (moved < want) {
    if (!fetch(mode)) {
      (distance > 0 ? FEof : FBof) = true;
      break;
    }
    ++moved;
  }
  if (moved > 0) DataEvent(deDataSetScroll);
  DoAfterScroll();
  return distance > 0 ? moved : -moved;
}

void TDataSet::Resync(TResyncMode mode) {
  if (mode & rmExact) {
    if (!fetch(gmCurrent)) throw EDatabaseError("Record not found or changed by another user");
  } else if (!fetch(gmCurrent) && !fetch(gmNext) && !fetch(gmPrior)) {
    ClearBuffers();
    SetBofEof(true, true);
  }
  DataEvent(deDataSetChange);
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  InternalRefresh();
  Resync(0);
}

void TDataSet::Edit() {
  CheckActive();
  if (IsEditState(FState)) return;
  if (FBufferRecords == 0) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  if (!GetCanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
  fire(BeforeEdit);
  UpdateCursorPos();
  InternalEdit();
  GetCalcFields(FBuffer);
  FModified = false;
  SetState(dsEdit);
  fire(AfterEdit);
}

void TDataSet::beginInsertAppend() {
  CheckBrowseMode();
  if (!GetCanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
  DoBeforeInsert();
  DoBeforeScroll();
  FHadRecordBeforeInsert = FBufferRecords > 0;
  if (FHadRecordBeforeInsert) CopyBuffer(FSavedActive, FBuffer);
}

void TDataSet::endInsertAppend() {
  FModified = false;
  SetState(dsInsert);
  DoOnNewRecord();
  DataEvent(deDataSetChange);
  fire(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Insert() {
  beginInsertAppend();
  InternalInsert();
  InitRecord(FBuffer);
  endInsertAppend();
}

void TDataSet::Append() {
  beginInsertAppend();
  InternalLast();
  InternalInsert();
  InitRecord(FBuffer);
  SetBookmarkFlag(FBuffer, bfEOF);
  FBof = false;
  FEof = true;
  endInsertAppend();
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::insertRecord(const std::vector<Variant>& values, bool append) {
  beginInsertAppend();
  if (append) InternalLast();
  TDataSetState previous = FState;
  FState = dsInsert;
  try {
    InitRecord(FBuffer);
    for (std::size_t i = 0; i < values.size() && i < FFields.size(); ++i)
      if (!values[i].IsEmpty()) FFields[i]->SetAsVariant(values[i]);
    InternalAddRecord(FBuffer, append);
  } catch (...) {
    FState = previous;
    if (FHadRecordBeforeInsert) CopyBuffer(FBuffer, FSavedActive);
    CursorPosChanged();
    throw;
  }
  FState = previous;
  FModified = false;
  FCursorValid = true;
  Resync(0);
  fire(AfterInsert);
  DoAfterScroll();
}

void TDataSet::Post() {
  CheckActive();
  if (!IsEditState(FState)) throw EDatabaseError("Dataset not in edit or insert mode");
  DataEvent(deCheckBrowseMode);
  fire(BeforePost);
  if (FState == dsEdit) UpdateCursorPos();
  InternalPost();
  FModified = false;
  SetState(dsBrowse);
  FCursorValid = true;
  Resync(0);
  fire(AfterPost);
}

void TDataSet::Cancel() {
  if (!IsEditState(FState)) return;
  DoBeforeCancel();
  bool wasInsert = FState == dsInsert;
  InternalCancel();
  FModified = false;
  SetState(dsBrowse);
  if (wasInsert && !FHadRecordBeforeInsert) {
    ClearBuffers();
    SetBofEof(true, true);
    DataEvent(deDataSetChange);
  } else {
    if (wasInsert) CopyBuffer(FBuffer, FSavedActive);
    FBufferRecords = 1;
    UpdateCursorPos();
    Resync(0);
  }
  DoAfterCancel();
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert) return Cancel();
  if (FBufferRecords == 0) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  DataEvent(deCheckBrowseMode);
  fire(BeforeDelete);
  DoBeforeScroll();
  UpdateCursorPos();
  InternalDelete();
  FModified = false;
  SetState(dsBrowse);
  Resync(0);
  fire(AfterDelete);
  DoAfterScroll();
}

void TDataSet::InternalDelete() { throw EDatabaseError("Cannot modify a read-only dataset"); }
void TDataSet::InternalAddRecord(TRecordBuffer, bool) { throw EDatabaseError("Cannot modify a read-only dataset"); }

void TDataSet::InternalHandleException() {
  if (!std::current_exception()) return;
  try {
    throw;
  } catch (const Exception& e) {
    Application().HandleException(e);
  } catch (...) {
  }
}

TBookmark TDataSet::Bookmark() {
  if (!FActive || FBufferRecords == 0 || GetBookmarkFlag(FBuffer) != bfCurrent) return {};
  TBookmark bm(static_cast<std::size_t>(FBookmarkSize), 0);
  GetBookmarkData(FBuffer, bm.data());
  return bm;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Resync(rmExact | rmCenter);
  SetBofEof(false, false);
  DoAfterScroll();
}

bool TDataSet::Locate(const AnsiString&, const Variant&, TLocateOptions) { return false; }
Variant TDataSet::Lookup(const AnsiString&, const Variant&, const AnsiString&) { return Variant::Null(); }

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode) {
  throw EDatabaseError("Field '%s' is not a blob field of this dataset", {field ? field->FieldName() : AnsiString()});
}

void TDataSet::SetFieldData(TField*, const void*) { throw EDatabaseError("Cannot modify a read-only dataset"); }

void TDataSet::CalculateFields(TRecordBuffer) { fire(OnCalcFields); }

void TDataSet::calculate(TRecordBuffer buffer) {
  TDataSetState previous = FState;
  FState = dsCalcFields;
  FCalcBuffer = buffer;
  try {
    ClearCalcFields(buffer);
    CalculateFields(buffer);
  } catch (...) {
    FState = previous;
    throw;
  }
  FState = previous;
}

void TDataSet::FilterRecord(TRecordBuffer buffer, bool& accept) {
  TDataSetState previous = FState;
  FState = dsFilter;
  FFilterBuffer = buffer;
  try {
    OnFilterRecord(this, accept);
  } catch (...) {
    FState = previous;
    throw;
  }
  FState = previous;
}

void TDataSet::SetState(TDataSetState value) {
  if (value == FState) return;
  FState = value;
  DataEvent(deUpdateState);
}

void TDataSet::SetTempState(TDataSetState value, TDataSetState& previous) {
  previous = FState;
  FState = value;
}

void TDataSet::RestoreState(TDataSetState previous) { FState = previous; }

void TDataSet::InitFieldDefs() {
  FFieldDefs->Clear();
  InternalInitFieldDefs();
  FFieldDefs->SetUpdated(true);
}

void TDataSet::CreateFields() {
  for (int i = 0; i < FFieldDefs->Count(); ++i) {
    TFieldDef* d = FFieldDefs->Items(i);
    std::unique_ptr<TField> f = CreateFieldOfType(d->DataType(), this);
    if (!f) continue;
    f->SetFieldName(d->Name());
    if (d->DataType() == ftString || f->IsBlob()) f->SetSize(d->Size());
    f->SetFieldNo(d->FieldNo());
    f->SetRequired(d->Required());
    f.release()->SetDataSet(this);
  }
  FDefaultFields = true;
}

void TDataSet::DestroyFields() {
  std::vector<TField*> fields = FFields;
  for (TField* f : fields)
    if (f->Owner() == this) delete f;
}

void TDataSet::BindFields(bool binding) {
  FCalcFieldsSize = 0;
  for (TField* f : FFields) {
    if (f->Calculated()) {
      f->SetOffset(FCalcFieldsSize);
      FCalcFieldsSize += f->DataSize() + 1;
      continue;
    }
    if (!binding) continue;
    int i = FFieldDefs->IndexOf(f->FieldName());
    if (i < 0) throw EDatabaseError("%s: Field '%s' not found", {Name(), f->FieldName()});
    f->SetFieldNo(FFieldDefs->Items(i)->FieldNo());
  }
}

void TDataSet::DisableControls() {
  if (FDisableCount++ == 0) {
    FDisableState = FState;
    FPendingChange = false;
  }
}

void TDataSet::EnableControls() {
  if (FDisableCount == 0 || --FDisableCount > 0) return;
  if (FPendingChange && FActive) DataEvent(deDataSetChange);
  FPendingChange = false;
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  if (FDisableCount > 0 && ShowsRecords(event)) {
    FPendingChange = true;
    return;
  }
  if (!FDataSources.empty()) tellSources(event, field);
}

void TDataSet::tellSources(TDataEvent event, TField* field) {
  // A handler may take a source away or add one.
  std::vector<TDataSource*> sources = FDataSources;
  for (TDataSource* s : sources)
    if (std::ranges::find(FDataSources, s) != FDataSources.end()) s->dataEvent(event, field);
}

void TDataSet::addField(TField* field) {
  FFields.push_back(field);
  field->FDataSet = this;
  DataEvent(deFieldListChange);
}

void TDataSet::removeField(TField* field) {
  std::erase(FFields, field);
  field->FDataSet = nullptr;
  DataEvent(deFieldListChange);
}
