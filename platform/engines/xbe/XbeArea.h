// One work area of the table engine: an open table with its orders (index tags), record
// pointer, filter and scope, and the navigation that honours all of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/engines/xbe/XbeDbf.h"
#include "platform/engines/xbe/XbeExpr.h"

namespace xbe {

// The engine-wide settings.
struct TSettings {
  bool Deleted = false;  // deleted records hidden
  bool Exact = false;
  bool SoftSeek = false;
  bool Century = false;
  int DateFormat = 0;
  int Epoch = 1900;
  int MemoBlockSize = 64;
  int LockTimeout = 1;  // seconds
  int ErrorLevel = 1;
  int StringType = 0;
  bool Optimistic = false;
  bool TurboRead = false;
  bool Translate = false;
};
TSettings& Settings();

struct TKey {
  bool Numeric = false;
  double Num = 0;
  std::string Str;
};

struct TOrder {
  std::string Tag;
  std::string File;
  TExpression Key;
  TExpression For;
  bool Unique = false;
  bool Descending = false;
  struct TEntry {
    TKey Key;
    uint32_t RecNo = 0;
  };
  std::vector<TEntry> Entries;  // ascending by key, then record number
};

class TWorkArea {
public:
  TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int tableKind, int commitLevel);

  TDbfFile& Dbf() { return *FDbf; }
  const TDbfFile& Dbf() const { return *FDbf; }
  const std::string& Alias() const { return FAlias; }
  int CommitLevel() const { return FCommitLevel; }
  std::string Password;

  // The record pointer; RecNo is RecordCount + 1 at the end.
  uint32_t RecNo() const { return FRecNo; }
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  bool Found() const { return FFound; }
  const std::string& Record() const { return FRecord; }
  bool Deleted() const { return !FRecord.empty() && FRecord[0] == '*'; }

  void GoTop();
  void GoBottom();
  void Go(int32_t recNo);
  void Skip(int32_t count);
  bool Seek(const std::string& key);
  uint32_t Count();         // visible records in the current order
  uint32_t FilterCount();   // records that the filter and the deleted setting let through
  double OrderPosition();   // 0..1 in the current order
  void SetOrderPosition(double fraction);

  // Writes and keeps every order up to date.
  void PutRecord(const std::string& record);
  void AppendBlank();
  void Delete();
  void PutField(int field, const std::string& text);
  void Reload();

  // Evaluates against the current record; raises EExprError.
  TExpression Compile(const std::string& text) const;
  TValue Evaluate(const TExpression& e) const;
  TValue FieldValue(const std::string& record, int field) const;

  void SetFilter(const std::string& text);  // raises EExprError; an empty text clears it
  const std::string& FilterText() const { return FFilter.Text(); }

  // Orders count from 1; 0 is the natural (record number) order.
  int OpenIndex(const std::string& file);  // first order added, 0 when the file adds none
  void CloseIndexes();
  int OrderCount() const { return static_cast<int>(FOrders.size()); }
  int CurrentOrder() const { return FOrder; }
  void SetOrder(int order);
  const TOrder* Order(int order) const;
  int TagArea(const std::string& tag) const;
  bool SetScope(const std::string& low, const std::string& high);
  const std::string& Scope(int which) const { return which == 0 ? FScopeLow : FScopeHigh; }

private:
  class TView;
  std::size_t seqCount() const;
  uint32_t seqRec(std::size_t i) const;
  std::size_t seqEntry(std::size_t i) const;
  bool visible(std::size_t i) const;
  bool inScope(const TKey& key) const;
  std::size_t position();
  void gotoSeq(std::size_t i);
  void gotoEnd();
  TKey keyOf(const TOrder& o, const std::string& record) const;
  void reindexRecord(uint32_t recNo);
  void buildOrder(TOrder& o) const;

  std::unique_ptr<TDbfFile> FDbf;
  std::string FAlias;
  int FCommitLevel = 1;
  uint32_t FRecNo = 0;
  bool FEof = true;
  bool FBof = true;
  bool FFound = false;
  std::string FRecord;
  std::size_t FPos = SIZE_MAX;  // place in the current order's sequence; SIZE_MAX: not known
  std::vector<TOrder> FOrders;
  int FOrder = 0;
  TExpression FFilter;
  std::string FScopeLow, FScopeHigh;
};

int CompareKeys(const TKey& a, const TKey& b);

}  // namespace xbe
