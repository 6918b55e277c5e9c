// The table commands of the server connection: each builds its payload with the wire writer, sends
// it and reads the answer as the protocol's command table says.
#include <algorithm>
#include <cstring>

#include "platform/engines/XbeEntries.h"
#include "platform/rtl/Files.h"
#include "tables/XbConnection.h"

namespace {

using TWire = TXbWireWriter;

constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
constexpr size_t IndexEntrySize = 1026;

int32_t Logical(std::string_view reply) { return ReplyYes(reply) ? kTrue : kFalse; }
AnsiString YesNo(bool on) { return on ? "Y" : "N"; }
AnsiString Decimal(int64_t v) { return IntToStr(v); }
AnsiString Hex(int64_t v, size_t digits, std::string_view field) { return TWire().Hex(v, digits, field).Take(); }

// The value bytes of a replace, by the engine's kind; the wire code says how many follow.
AnsiString ReplaceValue(int32_t kind, const void* value, int32_t& wireCode) {
  const char* p = static_cast<const char*>(value);
  switch (kind) {
    case xbReplaceText: wireCode = 1024; return p ? AnsiString(p) : AnsiString();
    case xbReplaceDate: wireCode = 1025; return p ? AnsiString(p) : AnsiString();
    case xbReplaceInteger: wireCode = 2; return p ? AnsiString(p, 4) : AnsiString(4, '\0');
    case xbReplaceLogical: wireCode = 1; return p ? AnsiString(p, 4) : AnsiString(4, '\0');
    case xbReplaceDouble: wireCode = 8; return p ? AnsiString(p, 8) : AnsiString(8, '\0');
    default: wireCode = kind; return {};
  }
}

void PutSysPropValue(TWire& w, int32_t property, int32_t value) {
  switch (property) {
    case 1001: case 1003: case 1009: case 1303: w.YesNo(value != 0); break;
    case 1107: case 1305: w.Raw(value == 1 ? "1" : "0"); break;
    case 1302: w.Raw("0"); break;
    case 2000: case 3002: case 3004: w.Hex(value, 8, "Value"); break;
    default: break;
  }
}

TXbServerIndexDef ReadIndexEntry(TXbWireReader& r) {
  TXbServerIndexDef d;
  d.Name = Trim(r.Text(255));
  d.Fields = Trim(r.Text(255));
  d.Source = Trim(r.Text(255));
  d.Expression = Trim(r.Text(255));
  d.Primary = r.Flag('1');
  d.Unique = r.Flag('1');
  d.Descending = r.Flag('1');
  d.CaseInsensitive = r.Flag('1');
  d.IsExpression = r.Flag('1');
  d.NonMaintained = r.Flag('1');
  return d;
}

// The open answer, by character position; the sizes it gives size the table's buffers, so they
// are held to what a record can be.
TXbServerOpenResult ReadOpenAnswer(std::string_view answer) {
  TXbWireReader r(answer);
  TXbServerOpenResult res;
  res.WorkArea = r.Hex(4);
  res.RecordCount = r.Hex(8);
  res.FieldCount = r.Hex(8);
  res.RecordSize = r.Hex(8);
  if (res.RecordCount < 0 || res.FieldCount < 0 || res.RecordSize < 0 || res.RecordSize > XbWire::MaxRecordBytes ||
      res.FieldCount > res.RecordSize)
    throw EXbMalformed("Bad table sizes");
  res.Encrypted = r.Flag('Y');
  res.IndexCondition = Trim(r.Text(55));
  r.Raw(200);
  res.CurrentOrder = r.Hex(4);
  int32_t n = r.Hex(4);
  int32_t blockLength = r.Hex(8);
  if (n < 0 || blockLength < 0 || static_cast<int64_t>(n) * int64_t(IndexEntrySize) > blockLength ||
      static_cast<size_t>(blockLength) > r.Left())
    throw EXbMalformed("Bad index block");
  TXbWireReader block(r.Raw(static_cast<size_t>(blockLength)));
  for (int32_t i = 0; i < n; ++i) res.Indexes.push_back(ReadIndexEntry(block));
  res.ErrorCode = r.Hex(8);
  res.ErrorMessage = AnsiString(r.Rest());
  return res;
}

}  // namespace

