// The links through which controls follow a data source: the data link, the link to one field
// and the link of a master data set to its detail.
#pragma once

#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/DataSource.h"

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
