// Data access: the data set with its record buffers, cursor, bookmarks and typed fields; field and
// index definitions; the data source that joins a data set to controls, and the data links through
// which controls follow one. A data set subclass supplies records through the hook operations.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/Variants.h"
#include "platform/rtl/Streams.h"

QUORVEX_EXCEPTION(EDatabaseError, Exception);

class TDataSet;
class TDataSource;
class TDataLink;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
                     dsCurValue, dsBlockRead, dsInternalCalc, dsOpening };

// What a data set tells its sources and links. deFieldChange carries the field; the others none.
enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  deFieldListChange,
};

enum TFieldType { ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency, ftDate,
                  ftTime, ftDateTime, ftMemo, ftBlob };
enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

using TRecordBuffer = char*;
using TBookmark = std::vector<char>;
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TResyncModeFlag : uint32_t { rmExact = 1, rmCenter = 2 };
using TResyncMode = uint32_t;
enum TLocateOption : uint32_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = uint32_t;

// Days between 1 January of year 1 and the date-time origin: a date field keeps day numbers from there.
constexpr int32_t DateDelta = 693594;

class TField;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;
using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;

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

// The structure of a data set's source: one definition per column.
class TFieldDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TFieldDef"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType v) { FDataType = v; }
  int Size() const { return FSize; }
  void SetSize(int v) { FSize = v; }
  int Precision() const { return FPrecision; }
  void SetPrecision(int v) { FPrecision = v; }
  bool Required() const { return FRequired; }
  void SetRequired(bool v) { FRequired = v; }
  int FieldNo() const { return FFieldNo; }
  void SetFieldNo(int v) { FFieldNo = v; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  TFieldType FDataType = ftUnknown;
  int FSize = 0;
  int FPrecision = 0;
  bool FRequired = false;
  int FFieldNo = 0;
};

class TFieldDefs : public TCollection {
public:
  explicit TFieldDefs(TDataSet* owner);
  AnsiString ClassName() const override { return "TFieldDefs"; }
  TFieldDef* Items(int index) const { return static_cast<TFieldDef*>(TCollection::Items(index)); }
  TFieldDef* AddFieldDef() { return static_cast<TFieldDef*>(TCollection::Add()); }
  TFieldDef* Add(const AnsiString& name, TFieldType type, int size = 0, bool required = false);
  int IndexOf(const AnsiString& name) const;  // any letter case; -1 when missing
  TFieldDef* Find(const AnsiString& name) const;  // raises EDatabaseError when missing
  // Reads the definitions from the data set again.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool v) { FUpdated = v; }

private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};

enum TIndexOption : uint32_t {
  ixPrimary = 1,
  ixUnique = 2,
  ixDescending = 4,
  ixCaseInsensitive = 8,
  ixExpression = 16,
  ixNonMaintained = 32,
};
using TIndexOptions = uint32_t;

class TIndexDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TIndexDef"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  // Field names joined with ";"; empty for an expression index.
  const AnsiString& Fields() const { return FFields; }
  void SetFields(const AnsiString& v) { FFields = v; }
  const AnsiString& Expression() const { return FExpression; }
  void SetExpression(const AnsiString& v) { FExpression = v; }
  const AnsiString& Source() const { return FSource; }
  void SetSource(const AnsiString& v) { FSource = v; }
  TIndexOptions Options() const { return FOptions; }
  void SetOptions(TIndexOptions v) { FOptions = v; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  AnsiString FFields;
  AnsiString FExpression;
  AnsiString FSource;
  TIndexOptions FOptions = 0;
};

