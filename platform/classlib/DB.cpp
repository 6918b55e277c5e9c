#include "platform/classlib/DB.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/classlib/Forms.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

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

// States in which a field may be written besides editing: the data set fills its own buffers.
bool InternalWriteState(TDataSetState s) { return s == dsCalcFields || s == dsFilter || s == dsNewValue || s == dsSetKey; }

// Events that show records; while controls are disabled they wait for the last enable.
bool ShowsRecords(TDataEvent e) {
  return e == deFieldChange || e == deRecordChange || e == deDataSetChange || e == deDataSetScroll;
}

// Text to a number with the user's decimal separator or ".".
bool ParseFloat(const AnsiString& text, double& out) {
  AnsiString s = Trim(text);
  for (char& c : s)
    if (c == FormatSettings().DecimalSeparator) c = '.';
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end && *end == 0;
}

}  // namespace

std::vector<AnsiString> SplitFieldNames(const AnsiString& names) {
  std::vector<AnsiString> out;
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(';', start);
    if (end == AnsiString::npos) end = names.size();
    AnsiString name = Trim(std::string_view(names).substr(start, end - start));
    if (!name.empty()) out.push_back(name);
    start = end + 1;
  }
  return out;
}

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

bool TField::GetData(void* buffer) const {
  if (!FDataSet || !FDataSet->Active()) return false;
  return FDataSet->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::CheckWrite() const {
  if (!FDataSet) throw EDatabaseError("Field '%s' has no dataset", {FFieldName});
  FDataSet->CheckActive();
  TDataSetState s = FDataSet->State();
  if (!Editing(s) && !InternalWriteState(s)) FDataSet->NotEditingError();
  if (FReadOnly && !InternalWriteState(s)) throw EDatabaseError("Field '%s' cannot be modified", {FFieldName});
}

void TField::SetData(const void* buffer) {
  CheckWrite();
  FDataSet->SetFieldData(this, buffer);
  if (Editing(FDataSet->State())) FDataSet->SetModified(true);
}

void TField::AccessError(const char* typeName) const {
  throw EDatabaseError("Cannot access field '%s' as type %s", {FFieldName, AnsiString(typeName)});
}

AnsiString TField::AsString() const { AccessError("String"); }
void TField::SetAsString(const AnsiString&) { AccessError("String"); }
int64_t TField::AsInteger() const { AccessError("Integer"); }
void TField::SetAsInteger(int64_t) { AccessError("Integer"); }
double TField::AsFloat() const { AccessError("Float"); }
void TField::SetAsFloat(double) { AccessError("Float"); }
bool TField::AsBoolean() const { AccessError("Boolean"); }
void TField::SetAsBoolean(bool) { AccessError("Boolean"); }
TDateTime TField::AsDateTime() const { AccessError("DateTime"); }
void TField::SetAsDateTime(TDateTime) { AccessError("DateTime"); }

Variant TField::AsVariant() const { return IsNull() ? Variant::Null() : Variant(AsString()); }

void TField::SetAsVariant(const Variant& value) {
  if (VarIsNull(value)) return Clear();
  switch (FDataType) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return SetAsInteger(value.AsInteger());
    case ftFloat:
    case ftCurrency: return SetAsFloat(value.AsDouble());
    case ftBoolean: return SetAsBoolean(value.AsBoolean());
    case ftDate:
    case ftDateTime: return SetAsDateTime(value.AsDateTime());
    default: return SetAsString(value.AsString());
  }
}

AnsiString TField::DisplayText() {
  AnsiString text;
  if (OnGetText) OnGetText(this, text, true);
  else text = GetText(true);
  return text;
}

// ---- typed fields ----

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftString);
  SetSize(20);
}

AnsiString TStringField::AsString() const {
  std::vector<char> buf(std::size_t(DataSize()) + 1, 0);
  if (!GetData(buf.data())) return AnsiString();
  return AnsiString(buf.data());
}

void TStringField::SetAsString(const AnsiString& value) {
  // Never more than the field holds: the rest of the text is cut.
  std::vector<char> buf(std::size_t(DataSize()), 0);
  std::memcpy(buf.data(), value.data(), std::min<std::size_t>(value.size(), std::size_t(Size())));
  SetData(buf.data());
}