AnsiString TXbConnection::Alias(int32_t wa) { return command<AnsiString>(As("Alias"), {}, [&] { return xmit("0530", Decimal(wa)); }); }
void TXbConnection::AppendBlank() { command(As("AppendBlank"), [&] { xmit("0473"); }); }
int32_t TXbConnection::Bof() { return command(As("Bof"), kFalse, [&] { return Logical(xmit("0476")); }); }
void TXbConnection::Close() { command(As("Close"), [&] { xmit("0523"); }); }
void TXbConnection::CloseIndexes() { command(As("CloseIndexes").At("CloseIndexes"), [&] { xmit("0533"); }); }
void TXbConnection::Commit() { command(As("Commit"), [&] { xmit("0511"); }); }
int32_t TXbConnection::Count() { return command(As("Count"), 0, [&] { return ReplyDecimal(xmit("0516")); }); }
AnsiString TXbConnection::DBFilter() { return command<AnsiString>(As("DBFilter"), {}, [&] { return xmit("0539"); }); }
void TXbConnection::Delete() { command(As("Delete"), [&] { xmit("0477"); }); }
int32_t TXbConnection::Deleted() { return command(As("Deleted"), kFalse, [&] { return Logical(xmit("0478")); }); }
int32_t TXbConnection::Eof() { return command(As("Eof").Quietly(), kFalse, [&] { return Logical(xmit("0479")); }); }

int32_t TXbConnection::EvalLogical(const AnsiString& e) {
  return command(As("EvalLogical"), kFalse, [&] { return Logical(xmit("0543", e)); });
}
double TXbConnection::EvalNumeric(const AnsiString& e) {
  return command(As("EvalNumeric"), 0.0, [&] { return ReplyFloat(xmit("0544", e)); });
}
AnsiString TXbConnection::EvalString(const AnsiString& e) {
  return command<AnsiString>(As("EvalString"), {}, [&] { return xmit("0545", e); });
}
int32_t TXbConnection::EvalTest(const AnsiString& e) {
  return command(As("EvalTest"), 0, [&] { return ReplyDecimal(xmit("0546", Trim(e))); });
}

int32_t TXbConnection::FieldDecimals(const AnsiString& f) {
  return command(As("FieldDecimals"), 0, [&] { return ReplyDecimal(xmit("0611", f)); });
}
AnsiString TXbConnection::FieldName(int32_t n) {
  return command<AnsiString>(As("FieldName"), {}, [&] { return xmit("0612", Decimal(n)); });
}
int32_t TXbConnection::FieldOffset(const AnsiString& f) {
  return command(As("FieldOffset"), 0, [&] { return ReplyDecimal(xmit("0614", f)); });
}
AnsiString TXbConnection::FieldType(const AnsiString& f) {
  return command<AnsiString>(As("FieldType"), {}, [&] { return xmit("0615", f); });
}
int32_t TXbConnection::FieldWidth(const AnsiString& f) {
  return command(As("FieldWidth"), 0, [&] { return ReplyDecimal(xmit("0616", f)); });
}

int32_t TXbConnection::FileExists(const AnsiString& db, const AnsiString& file) {
  return command(As("FileExists"), kFalse, [&] {
    TWire w;
    w.Text(db, 255, "DatabaseName").Text(ExtractFileName(file), 255, "FileName");
    return Logical(xmit("0054", w.Bytes()));
  });
}

int32_t TXbConnection::Found() { return command(As("Found"), kFalse, [&] { return Logical(xmit("0548")); }); }

