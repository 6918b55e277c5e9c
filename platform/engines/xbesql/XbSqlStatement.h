// One statement of the SQL engine: the listed xBase tables as SQLite tables (read in place, or
// copied into the in-memory database once a statement writes), the parameters bound by name, and
// the result rows kept as whole engine records.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace xbsql {

class TDbfSource;

class ESqlError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Reads the fixed-width fields of the table-list and parameter layouts; a short input raises.
class TFieldReader {
public:
  explicit TFieldReader(std::string_view data) : FData(data) {}
  std::string_view Take(std::size_t n);
  std::string Text(std::size_t width);  // trailing blanks dropped
  int64_t Hex(std::size_t width);
  bool YesNo() { return Take(1) == "Y"; }
  bool AtEnd() const { return FPos >= FData.size(); }

private:
  std::string_view FData;
  std::size_t FPos = 0;
};

struct TSqlTable {
  std::string Name;
  std::string Alias;
};

struct TSqlParam {
  std::string Name;
  int32_t DataType = 0;
  std::string Value;  // empty with Null set: no value
  bool Null = true;
};

std::vector<TSqlTable> ParseTableList(std::string_view data);
std::vector<TSqlParam> ParseParams(std::string_view data);

// A value as SQLite gave it; texts and blobs live in the run's store, each followed by a zero.
struct TSqlValue {
  int Kind = 5;  // SQLITE_INTEGER, _FLOAT, _TEXT, _BLOB or _NULL
  int64_t Int = 0;
  double Real = 0;
  std::string_view Bytes;
};

struct TSqlColumn {
  std::string Name;  // upper case
  char Type = 'C';
  int Width = 0;
  int Offset = 0;
  int DataBytes() const;
  bool IsBlob() const { return Type == 'M' || Type == 'B' || Type == 'P'; }
};

class TSqlStatement {
public:
  // The tables from dataPath (deleted records left out when skipDeleted).
  TSqlStatement(const std::string& dataPath, bool skipDeleted, const std::vector<TSqlTable>& tables,
                std::vector<TSqlParam> params);
  ~TSqlStatement();
  TSqlStatement(const TSqlStatement&) = delete;
  TSqlStatement& operator=(const TSqlStatement&) = delete;

  // Runs the statement and keeps its rows.
  void Open(const std::string& sql);
  // Runs a statement that gives no rows; answers the rows changed.
  int32_t Exec(const std::string& sql);
  void Close();

  int32_t RowCount() const { return static_cast<int32_t>(FRows); }
  int32_t FieldCount() const { return static_cast<int32_t>(FColumns.size()); }
  int32_t RecordSize() const { return FRecordSize; }
  std::string Structure() const;
  // The record of row number row (from 1).
  std::string_view Record(int32_t row) const {
    return std::string_view(FRecords).substr(static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(FRecordSize),
                                             static_cast<std::size_t>(FRecordSize));
  }
  // nullptr for a row or field that does not exist or is not a blob.
  const std::string* Blob(int32_t row, int32_t fieldNo) const;

private:
  void copyTables();
  void loadTable(const TDbfSource& source);
  // Lets go of what the tables read in place held for the run.
  void release();
  void exec(const std::string& sql);
  sqlite3_stmt* compile(const std::string& sql);
  void bind(sqlite3_stmt* stmt);
  // The values come row by row, one per column.
  void layOut(const std::vector<std::string>& declTypes, const std::vector<TSqlValue>& values);
  void encode(const TSqlValue* row, char* record, std::vector<std::string>& blobs) const;

  sqlite3* FDb = nullptr;
  std::vector<std::unique_ptr<TDbfSource>> FSources;
  bool FCopied = false;
  std::vector<TSqlParam> FParams;
  std::vector<TSqlColumn> FColumns;
  int32_t FRecordSize = 0;
  std::size_t FRows = 0;
  std::string FRecords;  // FRows records of FRecordSize bytes
  std::vector<std::vector<std::string>> FBlobs;  // per row, per blob column in field order
};

// Day number from 1 January of year 1 (that day is 1); 0 for an impossible date.
int32_t DayNumber(int y, int m, int d);
void CivilFromDayNumber(int32_t day, int& y, int& m, int& d);

}  // namespace xbsql
