#include "tables/XbQuery.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/classlib/Forms.h"
#include "platform/engines/XbSqlEntries.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Files.h"
#include "tables/DatabaseServerProtocol.h"
#include "tables/XbConnection.h"
#include "tables/XbServerDLL.h"
#include "tables/xbEnv.h"

namespace {

constexpr int32_t BookmarkBytes = 4;
// After the record: the bookmark, the row number again, the flag byte and three spare bytes.
constexpr int32_t BookmarkAreaBytes = 12;
constexpr int32_t RowIdDigits = 8;
// What a statement's answer may claim before anything is sized by it: one record, and all rows
// together with what each costs here before it is fetched.
constexpr int64_t MaxRecordBytes = XbWire::MaxRecordBytes;
constexpr int64_t MaxResultBytes = int64_t(256) << 20;

TFieldType FieldTypeOf(char type) {
  switch (type) {
    case 'B':
    case 'M':
    case 'P': return ftMemo;
    case 'D': return ftDate;
    case 'F':
    case 'N': return ftFloat;
    case 'I': return ftInteger;
    case 'L': return ftBoolean;
    default: return ftString;
  }
}

}  // namespace

// ---- table list

AnsiString TXbTableListItem::DisplayName() const {
  return FTableName.empty() ? AnsiString("Undefined") : FTableName + " (" + FAlias + ")";
}

void TXbTableListItem::SetTableName(const AnsiString& value) {
  if (value == FTableName) return;
  FTableName = value;
  if (!value.empty() && FAlias.empty()) {
    std::size_t dot = value.find('.');
    FAlias = dot == AnsiString::npos ? AnsiString() : value.substr(0, dot);
  }
}

AnsiString TXbTableList::Encoded() const {
  TXbWireWriter entries;
  int count = 0;
  for (int i = 0; i < Count(); ++i) {
    const TXbTableListItem& t = *Items(i);
    AnsiString name = Trim(t.TableName());
    if (name.empty()) continue;
    AnsiString extra = Trim(t.ExtraIndexes().Text());
    entries.Text(name, 64, "Table name " + name).Text(Trim(t.Alias()), 64, "Alias of " + name);
    entries.Hex(t.TableType(), 1, "Table type of " + name).Text(Trim(t.Password()), 8, "Password of " + name);
    entries.YesNo(t.OEMTranslate()).Hex(int64_t(extra.size()), 8, "Extra indexes of " + name).Raw(extra);
    ++count;
  }
  TXbWireWriter list;
  list.Hex(int64_t(entries.Bytes().size()), 8, "Table list").Hex(count, 8, "Table count").Raw(entries.Bytes());
  return list.Take();
}

// ---- the query

TXbQuery::TXbQuery(TComponent* AOwner)
    : TDataSet(AOwner), FParams(std::make_unique<TParams>(this)), FTableList(std::make_unique<TXbTableList>(this)) {}

TXbQuery::~TXbQuery() {
  try {
    Close();
  } catch (...) {
  }
  SetXbConnection(nullptr);
}

void TXbQuery::error(const AnsiString& message) {
  FLastMessage = message;
  throw EXbQueryError(message);
}

AnsiString TXbQuery::Version() const {
  AnsiString engine = "7.1.0.5";
  if (FAccessMethod == amServer)
    engine = FXbConnection && FXbConnection->Active() ? FXbConnection->EngineVersion() : AnsiString("<Server XBE>");
  return engine + ", " + "XbQuery " + "7.1.0.5" + ", " + DateToStr(EncodeDate(2011, 11, 16));
}

void TXbQuery::SetAccessMethod(TAccessMethod value) {
  if (value == FAccessMethod) return;
  if (Active()) error("Cannot change data access method while table is open");
  FAccessMethod = value;
}

void TXbQuery::SetXbConnection(TXbConnection* value) {
  if (value == FXbConnection) return;
  if (FXbConnection) {
    FXbConnection->UnregisterDataSet(this);
    FXbConnection->RemoveFreeNotification(this);
  }
  FXbConnection = value;
  if (FXbConnection) {
    FXbConnection->RegisterDataSet(this);
    FXbConnection->FreeNotification(this);
  }
  if (HasState(csDesigning)) FAccessMethod = value ? amServer : amLocal;
}