int64_t TStringField::AsInteger() const {
  int64_t v = 0;
  if (!TryStrToInt(Trim(AsString()), v)) throw EConvertError("'%s' is not a valid integer value", {AsString()});
  return v;
}

double TStringField::AsFloat() const {
  double v = 0;
  if (!ParseFloat(AsString(), v)) throw EConvertError("'%s' is not a valid floating point value", {AsString()});
  return v;
}

bool TStringField::AsBoolean() const {
  AnsiString s = UpperCase(Trim(AsString()));
  return !s.empty() && (s[0] == 'T' || s[0] == 'Y');
}

Variant TStringField::AsVariant() const { return IsNull() ? Variant::Null() : Variant(AsString()); }

TIntegerField::TIntegerField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftInteger); }

bool TIntegerField::readValue(int64_t& value) const {
  int32_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

void TIntegerField::writeValue(int64_t value) {
  int32_t v = static_cast<int32_t>(value);
  SetData(&v);
}

int64_t TIntegerField::AsInteger() const {
  int64_t v = 0;
  return readValue(v) ? v : 0;
}

void TIntegerField::SetAsInteger(int64_t value) {
  if (value < FMinValue || value > FMaxValue)
    throw EDatabaseError("%s is not a valid value for field '%s'. The allowed range is %s to %s",
                         {IntToStr(value), FieldName(), IntToStr(FMinValue), IntToStr(FMaxValue)});
  writeValue(value);
}

void TIntegerField::SetAsFloat(double value) { SetAsInteger(static_cast<int64_t>(std::llround(value))); }

AnsiString TIntegerField::AsString() const {
  int64_t v = 0;
  return readValue(v) ? IntToStr(v) : AnsiString();
}

void TIntegerField::SetAsString(const AnsiString& value) {
  AnsiString s = Trim(value);
  if (s.empty()) return Clear();
  int64_t v = 0;
  if (!TryStrToInt(s, v)) throw EConvertError("'%s' is not a valid integer value", {value});
  SetAsInteger(v);
}

Variant TIntegerField::AsVariant() const {
  int64_t v = 0;
  return readValue(v) ? Variant(v) : Variant::Null();
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner) {
  SetDataType(ftSmallint);
  FMinValue = INT16_MIN;
  FMaxValue = INT16_MAX;
}

bool TSmallintField::readValue(int64_t& value) const {
  int16_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

void TSmallintField::writeValue(int64_t value) {
  int16_t v = static_cast<int16_t>(value);
  SetData(&v);
}

TWordField::TWordField(TComponent* AOwner) : TSmallintField(AOwner) {
  SetDataType(ftWord);
  FMinValue = 0;
  FMaxValue = UINT16_MAX;
}

bool TWordField::readValue(int64_t& value) const {
  uint16_t v = 0;
  if (!GetData(&v)) return false;
  value = v;
  return true;
}

TFloatField::TFloatField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftFloat); }

double TFloatField::AsFloat() const {
  double v = 0;
  return GetData(&v) ? v : 0;
}

void TFloatField::SetAsFloat(double value) { SetData(&value); }

int64_t TFloatField::AsInteger() const { return static_cast<int64_t>(std::llround(AsFloat())); }

AnsiString TFloatField::AsString() const {
  double v = 0;
  return GetData(&v) ? FloatToStr(v) : AnsiString();
}

void TFloatField::SetAsString(const AnsiString& value) {
  if (Trim(value).empty()) return Clear();
  double v = 0;
  if (!ParseFloat(value, v)) throw EConvertError("'%s' is not a valid floating point value", {value});
  SetAsFloat(v);
}

AnsiString TFloatField::GetText(bool displayText) const {
  double v = 0;
  if (!GetData(&v)) return AnsiString();
  if (!displayText || FDisplayFormat.empty()) return FloatToStr(v);
  // "0", "0.0", "0.00": as many places as there are characters after the point.
  std::size_t dot = FDisplayFormat.find('.');
  int places = dot == AnsiString::npos ? 0 : int(FDisplayFormat.size() - dot - 1);
  return FloatToStrF(v, TFloatFormat::ffFixed, 18, places);
}

Variant TFloatField::AsVariant() const {
  double v = 0;
  return GetData(&v) ? Variant(v) : Variant::Null();
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner) { SetDataType(ftCurrency); }

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBoolean); }

