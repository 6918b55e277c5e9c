// A DBF table as SQLite sees it through a virtual-table module: the file is read in place, as
// it is when a statement first touches it, and nothing is copied into SQLite.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engines/xbe/XbeDbf.h"

struct sqlite3;
struct sqlite3_context;

namespace xbsql {

// The declared SQLite type of a DBF field; its affinity keeps the values as they were put in.
std::string DeclaredType(const xbe::TDbfField& f);

// Where a field's value goes: a bound parameter or a column result.
struct TValueSink {
  virtual ~TValueSink() = default;
  virtual void Int(int64_t v) = 0;
  virtual void Real(double v) = 0;
  virtual void Text(std::string_view v) = 0;
  virtual void Blob(std::string_view v) = 0;
  virtual void Null() = 0;
};

// A numeric or logical field's value as SQLite gets it.
struct TNumber {
  enum : uint8_t { Unread, Integer, Real, Null };
  uint8_t Kind = Unread;
  union {
    int64_t Int = 0;
    double Dbl;
  };
};

// The value of a number field's text as strtoll (integer fields) or strtod in the C locale would
// read it.
TNumber ParseNumber(const xbe::TDbfField& f, std::string_view text);

// The value of the raw field bytes of a record; memos are read through dbf.
void FieldValue(const xbe::TDbfField& f, std::string_view raw, const xbe::TDbfFile& dbf, TValueSink& sink);

class TDbfSource {
public:
  // Opens file to learn its structure and closes it again; raises ESqlError when it cannot.
  TDbfSource(std::string name, std::string file, bool skipDeleted);
  const std::string& Name() const { return FName; }
  const std::string& File() const { return FFile; }
  bool SkipDeleted() const { return FSkipDeleted; }
  const std::vector<xbe::TDbfField>& Fields() const { return FFields; }
  // The column list of the virtual table.
  std::string Schema() const;
  // The record count the planner is told.
  uint32_t Estimate() const { return FEstimate; }

  // Reads the records as they are now, unless already taken since the last Release; keeps the
  // file open for memos until Release. Raises ESqlError when the table cannot be read.
  void Take();
  void Release();

  std::size_t Rows() const { return FRows; }
  std::string_view Record(std::size_t row) const {
    std::size_t at = FAllVisible ? row : FVisible[row];
    return std::string_view(FData.data() + at * FRecordSize, FRecordSize);
  }
  const xbe::TDbfFile& Dbf() const { return *FDbf; }
  // Whether the column holds numbers or logicals, which SQLite gets as numbers and whose
  // equalities and ranges the table answers itself.
  bool Keyed(int column) const;
  // The value of such a column in a row, with the affinity of a column of its declared type.
  TNumber Number(int column, std::size_t row) const;
  // The rows (from 0) whose column equals key, in file order.
  struct TRows {
    const uint32_t* Begin = nullptr;
    const uint32_t* End = nullptr;
  };
  TRows Lookup(int column, double key);

private:
  std::string FName, FFile;
  bool FSkipDeleted;
  std::vector<xbe::TDbfField> FFields;
  std::size_t FRecordSize = 0;
  uint32_t FEstimate = 0;
  std::unique_ptr<xbe::TDbfFile> FDbf;
  std::string FData;
  std::vector<uint32_t> FVisible;  // record numbers from 0 of the rows SQLite sees, unless all are
  bool FAllVisible = true;
  std::size_t FRows = 0;
  // A column's values, each with its rows. Whole numbers of a narrow range index a table of
  // runs of Rows directly (Runs[k - Low] to Runs[k - Low + 1]); others go by hash (open
  // addressing), where a key of one row holds that row itself, the others a run of Rows.
  struct TKeys {
    bool Built = false;
    bool Direct = false;
    int64_t Low = 0;
    std::vector<uint32_t> Runs;
    struct TSlot {
      double Key = 0;
      uint32_t Start = 0, Count = 0;  // Count 0: empty slot
    };
    std::vector<TSlot> Slots;
    std::vector<uint32_t> Rows;
    uint64_t Mask = 0;
  };
  std::vector<TKeys> FKeys;
  void BuildKeys(int column, TKeys& keys);
  static uint64_t Hash(double key);
};

// Registers the module "xbdbf"; a table is made with CREATE VIRTUAL TABLE t USING xbdbf(n),
// n indexing sources.
void RegisterDbfModule(sqlite3* db, std::vector<std::unique_ptr<TDbfSource>>* sources);

}  // namespace xbsql