class TIndexDefs : public TCollection {
public:
  explicit TIndexDefs(TDataSet* owner);
  AnsiString ClassName() const override { return "TIndexDefs"; }
  TIndexDef* Items(int index) const { return static_cast<TIndexDef*>(TCollection::Items(index)); }
  TIndexDef* AddIndexDef() { return static_cast<TIndexDef*>(TCollection::Add()); }
  TIndexDef* Add(const AnsiString& name, const AnsiString& fields, TIndexOptions options);
  int IndexOf(const AnsiString& name) const;
  TIndexDef* FindIndexForFields(const AnsiString& fields) const;  // nullptr when none
  // Reads the definitions from the data set again when they are not current.
  void Update();
  bool Updated() const { return FUpdated; }
  void SetUpdated(bool v) { FUpdated = v; }

private:
  TDataSet* FDataSet;
  bool FUpdated = false;
};

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// A named value handed to a query or a procedure.
class TParam : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TParam"; }
  AnsiString DisplayName() const override { return FName; }
  const AnsiString& Name() const { return FName; }
  void SetName(const AnsiString& v) { FName = v; }
  TFieldType DataType() const { return FDataType; }
  void SetDataType(TFieldType v) { FDataType = v; }
  TParamType ParamType() const { return FParamType; }
  void SetParamType(TParamType v) { FParamType = v; }
  const Variant& Value() const { return FValue; }
  void SetValue(const Variant& v) { FValue = v; }
  bool IsNull() const { return VarIsNull(FValue); }
  AnsiString AsString() const { return FValue.AsString(); }
  void SetAsString(const AnsiString& v) { FDataType = ftString, FValue = Variant(v); }
  int64_t AsInteger() const { return FValue.AsInteger(); }
  void SetAsInteger(int64_t v) { FDataType = ftInteger, FValue = Variant(v); }
  void Clear() { FValue = Variant::Null(); }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FName;
  TFieldType FDataType = ftUnknown;
  TParamType FParamType = ptUnknown;
  Variant FValue = Variant::Null();
};

class TParams : public TCollection {
public:
  explicit TParams(TPersistent* owner = nullptr);
  AnsiString ClassName() const override { return "TParams"; }
  TParam* Items(int index) const { return static_cast<TParam*>(TCollection::Items(index)); }
  TParam* CreateParam(TFieldType type, const AnsiString& name, TParamType paramType);
  TParam* FindParam(const AnsiString& name) const;
  TParam* ParamByName(const AnsiString& name) const;  // raises EDatabaseError when missing
};

// A cursor over records kept in record buffers. The subclass supplies the records through the
// hook operations (GetRecord, InternalFirst, ...) and lays out its buffers; the data set keeps
// the active record, the state, the fields and the links in step.
class TDataSet : public TComponent {
public:
  explicit TDataSet(TComponent* AOwner);
  ~TDataSet() override;
  AnsiString ClassName() const override { return "TDataSet"; }