int32_t TXbConnection::GetBlob(const AnsiString& f, void* buffer, int32_t size) {
  return command(As("GetBlob"), 0, [&] {
    std::string_view bytes = streamBytes("0480", f);
    int32_t n = static_cast<int32_t>(std::min<size_t>(bytes.size(), static_cast<size_t>(std::max(0, size))));
    if (n > 0) std::memcpy(buffer, bytes.data(), static_cast<size_t>(n));
    return n;
  });
}

int32_t TXbConnection::GetBlobLength(const AnsiString& f) {
  return command(As("GetBlobLength"), 0, [&] { return ReplyDecimal(xmit("0481", f)); });
}
AnsiString TXbConnection::GetDateString(const AnsiString& f) {
  return command<AnsiString>(As("GetDateString"), {}, [&] { return xmit("0484", f); });
}
double TXbConnection::GetDouble(const AnsiString& f) {
  return command(As("GetDouble"), 0.0, [&] { return ReplyFloat(xmit("0485", f)); });
}
int32_t TXbConnection::GetInteger(const AnsiString& f) {
  return command(As("GetInteger"), 0, [&] { return ReplyDecimal(xmit("0486", f)); });
}

char* TXbConnection::GetMemo(const AnsiString& f, int32_t width) {
  command(As("GetMemo"), [&] {
    TWire w;
    w.Hex(0, 8, "Start").Hex(width, 8, "LineWidth").Raw(f);
    xmit("0489", w.Bytes());
  });
  return FAnswer.data();
}

void TXbConnection::GetRecord(char* buffer, int32_t size) {
  command(As("GetRecord"), [&] {
    std::string_view bytes = streamBytes("0515");
    size_t n = std::min(bytes.size(), static_cast<size_t>(std::max(0, size)));
    if (n > 0) std::memcpy(buffer, bytes.data(), n);
  });
}

AnsiString TXbConnection::GetScope(int32_t which) {
  return command<AnsiString>(As("GetScope"), {}, [&] { return xmit("0550", Decimal(which)); });
}
AnsiString TXbConnection::GetStructure() {
  return command<AnsiString>(As("GetStructure"), {}, [&] { return streamText("0581"); });
}
AnsiString TXbConnection::GetTrimString(const AnsiString& f) {
  return command<AnsiString>(As("GetTrimString"), {}, [&] { return xmit("0492", f); });
}
int32_t TXbConnection::Go(int32_t recNo) {
  return command(As("Go"), 0, [&] { return ReplyHex(xmit("0493", Hex(recNo, 8, "RecNo"))); });
}
void TXbConnection::GoBottom() { command(As("GoBottom"), [&] { xmit("0494"); }); }
void TXbConnection::GoTop() { command(As("GoTop"), [&] { xmit("0495"); }); }

AnsiString TXbConnection::IndexCondition() {
  return command<AnsiString>(As("IndexCondition").Quietly(), {}, [&] { return xmit("0552"); });
}
AnsiString TXbConnection::IndexKey() { return command<AnsiString>(As("IndexKey"), {}, [&] { return xmit("0554"); }); }
AnsiString TXbConnection::IndexKeyField() {
  return command<AnsiString>(As("IndexKeyField"), {}, [&] { return xmit("0555"); });
}
AnsiString TXbConnection::IndexName(int32_t tag) {
  return command<AnsiString>(As("IndexName"), {}, [&] { return xmit("0525", Decimal(tag)); });
}
int32_t TXbConnection::IndexOpen(const AnsiString& file) {
  return command(As("IndexOpen"), 0, [&] {
    TWire w;
    w.Text(FDatabaseAlias, 255, "DatabaseName").Text(file, 255, "IndexFile");
    return ReplyDecimal(Trim(xmit("0620", w.Bytes())));
  });
}
int32_t TXbConnection::IndexOrd() { return command(As("IndexOrd"), 0, [&] { return ReplyDecimal(Trim(xmit("0526"))); }); }
int32_t TXbConnection::IndexType() { return command(As("IndexType"), 0, [&] { return ReplyDecimal(Trim(xmit("0553"))); }); }
int32_t TXbConnection::IsEncrypted(int32_t v) {
  return command(As("IsEncrypted"), kFalse, [&] { return Logical(xmit("0578", Decimal(v))); });
}
void TXbConnection::OrderPosSet(double position) {
  command(As("OrderPosSet"), [&] { xmit("0558", TWire().Float(position).Take()); });
}