void TXbQuery::SetDatabaseName(const AnsiString& value) {
  FDatabase = nullptr;
  FDatabaseName = value;
  if (TXbConnection* c = FXbConnection ? FXbConnection : FInternalConnection.get()) {
    c->SetDatabaseAlias(value);
    if (FAccessMethod == amLocal) c->SetQueryDataPath(dataFolder());
  }
}

void TXbQuery::SetSQL(const TStrings& value) {
  Close();
  FSQL.Assign(value);
}

void TXbQuery::SetSQL(const AnsiString& text) {
  Close();
  FSQL.SetText(text);
}

void TXbQuery::Loaded() {
  TDataSet::Loaded();
  if (FXbConnection) FXbConnection->SetDatabaseAlias(FDatabaseName);
}

void TXbQuery::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  ForgetRemovedConnection(*this, FXbConnection, component, operation);
}

TXbConnection* TXbQuery::connection() {
  if (FXbConnection) return FXbConnection;
  if (!FInternalConnection) {
    FInternalConnection = std::make_unique<TXbConnection>(nullptr);
    FInternalConnection->SetName("InternalConnection");
    FInternalConnection->SetDatabaseAlias(FDatabaseName);
  }
  return FInternalConnection.get();
}

TXbDatabase* TXbQuery::database() {
  if (FDatabase || FDatabaseName.empty()) return FDatabase;
  return FDatabase = FindXbDatabase(FDatabaseName, HasState(csDesigning));
}

AnsiString TXbQuery::dataFolder() {
  const AnsiString& db = FDatabaseName;
  AnsiString path;
  if (db.find_first_of("\\:./") != AnsiString::npos) path = db;
  else if (TXbDatabase* d = database()) path = d->DataPath();
  else path = GetCurrentDir();
  return IncludeTrailingPathDelimiter(path);
}

// ---- opening

void TXbQuery::InternalOpen() {
  FRowCount = 0;
  FRows.clear();
  if (FAccessMethod == amServer && FDatabaseName.empty()) error("Missing DatabaseName property");
  if (Trim(FSQL.Text()).empty()) error("No SQL statement available");
  if (!FXbConnection && FAccessMethod == amServer) error("No XbConnection specified");
  if (FAccessMethod == amServer && !FXbConnection->Active()) {
    FHandle = 0;
    error("Not connected");
  }
  try {
    InitFieldDefs();
  } catch (...) {
    releaseHandle();
    throw;
  }
  if (!FHandle) return;
  CreateFields();
  BindFields(true);
  FCursorOpen = true;
  FCurrent = 0;
  FBookmarkOffset = FRecordSize;
  SetBookmarkSize(BookmarkBytes);
  FBufferSize = FRecordSize + BookmarkAreaBytes + CalcFieldsSize();
  try {
    FRows.resize(static_cast<std::size_t>(FRowCount));
  } catch (const std::bad_alloc&) {
    error("Out of memory while expanding dynamic array");
  }
  for (int32_t i = 0; i < FRowCount; ++i) FRows[static_cast<std::size_t>(i)].EngineRow = i + 1;
}