  bool Active() const { return FActive; }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return FState; }
  bool Modified() const { return FModified; }

  const std::vector<TField*>& Fields() const { return FFields; }
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  // By name in any letter case; nullptr when there is none.
  TField* FindField(const AnsiString& name) const;
  // Raises EDatabaseError when there is none.
  TField* FieldByName(const AnsiString& name) const;
  TField* FieldByNumber(int fieldNo) const;
  TFieldDefs& FieldDefs() { return *FFieldDefs; }
  // Whether the fields were made from the definitions at open (and go with the close).
  bool DefaultFields() const { return FDefaultFields; }
  bool AutoCalcFields() const { return FAutoCalcFields; }
  void SetAutoCalcFields(bool v) { FAutoCalcFields = v; }

  // Moves; each tells the links. Raise EDatabaseError on a closed data set.
  virtual void First();
  virtual void Last();
  virtual void Next();
  virtual void Prior();
  // Moves by up to distance records; answers how far it went.
  virtual int MoveBy(int distance);
  virtual bool Eof() const { return FEof; }
  virtual bool Bof() const { return FBof; }
  virtual int RecordCount() { return 0; }
  // From 1; 0 when unknown.
  virtual int RecNo() { return 0; }
  virtual void SetRecNo(int value) { (void)value; }
  virtual bool IsSequenced() { return true; }
  // Reads the index definitions again; data sets without indexes keep the default.
  virtual void UpdateIndexDefs() {}
  // Whether there is no record to show.
  bool IsEmpty() const { return !FActive || (FBufferRecords == 0 && FState != dsInsert); }
  bool CanModify() { return FActive && GetCanModify(); }

  // Editing of the current record: Edit and Post bracket field writes; Cancel drops them.
  virtual void Edit();
  virtual void Insert();
  virtual void Append();
  virtual void Post();
  virtual void Cancel();
  virtual void Delete();
  // Appends (or inserts) a record with these values in field order, without editing states.
  void AppendRecord(const std::vector<Variant>& values) { insertRecord(values, true); }
  void InsertRecord(const std::vector<Variant>& values) { insertRecord(values, false); }
  // Posts or cancels a pending edit; a closed data set raises.
  void CheckBrowseMode();
  virtual void Refresh();
  virtual void Resync(TResyncMode mode);

  TBookmark Bookmark();
  void SetBookmark(const TBookmark& bookmark) { GotoBookmark(bookmark); }
  void GotoBookmark(const TBookmark& bookmark);
  virtual bool BookmarkValid(const TBookmark& bookmark) { (void)bookmark; return false; }
  // -1, 0 or 1; 2 when one of them is missing.
  virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b) { (void)a, (void)b; return 0; }
  virtual bool Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options);
  virtual Variant Lookup(const AnsiString& keyFields, const Variant& keyValues, const AnsiString& resultFields);
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);

  const AnsiString& Filter() const { return FFilterText; }
  void SetFilter(const AnsiString& value) { SetFilterText(value); }
  bool Filtered() const { return FFiltered; }
  virtual void SetFiltered(bool value) { FFiltered = value; }

  // While disabled, moves and changes reach no control; the last enable shows the result once.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount > 0; }

  // Tells the data sources (and through them their links) what changed.
  virtual void DataEvent(TDataEvent event, TField* field = nullptr);
  // Raises EDatabaseError "Cannot perform this operation on a closed dataset".
  virtual void CheckActive() const;
  // Raised when a field is written outside editing.
  [[noreturn]] virtual void NotEditingError();

  // The current record's value of a field; false when it is null or there is no record. A null
  // buffer only asks whether there is a value.
  virtual bool GetFieldData(TField* field, void* buffer) = 0;
  // Stores a value of the current record; read-only data sets keep the default, which raises.
  virtual void SetFieldData(TField* field, const void* buffer);

  TRecordBuffer ActiveBuffer() const { return FBufferRecords > 0 || FState == dsInsert ? FBuffer : nullptr; }
  TRecordBuffer CalcBuffer() const { return FCalcBuffer; }
  int CalcFieldsSize() const { return FCalcFieldsSize; }
  int BookmarkSize() const { return FBookmarkSize; }

  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeInsert, AfterInsert, BeforeEdit,
      AfterEdit, BeforePost, AfterPost, BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, BeforeScroll,
      AfterScroll, OnNewRecord, OnCalcFields;
  TFilterRecordEvent OnFilterRecord;

