// A data set's fields: the field with its raw and typed access, the typed fields for text, whole
// numbers, floats, logicals, dates and blobs, and the making of a field for a field type.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/DBTypes.h"
#include "platform/classlib/Variants.h"
#include "platform/rtl/Streams.h"

// One column of a data set; its value is the data set's current record's. Typed descendants
// keep their value in the record buffer in their own binary form.
class TField : public TComponent {
public:
  explicit TField(TComponent* AOwner);
  ~TField() override;
  AnsiString ClassName() const override { return "TField"; }

  TDataSet* DataSet() const { return FDataSet; }
  // Joins the field to a data set's field list (nullptr: to none); not while the set is open.
  void SetDataSet(TDataSet* value);
  const AnsiString& FieldName() const { return FFieldName; }
  // The data set's links look their fields up again.
  void SetFieldName(const AnsiString& value);
  // The column title: the field name unless a label is set.
  AnsiString DisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
  void SetDisplayLabel(const AnsiString& value) { FDisplayLabel = value; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType value) { FDataType = value; }
  int Size() const { return FSize; }
  void SetSize(int value) { FSize = value; }
  // The field's number in the data set's source, from 1; 0 for fields of no source column.
  int FieldNo() const { return FFieldNo; }
  void SetFieldNo(int value) { FFieldNo = value; }
  TFieldKind FieldKind() const { return FFieldKind; }
  void SetFieldKind(TFieldKind value) { FFieldKind = value; }
  bool Calculated() const { return FFieldKind == fkCalculated || FFieldKind == fkLookup; }
  // A calculated field's place in the calculated-fields area of a record buffer.
  int Offset() const { return FOffset; }
  void SetOffset(int value) { FOffset = value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  bool Required() const { return FRequired; }
  void SetRequired(bool value) { FRequired = value; }
  // Bytes of the value in a record buffer; 0 for fields kept outside it (blobs).
  virtual int DataSize() const { return 0; }
  virtual bool IsBlob() const { return false; }

  // Raw access to the current record's value; false when it is null.
  bool GetData(void* buffer) const;
  void SetData(const void* buffer);
  bool IsNull() const { return !GetData(nullptr); }
  virtual void Clear() { SetData(nullptr); }

  // The current record's value as text; empty on a closed data set or an empty one.
  virtual AnsiString AsString() const;
  // Writes the current record's value; the data set must be editing or inserting.
  virtual void SetAsString(const AnsiString& value);
  virtual int64_t AsInteger() const;
  virtual void SetAsInteger(int64_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);
  // Null for a null value.
  virtual Variant AsVariant() const;
  void SetAsVariant(const Variant& value);
  // The text a control shows: OnGetText's when there is one, else the value's.
  AnsiString DisplayText();

  TFieldGetTextEvent OnGetText;

protected:
  // The text of the value; typed fields format their values here.
  virtual AnsiString GetText(bool displayText) const { (void)displayText; return AsString(); }
  [[noreturn]] void AccessError(const char* typeName) const;
  // Checks that the value may be written now.
  void CheckWrite() const;

private:
  friend class TDataSet;
  TDataSet* FDataSet = nullptr;
  AnsiString FFieldName;
  AnsiString FDisplayLabel;
  TFieldType FDataType = ftString;
  int FSize = 0;
  int FFieldNo = 0;
  TFieldKind FFieldKind = fkData;
  int FOffset = 0;
  bool FReadOnly = false;
  bool FRequired = false;
};

// Text up to Size characters; the buffer keeps it zero-terminated.
class TStringField : public TField {
public:
  explicit TStringField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TStringField"; }
  int DataSize() const override { return Size() + 1; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  int64_t AsInteger() const override;
  double AsFloat() const override;
  bool AsBoolean() const override;
  Variant AsVariant() const override;
};

// Whole numbers: 16-bit (TSmallintField), 32-bit (TIntegerField), unsigned 16-bit (TWordField).
class TIntegerField : public TField {
public:
  explicit TIntegerField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TIntegerField"; }
  int DataSize() const override { return 4; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  int64_t AsInteger() const override;
  void SetAsInteger(int64_t value) override;
  double AsFloat() const override { return double(AsInteger()); }
  void SetAsFloat(double value) override;
  Variant AsVariant() const override;

protected:
  virtual bool readValue(int64_t& value) const;
  virtual void writeValue(int64_t value);
  int64_t FMinValue = INT32_MIN;
  int64_t FMaxValue = INT32_MAX;
};

class TSmallintField : public TIntegerField {
public:
  explicit TSmallintField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TSmallintField"; }
  int DataSize() const override { return 2; }

protected:
  bool readValue(int64_t& value) const override;
  void writeValue(int64_t value) override;
};

class TWordField : public TSmallintField {
public:
  explicit TWordField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TWordField"; }

protected:
  bool readValue(int64_t& value) const override;
};

class TFloatField : public TField {
public:
  explicit TFloatField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TFloatField"; }
  int DataSize() const override { return 8; }
  // "0" or "0.00" and the like: the number of places after the point.
  const AnsiString& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const AnsiString& value) { FDisplayFormat = value; }
  int Precision() const { return FPrecision; }
  void SetPrecision(int value) { FPrecision = value; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  int64_t AsInteger() const override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  void SetAsInteger(int64_t value) override { SetAsFloat(double(value)); }
  Variant AsVariant() const override;

protected:
  AnsiString GetText(bool displayText) const override;

private:
  AnsiString FDisplayFormat;
  int FPrecision = 15;
};

class TCurrencyField : public TFloatField {
public:
  explicit TCurrencyField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TCurrencyField"; }
};

// Kept as a 16-bit logical: 0 false, anything else true.
class TBooleanField : public TField {
public:
  explicit TBooleanField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TBooleanField"; }
  int DataSize() const override { return 2; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  Variant AsVariant() const override;
};

// Kept as a 32-bit day number counted from 1 January of year 1 (DateDelta: the date-time origin).
class TDateField : public TField {
public:
  explicit TDateField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TDateField"; }
  int DataSize() const override { return 4; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() const override { return AsDateTime(); }
  Variant AsVariant() const override;
};

// Contents kept outside the record buffer and reached through the data set's blob streams.
class TBlobField : public TField {
public:
  explicit TBlobField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TBlobField"; }
  bool IsBlob() const override { return true; }
  AnsiString AsString() const override;
  void SetAsString(const AnsiString& value) override;
  Variant AsVariant() const override;
  void Clear() override { SetAsString(AnsiString()); }
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
};

class TMemoField : public TBlobField {
public:
  explicit TMemoField(TComponent* AOwner);
  AnsiString ClassName() const override { return "TMemoField"; }
};

// The field class for a field type; nullptr for a type that has none.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type, TComponent* owner);

// Splits "A;B;C" into its names (blanks around each dropped).
std::vector<AnsiString> SplitFieldNames(const AnsiString& names);