void TXbQuery::prepareAndOpen() {
  TXbConnection* c = connection();
  TXbSqlPrepareRequest r;
  if (FAccessMethod == amLocal) {
    c->SetQueryDataPath(dataFolder());
    r.DatabaseAlias = dataFolder();
  } else {
    r.DatabaseAlias = FDatabaseName;
  }
  TXbSearchObject search;
  if (auto* env = static_cast<TXbEnv*>(search.Start(TXbSearchObject::ClassOf<TXbEnv>()))) {
    FEnvCentury = env->Century();
    FEnvDeleted = env->Deleted();
    FEnvMemoBlockSize = env->MemoBlockSize();
  }
  TCursor previousCursor = Screen().Cursor();
  Screen().SetCursor(FWaitCursor);
  struct TRestore {
    TCursor Cursor;
    ~TRestore() { Screen().SetCursor(Cursor); }
  } restore{previousCursor};
  r.Century = FEnvCentury;
  r.DateFormat = FDateFormat;
  r.Deleted = FSetDeleted;
  r.ReadOnly = FReadOnly;
  r.MemoBlockSize = FEnvMemoBlockSize;
  r.TableType = FTableType;
  r.Password = FPassword;
  r.OEMTranslate = FOEMTranslate;
  r.CommitLevel = static_cast<int32_t>(FCommitLevel);
  r.Tables = FTableList.get();
  TMemoryStream params;
  try {
    ServerParamStream(*FParams, params);
  } catch (const EXbServerDLL& e) {
    error(e.Message());
  } catch (const EXbFieldWidth& e) {
    error(e.Message());
  }
  r.Params = AnsiString(reinterpret_cast<const char*>(params.Memory()), static_cast<std::size_t>(params.Size()));
  AnsiString message;
  int32_t handle = c->sql_Prepare(FAccessMethod, r, message);
  if (handle <= 0) error(message.empty() ? AnsiString("Unable to prepare SQL statement") : message);
  FHandle = handle;
  AnsiString sql = FSQL.Text();
  TXbSqlOpenResult o = c->sql_OpenSQL(FAccessMethod, FHandle, sql);
  if (o.ErrorCode > 0) {
    c->sql_UnPrepare(FAccessMethod, FHandle);
    FHandle = 0;
    error(o.Message.empty() ? "Unable to execute SQL statement:\r\r" + sql : o.Message);
  }
  if (o.RecordCount < 0 || o.FieldCount < 0 || o.RecordSize < 0 || o.RecordSize > MaxRecordBytes ||
      int64_t(o.RecordCount) * (o.RecordSize + int64_t(sizeof(TRow))) > MaxResultBytes) {
    releaseHandle();
    error("Error while reading stream");
  }
  FRowCount = o.RecordCount;
  FFieldCount = o.FieldCount;
  FRecordSize = o.RecordSize;
}

void TXbQuery::InternalInitFieldDefs() {
  if (!FHandle) prepareAndOpen();
  if (!FHandle) return;
  FieldDefs().Clear();
  FFieldNames.clear(), FFieldTypes.clear(), FFieldWidths.clear(), FFieldOffsets.clear();
  if (FFieldCount < 1) error("FFieldCount < 1");
  TStringList lines;
  lines.SetText(connection()->sql_GetStructure(FAccessMethod, FHandle));
  int64_t offset = 0;
  for (int i = 0; i + 2 < lines.Count() && int(FFieldNames.size()) < FFieldCount; i += 3) {
    AnsiString name = UpperCase(Trim(lines.Strings(i)));
    AnsiString type = Trim(lines.Strings(i + 1));
    char letter = type.empty() ? ' ' : type[0];
    uint32_t digits = 0;
    int64_t given = ReadHexDigits(Trim(lines.Strings(i + 2)), digits) ? int32_t(digits) : 0;
    // A string field's width sizes the field's buffer: it must lie within the record.
    if (letter == 'C' && (given < 0 || given > INT32_MAX || offset + given + 2 > FRecordSize))
      error("Error while reading stream");
    int32_t width = given < 0 || given > INT32_MAX ? 0 : int32_t(given);
    FFieldNames.push_back(name);
    FFieldTypes.push_back(letter);
    FFieldWidths.push_back(letter == 'C' ? width : (xbSqlDataBytes(letter, width) ? width : 0));
    FFieldOffsets.push_back(offset);
    TFieldDef* def = FieldDefs().Add(name, FieldTypeOf(letter), letter == 'C' ? width : 0);
    def->SetFieldNo(int(FFieldNames.size()));
    offset += xbSqlDataBytes(letter, letter == 'C' ? width : 0) + 1;
  }
  // A structure that does not fit the record would have fields read past its end.
  if (int(FFieldNames.size()) != FFieldCount || offset > FRecordSize) error("Error while reading stream");
}

void TXbQuery::releaseHandle() {
  if (FHandle) {
    TXbConnection* c = connection();
    c->sql_CloseSQL(FAccessMethod, FHandle);
    c->sql_UnPrepare(FAccessMethod, FHandle);
  }
  FHandle = 0;
}

void TXbQuery::InternalClose() {
  releaseHandle();
  FRows.clear();
  FRowCount = 0;
  FCursorOpen = false;
  BindFields(false);
  if (DefaultFields()) DestroyFields();
}

// ---- fetching

int32_t TXbQuery::FetchedRows() const {
  return static_cast<int32_t>(std::count_if(FRows.begin(), FRows.end(), [](const TRow& r) { return r.Fetched; }));
}

