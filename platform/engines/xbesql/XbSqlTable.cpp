#include "platform/engines/xbesql/XbSqlTable.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/engines/xbesql/XbSqlStatement.h"

namespace xbsql {

namespace {

std::string_view Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool IntegerField(const xbe::TDbfField& f) { return f.Decimals == 0 && f.Width <= 9; }

// Records read at once while a table is taken.
constexpr uint32_t kChunkRecords = 4096;

}  // namespace

std::string DeclaredType(const xbe::TDbfField& f) {
  switch (f.Type) {
    case 'C': return "CHAR(" + std::to_string(f.Width) + ")";
    case 'D': return "DATE";
    case 'L': return "LOGICAL";
    case 'N':
    case 'F':
      if (IntegerField(f)) return "INTEGER";
      return "NUMERIC(" + std::to_string(f.Width) + "," + std::to_string(f.Decimals) + ")";
    case 'M': return "CLOB";
    default: return f.IsMemo() ? "BLOB" : "CHAR(" + std::to_string(f.Width) + ")";
  }
}

void FieldValue(const xbe::TDbfField& f, std::string_view raw, const xbe::TDbfFile& dbf, TValueSink& sink) {
  std::string_view text = Trimmed(raw);
  if (f.IsMemo()) {
    std::string memo = dbf.ReadMemo(raw);
    if (f.Type == 'M') sink.Text(memo);
    else sink.Blob(memo);
    return;
  }
  switch (f.Type) {
    case 'D': {
      if (text.size() != 8) break;
      char date[10];
      std::memcpy(date, text.data(), 4);
      date[4] = '-';
      std::memcpy(date + 5, text.data() + 4, 2);
      date[7] = '-';
      std::memcpy(date + 8, text.data() + 6, 2);
      sink.Text(std::string_view(date, sizeof date));
      return;
    }
    case 'L':
      if (text.empty() || text[0] == '?') break;
      sink.Int(std::strchr("TtYy", text[0]) ? 1 : 0);
      return;
    case 'N':
    case 'F': {
      if (text.empty()) break;
      // Field widths fit a byte, so the text fits the buffer.
      char number[256];
      std::size_t n = std::min(text.size(), sizeof number - 1);
      std::memcpy(number, text.data(), n);
      number[n] = '\0';
      if (IntegerField(f)) sink.Int(std::strtoll(number, nullptr, 10));
      else sink.Real(std::strtod(number, nullptr));
      return;
    }
    default:
      // Texts lose the trailing blanks the file pads them with.
      sink.Text(text);
      return;
  }
  sink.Null();
}

// ---- the table

TDbfSource::TDbfSource(std::string name, std::string file, bool skipDeleted)
    : FName(std::move(name)), FFile(std::move(file)), FSkipDeleted(skipDeleted) {
  try {
    xbe::TDbfFile dbf(xbe::FindFileAnyCase(FFile), xbe::TOpenMode::ReadOnly);
    FFields = dbf.Fields();
    FRecordSize = static_cast<std::size_t>(dbf.RecordSize());
    FEstimate = dbf.RecordCount();
  } catch (const xbe::EDbfError& e) {
    throw ESqlError("Unable to open table " + FName + ": " + e.what());
  }
}

std::string TDbfSource::Schema() const {
  std::string create = "CREATE TABLE x (";
  for (std::size_t i = 0; i < FFields.size(); ++i) {
    std::string quoted = "\"";
    for (char c : FFields[i].Name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    create += (i ? ", " : "") + quoted + "\" " + DeclaredType(FFields[i]);
  }
  return create + ")";
}

void TDbfSource::Take() {
  if (FDbf) return;
  std::unique_ptr<xbe::TDbfFile> dbf;
  try {
    dbf = std::make_unique<xbe::TDbfFile>(xbe::FindFileAnyCase(FFile), xbe::TOpenMode::ReadOnly);
  } catch (const xbe::EDbfError& e) {
    throw ESqlError("Unable to open table " + FName + ": " + e.what());
  }
  const auto& now = dbf->Fields();
  bool same = static_cast<std::size_t>(dbf->RecordSize()) == FRecordSize && now.size() == FFields.size();
  for (std::size_t i = 0; same && i < now.size(); ++i)
    same = now[i].Name == FFields[i].Name && now[i].Type == FFields[i].Type && now[i].Offset == FFields[i].Offset &&
           now[i].Width == FFields[i].Width && now[i].Decimals == FFields[i].Decimals;
  if (!same) throw ESqlError("Table " + FName + " changed its structure since the statement was prepared");
  // A count beyond what the file holds is not allocated for.
  uint32_t count = dbf->RecordCount();
  struct stat st{};
  if (stat(dbf->Path().c_str(), &st) == 0) {
    off_t held = (st.st_size - dbf->Share().HeaderSize) / static_cast<off_t>(FRecordSize);
    count = static_cast<uint32_t>(std::clamp<off_t>(held, 0, count));
  }
  std::string data;
  data.reserve(std::size_t(count) * FRecordSize);
  for (uint32_t first = 1; first <= count; first += kChunkRecords) {
    uint32_t n = std::min(kChunkRecords, count - first + 1);
    std::string chunk = dbf->ReadRecords(first, n);
    if (chunk.size() == std::size_t(n) * FRecordSize) {
      data += chunk;
      continue;
    }
    for (uint32_t r = first; r < first + n; ++r) data += dbf->ReadRecord(r);
  }
  // The rows SQLite sees: every record, or those not deleted.
  auto deleted = [&](uint32_t r) { return data[std::size_t(r) * FRecordSize] == '*'; };
  bool all = true;
  for (uint32_t r = 0; FSkipDeleted && all && r < count; ++r) all = !deleted(r);
  std::vector<uint32_t> visible;
  if (!all)
    for (uint32_t r = 0; r < count; ++r)
      if (!deleted(r)) visible.push_back(r);
  FData = std::move(data);
  FAllVisible = all;
  FRows = all ? count : visible.size();
  FVisible = std::move(visible);
  FKeys.clear();
  FDbf = std::move(dbf);
}

void TDbfSource::Release() {
  FDbf.reset();
  FData.clear();
  FData.shrink_to_fit();
  FVisible = {};
  FRows = 0;
  FKeys.clear();
}

bool TDbfSource::Keyed(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= FFields.size()) return false;
  char type = FFields[static_cast<std::size_t>(column)].Type;
  return type == 'N' || type == 'F' || type == 'L';
}

uint64_t TDbfSource::Hash(double key) {
  key += 0.0;  // -0 and 0 are one key
  uint64_t bits;
  std::memcpy(&bits, &key, sizeof bits);
  bits ^= bits >> 29;
  return bits * 0x9E3779B97F4A7C15ull >> 17;
}

TDbfSource::TRows TDbfSource::Lookup(int column, double key) {
  auto [it, fresh] = FKeys.try_emplace(column);
  TKeys& keys = it->second;
  auto slotOf = [&keys](double k) -> TKeys::TSlot& {
    uint64_t i = Hash(k) & keys.Mask;
    while (keys.Slots[i].Count && !(keys.Slots[i].Key == k)) i = (i + 1) & keys.Mask;
    return keys.Slots[i];
  };
  if (fresh) {
    // Only numbers and nulls come out of these fields; a null (kept as NaN) equals nothing.
    struct TKey : TValueSink {
      double Value = 0;
      void Int(int64_t v) override { Value = static_cast<double>(v); }
      void Real(double v) override { Value = v + 0.0; }  // -0 and 0 are one key
      void Text(std::string_view) override { Value = NAN; }
      void Blob(std::string_view) override { Value = NAN; }
      void Null() override { Value = NAN; }
    } k;
    const xbe::TDbfField& f = FFields[static_cast<std::size_t>(column)];
    auto rows = static_cast<uint32_t>(FRows);
    uint64_t slots = 16;
    while (slots < 2 * uint64_t(rows)) slots *= 2;
    keys.Mask = slots - 1;
    keys.Slots.assign(slots, {});
    std::vector<double> values(rows);
    for (uint32_t row = 0; row < rows; ++row) {
      FieldValue(f, Record(row).substr(static_cast<std::size_t>(f.Offset), static_cast<std::size_t>(f.Width)), *FDbf,
                 k);
      values[row] = k.Value;
      if (std::isnan(k.Value)) continue;
      TKeys::TSlot& slot = slotOf(k.Value);
      if (!slot.Count++) slot.Key = k.Value, slot.Start = row;
    }
    // Keys of several rows get runs; filled from the last row back, each run ends in file order.
    uint32_t next = 0;
    for (TKeys::TSlot& slot : keys.Slots)
      if (slot.Count > 1) next += slot.Count, slot.Start = next;
    keys.Rows.resize(next);
    for (uint32_t row = rows; row-- > 0;) {
      if (std::isnan(values[row])) continue;
      TKeys::TSlot& slot = slotOf(values[row]);
      if (slot.Count > 1) keys.Rows[--slot.Start] = row;
    }
  }
  if (std::isnan(key)) return {};
  const TKeys::TSlot& slot = slotOf(key + 0.0);
  if (!slot.Count) return {};
  if (slot.Count == 1) return {&slot.Start, &slot.Start + 1};
  return {keys.Rows.data() + slot.Start, keys.Rows.data() + slot.Start + slot.Count};
}

// ---- the module

namespace {

struct TVTab : sqlite3_vtab {
  TDbfSource* Source = nullptr;
};

struct TCursor : sqlite3_vtab_cursor {
  bool Keyed = false;  // the rows of a lookup, or every row
  TDbfSource::TRows Found;
  std::size_t Pos = 0;
  std::size_t Row() const { return Keyed ? Found.Begin[Pos] : Pos; }
};

TDbfSource& SourceOf(sqlite3_vtab_cursor* c) { return *static_cast<TVTab*>(c->pVtab)->Source; }

void SetError(sqlite3_vtab* vtab, const char* text) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", text);
}

int Connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) {
  auto* sources = static_cast<std::vector<std::unique_ptr<TDbfSource>>*>(aux);
  std::size_t n = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : sources->size();
  if (n >= sources->size()) {
    *error = sqlite3_mprintf("No such table source");
    return SQLITE_ERROR;
  }
  TDbfSource* source = (*sources)[n].get();
  int rc = sqlite3_declare_vtab(db, source->Schema().c_str());
  if (rc != SQLITE_OK) return rc;
  auto* vtab = new TVTab();
  vtab->Source = source;
  *out = vtab;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab) {
  delete static_cast<TVTab*>(vtab);
  return SQLITE_OK;
}

