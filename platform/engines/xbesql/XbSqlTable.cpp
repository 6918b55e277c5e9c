#include "platform/engines/xbesql/XbSqlTable.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
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

// Records read at once when a table cannot be read in one go.
constexpr uint32_t kChunkRecords = 4096;

// strtod as in the C locale, whatever the process's: the files always write a point.
double CStrtod(const char* text) {
  static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", nullptr);
  return c ? strtod_l(text, nullptr, c) : std::strtod(text, nullptr);
}

double Slow(std::string_view text) {
  // Field widths fit a byte, so the text fits the buffer.
  char number[256];
  std::size_t n = std::min(text.size(), sizeof number - 1);
  std::memcpy(number, text.data(), n);
  number[n] = '\0';
  return CStrtod(number);
}

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// What SQLite's numeric affinity makes of a real: a whole number that fits becomes an integer.
TNumber WithAffinity(TNumber n) {
  double v = n.Dbl;
  if (std::isnan(v)) {
    n.Kind = TNumber::Null;  // SQLite keeps no NaN
  } else if (v > -9223372036854775808.0 && v < 9223372036854775808.0) {
    auto i = static_cast<int64_t>(v);
    if (static_cast<double>(i) == v && i > INT64_MIN && i < INT64_MAX) n.Kind = TNumber::Integer, n.Int = i;
  }
  return n;
}

// The key a value is looked up by: numbers compare as doubles; a null equals nothing.
double KeyOf(const TNumber& n) {
  switch (n.Kind) {
    case TNumber::Integer: return static_cast<double>(n.Int);
    case TNumber::Real: return n.Dbl + 0.0;  // -0 and 0 are one key
    default: return NAN;
  }
}

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