int32_t TXbConnection::PutBlob(const AnsiString& f, const void* data, int32_t length) {
  return command(As("PutBlob"), 0, [&] {
    int32_t n = std::max(0, length);
    TWire head;
    head.Text(f, 10, "FieldName").Hex(n, 8, "Length");
    FSendStream.Clear();
    FSendStream.WriteBuffer(head.Bytes().data(), static_cast<int64_t>(head.Bytes().size()));
    if (n > 0) FSendStream.WriteBuffer(data, n);
    streamBytes("0498", {}, true);
    return ReplyHex(xmit("0624"));
  });
}

void TXbConnection::PutRecord(const char* buffer, int32_t size) {
  command(As("PutRecord"), [&] {
    FSendStream.Clear();
    if (size > 0) FSendStream.WriteBuffer(buffer, size);
    streamBytes("0499", {}, true);
  });
}

int32_t TXbConnection::QueryRecCount() { return command(As("QueryRecCount"), 0, [&] { return ReplyDecimal(xmit("0519")); }); }

int32_t TXbConnection::QueryRowCount(const AnsiString& expr, int32_t& recordCount) {
  recordCount = 0;
  return command(As("QueryRowCount"), 0, [&] {
    AnsiString answer = Trim(xmit("0646", expr));
    TXbWireReader r(answer);
    int32_t first = r.Hex(8);
    recordCount = r.Hex(8);
    return first;
  });
}

int32_t TXbConnection::QueryTest(const AnsiString& e) {
  return command(As("QueryTest"), 0, [&] { return ReplyDecimal(Trim(xmit("0570", e))); });
}
int32_t TXbConnection::RecCount() { return command(As("RecCount"), 0, [&] { return ReplyDecimal(Trim(xmit("0470"))); }); }
int32_t TXbConnection::RecNo() { return command(As("RecNo"), 0, [&] { return ReplyDecimal(xmit("0500")); }); }

void TXbConnection::Replace(const AnsiString& f, int32_t kind, const void* value) {
  command(As("Replace"), [&] {
    int32_t code = 0;
    AnsiString bytes = ReplaceValue(kind, value, code);
    TWire w;
    w.Text(f, 10, "FieldName").Hex(code, 4, "ValueType").Raw(bytes);
    FSendStream.Clear();
    FSendStream.WriteBuffer(w.Bytes().data(), static_cast<int64_t>(w.Bytes().size()));
    streamBytes("0501", {}, true);
  });
}

int32_t TXbConnection::Rlock(int32_t recNo) {
  return command(As("Rlock"), kFalse, [&] { return Logical(xmit("0502", Decimal(recNo))); });
}

int32_t TXbConnection::Seek(const AnsiString& key) {
  return command(As("Seek").Quietly(), kFalse, [&] {
    AnsiString a = xmit("0503", key);
    return !a.empty() && a[0] == 'Y' ? kTrue : kFalse;
  });
}

int32_t TXbConnection::Select(int32_t wa) {
  int32_t previous = FCurrentWorkArea;
  if (wa == FCurrentWorkArea) return previous;
  command(As("Select"), [&] {
    xmit("0504", Hex(wa, 4, "WorkArea"));
    FCurrentWorkArea = wa;
  });
  return previous;
}