int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const TDbfSource& s = *static_cast<TVTab*>(vtab)->Source;
  double rows = std::max<double>(1, s.Estimate());
  info->idxNum = 0;
  info->estimatedCost = rows;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || !s.Keyed(c.iColumn)) continue;
    // The lookup answers the equality exactly as SQLite would (see Filter), so it need not check.
    info->idxNum = c.iColumn + 1;
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit = 1;
    info->estimatedCost = 1 + std::log2(rows);
    info->estimatedRows = 1;
    break;
  }
  return SQLITE_OK;
}

int OpenCursor(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new TCursor();
  return SQLITE_OK;
}

int CloseCursor(sqlite3_vtab_cursor* c) {
  delete static_cast<TCursor*>(c);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto* c = static_cast<TCursor*>(base);
  TDbfSource& s = SourceOf(base);
  try {
    s.Take();
    c->Keyed = false;
    c->Pos = 0;
    if (idxNum > 0 && argc == 1) {
      // Against a numeric column the value gets numeric affinity; one that stays text, blob or
      // null equals none of the column's numbers, nor does an integer no double holds (every
      // value of these fields is one).
      c->Keyed = true;
      c->Found = {};
      int type = sqlite3_value_numeric_type(argv[0]);
      if (type == SQLITE_FLOAT) {
        c->Found = s.Lookup(idxNum - 1, sqlite3_value_double(argv[0]));
      } else if (type == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_value_int64(argv[0]);
        auto d = static_cast<double>(v);
        if (d >= -9223372036854775808.0 && d < 9223372036854775808.0 && static_cast<sqlite3_int64>(d) == v)
          c->Found = s.Lookup(idxNum - 1, d);
      }
    }
  } catch (const std::exception& e) {
    SetError(base->pVtab, e.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
  ++static_cast<TCursor*>(base)->Pos;
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  auto* c = static_cast<TCursor*>(base);
  return c->Pos >= (c->Keyed ? std::size_t(c->Found.End - c->Found.Begin) : SourceOf(base).Rows());
}

// Results carry the affinity the column would have given a stored value.
struct TResult : TValueSink {
  sqlite3_context* Ctx;
  bool Numeric;
  TResult(sqlite3_context* ctx, bool numeric) : Ctx(ctx), Numeric(numeric) {}
  void Int(int64_t v) override { sqlite3_result_int64(Ctx, v); }
  void Real(double v) override {
    if (Numeric && v > -9223372036854775808.0 && v < 9223372036854775808.0) {
      auto i = static_cast<int64_t>(v);
      if (static_cast<double>(i) == v && i > INT64_MIN && i < INT64_MAX) return sqlite3_result_int64(Ctx, i);
    }
    sqlite3_result_double(Ctx, v);
  }
  void Text(std::string_view v) override {
    sqlite3_result_text(Ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Blob(std::string_view v) override {
    sqlite3_result_blob(Ctx, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Null() override { sqlite3_result_null(Ctx); }
};

int Column(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int column) {
  auto* c = static_cast<TCursor*>(base);
  const TDbfSource& s = SourceOf(base);
  const xbe::TDbfField& f = s.Fields()[static_cast<std::size_t>(column)];
  TResult result(ctx, (f.Type == 'N' || f.Type == 'F') && !IntegerField(f));
  try {
    FieldValue(f,
               s.Record(c->Row()).substr(static_cast<std::size_t>(f.Offset), static_cast<std::size_t>(f.Width)),
               s.Dbf(), result);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* rowid) {
  // The rows as SQLite numbered them when they were copied: the visible ones from 1.
  *rowid = static_cast<sqlite3_int64>(static_cast<TCursor*>(base)->Row()) + 1;
  return SQLITE_OK;
}

sqlite3_module DbfModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = Connect;
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = OpenCursor;
  m.xClose = CloseCursor;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  return m;
}

}  // namespace

void RegisterDbfModule(sqlite3* db, std::vector<std::unique_ptr<TDbfSource>>* sources) {
  static const sqlite3_module module = DbfModule();
  if (sqlite3_create_module_v2(db, "xbdbf", &module, sources, nullptr) != SQLITE_OK)
    throw ESqlError(sqlite3_errmsg(db));
}

}  // namespace xbsql
