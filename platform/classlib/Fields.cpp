#include "platform/classlib/Fields.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/classlib/DataSet.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"

namespace {

// States in which a field may be written besides editing: the data set fills its own buffers.
bool InternalWriteState(TDataSetState s) { return s == dsCalcFields || s == dsFilter || s == dsNewValue || s == dsSetKey; }

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
  if (!IsEditState(s) && !InternalWriteState(s)) FDataSet->NotEditingError();
  if (FReadOnly && !InternalWriteState(s)) throw EDatabaseError("Field '%s' cannot be modified", {FFieldName});
}

void TField::SetData(const void* buffer) {
  CheckWrite();
  FDataSet->SetFieldData(this, buffer);
  if (IsEditState(FDataSet->State())) FDataSet->SetModified(true);
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

int64_t TFloatField::AsInteger() const {
  double v = AsFloat();
  // Rounded half away from zero, as llround does; below 2^52 the fraction is exact.
  if (!(std::fabs(v) < 4503599627370496.0)) return static_cast<int64_t>(std::llround(v));
  auto i = static_cast<int64_t>(v);
  double fraction = v - static_cast<double>(i);
  return fraction >= 0.5 ? i + 1 : fraction <= -0.5 ? i - 1 : i;
}

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
  if (IsEditState(DataSet()->State())) DataSet()->SetModified(true);
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
