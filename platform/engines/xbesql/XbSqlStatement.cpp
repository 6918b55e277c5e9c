#include "platform/engines/xbesql/XbSqlStatement.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/engines/XbSqlEntries.h"
#include "platform/engines/xbe/XbeDbf.h"
#include "platform/engines/xbesql/XbSqlTable.h"

namespace xbsql {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string Quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

// Binds a field's value to a parameter of the statement that copies a table.
struct TBindSink : TValueSink {
  sqlite3_stmt* Stmt;
  int Col;
  TBindSink(sqlite3_stmt* stmt, int col) : Stmt(stmt), Col(col) {}
  void Int(int64_t v) override { sqlite3_bind_int64(Stmt, Col, v); }
  void Real(double v) override { sqlite3_bind_double(Stmt, Col, v); }
  void Text(std::string_view v) override {
    sqlite3_bind_text(Stmt, Col, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Blob(std::string_view v) override {
    sqlite3_bind_blob(Stmt, Col, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Null() override { sqlite3_bind_null(Stmt, Col); }
};

// "yyyy-mm-dd" (a time may follow) or "yyyymmdd"; 0 when it is neither.
int32_t ParseDate(const std::string& s) {
  int y = 0, m = 0, d = 0;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    if (std::sscanf(s.c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3) return 0;
  } else if (s.size() == 8 && std::all_of(s.begin(), s.end(), ::isdigit)) {
    if (std::sscanf(s.c_str(), "%4d%2d%2d", &y, &m, &d) != 3) return 0;
  } else {
    return 0;
  }
  return DayNumber(y, m, d);
}

std::string DateText(int32_t day) {
  int y, m, d;
  CivilFromDayNumber(day, y, m, d);
  char buf[40];  // room for any int the compiler cannot rule out
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

int64_t AsInt(const TSqlValue& v) {
  switch (v.Kind) {
    case SQLITE_INTEGER: return v.Int;
    case SQLITE_FLOAT: return static_cast<int64_t>(v.Real);
    case SQLITE_TEXT: return std::strtoll(v.Bytes.data(), nullptr, 10);
    default: return 0;
  }
}

double AsReal(const TSqlValue& v) {
  switch (v.Kind) {
    case SQLITE_INTEGER: return static_cast<double>(v.Int);
    case SQLITE_FLOAT: return v.Real;
    case SQLITE_TEXT: return std::strtod(v.Bytes.data(), nullptr);
    default: return 0;
  }
}

std::string AsText(const TSqlValue& v) {
  switch (v.Kind) {
    case SQLITE_INTEGER: return std::to_string(v.Int);
    case SQLITE_FLOAT: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15g", v.Real);
      return buf;
    }
    case SQLITE_NULL: return {};
    default: return std::string(v.Bytes);
  }
}

// The type letter and width of a column from its declared type, or from its values when it
// has none (an expression).
void ColumnType(const std::string& declared, const std::vector<TSqlValue>& values, std::size_t columns,
                std::size_t col, TSqlColumn& c) {
  std::string d = Upper(declared);
  bool anyReal = false, anyText = false, anyBlob = false, bigInt = false;
  // Only text columns need it; a number's text is costly to make.
  auto longestOf = [&] {
    std::size_t n = 0;
    for (std::size_t at = col; at < values.size(); at += columns) {
      const TSqlValue& v = values[at];
      if (v.Kind == SQLITE_TEXT || v.Kind == SQLITE_BLOB) n = std::max(n, v.Bytes.size());
      else if (v.Kind != SQLITE_NULL) n = std::max(n, AsText(v).size());
    }
    return n;
  };
  for (std::size_t at = col; at < values.size(); at += columns) {
    const TSqlValue& v = values[at];
    anyReal |= v.Kind == SQLITE_FLOAT;
    anyText |= v.Kind == SQLITE_TEXT;
    anyBlob |= v.Kind == SQLITE_BLOB;
    bigInt |= v.Kind == SQLITE_INTEGER && (v.Int > INT32_MAX || v.Int < INT32_MIN);
  }
  if (d.rfind("CHAR(", 0) == 0) {
    c.Type = 'C';
    c.Width = std::max(std::atoi(d.c_str() + 5), static_cast<int>(longestOf()));
  } else if (d == "DATE") {
    c.Type = 'D', c.Width = 8;
  } else if (d == "LOGICAL") {
    c.Type = 'L', c.Width = 1;
  } else if (d == "INTEGER" && !bigInt && !anyReal) {
    c.Type = 'I', c.Width = 4;
  } else if (d.rfind("NUMERIC", 0) == 0 || d == "INTEGER") {
    c.Type = 'N', c.Width = 8;
  } else if (d == "CLOB") {
    c.Type = 'M', c.Width = 10;
  } else if (d == "BLOB" || anyBlob) {
    c.Type = 'B', c.Width = 10;
  } else if (std::size_t longest = anyText || !anyReal ? longestOf() : 0; anyText || (!anyReal && longest == 0)) {
    c.Type = 'C', c.Width = std::max(1, static_cast<int>(longest));
  } else if (anyReal || bigInt) {
    c.Type = 'N', c.Width = 8;
  } else {
    c.Type = 'I', c.Width = 4;
  }
}

}  // namespace

// ---- layouts

std::string_view TFieldReader::Take(std::size_t n) {
  if (FData.size() - FPos < n) throw ESqlError("Malformed statement request");
  std::string_view s = FData.substr(FPos, n);
  FPos += n;
  return s;
}

std::string TFieldReader::Text(std::size_t width) {
  std::string_view s = Take(width);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

int64_t TFieldReader::Hex(std::size_t width) {
  std::string_view s = Take(width);
  int64_t v = 0;
  for (char c : s) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) throw ESqlError("Malformed statement request");
    v = v * 16 + digit;
  }
  return v;
}

std::vector<TSqlTable> ParseTableList(std::string_view data) {
  std::vector<TSqlTable> tables;
  if (data.empty()) return tables;
  TFieldReader r(data);
  int64_t length = r.Hex(8), count = r.Hex(8);
  TFieldReader entries(r.Take(static_cast<std::size_t>(length)));
  for (int64_t i = 0; i < count; ++i) {
    TSqlTable t;
    t.Name = Trim(entries.Text(64));
    t.Alias = Trim(entries.Text(64));
    entries.Take(1 + 8 + 1);  // table type, password, translation: copies need none of them
    entries.Take(static_cast<std::size_t>(entries.Hex(8)));
    tables.push_back(t);
  }
  return tables;
}

std::vector<TSqlParam> ParseParams(std::string_view data) {
  std::vector<TSqlParam> params;
  TFieldReader r(data);
  while (!r.AtEnd()) {
    TSqlParam p;
    int64_t size = r.Hex(8);
    p.DataType = static_cast<int32_t>(r.Hex(2));
    r.Hex(2);
    p.Name = Trim(r.Text(20));
    p.Value = std::string(r.Take(static_cast<std::size_t>(size)));
    p.Null = size == 0 && p.DataType != xbSqlTypeString && p.DataType != xbSqlTypeMemo;
    params.push_back(std::move(p));
  }
  return params;
}

int TSqlColumn::DataBytes() const { return xbSqlDataBytes(Type, Width); }

// ---- dates

int32_t DayNumber(int y, int m, int d) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > days[m - 1] + (m == 2 && leap)) return 0;
  // Days from 1 March of year 0, shifted so that 1 January of year 1 is day 1.
  int yy = m <= 2 ? y - 1 : y;
  int era = yy / 400, yoe = yy - era * 400;
  int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 305;
}

void CivilFromDayNumber(int32_t day, int& y, int& m, int& d) {
  int z = day + 305;
  int era = z / 146097, doe = z - era * 146097;
  int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2);
}

