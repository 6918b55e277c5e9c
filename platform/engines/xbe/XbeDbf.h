// One DBF table file of the level-3 kind with its DBT or FPT memo file. Every work area on a
// file in this process shares one TTableShare (structure, record count, change stamp, orders);
// each has its own TDbfFile, whose open-file-description locks belong to it alone.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace xbe {

class EDbfError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TDbfField {
  std::string Name;  // upper case
  char Type = 'C';
  int Offset = 0;  // from the start of the record, the deletion byte being 0
  int Width = 0;
  int Decimals = 0;
  bool IsMemo() const { return Type == 'M' || Type == 'G' || Type == 'P' || Type == 'B'; }
};

enum class TOpenMode { Shared = 0, ReadOnly = 1, Exclusive = 2 };

// Finds path, or when it is missing a file of the same folder whose name differs only in letter case.
std::string FindFileAnyCase(const std::string& path);

// What tells that a table changed: the header's count, update date and change counter (which
// every write of this engine moves on, in the header bytes dBASE keeps for multi-user work).
struct TChangeStamp {
  uint32_t Count = 0;
  uint32_t Counter = 0;
  uint8_t Date[3] = {0, 0, 0};
  bool operator==(const TChangeStamp& o) const;
};

class TIndexFile;

// The one table object per file in this process.
struct TTableShare {
  std::string Path;
  dev_t Dev = 0;
  ino_t Ino = 0;
  pid_t Pid = 0;
  uint8_t Version = 3;
  int HeaderSize = 0;
  int RecordSize = 0;
  std::vector<TDbfField> Fields;
  bool FoxMemo = false;
  std::string MemoPath;  // empty: no memo fields
  uint32_t RecordCount = 0;
  TChangeStamp Known;
  // Bumped whenever the table changes, here or elsewhere: places kept in an order go stale.
  uint64_t Generation = 0;
  // Another program changed the table: the orders are built again before their next use.
  bool OrdersStale = false;
  std::vector<std::shared_ptr<TIndexFile>> Indexes;
  std::vector<std::string> ReportedForeign;
};

class TDbfFile {
public:
  // Raises EDbfError: missing file, a kind or field encoding this engine does not read, a
  // damaged header, a missing memo file, or a table that another holds exclusively.
  TDbfFile(const std::string& path, TOpenMode mode);
  ~TDbfFile();
  TDbfFile(const TDbfFile&) = delete;
  TDbfFile& operator=(const TDbfFile&) = delete;

  TTableShare& Share() { return *FShare; }
  const TTableShare& Share() const { return *FShare; }
  const std::string& Path() const { return FShare->Path; }
  bool ReadOnly() const { return FMode == TOpenMode::ReadOnly; }
  bool Exclusive() const { return FMode == TOpenMode::Exclusive; }
  const std::vector<TDbfField>& Fields() const { return FShare->Fields; }
  int FieldIndex(std::string_view name) const;  // -1 when missing; any letter case
  int RecordSize() const { return FShare->RecordSize; }
  uint32_t RecordCount() const { return FShare->RecordCount; }

  // Reads the header; true when someone else changed the table since it was last seen here.
  // A table held exclusively has no one else: its header is read once.
  bool Sync();
  // A record number outside 1..RecordCount gives a blank record. Records come through a cache
  // that any change to the table, here or seen by Sync, and any record lock drop.
  std::string ReadRecord(uint32_t recNo) const;
  void ReadRecordInto(uint32_t recNo, std::string& out) const;
  // The record is in the cache, so reading it asks nothing of the file.
  bool Cached(uint32_t recNo) const;
  // The cached record itself, or nullptr when reading it would ask the file; for a step of a walk.
  const char* CachedRecord(uint32_t recNo) const {
    if (recNo < 1 || recNo > FShare->RecordCount) return nullptr;
    const auto size = std::size_t(FShare->RecordSize);
    if (!FGathered.empty() && recNo >= FGatheredFirst) return FGathered.data() + std::size_t(recNo - FGatheredFirst) * size;
    if (FCacheGeneration != FShare->Generation || recNo < FCacheFirst || recNo - FCacheFirst >= FCacheCount) return nullptr;
    return FCache.data() + std::size_t(recNo - FCacheFirst) * size;
  }
  // Records first.. in one read, as many as fit below the count; for walks over the table.
  std::string ReadRecords(uint32_t first, uint32_t count);
  // Writes RecordSize bytes under the file's lock; a record that another holds locked is
  // refused. Answers the record as it was before.
  std::string WriteRecord(uint32_t recNo, std::string_view record);
  // Appends under the file's lock at the count the header holds then; answers the number. A
  // table held exclusively gathers its appends and writes them, then the header, a block at a
  // time, at Flush and at the end.
  uint32_t AppendRecord(std::string_view record);
  // toDisk: writes what is gathered and waits for the disk.
  void Flush(bool toDisk);
  // Writes what is gathered; before a close, where a failure can still be reported.
  void WriteGathered();

  // Memo text by the 10-character reference of a record; an empty reference gives "".
  // A reference that points nowhere or into a damaged memo file raises EDbfError.
  std::string ReadMemo(std::string_view ref) const;
  // Stores data as a new memo, allocated under the memo file's lock; answers the reference.
  std::string WriteMemo(std::string_view data);
  static std::string BlankRecord(int size) { return std::string(static_cast<std::size_t>(size), ' '); }

  // Record locks are byte-range locks beyond the data, held by this open table until unlocked.
  bool LockRecord(uint32_t recNo, int timeoutSeconds);
  void UnlockRecord(uint32_t recNo);
  void UnlockAll();
  bool RecordLocked(uint32_t recNo) const;

private:
  void readHeader();
  void openMemo();
  TChangeStamp readStamp(unsigned char* header) const;
  void dropCache() const { FCacheGeneration = UINT64_MAX; }
  bool cacheValid() const { return FCacheCount && FCacheGeneration == FShare->Generation; }
  // After a write of this table: the cache stays when it was valid, with the record put in.
  void cacheWritten(bool wasValid, uint32_t recNo, std::string_view record);
  void writeGathered();
  // Takes the file's own lock, waits a bounded while, and gives it back when destroyed.
  class TFileLock;
  bool seenChange(const TChangeStamp& now);
  // Under the file's lock: the date, count and change counter, then the stamp as now seen.
  void writeHeader(unsigned char* header, uint32_t count);

  std::shared_ptr<TTableShare> FShare;
  TOpenMode FMode;
  int FFd = -1;
  int FMemoFd = -1;
  uint32_t FMemoBlockSize = 512;
  std::vector<uint32_t> FLocks;
  mutable bool FHeaderRead = false;
  mutable unsigned char FHeader[32] = {};  // as last read or written here
  // Records FCacheFirst.. as read, for the generation of the table they were read in.
  mutable std::vector<char> FCache;
  mutable uint32_t FCacheFirst = 0, FCacheCount = 0;
  mutable uint64_t FCacheGeneration = UINT64_MAX;
  // Appends of a table held exclusively not yet written: records FGatheredFirst..
  std::string FGathered;
  uint32_t FGatheredFirst = 0;
  bool FHeaderOwed = false;
  std::string FScratch;
};

}  // namespace xbe