void TXbQuery::fetchFrom(int32_t row) {
  std::size_t at = static_cast<std::size_t>(row - 1);
  int32_t first = FRows[at].EngineRow;
  int32_t count = std::min(FFetchCount, FRowCount - first + 1);
  if (count < 1) error("Error while reading stream");
  int64_t size = int64_t(count) * (FRecordSize + RowIdDigits) + RowIdDigits;
  if (size > INT32_MAX) error("Error while reading stream");
  int32_t bufferSize = static_cast<int32_t>(size);
  AnsiString block = connection()->sql_GetRecord(FAccessMethod, FHandle, first, count, bufferSize);
  if (block.empty()) error("NIL stream");
  try {
    TXbWireReader r(block);
    int32_t n = r.Hex(RowIdDigits);
    if (n < 0 || n > count) error("Error while reading stream");
    std::size_t slot = at;
    for (int32_t k = 0; k < n; ++k) {
      int32_t id = r.Hex(RowIdDigits);
      AnsiString record(r.Raw(std::size_t(FRecordSize)));
      // Rows deleted here before they were fetched have no slot left.
      while (slot < FRows.size() && FRows[slot].EngineRow != 0 && FRows[slot].EngineRow < first + k) ++slot;
      if (slot < FRows.size() && FRows[slot].EngineRow == first + k) {
        FRows[slot].Record = std::move(record);
        FRows[slot].Id = id;
        FRows[slot].Fetched = true;
      }
    }
  } catch (const EXbMalformed&) {
    error("Error while reading stream");
  }
  if (!FRows[at].Fetched) error("Error while reading stream");
}

bool TXbQuery::readRow(int32_t row, TRecordBuffer buffer) {
  TRow& r = FRows[static_cast<std::size_t>(row - 1)];
  if (!r.Fetched) fetchFrom(row);
  std::memcpy(buffer, r.Record.data(), std::size_t(FRecordSize));
  std::memcpy(buffer + FBookmarkOffset, &row, 4);
  std::memcpy(buffer + FBookmarkOffset + 4, &row, 4);
  buffer[FBookmarkOffset + 8] = 0;
  GetCalcFields(buffer);
  bool accept = true;
  if (Filtered() && OnFilterRecord) FilterRecord(buffer, accept);
  return accept;
}

TGetResult TXbQuery::GetRecord(TRecordBuffer buffer, TGetMode mode, bool) {
  int32_t count = static_cast<int32_t>(FRows.size());
  for (;;) {
    switch (mode) {
      case gmNext:
        if (FCurrent >= count) {
          FCurrent = count + 1;
          return grEOF;
        }
        ++FCurrent;
        break;
      case gmPrior:
        if (FCurrent <= 1) {
          FCurrent = 0;
          return grBOF;
        }
        --FCurrent;
        break;
      case gmCurrent:
        if (FCurrent < 1 || FCurrent > count) return grError;
        break;
    }
    if (readRow(FCurrent, buffer)) return grOK;
    if (mode == gmCurrent) return grError;
  }
}

bool TXbQuery::accepted(int32_t row) {
  std::vector<char> temp(static_cast<std::size_t>(std::max(FBufferSize, 1)));
  return readRow(row, temp.data());
}

// ---- counts and positions

int TXbQuery::RecordCount() {
  if (!FCursorOpen) return 0;
  int32_t count = static_cast<int32_t>(FRows.size());
  if (!Filtered() || !OnFilterRecord) return count;
  int n = 0;
  for (int32_t row = 1; row <= count; ++row) n += accepted(row);
  return n;
}

int TXbQuery::RecNo() {
  TRecordBuffer b = ActiveBuffer();
  if (!FCursorOpen || !b) return 0;
  int32_t row = bookmarkOf(b);
  if (!Filtered() || !OnFilterRecord) return row;
  int n = 0;
  for (int32_t r = 1; r <= row; ++r) n += accepted(r);
  return n;
}