bool TBooleanField::AsBoolean() const {
  int16_t v = 0;
  return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  int16_t v = value ? 1 : 0;
  SetData(&v);
}

AnsiString TBooleanField::AsString() const {
  int16_t v = 0;
  if (!GetData(&v)) return AnsiString();
  return v ? "True" : "False";
}

void TBooleanField::SetAsString(const AnsiString& value) {
  AnsiString s = UpperCase(Trim(value));
  if (s.empty()) return Clear();
  if (s == "T" || s == "TRUE" || s == "Y" || s == "YES" || s == "1") return SetAsBoolean(true);
  if (s == "F" || s == "FALSE" || s == "N" || s == "NO" || s == "0") return SetAsBoolean(false);
  throw EConvertError("'%s' is not a valid boolean value for field '%s'", {value, FieldName()});
}

Variant TBooleanField::AsVariant() const {
  int16_t v = 0;
  return GetData(&v) ? Variant(v != 0) : Variant::Null();
}

TDateField::TDateField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftDate); }

TDateTime TDateField::AsDateTime() const {
  int32_t day = 0;
  return GetData(&day) ? double(day - DateDelta) : 0.0;
}

void TDateField::SetAsDateTime(TDateTime value) {
  int32_t day = static_cast<int32_t>(std::floor(value)) + DateDelta;
  SetData(&day);
}

AnsiString TDateField::AsString() const {
  int32_t day = 0;
  // Day 0 is what an impossible stored date reads as: there is a value, but no date to show.
  if (!GetData(&day) || day <= 0) return AnsiString();
  return DateToStr(double(day - DateDelta));
}

void TDateField::SetAsString(const AnsiString& value) {
  if (Trim(value).empty()) return Clear();
  SetAsDateTime(StrToDate(value));
}

Variant TDateField::AsVariant() const {
  int32_t day = 0;
  return GetData(&day) ? Variant::FromDate(double(day - DateDelta)) : Variant::Null();
}

TBlobField::TBlobField(TComponent* AOwner) : TField(AOwner) { SetDataType(ftBlob); }

AnsiString TBlobField::AsString() const {
  TDataSet* set = DataSet();
  if (!set || !set->Active()) return AnsiString();
  std::unique_ptr<TStream> s = set->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
  AnsiString text(static_cast<std::size_t>(s->Size()), '\0');
  s->Seek(0, soFromBeginning);
  s->Read(text.data(), s->Size());
  // Memo texts end at their terminating zero.
  if (std::size_t nul = text.find('\0'); DataType() == ftMemo && nul != AnsiString::npos) text.resize(nul);
  return text;
}

void TBlobField::SetAsString(const AnsiString& value) {
  CheckWrite();
  std::unique_ptr<TStream> s = DataSet()->CreateBlobStream(this, bmWrite);
  s->Write(value.data(), static_cast<int64_t>(value.size()));
  s.reset();  // the stream hands its bytes to the record when it goes
  if (Editing(DataSet()->State())) DataSet()->SetModified(true);
}

Variant TBlobField::AsVariant() const { return IsNull() ? Variant::Null() : Variant(AsString()); }

void TBlobField::LoadFromStream(TStream& stream) {
  AnsiString data(static_cast<std::size_t>(stream.Size()), '\0');
  stream.Seek(0, soFromBeginning);
  stream.Read(data.data(), stream.Size());
  SetAsString(data);
}

void TBlobField::SaveToStream(TStream& stream) const {
  AnsiString data = AsString();
  stream.Write(data.data(), static_cast<int64_t>(data.size()));
}

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner) { SetDataType(ftMemo); }

std::unique_ptr<TField> CreateFieldOfType(TFieldType type, TComponent* owner) {
  switch (type) {
    case ftString: return std::make_unique<TStringField>(owner);
    case ftSmallint: return std::make_unique<TSmallintField>(owner);
    case ftInteger: return std::make_unique<TIntegerField>(owner);
    case ftWord: return std::make_unique<TWordField>(owner);
    case ftBoolean: return std::make_unique<TBooleanField>(owner);
    case ftFloat: return std::make_unique<TFloatField>(owner);
    case ftCurrency: return std::make_unique<TCurrencyField>(owner);
    case ftDate: return std::make_unique<TDateField>(owner);
    case ftMemo: return std::make_unique<TMemoField>(owner);
    case ftBlob: return std::make_unique<TBlobField>(owner);
    default: return nullptr;
  }
}