// ---- statement

TSqlStatement::TSqlStatement(const std::string& dataPath, bool skipDeleted, const std::vector<TSqlTable>& tables,
                             std::vector<TSqlParam> params)
    : FParams(std::move(params)) {
  // A statement and its connection serve one caller at a time, so the connection needs no locks.
  if (sqlite3_open_v2(":memory:", &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(FDb);
    FDb = nullptr;
    throw ESqlError("Unable to start the SQL engine");
  }
  try {
    // Copies made for writing live only as long as the statement: nothing to roll back or keep safe.
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA synchronous=OFF");
    RegisterDbfModule(FDb, &FSources);
    for (const TSqlTable& t : tables) {
      std::string file = t.Name.find('/') == 0 ? t.Name : dataPath + t.Name;
      std::size_t slash = file.rfind('/');
      if (file.find('.', slash == std::string::npos ? 0 : slash) == std::string::npos) file += ".dbf";
      std::string name = t.Alias;
      if (name.empty()) {
        std::string base = file.substr(slash == std::string::npos ? 0 : slash + 1);
        name = base.substr(0, base.find('.'));
      }
      FSources.push_back(std::make_unique<TDbfSource>(name, file, skipDeleted));
      exec("CREATE VIRTUAL TABLE " + Quoted(name) + " USING xbdbf(" + std::to_string(FSources.size() - 1) + ")");
    }
  } catch (...) {
    sqlite3_close(FDb);
    FDb = nullptr;
    throw;
  }
}

TSqlStatement::~TSqlStatement() {
  if (FDb) sqlite3_close(FDb);
}

void TSqlStatement::exec(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "SQL error";
    sqlite3_free(error);
    throw ESqlError(message);
  }
}