TNumber ParseNumber(const xbe::TDbfField& f, std::string_view text) {
  text = Trimmed(text);
  TNumber n;
  n.Kind = TNumber::Null;
  if (text.empty()) return n;
  std::size_t i = 0;
  bool negative = text[0] == '-';
  if (negative || text[0] == '+') i = 1;
  auto digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  if (IntegerField(f)) {
    // As strtoll: a sign and the digits that follow it, at most nine here.
    int64_t v = 0;
    for (; digit(i); ++i) v = v * 10 + (text[i] - '0');
    n.Kind = TNumber::Integer;
    n.Int = negative ? -v : v;
    return n;
  }
  n.Kind = TNumber::Real;
  // Digits with at most one point: a mantissa below 2^53 over an exact power of ten rounds once,
  // as strtod does; anything else goes to strtod itself.
  uint64_t mantissa = 0;
  int significant = 0, scale = 0;
  bool point = false, any = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      any = true;
      if ((mantissa || c != '0') && ++significant > 16) break;
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      scale += point;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i < text.size() || !any || mantissa > (uint64_t(1) << 53) || scale > 22) {
    n.Dbl = Slow(text);
    return n;
  }
  double v = static_cast<double>(mantissa) / kPowersOfTen[scale];
  n.Dbl = negative ? -v : v;
  return n;
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
      TNumber n = ParseNumber(f, text);
      if (n.Kind == TNumber::Integer) sink.Int(n.Int);
      else if (n.Kind == TNumber::Real) sink.Real(n.Dbl);
      else break;
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
  // One read for the whole table; record by record where that comes back short.
  std::string data = count ? dbf->ReadRecords(1, count) : std::string();
  if (data.size() != std::size_t(count) * FRecordSize) {
    data.clear();
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
  FKeys.resize(FFields.size());
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

TNumber TDbfSource::Number(int column, std::size_t row) const {
  const xbe::TDbfField& f = FFields[static_cast<std::size_t>(column)];
  std::string_view raw =
      Record(row).substr(static_cast<std::size_t>(f.Offset), static_cast<std::size_t>(f.Width));
  TNumber n;
  if (f.Type == 'L') {
    std::string_view text = Trimmed(raw);
    n.Kind = text.empty() || text[0] == '?' ? TNumber::Null : TNumber::Integer;
    n.Int = !text.empty() && std::strchr("TtYy", text[0]) ? 1 : 0;
    return n;
  }
  n = ParseNumber(f, raw);
  return n.Kind == TNumber::Real ? WithAffinity(n) : n;
}

uint64_t TDbfSource::Hash(double key) {
  key += 0.0;  // -0 and 0 are one key
  uint64_t bits;
  std::memcpy(&bits, &key, sizeof bits);
  bits ^= bits >> 29;
  return bits * 0x9E3779B97F4A7C15ull >> 17;
}

void TDbfSource::BuildKeys(int column, TKeys& keys) {
  keys = {};
  keys.Built = true;
  auto rows = static_cast<uint32_t>(FRows);
  std::vector<double> values(rows);
  // Whole numbers within 2^53 are the same as integers and as doubles.
  constexpr double kExact = 9007199254740992.0;
  bool whole = true;
  double low = kExact, high = -kExact;
  uint32_t valued = 0;
  for (uint32_t row = 0; row < rows; ++row) {
    double k = values[row] = KeyOf(Number(column, row));
    if (std::isnan(k)) continue;
    ++valued;
    if (whole && k >= -kExact && k <= kExact && k == std::floor(k)) low = std::min(low, k), high = std::max(high, k);
    else whole = false;
  }
  // A range of keys about as wide as the rows (an id, a code): one run per key.
  if (whole && valued && high - low < 2.0 * rows + 64) {
    keys.Direct = true;
    keys.Low = static_cast<int64_t>(low);
    auto span = static_cast<std::size_t>(high - low) + 1;
    keys.Runs.assign(span + 1, 0);
    for (double k : values)
      if (!std::isnan(k)) ++keys.Runs[static_cast<std::size_t>(static_cast<int64_t>(k) - keys.Low) + 1];
    for (std::size_t i = 1; i <= span; ++i) keys.Runs[i] += keys.Runs[i - 1];
    keys.Rows.resize(valued);
    // Each run start moves on to the next run's start as its rows go in, in file order.
    for (uint32_t row = 0; row < rows; ++row)
      if (!std::isnan(values[row]))
        keys.Rows[keys.Runs[static_cast<std::size_t>(static_cast<int64_t>(values[row]) - keys.Low)]++] = row;
    for (std::size_t i = span; i-- > 1;) keys.Runs[i] = keys.Runs[i - 1];
    keys.Runs[0] = 0;
    return;
  }
  auto slotOf = [&keys](double k) -> TKeys::TSlot& {
    uint64_t i = Hash(k) & keys.Mask;
    while (keys.Slots[i].Count && !(keys.Slots[i].Key == k)) i = (i + 1) & keys.Mask;
    return keys.Slots[i];
  };
  uint64_t slots = 16;
  while (slots < 2 * uint64_t(valued)) slots *= 2;
  keys.Mask = slots - 1;
  keys.Slots.assign(slots, {});
  for (uint32_t row = 0; row < rows; ++row) {
    if (std::isnan(values[row])) continue;
    TKeys::TSlot& slot = slotOf(values[row]);
    if (!slot.Count++) slot.Key = values[row], slot.Start = row;
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

TDbfSource::TRows TDbfSource::Lookup(int column, double key) {
  TKeys& keys = FKeys[static_cast<std::size_t>(column)];
  if (!keys.Built) BuildKeys(column, keys);
  key += 0.0;
  if (keys.Direct) {
    double low = static_cast<double>(keys.Low);
    if (!(key >= low && key < low + static_cast<double>(keys.Runs.size() - 1)) || key != std::floor(key)) return {};
    auto i = static_cast<std::size_t>(static_cast<int64_t>(key) - keys.Low);
    return {keys.Rows.data() + keys.Runs[i], keys.Rows.data() + keys.Runs[i + 1]};
  }
  if (std::isnan(key)) return {};
  uint64_t i = Hash(key) & keys.Mask;
  while (keys.Slots[i].Count && !(keys.Slots[i].Key == key)) i = (i + 1) & keys.Mask;
  const TKeys::TSlot& slot = keys.Slots[i];
  if (!slot.Count) return {};
  if (slot.Count == 1) return {&slot.Start, &slot.Start + 1};
  return {keys.Rows.data() + slot.Start, keys.Rows.data() + slot.Start + slot.Count};
}

// ---- the module

namespace {

struct TVTab : sqlite3_vtab {
  TDbfSource* Source = nullptr;
};

// A comparison of a number column with a value, which the scan answers for SQLite.
struct TCondition {
  int Column = 0;
  int Op = 0;    // SQLITE_INDEX_CONSTRAINT_GT, _GE, _LT or _LE
  int Kind = 0;  // of the value once it has the column's numeric affinity
  int64_t Int = 0;
  double Real = 0;
};

// Which of a, b is the greater (1), the smaller (-1), or 0; an integer and a real compare exactly.
int Compare(const TNumber& a, const TCondition& b) {
  if (a.Kind == TNumber::Integer && b.Kind == SQLITE_INTEGER) return (a.Int > b.Int) - (a.Int < b.Int);
  long double x = a.Kind == TNumber::Integer ? static_cast<long double>(a.Int) : a.Dbl;
  long double y = b.Kind == SQLITE_INTEGER ? static_cast<long double>(b.Int) : b.Real;
  return (x > y) - (x < y);
}

// As SQLite compares: a null on either side is never true, and numbers sort before texts and blobs.
bool Holds(const TNumber& n, const TCondition& c) {
  if (n.Kind == TNumber::Null || c.Kind == SQLITE_NULL) return false;
  bool below = c.Kind == SQLITE_TEXT || c.Kind == SQLITE_BLOB;
  int order = below ? -1 : Compare(n, c);
  switch (c.Op) {
    case SQLITE_INDEX_CONSTRAINT_GT: return order > 0;
    case SQLITE_INDEX_CONSTRAINT_GE: return order >= 0;
    case SQLITE_INDEX_CONSTRAINT_LT: return order < 0;
    default: return order <= 0;
  }
}

bool IsRange(int op) {
  return op == SQLITE_INDEX_CONSTRAINT_GT || op == SQLITE_INDEX_CONSTRAINT_GE || op == SQLITE_INDEX_CONSTRAINT_LT ||
         op == SQLITE_INDEX_CONSTRAINT_LE;
}

// Conditions a scan takes on at most.
constexpr int kMaxConditions = 8;

struct TCursor : sqlite3_vtab_cursor {
  bool Keyed = false;  // the rows of a lookup, or every row
  TDbfSource::TRows Found;
  std::size_t Pos = 0;
  std::vector<TCondition> Conditions;
  std::size_t Row() const { return Keyed ? Found.Begin[Pos] : Pos; }
  std::size_t Count(const TDbfSource& s) const { return Keyed ? std::size_t(Found.End - Found.Begin) : s.Rows(); }
  const TNumber& Number(const TDbfSource& s, int column) {
    auto at = static_cast<std::size_t>(column);
    std::size_t row = Row();
    if (NumberRows[at] != row + 1) Numbers[at] = s.Number(column, row), NumberRows[at] = row + 1;
    return Numbers[at];
  }
  // From Pos on to the first row that meets every condition.
  void Settle(const TDbfSource& s) {
    for (std::size_t n = Count(s); Pos < n; ++Pos)
      if (std::all_of(Conditions.begin(), Conditions.end(),
                      [&](const TCondition& c) { return Holds(Number(s, c.Column), c); }))
        break;
  }
  // The numbers of the current row converted so far: SQLite often asks for one twice (a
  // condition, then the result), and each run of a nested loop comes back to the same row.
  std::vector<TNumber> Numbers;
  std::vector<std::size_t> NumberRows;  // the row each was converted for, plus one; 0: none
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

// idxNum is the looked-up column plus one (0: a scan); idxStr lists the conditions as
// "column op " pairs, their values following the key's among the arguments.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const TDbfSource& s = *static_cast<TVTab*>(vtab)->Source;
  double rows = std::max<double>(1, s.Estimate());
  info->idxNum = 0;
  int argument = 0;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_EQ || !s.Keyed(c.iColumn)) continue;
    // The lookup answers the equality exactly as SQLite would (see Filter), so it need not check.
    info->idxNum = c.iColumn + 1;
    info->aConstraintUsage[i].argvIndex = ++argument;
    info->aConstraintUsage[i].omit = 1;
    break;
  }
  std::string conditions;
  int taken = 0;
  for (int i = 0; i < info->nConstraint && taken < kMaxConditions; ++i) {
    const auto& c = info->aConstraint[i];
    if (!c.usable || !IsRange(c.op) || !s.Keyed(c.iColumn)) continue;
    conditions += std::to_string(c.iColumn) + " " + std::to_string(c.op) + " ";
    info->aConstraintUsage[i].argvIndex = ++argument;
    info->aConstraintUsage[i].omit = 1;
    ++taken;
  }
  // A lookup costs about the same whatever the table's size; a scan visits every row. Each
  // condition is taken to keep a quarter of the rows, as SQLite guesses for its own tables.
  double found = info->idxNum ? 1 : rows;
  for (int i = 0; i < taken; ++i) found = std::max(1.0, found / 4);
  info->estimatedCost = info->idxNum ? 1 + std::log2(rows) + found : rows + found;
  info->estimatedRows = static_cast<sqlite3_int64>(found);
  if (!conditions.empty()) {
    info->idxStr = sqlite3_mprintf("%s", conditions.c_str());
    if (!info->idxStr) return SQLITE_NOMEM;
    info->needToFreeIdxStr = 1;
  }
  return SQLITE_OK;
}

int OpenCursor(sqlite3_vtab* vtab, sqlite3_vtab_cursor** out) {
  auto* c = new TCursor();
  std::size_t fields = static_cast<TVTab*>(vtab)->Source->Fields().size();
  c->Numbers.resize(fields);
  c->NumberRows.assign(fields, 0);
  *out = c;
  return SQLITE_OK;
}

int CloseCursor(sqlite3_vtab_cursor* c) {
  delete static_cast<TCursor*>(c);
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char* idxStr, int argc, sqlite3_value** argv) {
  auto* c = static_cast<TCursor*>(base);
  TDbfSource& s = SourceOf(base);
  try {
    s.Take();
    c->Keyed = false;
    c->Pos = 0;
    int argument = 0;
    if (idxNum > 0 && argc > argument) {
      // Against a numeric column the value gets numeric affinity; one that stays text, blob or
      // null equals none of the column's numbers, nor does an integer no double holds (every
      // value of these fields is one).
      c->Keyed = true;
      c->Found = {};
      sqlite3_value* key = argv[argument++];
      int type = sqlite3_value_numeric_type(key);
      if (type == SQLITE_FLOAT) {
        c->Found = s.Lookup(idxNum - 1, sqlite3_value_double(key));
      } else if (type == SQLITE_INTEGER) {
        sqlite3_int64 v = sqlite3_value_int64(key);
        auto d = static_cast<double>(v);
        if (d >= -9223372036854775808.0 && d < 9223372036854775808.0 && static_cast<sqlite3_int64>(d) == v)
          c->Found = s.Lookup(idxNum - 1, d);
      }
    }
    c->Conditions.clear();
    for (const char* at = idxStr; at && *at && argument < argc;) {
      char* end = nullptr;
      TCondition condition;
      condition.Column = static_cast<int>(std::strtol(at, &end, 10));
      condition.Op = static_cast<int>(std::strtol(end, &end, 10));
      at = end + 1;
      sqlite3_value* v = argv[argument++];
      condition.Kind = sqlite3_value_numeric_type(v);
      if (condition.Kind == SQLITE_INTEGER) condition.Int = sqlite3_value_int64(v);
      else if (condition.Kind == SQLITE_FLOAT) condition.Real = sqlite3_value_double(v);
      c->Conditions.push_back(condition);
    }
    c->Settle(s);
  } catch (const std::exception& e) {
    SetError(base->pVtab, e.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
  auto* c = static_cast<TCursor*>(base);
  ++c->Pos;
  c->Settle(SourceOf(base));
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  auto* c = static_cast<TCursor*>(base);
  return c->Pos >= c->Count(SourceOf(base));
}

// Results carry the affinity the column would have given a stored value.
struct TResult : TValueSink {
  sqlite3_context* Ctx;
  explicit TResult(sqlite3_context* ctx) : Ctx(ctx) {}
  void Int(int64_t v) override { sqlite3_result_int64(Ctx, v); }
  void Real(double v) override { sqlite3_result_double(Ctx, v); }
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
  std::size_t row = c->Row(), at = static_cast<std::size_t>(column);
  if (s.Keyed(column)) {
    const TNumber& n = c->Number(s, column);
    if (n.Kind == TNumber::Integer) sqlite3_result_int64(ctx, n.Int);
    else if (n.Kind == TNumber::Real) sqlite3_result_double(ctx, n.Dbl);
    else sqlite3_result_null(ctx);
    return SQLITE_OK;
  }
  const xbe::TDbfField& f = s.Fields()[at];
  TResult result(ctx);
  try {
    FieldValue(f, s.Record(row).substr(static_cast<std::size_t>(f.Offset), static_cast<std::size_t>(f.Width)),
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