void TXbQuery::SetRecNo(int value) {
  CheckBrowseMode();
  int32_t count = static_cast<int32_t>(FRows.size());
  int32_t target = 0;
  if (!Filtered() || !OnFilterRecord) {
    target = value >= 1 && value <= count ? value : 0;
  } else {
    for (int32_t r = 1, n = 0; r <= count && !target; ++r)
      if (accepted(r) && ++n == value) target = r;
  }
  if (!target) return;
  DoBeforeScroll();
  FCurrent = target;
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

int32_t TXbQuery::bookmarkOf(TRecordBuffer buffer) const {
  int32_t row = 0;
  std::memcpy(&row, buffer + FBookmarkOffset, 4);
  return row;
}

void TXbQuery::GetBookmarkData(TRecordBuffer buffer, void* data) { std::memcpy(data, buffer + FBookmarkOffset, 4); }
void TXbQuery::SetBookmarkData(TRecordBuffer buffer, const void* data) { std::memcpy(buffer + FBookmarkOffset, data, 4); }
TBookmarkFlag TXbQuery::GetBookmarkFlag(TRecordBuffer buffer) { return TBookmarkFlag(buffer[FBookmarkOffset + 8]); }
void TXbQuery::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) { buffer[FBookmarkOffset + 8] = char(value); }

void TXbQuery::InternalSetToRecord(TRecordBuffer buffer) { FCurrent = bookmarkOf(buffer); }

void TXbQuery::InternalGotoBookmark(const void* bookmark) {
  int32_t row = 0;
  std::memcpy(&row, bookmark, 4);
  if (row >= 0 && row <= static_cast<int32_t>(FRows.size())) FCurrent = row;
}

bool TXbQuery::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.size() < 4 || !FCursorOpen) return false;
  int32_t row = 0;
  std::memcpy(&row, bookmark.data(), 4);
  return row >= 1 && row <= static_cast<int32_t>(FRows.size());
}

int TXbQuery::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.size() < 4 || b.size() < 4) return 2;
  int32_t x = 0, y = 0;
  std::memcpy(&x, a.data(), 4);
  std::memcpy(&y, b.data(), 4);
  return x == y ? 0 : x < y ? -1 : 1;
}

// ---- field values

TRecordBuffer TXbQuery::fieldBuffer() const {
  if (State() == dsCalcFields) return FCalcBuffer;
  if (State() == dsFilter) return FFilterBuffer;
  return ActiveBuffer();
}

char* TXbQuery::fieldPlace(TRecordBuffer rec, TField* field, int& bytes) const {
  if (field->Calculated()) {
    bytes = field->DataSize();
    return rec + FBookmarkOffset + BookmarkAreaBytes + field->Offset();
  }
  int no = field->FieldNo();
  if (no < 1 || no > int(FFieldOffsets.size())) return nullptr;
  std::size_t i = std::size_t(no - 1);
  bytes = std::min(field->DataSize(), xbSqlDataBytes(FFieldTypes[i], FFieldWidths[i]));
  return rec + FFieldOffsets[i];
}

bool TXbQuery::GetFieldData(TField* field, void* buffer) {
  TRecordBuffer rec = FCursorOpen ? fieldBuffer() : nullptr;
  int bytes = 0;
  const char* place = rec ? fieldPlace(rec, field, bytes) : nullptr;
  if (!place || *place == 0) return false;
  if (field->DataType() == ftDate && !field->Calculated()) {
    int32_t day = 0;
    std::memcpy(&day, place + 1, 4);
    if (day == 0) return false;
  }
  if (buffer && field->DataSize() > 0) {
    std::memset(buffer, 0, std::size_t(field->DataSize()));
    std::memcpy(buffer, place + 1, std::size_t(bytes));
  }
  return true;
}

void TXbQuery::SetFieldData(TField* field, const void* buffer) {
  if (State() == dsInactive) return;
  TRecordBuffer rec = fieldBuffer();
  int bytes = 0;
  char* place = rec ? fieldPlace(rec, field, bytes) : nullptr;
  if (!place) return;
  *place = 1;
  if (buffer) std::memcpy(place + 1, buffer, std::size_t(bytes));
  else std::memset(place + 1, 0, std::size_t(bytes));
  TDataSetState s = State();
  if (s != dsCalcFields && s != dsFilter && s != dsNewValue) DataEvent(deFieldChange, field);
}

void TXbQuery::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + FBookmarkOffset + BookmarkAreaBytes, 0, std::size_t(CalcFieldsSize()));
}

void TXbQuery::InternalInitRecord(TRecordBuffer buffer) { std::memset(buffer, 0, std::size_t(FBufferSize)); }