sqlite3_stmt* TSqlStatement::compile(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  auto prepare = [&] {
    return sqlite3_prepare_v2(FDb, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  };
  int rc = prepare();
  // The tables are read in place; a statement that writes (or one the in-place tables refuse)
  // works on copies, which then serve the statement's later runs as well.
  if (!FCopied && (rc != SQLITE_OK || (stmt && !sqlite3_stmt_readonly(stmt)))) {
    sqlite3_finalize(stmt);
    stmt = nullptr;
    copyTables();
    rc = prepare();
  }
  if (rc != SQLITE_OK) {
    std::string message = sqlite3_errmsg(FDb);
    sqlite3_finalize(stmt);
    throw ESqlError(message);
  }
  if (!stmt) throw ESqlError("No SQL statement available");
  return stmt;
}

void TSqlStatement::copyTables() {
  FCopied = true;
  for (const auto& source : FSources) {
    exec("DROP TABLE " + Quoted(source->Name()));
    loadTable(*source);
  }
}

void TSqlStatement::loadTable(const TDbfSource& source) {
  std::unique_ptr<xbe::TDbfFile> dbf;
  try {
    dbf = std::make_unique<xbe::TDbfFile>(xbe::FindFileAnyCase(source.File()), xbe::TOpenMode::ReadOnly);
  } catch (const xbe::EDbfError& e) {
    throw ESqlError("Unable to open table " + source.Name() + ": " + e.what());
  }
  const std::string& name = source.Name();
  const auto& fields = dbf->Fields();
  std::string create = "CREATE TABLE " + Quoted(name) + " (";
  std::string insert = "INSERT INTO " + Quoted(name) + " VALUES (";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    create += (i ? ", " : "") + Quoted(fields[i].Name) + " " + DeclaredType(fields[i]);
    insert += i ? ", ?" : "?";
  }
  exec(create + ")");
  exec("BEGIN");
  sqlite3_stmt* ins = nullptr;
  if (sqlite3_prepare_v2(FDb, (insert + ")").c_str(), -1, &ins, nullptr) != SQLITE_OK) {
    sqlite3_finalize(ins);
    throw ESqlError(sqlite3_errmsg(FDb));
  }
  try {
    for (uint32_t n = 1; n <= dbf->RecordCount(); ++n) {
      std::string record = dbf->ReadRecord(n);
      if (source.SkipDeleted() && record[0] == '*') continue;
      for (std::size_t i = 0; i < fields.size(); ++i) {
        TBindSink sink(ins, static_cast<int>(i + 1));
        FieldValue(fields[i],
                   std::string_view(record).substr(static_cast<std::size_t>(fields[i].Offset),
                                                   static_cast<std::size_t>(fields[i].Width)),
                   *dbf, sink);
      }
      if (sqlite3_step(ins) != SQLITE_DONE) throw ESqlError(sqlite3_errmsg(FDb));
      sqlite3_reset(ins);
    }
  } catch (...) {
    sqlite3_finalize(ins);
    throw;
  }
  sqlite3_finalize(ins);
  exec("COMMIT");
}

void TSqlStatement::release() {
  for (const auto& source : FSources) source->Release();
}