protected:
  void Loaded() override;
  // ---- hooks of the subclass
  virtual TRecordBuffer AllocRecordBuffer();
  virtual void FreeRecordBuffer(TRecordBuffer& buffer);
  // Copies a whole record buffer; a subclass whose buffers own memory copies that too, or drops it.
  virtual void CopyBuffer(TRecordBuffer dest, TRecordBuffer source);
  virtual int GetRecordSize() = 0;
  virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
  virtual void GetBookmarkData(TRecordBuffer buffer, void* data) { (void)buffer, (void)data; }
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) { (void)buffer; return bfCurrent; }
  virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) { (void)buffer, (void)data; }
  virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) { (void)buffer, (void)value; }
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void InternalInitFieldDefs() {}
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
  virtual void InternalSetToRecord(TRecordBuffer buffer) { (void)buffer; }
  virtual void InternalGotoBookmark(const void* bookmark) { (void)bookmark; }
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalPost() {}
  virtual void InternalCancel() {}
  virtual void InternalDelete();
  virtual void InternalAddRecord(TRecordBuffer buffer, bool append);
  virtual void InternalRefresh() {}
  virtual void InternalHandleException();
  virtual bool GetCanModify() { return true; }
  virtual void SetFilterText(const AnsiString& value) { FFilterText = value; }
  virtual void ClearCalcFields(TRecordBuffer buffer) { (void)buffer; }
  virtual void CalculateFields(TRecordBuffer buffer);
  // Clears the buffers that the data set holds (the active record goes).
  virtual void ClearBuffers();
  virtual void InitRecord(TRecordBuffer buffer);
  virtual void DoBeforeCancel() { fire(BeforeCancel); }
  virtual void DoAfterCancel() { fire(AfterCancel); }
  virtual void DoBeforeInsert() { fire(BeforeInsert); }
  virtual void DoOnNewRecord() { fire(OnNewRecord); }
  virtual void DoBeforeScroll();
  virtual void DoAfterScroll();
  // The cursor is to be put on the active record again before the next relative move.
  virtual void CursorPosChanged() { FCursorValid = false; }
  // Puts the cursor on the active record when it may have moved away.
  virtual void UpdateCursorPos();
  // Calculates the calculated fields of a buffer (in the calculated-fields state).
  void GetCalcFields(TRecordBuffer buffer);
  void SetState(TDataSetState value);
  void SetTempState(TDataSetState value, TDataSetState& previous);
  void RestoreState(TDataSetState previous);
  // Makes the fields from the definitions and numbers them; lays out the calculated fields.
  void CreateFields();
  void DestroyFields();
  void BindFields(bool binding);
  void InitFieldDefs();
  void SetModified(bool v) { FModified = v; }
  bool IsDefaultFields() const { return FDefaultFields; }
  void SetBookmarkSize(int size) { FBookmarkSize = size; }
  // For subclasses that move the cursor themselves.
  void SetBofEof(bool bof, bool eof) {
    FBof = bof;
    FEof = eof;
  }
  bool HasActiveRecord() const { return FBufferRecords > 0; }
  TRecordBuffer FCalcBuffer = nullptr;
  TRecordBuffer FFilterBuffer = nullptr;  // the record being filtered, in the filter state

private:
  friend class TField;
  friend class TDataSource;
  friend class TFieldDefs;
  friend class TBlobField;
  void addField(TField* field);
  void removeField(TField* field);
  void fire(const TDataSetNotifyEvent& e) {
    if (e) e(this);
  }
  void openCursor();
  void closeCursor();
  void allocateBuffers();
  void freeBuffers();
  // Fetches into the spare buffer and makes it the active one when it comes; false otherwise.
  bool fetch(TGetMode mode);
  void insertRecord(const std::vector<Variant>& values, bool append);
  void beginInsertAppend();
  void endInsertAppend();

  bool FActive = false;
  bool FStreamedActive = false;
  TDataSetState FState = dsInactive;
  bool FBof = true;
  bool FEof = true;
  bool FModified = false;
  bool FDefaultFields = false;
  bool FAutoCalcFields = true;
  bool FFiltered = false;
  AnsiString FFilterText;
  bool FCursorValid = false;
  int FBufferRecords = 0;  // 1 while there is an active record
  int FCalcFieldsSize = 0;
  int FBookmarkSize = 0;
  int FDisableCount = 0;
  TDataSetState FDisableState = dsInactive;
  bool FPendingChange = false;
  TRecordBuffer FBuffer = nullptr;      // the active record
  TRecordBuffer FSpare = nullptr;       // where the next fetch lands
  TRecordBuffer FSavedActive = nullptr; // the record shown before an insert
  bool FHadRecordBeforeInsert = false;
  std::vector<TField*> FFields;
  std::vector<TDataSource*> FDataSources;
  std::unique_ptr<TFieldDefs> FFieldDefs;
};