// ---- definitions and parameters ----

void TFieldDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TFieldDef*>(source)) {
    FName = d->FName, FDataType = d->FDataType, FSize = d->FSize, FPrecision = d->FPrecision;
    FRequired = d->FRequired, FFieldNo = d->FFieldNo;
    return;
  }
  TCollectionItem::Assign(source);
}

TFieldDefs::TFieldDefs(TDataSet* owner) : TCollection(ItemClass<TFieldDef>(), owner), FDataSet(owner) {}

TFieldDef* TFieldDefs::Add(const AnsiString& name, TFieldType type, int size, bool required) {
  if (IndexOf(name) >= 0) throw EDatabaseError("Duplicate field name '%s'", {name});
  TFieldDef* d = AddFieldDef();
  d->SetName(name);
  d->SetDataType(type);
  d->SetSize(size);
  d->SetRequired(required);
  d->SetFieldNo(Count());
  return d;
}

int TFieldDefs::IndexOf(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TFieldDef* TFieldDefs::Find(const AnsiString& name) const {
  int i = IndexOf(name);
  if (i < 0) throw EDatabaseError("Field '%s' not found", {name});
  return Items(i);
}

void TFieldDefs::Update() {
  if (FDataSet) FDataSet->InitFieldDefs();
}

void TIndexDef::Assign(const TPersistent* source) {
  if (auto* d = dynamic_cast<const TIndexDef*>(source)) {
    FName = d->FName, FFields = d->FFields, FExpression = d->FExpression, FSource = d->FSource;
    FOptions = d->FOptions;
    return;
  }
  TCollectionItem::Assign(source);
}

TIndexDefs::TIndexDefs(TDataSet* owner) : TCollection(ItemClass<TIndexDef>(), owner), FDataSet(owner) {}

TIndexDef* TIndexDefs::Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options) {
  TIndexDef* d = AddIndexDef();
  d->SetName(name);
  if (options & ixExpression) d->SetExpression(fields);
  else d->SetFields(fields);
  d->SetOptions(options);
  return d;
}

int TIndexDefs::IndexOf(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return i;
  return -1;
}

TIndexDef* TIndexDefs::FindIndexForFields(const AnsiString& fields) const {
  for (int i = 0; i < Count(); ++i)
    if (!(Items(i)->Options() & ixExpression) && SameText(Items(i)->Fields(), fields)) return Items(i);
  return nullptr;
}

void TIndexDefs::Update() {
  if (!FUpdated && FDataSet) FDataSet->UpdateIndexDefs();
}

void TParam::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TParam*>(source)) {
    FName = p->FName, FDataType = p->FDataType, FParamType = p->FParamType, FValue = p->FValue;
    return;
  }
  TCollectionItem::Assign(source);
}

TParams::TParams(TPersistent* owner) : TCollection(ItemClass<TParam>(), owner) {}

TParam* TParams::CreateParam(TFieldType type, const AnsiString& name, TParamType paramType) {
  auto* p = static_cast<TParam*>(Add());
  p->SetName(name);
  p->SetDataType(type);
  p->SetParamType(paramType);
  return p;
}

TParam* TParams::FindParam(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), name)) return Items(i);
  return nullptr;
}

TParam* TParams::ParamByName(const AnsiString& name) const {
  TParam* p = FindParam(name);
  if (!p) throw EDatabaseError("Parameter '%s' not found", {name});
  return p;
}

// ---- TDataSet ----

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
  if (Editing(FState)) Cancel();
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
  if (Editing(FState)) {
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
  if (Editing(FState)) return;
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
  if (!Editing(FState)) throw EDatabaseError("Dataset not in edit or insert mode");
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
  if (!Editing(FState)) return;
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

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
  if (FCalcFieldsSize == 0 && !OnCalcFields) return;
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
  if (FFields.empty() || !DataSet() || Editing(DataSet()->State())) return;
  if (!field || Holds(FFields, field))
    if (OnMasterChange) OnMasterChange(this);
}

void TMasterDataLink::CheckBrowseMode() {
  if (FDetail && FDetail->Active()) FDetail->CheckBrowseMode();
}