void TSqlStatement::bind(sqlite3_stmt* stmt) {
  for (const TSqlParam& p : FParams) {
    int index = 0;
    for (const char* prefix : {":", "@", "$", "?"})
      if (!index) index = sqlite3_bind_parameter_index(stmt, (prefix + p.Name).c_str());
    if (!index) continue;
    const std::string& v = p.Value;
    auto fixed = [&](auto zero) {
      decltype(zero) x = zero;
      if (v.size() >= sizeof x) std::memcpy(&x, v.data(), sizeof x);
      return x;
    };
    if (p.Null) {
      sqlite3_bind_null(stmt, index);
      continue;
    }
    switch (p.DataType) {
      case xbSqlTypeSmallint: sqlite3_bind_int(stmt, index, fixed(int16_t(0))); break;
      case xbSqlTypeWord: sqlite3_bind_int(stmt, index, fixed(uint16_t(0))); break;
      case xbSqlTypeInteger: sqlite3_bind_int(stmt, index, fixed(int32_t(0))); break;
      case xbSqlTypeBoolean: sqlite3_bind_int(stmt, index, fixed(int16_t(0)) != 0); break;
      case xbSqlTypeFloat:
      case xbSqlTypeCurrency: sqlite3_bind_double(stmt, index, fixed(0.0)); break;
      case xbSqlTypeDate: {
        std::string text = DateText(fixed(int32_t(0)));
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
      }
      case xbSqlTypeTime:
      case xbSqlTypeDateTime: {
        double t = p.DataType == xbSqlTypeTime ? fixed(int32_t(0)) / 86400000.0 : fixed(0.0);
        double day = std::floor(t);
        int32_t secs = static_cast<int32_t>(std::lround((t - day) * 86400.0));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", secs / 3600, secs / 60 % 60, secs % 60);
        std::string text = p.DataType == xbSqlTypeTime
                               ? std::string(buf)
                               : DateText(static_cast<int32_t>(day) + xbSqlDateDelta) + " " + buf;
        sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
      }
      case xbSqlTypeBlob: sqlite3_bind_blob(stmt, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); break;
      default: {
        // Texts may come with their terminator.
        std::size_t n = v.find('\0');
        sqlite3_bind_text(stmt, index, v.data(), static_cast<int>(n == std::string::npos ? v.size() : n),
                          SQLITE_TRANSIENT);
      }
    }
  }
}

namespace {

// Texts and blobs of a run's values, in blocks that stay where they are as more come.
class TByteStore {
public:
  std::string_view Add(const void* bytes, std::size_t n) {
    if (FBlocks.empty() || FFree < n + 1) {
      std::size_t size = std::max<std::size_t>(n + 1, 1 << 16);
      FBlocks.push_back(std::make_unique<char[]>(size));
      FAt = FBlocks.back().get();
      FFree = size;
    }
    char* at = FAt;
    if (n) std::memcpy(at, bytes, n);
    at[n] = '\0';
    FAt += n + 1;
    FFree -= n + 1;
    return std::string_view(at, n);
  }

private:
  std::vector<std::unique_ptr<char[]>> FBlocks;
  char* FAt = nullptr;
  std::size_t FFree = 0;
};

}  // namespace

void TSqlStatement::Open(const std::string& sql) {
  Close();
  sqlite3_stmt* stmt = compile(sql);
  std::vector<TSqlValue> values;
  TByteStore bytes;
  std::vector<std::string> declTypes;
  int columns = sqlite3_column_count(stmt);
  try {
    bind(stmt);
    for (int i = 0; i < columns; ++i) {
      const char* d = sqlite3_column_decltype(stmt, i);
      declTypes.push_back(d ? d : "");
      TSqlColumn c;
      c.Name = Upper(sqlite3_column_name(stmt, i));
      FColumns.push_back(c);
    }
    // Joins often give two columns one name; the second becomes NAME_1 and so on.
    for (std::size_t i = 0; i < FColumns.size(); ++i)
      for (int n = 1; std::any_of(FColumns.begin(), FColumns.begin() + static_cast<std::ptrdiff_t>(i),
                                  [&](const TSqlColumn& c) { return c.Name == FColumns[i].Name; });)
        FColumns[i].Name = Upper(sqlite3_column_name(stmt, static_cast<int>(i))) + "_" + std::to_string(n++);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int i = 0; i < columns; ++i) {
        TSqlValue& v = values.emplace_back();
        v.Kind = sqlite3_column_type(stmt, i);
        if (v.Kind == SQLITE_INTEGER) v.Int = sqlite3_column_int64(stmt, i);
        else if (v.Kind == SQLITE_FLOAT) v.Real = sqlite3_column_double(stmt, i);
        else if (v.Kind != SQLITE_NULL) {
          const void* p = v.Kind == SQLITE_BLOB ? sqlite3_column_blob(stmt, i) : sqlite3_column_text(stmt, i);
          v.Bytes = bytes.Add(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
        }
      }
      ++FRows;
    }
    if (rc != SQLITE_DONE) throw ESqlError(sqlite3_errmsg(FDb));
  } catch (...) {
    sqlite3_finalize(stmt);
    release();
    Close();
    throw;
  }
  sqlite3_finalize(stmt);
  release();
  layOut(declTypes, values);
  FRecords.assign(FRows * static_cast<std::size_t>(FRecordSize), '\0');
  FBlobs.resize(FRows);
  for (std::size_t r = 0; r < FRows; ++r)
    encode(values.data() + r * static_cast<std::size_t>(columns), FRecords.data() + r * static_cast<std::size_t>(FRecordSize),
           FBlobs[r]);
}