// The settings below go out only while the connection is open; a closed one takes them with its
// next table.
int32_t TXbConnection::SetCentury(bool on) {
  return GetActive() ? command(As("SetCentury"), 0, [&] { return xmit("0556", YesNo(on)), 0; }) : 0;
}
int32_t TXbConnection::SetDateFormat(int32_t code) {
  return command(As("SetDateFormat"), 0, [&] { return xmit("0557", Hex(code, 8, "DateFormat")), 0; });
}
int32_t TXbConnection::SetDeleted(bool on) {
  return GetActive() ? command(As("SetDeleted"), 0, [&] { return xmit("0508", YesNo(on)), 0; }) : 0;
}
int32_t TXbConnection::SetEpoch(int32_t year) {
  return GetActive() ? command(As("SetEpoch"), 0, [&] { return ReplyDecimal(Trim(xmit("0593", Hex(year, 8, "Epoch")))); })
                     : 0;
}
int32_t TXbConnection::SetExact(bool on) {
  return GetActive() ? command(As("SetExact"), 0, [&] { return xmit("0506", YesNo(on)), 0; }) : 0;
}
void TXbConnection::SetLockTimeOut(int32_t seconds) {
  command(As("SetLockTimeOut"), [&] { transmit("0577", Decimal(seconds), false); });
}
int32_t TXbConnection::SetMemoBlockSize(int32_t size) {
  if (!GetActive()) return 0;
  return command(As("SetMemoBlockSize"), 0, [&] {
    return ReplyHex(xmit("0594", TWire().Text(Decimal(size), 10, "BlockSize").Take()));
  });
}
int32_t TXbConnection::SetOrder(int32_t order) {
  return command(As("SetOrder"), 0, [&] { return ReplyDecimal(Trim(xmit("0507", Hex(order, 4, "Order")))); });
}
void TXbConnection::SetTablePassword(const AnsiString& password) {
  command(As("SetPassword"), [&] { transmit("0566", password, false); });
}

int32_t TXbConnection::SetScope(const AnsiString& low, const AnsiString& high) {
  return command(As("SetScope"), kFalse, [&] {
    TWire w;
    w.Hex(static_cast<int64_t>(low.size()), 4, "ScopeBegin length").Hex(static_cast<int64_t>(high.size()), 4, "ScopeEnd length");
    w.Text(low, 255, "ScopeBegin").Text(high, 255, "ScopeEnd");
    return Logical(xmit("0567", w.Bytes()));
  });
}

int32_t TXbConnection::SetSoftSeek(bool on) {
  return GetActive() ? command(As("SetSoftSeek"), 0, [&] { return xmit("0505", YesNo(on)), 0; }) : 0;
}
void TXbConnection::SetTranslate(bool on) { command(As("SetTranslate"), [&] { transmit("0587", YesNo(on), false); }); }
int32_t TXbConnection::SetTurboRead(bool on) {
  return GetActive() ? command(As("SetTurboRead"), 0, [&] { return xmit("0576", YesNo(on)), 0; }) : 0;
}
void TXbConnection::Skip(int32_t count) { command(As("Skip"), [&] { xmit("0509", Hex(count, 8, "Count")); }); }

int32_t TXbConnection::SysProp(int32_t property, int32_t value) {
  if (!GetActive()) return 0;
  AnsiString answer;
  bool answered = command(As("SysProp"), false, [&] {
    TWire w;
    w.Hex(property, 8, "Property");
    PutSysPropValue(w, property, value);
    answer = xmit("0563", w.Bytes());
    return true;
  });
  if (!answered) return 0;
  uint32_t result;
  if (ReadHexDigits(Trim(answer), result)) return static_cast<int32_t>(result);
  ReportError("XbConnection.SysProp", "Converting data");
  return 0;
}

int32_t TXbConnection::TagArea(const AnsiString& tag) {
  return command(As("TagArea"), 0, [&] { return ReplyDecimal(Trim(xmit("0517", tag))); });
}
AnsiString TXbConnection::TagName(int32_t tag) {
  return command<AnsiString>(As("TagName"), {}, [&] { return xmit("0518", Hex(tag, 4, "Tag")); });
}

