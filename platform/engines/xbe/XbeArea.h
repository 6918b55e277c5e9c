// One work area of the table engine: an open table with its orders (index tags), record
// pointer, record buffer, filter and scope, and the navigation that honours all of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/engines/xbe/XbeDbf.h"
#include "platform/engines/xbe/XbeExpr.h"
#include "platform/engines/xbe/XbeOrderTree.h"

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

struct TOrder {
  std::string Tag;
  std::string File;  // the index's name as it was opened
  TExpression Key;
  TExpression For;
  bool Unique = false;
  bool Descending = false;
  TOrderTree Tree;
};

// The orders of one index file, shared by every work area of the table in this process.
struct TIndexFile {
  std::string Name;     // as opened
  std::string OwnPath;  // the engine's own file that holds the tags
  std::vector<TOrder> Orders;
};

// The engine's own index files: a signature line, then one tag a line.
constexpr const char* kIndexSignature = "XBEINDEX 1";
constexpr const char* kIndexExtension = ".xbi";
constexpr std::size_t kMaxIndexFileSize = 1 << 20;
constexpr std::size_t kMaxIndexTags = 255;

class TWorkArea {
public:
  TWorkArea(const std::string& path, std::string alias, TOpenMode mode, int tableKind, int commitLevel);
  ~TWorkArea();

  TDbfFile& Dbf() { return *FDbf; }
  const TDbfFile& Dbf() const { return *FDbf; }
  const std::string& Alias() const { return FAlias; }
  int CommitLevel() const { return FCommitLevel; }
  std::string Password;

  // The record pointer; RecNo is RecordCount + 1 at the end.
  uint32_t RecNo() const { return FRecNo; }
  uint32_t RecordCount();  // from the header, with a new record not yet written
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  bool Found() const { return FFound; }
  const std::string& Record() const { return FRecord; }
  bool Deleted() const { return !FRecord.empty() && FRecord[0] == '*'; }

  void GoTop();
  void GoBottom();
  void Go(int32_t recNo);
  void Skip(int32_t count);
  // Skip, and the record reached copied into record; its number, or 0 when the step ran off
  // that end or stayed where it was.
  uint32_t Step(int32_t count, char* record);
  bool Seek(const std::string& key);
  uint32_t Count();         // visible records in the current order
  uint32_t FilterCount();   // records that the filter and the deleted setting let through
  double OrderPosition();   // 0..1 in the current order
  void SetOrderPosition(double fraction);

  // Changes go into the record buffer, which is written when the pointer moves, at Commit, at
  // Unlock and at Close. A change that fails abandons the buffer's unwritten changes.
  void PutRecord(const std::string& record);
  void PutField(int field, const std::string& text);
  void AppendBlank();
  void Delete();
  void Commit();
  // Commit, and what the table gathered is written: before the work area goes.
  void Close();
  void Abandon();
  bool LockRecord(uint32_t recNo);
  void Unlock(uint32_t recNo);

  // Evaluates against the current record; raises EExprError.
  TExpression Compile(const std::string& text) const;
  TValue Evaluate(const TExpression& e) const;
  TValue FieldValue(const std::string& record, int field) const;
  std::string Memo(int field) const;

  void SetFilter(const std::string& text);  // raises EExprError; an empty text clears it
  const std::string& FilterText() const { return FFilter.Text(); }

  // Orders count from 1; 0 is the natural (record number) order.
  // The first order added; 0 when the file is another program's index, which is left alone.
  int OpenIndex(const std::string& file);
  // What the engine should report once without failing (a foreign index left alone).
  std::string Notice;
  void CloseIndexes();
  int OrderCount() const { return static_cast<int>(FOrders.size()); }
  int CurrentOrder() const { return FOrder; }
  void SetOrder(int order);
  const TOrder* Order(int order) const;
  int TagArea(const std::string& tag) const;
  bool SetScope(const std::string& low, const std::string& high);
  const std::string& Scope(int which) const { return which == 0 ? FScopeLow : FScopeHigh; }

  // Where xb_GetBlob may write: the length xb_GetBlobLength last answered for that field.
  int BlobField = -1;
  uint32_t BlobRecNo = 0;
  std::size_t BlobLength = 0;

private:
  class TView;
  // Before a move: the buffer goes to the file, and what others changed is taken in; a step
  // through the records (not fresh) takes it in only when it must read the file.
  void enter(bool fresh = true);
  // Before record recNo is read on a step: what others changed is taken in when it is not cached.
  void freshen(uint32_t recNo);
  void flush();
  [[gnu::noinline]] uint32_t skipAndCopy(int32_t count, char* record);
  void ensureOrders();
  void buildOrder(TOrder& o);
  TKey keyOf(const TOrder& o, const std::string& record) const;
  bool inOrder(const TOrder& o, const std::string& record) const;
  void reindex(uint32_t recNo, const std::string* before, const std::string& after);
  TOrder* order() { return FOrder ? FOrders[std::size_t(FOrder - 1)] : nullptr; }
  const TOrder* order() const { return FOrder ? FOrders[std::size_t(FOrder - 1)] : nullptr; }
  std::shared_ptr<TIndexFile> loadIndex(const std::string& name, const std::string& own);

  // Navigation in the current order by ascending rank; dir is +1 or -1.
  void scopeRange(std::size_t& lo, std::size_t& hi) const;
  bool passesFilter(const std::string& record) const;
  bool visibleNatural(uint32_t recNo) const;
  std::size_t firstVisible(std::size_t rank, int dir);
  bool locate();  // finds the current record's rank; false at the end
  void gotoRank(std::size_t rank);
  void gotoRecord(uint32_t recNo);
  void gotoEnd();
  int seqDir() const;
  std::size_t visibleBefore(std::size_t rank);

  std::unique_ptr<TDbfFile> FDbf;
  std::string FAlias;
  int FCommitLevel = 1;
  uint32_t FRecNo = 0;
  bool FEof = true;
  bool FBof = true;
  bool FFound = false;
  std::string FRecord;
  mutable std::string FScratch;
  bool FDirty = false;    // the buffer holds changes not yet written
  bool FPending = false;  // the buffer is a new record not yet appended
  // The current record's rank in the current order, known for one generation of the table.
  std::size_t FRank = 0;
  bool FInOrder = false;
  bool FRankKnown = false;
  uint64_t FRankGeneration = 0;
  std::vector<std::shared_ptr<TIndexFile>> FIndexFiles;
  std::vector<TOrder*> FOrders;
  int FOrder = 0;
  TExpression FFilter;
  std::string FScopeLow, FScopeHigh;
};

}  // namespace xbe