int32_t TSqlStatement::Exec(const std::string& sql) {
  sqlite3_stmt* stmt = compile(sql);
  bind(stmt);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  sqlite3_finalize(stmt);
  release();
  if (rc != SQLITE_DONE) throw ESqlError(sqlite3_errmsg(FDb));
  return sqlite3_changes(FDb);
}

void TSqlStatement::Close() {
  FColumns.clear();
  FRows = 0;
  FRecords.clear();
  FBlobs.clear();
  FRecordSize = 0;
}

void TSqlStatement::layOut(const std::vector<std::string>& declTypes, const std::vector<TSqlValue>& values) {
  int offset = 0;
  for (std::size_t i = 0; i < FColumns.size(); ++i) {
    ColumnType(declTypes[i], values, FColumns.size(), i, FColumns[i]);
    FColumns[i].Offset = offset;
    offset += FColumns[i].DataBytes() + 1;
  }
  FRecordSize = offset;
}

void TSqlStatement::encode(const TSqlValue* row, char* record, std::vector<std::string>& blobs) const {
  for (std::size_t i = 0; i < FColumns.size(); ++i) {
    const TSqlColumn& c = FColumns[i];
    const TSqlValue& v = row[i];
    char* at = record + c.Offset;
    if (c.IsBlob())
      blobs.push_back(v.Kind == SQLITE_BLOB || v.Kind == SQLITE_TEXT ? std::string(v.Bytes) : AsText(v));
    if (v.Kind == SQLITE_NULL) continue;
    switch (c.Type) {
      case 'C': {
        std::string number;
        std::string_view text = v.Kind == SQLITE_TEXT || v.Kind == SQLITE_BLOB ? v.Bytes : (number = AsText(v));
        std::memcpy(at + 1, text.data(), std::min(text.size(), static_cast<std::size_t>(c.Width)));
        break;
      }
      case 'D': {
        int32_t day = ParseDate(AsText(v));
        if (!day) continue;
        std::memcpy(at + 1, &day, 4);
        break;
      }
      case 'I': {
        int32_t n = static_cast<int32_t>(AsInt(v));
        std::memcpy(at + 1, &n, 4);
        break;
      }
      case 'N': {
        double d = AsReal(v);
        std::memcpy(at + 1, &d, 8);
        break;
      }
      case 'L': {
        int16_t b = AsInt(v) ? -1 : 0;
        std::memcpy(at + 1, &b, 2);
        break;
      }
      default: break;
    }
    at[0] = 1;
  }
}

std::string TSqlStatement::Structure() const {
  std::string text;
  char width[16];
  for (const TSqlColumn& c : FColumns) {
    std::snprintf(width, sizeof width, "%X", c.Width);
    text += c.Name + "\r\n" + std::string(1, c.Type) + "\r\n" + width + "\r\n";
  }
  return text;
}

const std::string* TSqlStatement::Blob(int32_t row, int32_t fieldNo) const {
  if (row < 1 || row > RowCount() || fieldNo < 1 || fieldNo > FieldCount()) return nullptr;
  std::size_t blobIndex = 0;
  for (int32_t i = 0; i < fieldNo - 1; ++i)
    if (FColumns[static_cast<std::size_t>(i)].IsBlob()) ++blobIndex;
  const TSqlColumn& c = FColumns[static_cast<std::size_t>(fieldNo - 1)];
  if (!c.IsBlob()) return nullptr;
  return &FBlobs[static_cast<std::size_t>(row - 1)][blobIndex];
}

}  // namespace xbsql
