// The data set: a cursor over records kept in record buffers, with its states, fields, editing,
// bookmarks, and the events it sends its data sources. A subclass supplies the records.
#pragma once

#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/DBTypes.h"
#include "platform/classlib/FieldDefs.h"
#include "platform/classlib/Fields.h"
#include "platform/classlib/Variants.h"
#include "platform/rtl/Streams.h"

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
  void GetCalcFields(TRecordBuffer buffer) {
    if (FCalcFieldsSize != 0 || OnCalcFields) calculate(buffer);
  }
  // Runs the record filter handler over a buffer in the filter state; its exceptions pass on.
  void FilterRecord(TRecordBuffer buffer, bool& accept);
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
  // Kept apart from DataEvent, whose common case has no one to tell.
  [[gnu::noinline]] void tellSources(TDataEvent event, TField* field);
  void calculate(TRecordBuffer buffer);
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
