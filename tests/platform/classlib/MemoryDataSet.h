// An in-memory data set for the tests of data access and of the controls that show its fields.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/classlib/DB.h"

// An in-memory data set of text columns. A record buffer holds, per field, a null flag and the
// text; then the row it came from.
class TMemoryDataSet : public TDataSet {
public:
  using TDataSet::TDataSet;
  ~TMemoryDataSet() override { Close(); }

  static constexpr int TextSize = 255;
  std::vector<AnsiString> Columns;
  std::vector<std::vector<AnsiString>> Rows;
  bool FailOpen = false;

  int RecordCount() override { return static_cast<int>(Rows.size()); }
  bool GetFieldData(TField* field, void* buffer) override {
    int col = column(field);
    TRecordBuffer rec = ActiveBuffer();
    if (!rec || col < 0) return false;
    if (buffer) std::memcpy(buffer, rec + slot(col) + 1, std::size_t(field->DataSize()));
    return rec[slot(col)] != 0;
  }
  void SetFieldData(TField* field, const void* buffer) override {
    int col = column(field);
    TRecordBuffer rec = ActiveBuffer();
    rec[slot(col)] = buffer ? 1 : 0;
    std::memset(rec + slot(col) + 1, 0, TextSize + 1);
    if (buffer) std::memcpy(rec + slot(col) + 1, buffer, std::size_t(field->DataSize()));
    DataEvent(deFieldChange, field);
  }
  // A change made behind the data set's back, then announced.
  void ChangeCurrent(int col, const AnsiString& value) {
    Rows[size_t(row(ActiveBuffer()))][size_t(col)] = value;
    Resync(0);
    DataEvent(deRecordChange);
  }

protected:
  void InternalOpen() override {
    if (FailOpen) throw EDatabaseError("Cannot open the test rows");
    for (const AnsiString& c : Columns)
      if (!FindField(c)) {
        auto* f = new TStringField(this);
        f->SetSize(TextSize);
        f->SetFieldName(c);
        f->SetDataSet(this);
      }
    FCurrent = -1;
    FOpen = true;
    SetBookmarkSize(sizeof(int));
  }
  void InternalClose() override {
    FCurrent = -1;
    FOpen = false;
  }
  bool IsCursorOpen() const override { return FOpen; }
  int GetRecordSize() override { return slot(int(Columns.size())) + int(sizeof(int)); }
  void InternalInitRecord(TRecordBuffer buffer) override { std::memset(buffer, 0, std::size_t(GetRecordSize())); }
  void InternalFirst() override { FCurrent = -1; }
  void InternalLast() override { FCurrent = RecordCount(); }
  void InternalSetToRecord(TRecordBuffer buffer) override { FCurrent = row(buffer); }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool) override {
    if (mode == gmNext) {
      if (FCurrent + 1 >= RecordCount()) return FCurrent = RecordCount(), grEOF;
      ++FCurrent;
    } else if (mode == gmPrior) {
      if (FCurrent <= 0) return FCurrent = -1, grBOF;
      --FCurrent;
    } else if (FCurrent < 0 || FCurrent >= RecordCount()) {
      return grError;
    }
    InternalInitRecord(buffer);
    for (std::size_t c = 0; c < Columns.size(); ++c) {
      const AnsiString& text = Rows[size_t(FCurrent)][c];
      buffer[slot(int(c))] = 1;
      std::memcpy(buffer + slot(int(c)) + 1, text.data(), std::min<std::size_t>(text.size(), TextSize));
    }
    std::memcpy(buffer + slot(int(Columns.size())), &FCurrent, sizeof(int));
    return grOK;
  }
  void InternalDelete() override {
    Rows.erase(Rows.begin() + FCurrent);
    FCurrent = std::min(FCurrent, RecordCount() - 1);
  }
  void InternalGotoBookmark(const void* bookmark) override { std::memcpy(&FCurrent, bookmark, sizeof(int)); }
  void GetBookmarkData(TRecordBuffer buffer, void* data) override { std::memcpy(data, buffer + slot(int(Columns.size())), sizeof(int)); }
  void InternalPost() override {
    std::vector<AnsiString> values;
    for (std::size_t c = 0; c < Columns.size(); ++c) values.push_back(AnsiString(ActiveBuffer() + slot(int(c)) + 1));
    if (State() == dsInsert) {
      Rows.push_back(values);
      FCurrent = RecordCount() - 1;
    } else {
      Rows[size_t(FCurrent)] = values;
    }
  }

private:
  static int slot(int col) { return col * (TextSize + 2); }
  int row(TRecordBuffer buffer) const {
    int r = 0;
    std::memcpy(&r, buffer + slot(int(Columns.size())), sizeof(int));
    return r;
  }
  // Fields keep the place of their column, whatever they are renamed to.
  int column(const TField* field) const {
    auto it = std::find(Fields().begin(), Fields().end(), field);
    return it == Fields().end() ? -1 : static_cast<int>(it - Fields().begin());
  }
  int FCurrent = -1;
  bool FOpen = false;
};