std::unique_ptr<TStream> TXbQuery::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  if (mode != bmRead) error("Cannot modify a read-only blob of a query");
  auto stream = std::make_unique<TStringStream>();
  TRecordBuffer rec = fieldBuffer();
  if (rec && FCursorOpen) {
    int32_t row = bookmarkOf(rec);
    if (row >= 1 && row <= static_cast<int32_t>(FRows.size()) && FRows[std::size_t(row - 1)].Id != 0)
      stream->WriteString(connection()->sql_ReadBlobData(FAccessMethod, FHandle, FRows[std::size_t(row - 1)].Id,
                                                         field->FieldNo()));
  }
  stream->Seek(0, soFromBeginning);
  return stream;
}

// ---- editing the rows in memory

void TXbQuery::InternalPost() {
  TRecordBuffer b = ActiveBuffer();
  if (!b) return;
  if (State() == dsInsert) return InternalAddRecord(b, false);
  int32_t row = bookmarkOf(b);
  if (row >= 1 && row <= static_cast<int32_t>(FRows.size()))
    FRows[std::size_t(row - 1)].Record.assign(b, std::size_t(FRecordSize));
}

void TXbQuery::InternalAddRecord(TRecordBuffer buffer, bool append) {
  TRow r;
  r.Record.assign(buffer, std::size_t(FRecordSize));
  r.Fetched = true;
  int32_t count = static_cast<int32_t>(FRows.size());
  int32_t at = append || FCurrent < 1 || FCurrent > count ? count : FCurrent - 1;
  FRows.insert(FRows.begin() + at, std::move(r));
  FCurrent = at + 1;
  std::memcpy(buffer + FBookmarkOffset, &FCurrent, 4);
}

void TXbQuery::InternalDelete() {
  int32_t count = static_cast<int32_t>(FRows.size());
  if (FCurrent < 1 || FCurrent > count) return;
  FRows.erase(FRows.begin() + (FCurrent - 1));
  if (FCurrent > static_cast<int32_t>(FRows.size())) FCurrent = static_cast<int32_t>(FRows.size());
}

// ---- searching

Variant TXbQuery::rowValue(int32_t row, TField* field) {
  TRow& r = FRows[std::size_t(row - 1)];
  if (!r.Fetched) fetchFrom(row);
  int bytes = 0;
  const char* place = fieldPlace(r.Record.data(), field, bytes);
  if (!place || *place == 0) return Variant::Null();
  const char* data = place + 1;
  auto fixed = [&](auto zero) {
    std::memcpy(&zero, data, std::min(sizeof zero, std::size_t(bytes)));
    return zero;
  };
  switch (field->DataType()) {
    case ftString: return Variant(AnsiString(data, strnlen(data, std::size_t(bytes))));
    case ftInteger: return Variant(int64_t(fixed(int32_t(0))));
    case ftFloat: return Variant(fixed(0.0));
    case ftBoolean: return Variant(fixed(int16_t(0)) != 0);
    case ftDate: {
      int32_t day = fixed(int32_t(0));
      return day ? Variant::FromDate(double(day - DateDelta)) : Variant::Null();
    }
    default: return Variant::Null();
  }
}

bool TXbQuery::Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  std::vector<AnsiString> names = SplitFieldNames(keyFields);
  std::vector<Variant> values = keyValues.IsArray() ? keyValues.Items() : std::vector<Variant>{keyValues};
  if (names.empty() || names.size() != values.size()) return false;
  std::vector<TField*> fields;
  for (const AnsiString& n : names) fields.push_back(FieldByName(n));
  bool ci = options & loCaseInsensitive, partial = options & loPartialKey;
  int32_t count = static_cast<int32_t>(FRows.size());
  for (int32_t row = 1; row <= count; ++row) {
    bool match = true;
    for (std::size_t i = 0; i < fields.size() && match; ++i) {
      Variant v = rowValue(row, fields[i]);
      const Variant& key = values[i];
      if (v.IsNull() || key.IsNull()) {
        match = v.IsNull() && key.IsNull();
      } else if (fields[i]->DataType() == ftString) {
        AnsiString have = v.AsString(), want = key.AsString();
        if (ci) have = AnsiUpperCase(have), want = AnsiUpperCase(want);
        if (partial) have = have.substr(0, want.size());
        match = have == want;
      } else if (fields[i]->DataType() == ftBoolean) {
        match = v.AsBoolean() == key.AsBoolean();
      } else {
        match = v.AsDouble() == key.AsDouble();
      }
    }
    if (!match) continue;
    DoBeforeScroll();
    FCurrent = row;
    Resync(rmExact | rmCenter);
    DoAfterScroll();
    return true;
  }
  return false;
}