// Joins a data set to the controls that show it; hears when the data set is freed.
class TDataSource : public TComponent {
public:
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;
  AnsiString ClassName() const override { return "TDataSource"; }

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* value);
  // A disabled source shows its links no data set.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  TDataSetState State() const { return FDataSet && FEnabled ? FDataSet->State() : dsInactive; }
  // Whether this source's data set is, or is fed by, the given data set.
  bool IsLinkedTo(const TDataSet* dataSet) const { return dataSet && FDataSet == dataSet; }

  // Field is the one that changed, or nullptr when the record (or more) did.
  TDataChangeEvent OnDataChange;
  TNotifyEvent OnStateChange;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  friend class TDataSet;
  friend class TDataLink;
  void dataEvent(TDataEvent event, TField* field);
  void updateLinks();

  TDataSet* FDataSet = nullptr;
  bool FEnabled = true;
  TDataSetState FLastState = dsInactive;
  std::vector<TDataLink*> FDataLinks;
};

// A control's hold on a data source: active while the source is enabled and its data set open.
// The source clears the link when it is freed.
class TDataLink : public TPersistent {
public:
  TDataLink() = default;
  ~TDataLink() override;
  AnsiString ClassName() const override { return "TDataLink"; }
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* value);
  TDataSet* DataSet() const { return FDataSource && FDataSource->Enabled() ? FDataSource->DataSet() : nullptr; }
  bool Active() const { return FActive; }

protected:
  friend class TDataSource;
  virtual void ActiveChanged() {}
  // The records changed as a whole (a move, a new open).
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled() { DataSetChanged(); }
  // The fields changed: added, removed or renamed.
  virtual void LayoutChanged() { DataSetChanged(); }
  // field nullptr: the whole record.
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void EditingChanged() {}
  virtual void CheckBrowseMode() {}
  void DataEvent(TDataEvent event, TField* field);
  // Works out Active again and tells ActiveChanged when it moved.
  void UpdateState();
  // Another source or data set: the fields are looked up again when the link stays active.
  void SourceChanged();

private:
  TDataSource* FDataSource = nullptr;
  bool FActive = false;
  bool FEditing = false;
};

// A link to one field by name, found again whenever the data set opens or its fields change.
class TFieldDataLink : public TDataLink {
public:
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& value);
  TField* Field() const { return FField; }

  // The field's value (or the field itself) changed, or the link lost or found its field.
  TNotifyEvent OnDataChange;
  TNotifyEvent OnActiveChange;

protected:
  void ActiveChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;

private:
  // Looks the field up again; true when it is another one than before.
  bool updateField();
  void dataChanged();

  AnsiString FFieldName;
  TField* FField = nullptr;
};

// A master data set's link: tells its detail when the master record or its layout changes.
class TMasterDataLink : public TDataLink {
public:
  explicit TMasterDataLink(TDataSet* detail) : FDetail(detail) {}
  AnsiString ClassName() const override { return "TMasterDataLink"; }
  TDataSet* Detail() const { return FDetail; }
  const AnsiString& FieldNames() const { return FFieldNames; }
  void SetFieldNames(const AnsiString& value);
  // The master fields named, found while the link is active.
  const std::vector<TField*>& Fields() const { return FFields; }

  TNotifyEvent OnMasterChange;
  TNotifyEvent OnMasterDisable;

protected:
  void ActiveChanged() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;
  void CheckBrowseMode() override;

private:
  void updateFields();
  TDataSet* FDetail;
  AnsiString FFieldNames;
  std::vector<TField*> FFields;
};

// Splits "A;B;C" into its names (blanks around each dropped).
std::vector<AnsiString> SplitFieldNames(const AnsiString& names);
