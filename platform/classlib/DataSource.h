// The data source that joins a data set to the controls that show it.
#pragma once

#include <vector>

#include "platform/classlib/Classes.h"
#include "platform/classlib/DataSet.h"

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
