// One DBF table file of the level-3 kind with its DBT or FPT memo file: the header, whole
// records as text images (deletion byte first), memos, and fcntl locks that other processes see.
#pragma once

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

class TDbfFile {
public:
  // Raises EDbfError: missing file, a kind or field encoding this engine does not read, a
  // missing memo file, or a table that another process holds exclusively.
  TDbfFile(const std::string& path, TOpenMode mode);
  ~TDbfFile();
  TDbfFile(const TDbfFile&) = delete;
  TDbfFile& operator=(const TDbfFile&) = delete;

  const std::string& Path() const { return FPath; }
  bool ReadOnly() const { return FMode == TOpenMode::ReadOnly; }
  const std::vector<TDbfField>& Fields() const { return FFields; }
  int FieldIndex(std::string_view name) const;  // -1 when missing; any letter case
  int RecordSize() const { return FRecordSize; }
  uint32_t RecordCount() const { return FRecordCount; }

  // A record number outside 1..RecordCount gives a blank record.
  std::string ReadRecord(uint32_t recNo) const;
  // Writes exactly RecordSize bytes; refused outside 1..RecordCount or when read-only.
  void WriteRecord(uint32_t recNo, std::string_view record);
  // Appends a blank record and returns its number.
  uint32_t AppendBlank();
  void Flush(bool toDisk);

  // Memo text by the 10-character reference of a record; an empty reference gives "".
  std::string ReadMemo(std::string_view ref) const;
  // Stores data as a new memo and returns the reference to put into the record.
  std::string WriteMemo(std::string_view data);
  static std::string BlankRecord(int size) { return std::string(static_cast<std::size_t>(size), ' '); }

  // Record locks are byte-range locks beyond the data, held by this process until unlocked.
  bool LockRecord(uint32_t recNo, int timeoutSeconds);
  void UnlockRecord(uint32_t recNo);
  void UnlockAll();
  bool RecordLocked(uint32_t recNo) const;

private:
  void readHeader();
  void openMemo();
  void writeHeader();
  bool tryLock(int fd, off_t offset, short type, int timeoutSeconds) const;

  std::string FPath;
  TOpenMode FMode;
  int FFd = -1;
  int FMemoFd = -1;
  bool FFoxMemo = false;  // FPT rather than DBT
  uint32_t FMemoBlockSize = 512;
  uint8_t FVersion = 3;
  uint32_t FRecordCount = 0;
  int FHeaderSize = 0;
  int FRecordSize = 0;
  std::vector<TDbfField> FFields;
  std::vector<uint32_t> FLocks;
};

}  // namespace xbe
