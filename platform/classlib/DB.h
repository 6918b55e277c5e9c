// Data access: the data set with its fields and cursor, the data source that joins a data set to
// controls, and the data links through which controls follow one.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/classlib/Classes.h"

QUORVEX_EXCEPTION(EDatabaseError, Exception);

class TDataSet;
class TDataSource;
class TDataLink;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter };

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

class TField;
using TFieldGetTextEvent = std::function<void(TField* Sender, AnsiString& Text, bool DisplayText)>;
using TDataChangeEvent = std::function<void(TObject* Sender, TField* Field)>;

// One column of a data set; its value is the data set's current record's.
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

  // The current record's value as text; empty on a closed data set or an empty one.
  virtual AnsiString AsString() const;
  // Writes the current record's value; the data set must be editing or inserting.
  virtual void SetAsString(const AnsiString& value);
  // The text a control shows: OnGetText's when there is one, else the value's.
  AnsiString DisplayText();

  TFieldGetTextEvent OnGetText;

protected:
  // The text of the value; typed fields format their values here.
  virtual AnsiString GetText(bool displayText) const { (void)displayText; return AsString(); }

private:
  friend class TDataSet;
  TDataSet* FDataSet = nullptr;
  AnsiString FFieldName;
  TFieldType FDataType = ftString;
  int FSize = 0;
};

// A cursor over records: open or closed, a list of fields, a state, moves. The records themselves
// are a subclass's: it opens and closes its source, moves its cursor and gives the field values.
// A subclass closes itself in its own destructor (the record access is gone by the time this one runs).
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

  const std::vector<TField*>& Fields() const { return FFields; }
  int FieldCount() const { return static_cast<int>(FFields.size()); }
  // By name in any letter case; nullptr when there is none.
  TField* FindField(const AnsiString& name) const;
  // Raises EDatabaseError when there is none.
  TField* FieldByName(const AnsiString& name) const;

  // Moves; each tells the links. Raise EDatabaseError on a closed data set.
  virtual void First();
  virtual void Next();
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  virtual int RecordCount() const { return 0; }
  // Whether there is no record to show.
  bool IsEmpty() const { return !FActive || (FBof && FEof); }

  // Editing of the current record: Edit and Post bracket field writes; Cancel drops them.
  virtual void Edit();
  virtual void Post();
  virtual void Cancel();

  // Tells the data sources (and through them their links) what changed.
  virtual void DataEvent(TDataEvent event, TField* field = nullptr);
  // Raises EDatabaseError "Cannot perform this operation on a closed dataset".
  void CheckActive() const;

  // The current record's value of a field, as text; false when there is no record.
  virtual bool GetFieldData(const TField* field, AnsiString& value) const = 0;
  // Stores a value of the current record; read-only data sets keep the default, which raises.
  virtual void SetFieldData(TField* field, const AnsiString& value);

protected:
  // Reads the source's structure; raises to stay closed.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  // Places the cursor on the first record; false when there is none.
  virtual bool InternalFirst() = 0;
  // Moves to the next record; false past the last one.
  virtual bool InternalNext() = 0;
  virtual void InternalEdit() {}
  virtual void InternalPost() {}
  virtual void InternalCancel() {}
  void SetState(TDataSetState value);
  // For subclasses that move the cursor themselves.
  void SetBofEof(bool bof, bool eof) {
    FBof = bof;
    FEof = eof;
  }

private:
  friend class TField;
  friend class TDataSource;
  void addField(TField* field);
  void removeField(TField* field);

  bool FActive = false;
  TDataSetState FState = dsInactive;
  bool FBof = true;
  bool FEof = true;
  std::vector<TField*> FFields;
  std::vector<TDataSource*> FDataSources;
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