int32_t TXbConnection::TraverseTable(const TXbTraverseRequest& q, int32_t recordSize,
                                     std::vector<TXbTraverseEntry>& entries) {
  entries.clear();
  return command(As("TraverseTable").Saying("Make sure DatabaseName is set to a valid alias."), -1, [&] {
    if (recordSize < 0 || recordSize > XbWire::MaxRecordBytes) throw EXbMalformed("Bad record size");
    TWire w;
    w.YesNo(q.Forward).YesNo(q.Inclusive).Decimal(q.Order).Decimal(q.AtFirst).Decimal(q.AtLast);
    w.Hex(q.Count, 8, "Count").Hex(q.RecNo, 8, "RecNo");
    TXbWireReader r(streamBytes("0626", w.Bytes()));
    int32_t n = r.Hex(8);
    // Each entry holds at least its record: a count the answer cannot back is refused whole.
    if (n < 0 || static_cast<uint64_t>(n) * (17 + static_cast<uint64_t>(recordSize)) > r.Left())
      throw EXbMalformed("Bad count");
    int32_t status = -1;
    for (int32_t i = 0; i < n; ++i) {
      TXbTraverseEntry e;
      e.Status = status = r.Digit();
      e.RecNo = r.Hex(8);
      e.PositionedRecNo = r.Hex(8);
      e.Record = AnsiString(r.Raw(static_cast<size_t>(recordSize)));
      entries.push_back(std::move(e));
    }
    return status;
  });
}

void TXbConnection::Unlock(int32_t recNo) { command(As("Unlock"), [&] { xmit("0510", Hex(recNo, 8, "RecNo")); }); }

void TXbConnection::Use(const TXbServerOpenRequest& q, TXbServerOpenResult& out) {
  out = TXbServerOpenResult{};
  AnsiString answer;
  bool answered = false;
  command(As("Use"), [&] {
    TWire w;
    w.Text(q.DatabaseName, 255, "DatabaseName").Text(ExtractFileName(q.TableName), 255, "TableName");
    w.Decimal(q.OpenMode).Decimal(q.TableType).Text(q.Password, 255, "Password").YesNo(q.TurboRead);
    w.Text(q.IndexName, 255, "IndexName").Hex(q.Epoch, 4, "Epoch").Hex(q.DateFormat, 4, "DateFormat");
    w.Hex(q.MemoBlockSize, 4, "MemoBlockSize").YesNo(q.Deleted).YesNo(q.Century).YesNo(q.SoftSeek);
    w.YesNo(q.Exact).YesNo(q.OEMTranslate).YesNo(q.ApplySettings).Decimal(q.CommitLevel);
    FDatabaseAlias = q.DatabaseName;
    answer = xmit("0469", w.Bytes());
    answered = true;
  });
  if (!answered) return;
  command(As("UseEx"), [&] {
    out = ReadOpenAnswer(answer);
    if (out.WorkArea > 0 && out.ErrorCode <= 0) FCurrentWorkArea = out.WorkArea;
  });
}

int32_t TXbConnection::UseEx(const AnsiString& file, const AnsiString& alias, int32_t mode, int32_t kind,
                             int32_t commitLevel) {
  return command(As("UseEx"), 0, [&] {
    TWire w;
    w.Text(file, 255, "FileName").Text(alias, 255, "Alias").Decimal(mode).Decimal(kind).Decimal(commitLevel);
    int32_t wa = ReplyHex(xmit("0467", w.Bytes()));
    if (wa > 0) FCurrentWorkArea = wa;
    return wa;
  });
}

AnsiString TXbConnection::EngineVersion() { return command<AnsiString>(As("Version"), {}, [&] { return xmit("0618"); }); }
int32_t TXbConnection::WorkArea(const AnsiString& alias) {
  return command(As("WorkArea"), 0, [&] { return ReplyDecimal(Trim(xmit("0571", alias))); });
}
