// An in-memory data set for the tests of data access and of the controls that show its fields.
#pragma once

#include <algorithm>
#include <vector>

#include "platform/classlib/DB.h"

// An in-memory data set of text columns; the current row is the cursor.
class TMemoryDataSet : public TDataSet {
public:
  using TDataSet::TDataSet;
  ~TMemoryDataSet() override { Close(); }

  std::vector<AnsiString> Columns;
  std::vector<std::vector<AnsiString>> Rows;
  bool FailOpen = false;

  int RecordCount() const override { return static_cast<int>(Rows.size()); }
  bool GetFieldData(const TField* field, AnsiString& value) const override {
    int col = column(field);
    if (FCurrent < 0 || FCurrent >= RecordCount() || col < 0) return false;
    value = Rows[size_t(FCurrent)][size_t(col)];
    return true;
  }
  void SetFieldData(TField* field, const AnsiString& value) override {
    Rows[size_t(FCurrent)][size_t(column(field))] = value;
  }
  // A change made behind the data set's back, then announced.
  void ChangeCurrent(int col, const AnsiString& value) {
    Rows[size_t(FCurrent)][size_t(col)] = value;
    DataEvent(deRecordChange);
  }

protected:
  void InternalOpen() override {
    if (FailOpen) throw EDatabaseError("Cannot open the test rows");
    for (const AnsiString& c : Columns)
      if (!FindField(c)) {
        auto* f = new TField(this);
        f->SetFieldName(c);
        f->SetDataSet(this);
      }
  }
  void InternalClose() override { FCurrent = -1; }
  bool InternalFirst() override {
    FCurrent = 0;
    return !Rows.empty();
  }
  bool InternalNext() override {
    if (FCurrent + 1 >= RecordCount()) return false;
    ++FCurrent;
    return true;
  }
  void InternalEdit() override { FSaved = Rows[size_t(FCurrent)]; }
  void InternalCancel() override { Rows[size_t(FCurrent)] = FSaved; }

private:
  // Fields keep the place of their column, whatever they are renamed to.
  int column(const TField* field) const {
    auto it = std::find(Fields().begin(), Fields().end(), field);
    return it == Fields().end() ? -1 : static_cast<int>(it - Fields().begin());
  }
  int FCurrent = -1;
  std::vector<AnsiString> FSaved;
};
