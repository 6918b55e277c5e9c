#include "tables/XbDSet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/classlib/Forms.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Regional.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"
#include "tables/xbEnv.h"

namespace {

constexpr int32_t kTrue = -1;
constexpr int32_t kAnyPosition = -2;
constexpr int kMemoRefWidth = 10;
constexpr int kBookmarkBytes = 5;  // record number and flag
constexpr int32_t kMemoTextLimit = 65535;
constexpr int32_t kPropOrderCount = xbPropOrderCount;
constexpr int32_t kPropDescending = xbPropOrderDescending;
constexpr int32_t kPropGetExact = xbPropGetExact;
constexpr int32_t kPropSetExact = xbPropSetExact;
constexpr int32_t kPropGetDeleted = xbPropGetDeleted;
constexpr int kBookmarkInserted = 2;  // the record number no longer stands for a place
constexpr const char* kLockFailure = "Record Lock Failure. May be locked by another user or task.";

// The engine's error channel: its last text, and how many have come, so that an operation can
// tell whether the engine complained while it ran.
struct TEngineReport {
  AnsiString Last;
  uint64_t Count = 0;
};
TEngineReport& EngineReport() {
  static TEngineReport report;
  return report;
}
void RecordEngineError(int32_t, const char* message) {
  EngineReport().Last = message ? message : "";
  ++EngineReport().Count;
}
uint64_t EngineMark() { return EngineReport().Count; }
// The engine's text when it reported anything since mark, else empty.
AnsiString EngineErrorSince(uint64_t mark) { return EngineReport().Count != mark ? EngineReport().Last : AnsiString(); }
AnsiString WithReason(const AnsiString& message, const AnsiString& reason) {
  return reason.empty() ? message : message + "\r" + reason;
}

AnsiString TrimRight(AnsiString s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

bool Contains(const AnsiString& s, const char* what) { return s.find(what) != AnsiString::npos; }

// An xBase text literal whatever the text holds: pieces in double quotes, each double quote
// itself in single quotes, joined with "+".
AnsiString XbQuote(const AnsiString& text) {
  if (text.find('"') == AnsiString::npos) return "\"" + text + "\"";
  if (text.find('\'') == AnsiString::npos) return "'" + text + "'";
  AnsiString out;
  std::size_t start = 0;
  for (;;) {
    std::size_t q = text.find('"', start);
    AnsiString piece = text.substr(start, q == AnsiString::npos ? AnsiString::npos : q - start);
    if (!piece.empty()) out += (out.empty() ? "" : "+") + AnsiString("\"") + piece + "\"";
    if (q == AnsiString::npos) break;
    out += (out.empty() ? "" : "+") + AnsiString("'\"'");
    start = q + 1;
  }
  return out;
}

// A number as the engine reads it: "." whatever the user's separator.
AnsiString XbNumber(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

AnsiString Dtos(TDateTime d) {
  int y = 0, m = 0, day = 0;
  DecodeDate(d, y, m, day);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, day);
  return buf;
}

TFieldType FieldTypeOf(char letter, int width, int decimals) {
  switch (letter) {
    case 'C': return ftString;
    case 'D': return ftDate;
    case 'N':
    case 'F': return decimals > 0 || width > 4 ? ftFloat : ftSmallint;
    case 'I': return ftInteger;
    case 'L': return ftBoolean;
    case 'M': return ftMemo;
    case 'B':
    case 'G':
    case 'P': return ftBlob;
    default: return ftUnknown;
  }
}

// The key fields of an index expression, joined with ";".
AnsiString KeyFieldsOf(const AnsiString& expression) {
  AnsiString e = expression + "+", name, out;
  int depth = 0;
  auto flush = [&] {
    if (!name.empty() && name.find_first_of("=<>$#") == AnsiString::npos && !std::isdigit(static_cast<unsigned char>(name[0])))
      out += (out.empty() ? "" : ";") + name;
    name.clear();
  };
  for (char c : e) {
    if (c == ' ') continue;
    if (c == '(') {
      ++depth;
      name.clear();
    } else if (c == ')') {
      flush();
      if (depth) --depth;
    } else if (c == ',' && depth) {
      flush();
    } else if (c == '+' || c == '-') {
      flush();
    } else {
      name += c;
    }
  }
  return out;
}

}  // namespace

struct TXbTable::TBlobSlot {
  int32_t Length = 0;
  char* Data = nullptr;
  char Ref[kMemoRefWidth];
  uint8_t Modified = 0;
  uint8_t Loaded = 0;
};

// ---- construction

TXbTable::TXbTable(TComponent* AOwner)
    : TDataSet(AOwner),
      FExtraIndexes(std::make_unique<TStringList>()),
      FIndexDefs(std::make_unique<TIndexDefs>(this)),
      FMasterLink(std::make_unique<TMasterDataLink>(this)) {
  FExtraIndexes->OnChange = [this] { ExtraIndexesChanged(); };
  FMasterLink->OnMasterChange = [this](TObject*) { applyMaster(); };
  FMasterLink->OnMasterDisable = [this](TObject*) { masterDisabled(); };
  FFetchCache.resize(std::size_t(FFetchCount));
  SetBookmarkSize(4);
}

TXbTable::~TXbTable() {
  try {
    if (FWorkArea || Active()) Close();
  } catch (...) {
  }
  FMasterLink.reset();
}

void TXbTable::Loaded() {
  TDataSet::Loaded();
  if (local()) EnsureTableEngine();
}

void TXbTable::Notification(TComponent* component, TOperation operation) {
  TDataSet::Notification(component, operation);
  if (operation == opRemove && FXbConnection && static_cast<void*>(component) == static_cast<void*>(FXbConnection)) {
    try {
      Close();
    } catch (...) {
    }
    FXbConnection = nullptr;
  }
}

void TXbTable::HandleError(const AnsiString& message) {
  FLastError = message;
  throw EXbError(message);
}

// ---- properties

void TXbTable::SetAccessMethod(TAccessMethod value) {
  if (value == FAccessMethod) return;
  if (Active()) HandleError("Cannot change data access method while table is open");
  FAccessMethod = value;
  if (value == amLocal) EnsureTableEngine();
  FFetchPosition = -1;
}

void TXbTable::SetXbConnection(TXbConnection* value) {
  if (value == FXbConnection) return;
  if (FXbConnection) FXbConnection->UnregisterDataSet(this);
  FXbConnection = value;
  if (value) value->RegisterDataSet(this);
  if (HasState(csDesigning)) FAccessMethod = value ? amServer : amLocal;
}

void TXbTable::SetCommitLevel(TXbCommitLevel value) {
  if (value == FCommitLevel) return;
  if (Active()) HandleError("Cannot change the commit level while the table is opened");
  FCommitLevel = value;
}

void TXbTable::SetExclusive(bool value) {
  if (value == FExclusive) return;
  if (FWorkArea) HandleError("Cannot perform this operation on an open table");
  FExclusive = value;
}

void TXbTable::SetReadOnly(bool value) {
  if (value == FReadOnly) return;
  if (FWorkArea) HandleError("Cannot perform this operation on an open table");
  FReadOnly = value;
}

void TXbTable::SetFetchCount(int32_t value) {
  if (FWorkArea) throw EXbError("Cannot perform this operation on an open table");
  FFetchCount = std::max(value, 1);
  FFetchCache.assign(std::size_t(FFetchCount), TFetchEntry{});
  FFetchPosition = -1;
}

void TXbTable::SetTableName(const AnsiString& value) {
  if (value == FTableName) return;
  if (FWorkArea || Active()) HandleError("Cannot perform this operation on an open table");
  FTableName = value;
  resetFieldDefs();
}

void TXbTable::SetTableType(TXbTableType value) {
  if (value == FTableType) return;
  FTableType = value;
  resetFieldDefs();
}

void TXbTable::resetFieldDefs() {
  FieldDefs().Clear();
  FieldDefs().SetUpdated(false);
  if (HasState(csDesigning) && !Active()) DestroyFields();
  if (Active()) {
    InitFieldDefs();
    FIndexDefs->SetUpdated(false);
    UpdateIndexDefs();
  }
}

void TXbTable::SetDatabaseName(const AnsiString& value) {
  FDatabase = nullptr;
  if (value == FDatabaseName) return;
  FDatabaseName = value;
  if (Contains(value, ":") || Contains(value, "\\")) FAccessMethod = amLocal;
  if (Active() && !FTableName.empty()) {
    FDataPath = resolveDataPath();
    if (local() && !FileExists(TableFile())) {
      Close();
      return;
    }
    resetFieldDefs();
  }
}

void TXbTable::SetPassword(const AnsiString& value) {
  FPassword = value;
  if (!FWorkArea) return;
  select();
  XbOps::SetPassword(*this, value);
  if (Active()) Resync(0);
}

void TXbTable::SetOEMTranslate(bool value) {
  if (value == FOEMTranslate) return;
  FOEMTranslate = value;
  if (!FWorkArea) return;
  select();
  XbOps::SetTranslate(*this, value);
  if (Active()) Resync(0);
}

void TXbTable::SetTurboRead(bool value) {
  FTurboRead = value;
  if (!FWorkArea) return;
  select();
  XbOps::SetTurboRead(*this, value);
}

void TXbTable::SetSequenced(bool value) {
  FSequenced = value;
  CursorPosChanged();
  if (Active()) Resync(0);
}

void TXbTable::SetSpeedMode(bool value) {
  if (value == FSpeedMode) return;
  FSpeedMode = value;
  if (!Active()) return;
  if (value) {
    CursorPosChanged();
  } else {
    if (TRecordBuffer b = ActiveBuffer()) {
      select();
      setBookmark(b, XbOps::RecNo(*this), bfCurrent);
    }
    Resync(0);
  }
}

TXbDatabase* TXbTable::Database() {
  if (FDatabase || FDatabaseName.empty()) return FDatabase;
  return FDatabase = FindXbDatabase(FDatabaseName, HasState(csDesigning));
}

AnsiString TXbTable::resolveDataPath() {
  AnsiString path = ExtractFilePath(FTableName);
  if (path.empty()) {
    const AnsiString& db = FDatabaseName;
    if (Contains(db, "\\") || Contains(db, ":") || Contains(db, ".") || Contains(db, "/")) {
      path = db;
    } else if (TXbDatabase* d = Database()) {
      path = d->DataPath();
    } else if (db.empty()) {
      path = GetCurrentDir();
    } else {
      HandleError("Invalid DatabaseName value : " + db);
    }
    if (local() && !path.empty() && !DirectoryExists(path) && !Database()) HandleError("Invalid DatabaseName value : " + db);
  }
  return IncludeTrailingPathDelimiter(path);
}

AnsiString TXbTable::TableFile() const {
  AnsiString name = ExtractFileName(FTableName);
  if (ExtractFileExt(name).empty()) {
    // Tables made on this system often carry the extension in lower case.
    if (!FileExists(FDataPath + name + ".DBF") && FileExists(FDataPath + name + ".dbf")) return FDataPath + name + ".dbf";
    name += ".DBF";
  }
  return FDataPath + name;
}

AnsiString TXbTable::defaultIndexExtension() const {
  if (FTableType == ttXBNTX) return ".NTX";
  if (FTableType == ttXBNSX || FTableType == ttXBNSX_DBT) return ".NSX";
  return ".CDX";
}

AnsiString TXbTable::makeAlias() {
  AnsiString name = UpperCase(ExtractFileName(FTableName));
  name = name.substr(0, name.find('.'));
  name = name.substr(0, 8);
  for (char& c : name)
    if (c < 'A' || c > 'Z') c = '_';
  AnsiString alias = name;
  for (int n = 1; XbOps::WorkArea(*this, alias) != 0; ++n) {
    AnsiString digits = IntToStr(n);
    std::size_t keep = digits.size() < 8 ? 8 - digits.size() : 0;
    alias = alias.substr(0, keep) + digits;
  }
  return alias;
}

AnsiString TXbTable::Version() {
  AnsiString engine;
  if (local()) {
    EnsureTableEngine();
    engine = XbOps::Version(*this);
  } else {
    engine = FXbConnection && FXbConnection->Active() ? XbOps::Version(*this) : AnsiString("<Server XBE>");
  }
  return engine + ", Quorvex xBase data set " + DateToStr(EncodeDate(2011, 11, 16));
}

// ---- opening and closing

void TXbTable::takeEnvironment() {
  FEnvApplied = false;
  TXbSearchObject search;
  auto isEnv = TXbSearchObject::ClassOf<TXbEnv>();
  TComponent* c = search.Start(isEnv);
  auto* env = static_cast<TXbEnv*>(c);
  if (!env || !(env->ApplyTo() & (local() ? atLocal : atServer))) return;
  FEpoch = env->Epoch();
  FErrorLevel = env->ErrorLevel();
  FErrorMode = env->ErrorFunc();
  FCentury = env->Century();
  FExact = env->Exact();
  FSoftSeek = env->SoftSeek();
  FDateFormat = env->DateFormat();
  FMemoBlockSize = env->MemoBlockSize();
  FDeletedEnv = env->Deleted() ? -1 : 0;
  FCountStale = env->CountNeedsRefresh();
  FEnvApplied = true;
}

void TXbTable::openTable() {
  if (FTableName.empty()) {
    if (errorModeOn()) HandleError(Name() + " : Missing TableName property");
    return;
  }
  if (local()) EnsureTableEngine();
  FDataPath = resolveDataPath();
  int32_t kind = FTableType == ttXBNONE ? 2 : int32_t(FTableType);
  int32_t mode = FExclusive ? 2 : FReadOnly ? 1 : 0;
  takeEnvironment();
  if (local() && !FileExists(TableFile()) && errorModeOn())
    HandleError("Table, file or directory does not exist.\rFile: " + TableFile());
  int year = 0, m = 0, d = 0;
  DecodeDate(Date(), year, m, d);
  FormatSettings().TwoDigitYearCenturyWindow = std::abs(year - FEpoch) % 100;
  if (!local()) {
    if (FDatabaseName.empty()) HandleError("Missing DatabaseName property");
    if (!openOnServer(mode, kind)) return;
  } else {
    openLocally(mode, kind);
  }
  if (!FPassword.empty()) XbOps::SetPassword(*this, FPassword);
  if (!FIndexName.empty()) {
    AnsiString keep = FIndexName;
    FIndexName.clear();
    SetIndexName(keep);
  }
  OpenExtraIndexes();
  FIndexDefs->SetUpdated(false);
  UpdateIndexDefs();
  FRecordCount = XbOps::RecCount(*this);
  XbOps::IndexCondition(*this);
  FRawCount = FRecordCount;
  countStale();
}

bool TXbTable::openOnServer(int32_t mode, int32_t kind) {
  TXbServerOpenRequest q;
  q.DatabaseName = FDatabaseName;
  q.TableName = TableFile();
  q.OpenMode = mode;
  q.TableType = kind;
  q.Password = FPassword;
  q.TurboRead = FTurboRead;
  q.IndexName = FIndexName;
  q.Epoch = FEpoch;
  q.DateFormat = FDateFormat;
  q.MemoBlockSize = FMemoBlockSize;
  q.Deleted = FDeletedEnv != 0;
  q.Century = FCentury;
  q.SoftSeek = FSoftSeek;
  q.Exact = FExact;
  q.OEMTranslate = FOEMTranslate;
  q.ApplySettings = FEnvApplied;
  q.CommitLevel = int32_t(FCommitLevel);
  TXbServerOpenResult r;
  FXbConnection->Use(q, r);
  if (r.ErrorCode > 0) {
    FWorkArea = 0;
    HandleError(r.ErrorMessage);
  }
  if (r.WorkArea < 1) {
    FWorkArea = 0;
    if (errorModeOn()) {
      if (FXbConnection->User().empty() || FXbConnection->Password().empty())
        HandleError("Must include User Name and Password to open table through the Xb Database Server");
      HandleError("Unable to open table.\rFile: " + TableFile());
    }
    return false;
  }
  FWorkArea = static_cast<int16_t>(r.WorkArea);
  FEngineFieldCount = r.FieldCount;
  FRecSize = r.RecordSize;
  FEncrypted = r.Encrypted;
  return true;
}

void TXbTable::openLocally(int32_t mode, int32_t kind) {
  if (FEnvApplied) {
    XbeEntry(xb_SetEpoch)(FEpoch);
    XbeEntry(xb_SetDeleted)(FDeletedEnv);
    XbeEntry(xb_SetCentury)(FCentury ? kTrue : 0);
    XbeEntry(xb_SetMemoBlockSize)(FMemoBlockSize);
    XbeEntry(xb_SetDateFormat)(FDateFormat);
    XbeEntry(xb_SetSoftSeek)(FSoftSeek ? kTrue : 0);
    XbeEntry(xb_SetExact)(FExact ? kTrue : 0);
  }
  if (errorModeOn()) XbeEntry(xb_ErrorLevel)(0);
  XbeEntry(xb_SetErrorFunc)(&RecordEngineError);
  uint64_t mark = EngineMark();
  int32_t area = XbOps::UseEx(*this, TableFile(), makeAlias(), mode, kind, int32_t(FCommitLevel));
  if (area < 1) {
    XbeEntry(xb_ErrorLevel)(FErrorLevel);
    HandleError(WithReason("Unable to open table: " + TableFile(), EngineErrorSince(mark)));
  }
  FWorkArea = static_cast<int16_t>(area);
  XbeEntry(xb_ErrorLevel)(FErrorLevel);
  XbOps::SetTurboRead(*this, FTurboRead);
  XbOps::SetTranslate(*this, FOEMTranslate);
  FEngineFieldCount = XbeEntry(xb_FieldCount)();
  FRecSize = XbeEntry(xb_RecSize)();
  FEncrypted = XbOps::IsEncrypted(*this, 0) != 0;
}

void TXbTable::readStructure() {
  FInfo.assign(std::size_t(FEngineFieldCount) + 1, TFieldInfo{});
  FNames.assign(std::size_t(FEngineFieldCount) + 1, AnsiString());
  FTypes.assign(std::size_t(FEngineFieldCount) + 1, ' ');
  select();
  // A server sends the structure as text: five lines a field, the numbers in hexadecimal.
  TStringList structure;
  if (!local()) structure.SetText(FXbConnection->GetStructure());
  auto line = [&](int i, int k) { return 5 * (i - 1) + k < structure.Count() ? Trim(structure[5 * (i - 1) + k]) : AnsiString(); };
  auto hex = [&](int i, int k) { return int32_t(StrToIntDef("$" + line(i, k), 0)); };
  for (int i = 1; i <= FEngineFieldCount; ++i) {
    AnsiString name = UpperCase(local() ? Trim(XbOps::FieldName(*this, int16_t(i))) : line(i, 0));
    AnsiString type = local() ? Trim(XbOps::FieldType(*this, name)) : line(i, 1);
    TFieldInfo& info = FInfo[std::size_t(i)];
    info.RawOffset = (local() ? XbOps::FieldOffset(*this, name) : hex(i, 4)) - 1;
    info.Width = local() ? XbOps::FieldWidth(*this, name) : hex(i, 2);
    info.Decimals = local() ? XbOps::FieldDecimals(*this, name) : hex(i, 3);
    // A field that would reach outside the record is left out rather than read past its end.
    if (info.RawOffset < 1 || info.Width < 1 || info.RawOffset + info.Width > FRecSize) continue;
    FNames[std::size_t(i)] = name;
    FTypes[std::size_t(i)] = type.empty() ? ' ' : type[0];
    TFieldType ft = FieldTypeOf(FTypes[std::size_t(i)], info.Width, info.Decimals);
    if (ft == ftUnknown) continue;
    TFieldDef* d = FieldDefs().AddFieldDef();
    d->SetName(name);
    d->SetDataType(ft);
    d->SetSize(ft == ftString ? info.Width : 0);
    d->SetPrecision(info.Decimals);
    d->SetFieldNo(i);
  }
}

void TXbTable::InternalInitFieldDefs() {
  bool openedHere = false;
  if (!FWorkArea) {
    openTable();
    openedHere = !FOpening;
  }
  if (!FWorkArea) return;
  readStructure();
  if (openedHere) {
    select();
    XbOps::Close(*this);
    FWorkArea = 0;
  }
}

void TXbTable::layoutBuffers() {
  for (TFieldInfo& i : FInfo) i.BufferOffset = -1;
  FBlobFields.clear();
  int offset = 0;
  for (TField* f : Fields()) {
    if (f->Calculated() || f->FieldNo() < 1 || f->FieldNo() >= int(FInfo.size())) continue;
    FInfo[std::size_t(f->FieldNo())].BufferOffset = offset;
    offset += 1 + f->DataSize();
    if (f->IsBlob()) FBlobFields.push_back(f);
  }
  FCalcOffset = offset;
  offset += CalcFieldsSize();
  // Blob slots hold pointers: they start on a boundary of their own.
  FBlobOffset = int((std::size_t(offset) + alignof(TBlobSlot) - 1) / alignof(TBlobSlot) * alignof(TBlobSlot));
  FBookmarkOffset = FBlobOffset + int(FBlobFields.size() * sizeof(TBlobSlot));
  FBufferSize = FBookmarkOffset + kBookmarkBytes;
}

void TXbTable::InternalOpen() {
  if (FWorkArea == 0) {
    FRecordCount = -1;
    FRawCount = -1;
  }
  FFetchPosition = -1;
  if (!local()) {
    if (!FXbConnection) HandleError("No XbConnection specified");
    if (!FXbConnection->Active()) {
      FWorkArea = 0;
      HandleError("Not connected");
    }
  }
  FOpening = true;
  try {
    InitFieldDefs();
  } catch (...) {
    FOpening = false;
    throw;
  }
  FOpening = false;
  if (!FWorkArea) return;
  if (DefaultFields()) {
    CreateFields();
    for (TField* f : Fields())
      if (auto* ff = dynamic_cast<TFloatField*>(f); ff && f->FieldNo() > 0) {
        int dec = FInfo[std::size_t(f->FieldNo())].Decimals;
        ff->SetDisplayFormat(dec > 0 ? "0." + AnsiString(std::size_t(dec), '0') : AnsiString("0"));
      }
  }
  BindFields(true);
  layoutBuffers();
  FRaw.assign(std::size_t(FRecSize) + 1, ' ');
  FCursorOpen = true;
  select();
  if (Filtered() && !Filter().empty()) XbOps::Query(*this, Filter());
  FMasterKey.clear();
  FMasterIndexName.clear();
  if (FMasterLink->Active() && !FMasterLink->Fields().empty() && !FIndexName.empty()) {
    FMasterKey = masterKey();
    FMasterIndexName = FIndexName;
    if (!XbOps::SetScope(*this, FMasterKey, FMasterKey)) HandleError("Scope Set failed");
  }
  XbOps::GoTop(*this);
  FAtFirst = true;
  FAtLast = false;
  FFetchPosition = -1;
}

void TXbTable::InternalClose() {
  FRecordCount = -1;
  FRawCount = -1;
  FCountStale = false;
  FCursorOpen = false;
  BindFields(false);
  FRaw.clear();
  if (DefaultFields()) DestroyFields();
  FInfo.clear();
  if (FWorkArea && (local() ? !XbOps::Alias(*this, FWorkArea).empty() : FXbConnection && FXbConnection->Active())) {
    select();
    XbOps::Close(*this);
  }
  FWorkArea = 0;
}

void TXbTable::CheckActive() const { TDataSet::CheckActive(); }

void TXbTable::NotEditingError() {
  const char* message = "Data set must be in Edit or Insert mode to update";
  HandleError(message);
  throw EXbError(message);  // a HandleError that came back
}

// ---- record buffers

TRecordBuffer TXbTable::AllocRecordBuffer() { return new char[std::size_t(std::max(FBufferSize, 1))](); }

void TXbTable::FreeRecordBuffer(TRecordBuffer& buffer) {
  if (buffer && FBufferSize > 0) clearBlobSlots(buffer);
  delete[] buffer;
  buffer = nullptr;
}

void TXbTable::CopyBuffer(TRecordBuffer dest, TRecordBuffer source) {
  // Blob contents belong to one buffer: the copy loads its own when asked.
  clearBlobSlots(dest);
  TDataSet::CopyBuffer(dest, source);
  for (std::size_t i = 0; i < FBlobFields.size(); ++i) {
    auto* slot = reinterpret_cast<TBlobSlot*>(dest + FBlobOffset + i * sizeof(TBlobSlot));
    slot->Data = nullptr;
    slot->Length = 0;
    slot->Loaded = slot->Modified = 0;
  }
}

TXbTable::TBlobSlot* TXbTable::blobSlot(TRecordBuffer buffer, const TField* field) {
  auto it = std::find(FBlobFields.begin(), FBlobFields.end(), field);
  if (!buffer || it == FBlobFields.end()) return nullptr;
  return reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + (it - FBlobFields.begin()) * sizeof(TBlobSlot));
}

void TXbTable::clearBlobSlots(TRecordBuffer buffer) {
  for (std::size_t i = 0; i < FBlobFields.size(); ++i) {
    auto* slot = reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + i * sizeof(TBlobSlot));
    delete[] slot->Data;
    slot->Data = nullptr;
    slot->Length = 0;
    slot->Loaded = slot->Modified = 0;
  }
}

void TXbTable::ClearBuffers() {
  TDataSet::ClearBuffers();
  if (FWorkArea && ActiveBuffer()) InternalInitRecord(ActiveBuffer());
}

void TXbTable::InternalInitRecord(TRecordBuffer buffer) {
  clearBlobSlots(buffer);
  std::memset(buffer, 0, std::size_t(FBlobOffset));  // the fields, the calculated ones and the gap
  for (std::size_t i = 0; i < FBlobFields.size(); ++i)
    std::memset(reinterpret_cast<TBlobSlot*>(buffer + FBlobOffset + i * sizeof(TBlobSlot))->Ref, ' ', kMemoRefWidth);
  setBookmark(buffer, 0, bfCurrent);
}

void TXbTable::ClearCalcFields(TRecordBuffer buffer) {
  std::memset(buffer + FCalcOffset, 0, std::size_t(CalcFieldsSize()));
}

void TXbTable::CalculateFields(TRecordBuffer buffer) { TDataSet::CalculateFields(buffer); }

int32_t TXbTable::bookmarkOf(TRecordBuffer buffer) const {
  int32_t r = 0;
  std::memcpy(&r, buffer + FBookmarkOffset, 4);
  return r;
}

void TXbTable::setBookmark(TRecordBuffer buffer, int32_t recNo, TBookmarkFlag flag) {
  std::memcpy(buffer + FBookmarkOffset, &recNo, 4);
  buffer[FBookmarkOffset + 4] = static_cast<char>(flag);
}

void TXbTable::GetBookmarkData(TRecordBuffer buffer, void* data) { std::memcpy(data, buffer + FBookmarkOffset, 4); }
void TXbTable::SetBookmarkData(TRecordBuffer buffer, const void* data) { std::memcpy(buffer + FBookmarkOffset, data, 4); }
TBookmarkFlag TXbTable::GetBookmarkFlag(TRecordBuffer buffer) { return TBookmarkFlag(buffer[FBookmarkOffset + 4]); }
void TXbTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) { buffer[FBookmarkOffset + 4] = char(value); }

void TXbTable::decodeRecord(TRecordBuffer buffer) {
  bool hidden = FEncrypted && FPassword.empty();
  for (TField* f : Fields()) {
    int no = f->FieldNo();
    if (f->Calculated() || no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) continue;
    const TFieldInfo& info = FInfo[std::size_t(no)];
    char* flag = buffer + info.BufferOffset;
    char* data = flag + 1;
    AnsiString text(FRaw.data() + info.RawOffset, std::size_t(info.Width));
    *flag = 1;
    if (hidden) {
      if (f->DataType() == ftString) std::memset(data, '*', std::size_t(info.Width));
      else std::memset(data, 0, std::size_t(f->DataSize()));
      continue;
    }
    switch (f->DataType()) {
      case ftString: {
        AnsiString s = TrimRight(text);
        std::memset(data, 0, std::size_t(f->DataSize()));
        std::memcpy(data, s.data(), std::min<std::size_t>(s.size(), std::size_t(f->DataSize() - 1)));
        break;
      }
      case ftSmallint:
      case ftInteger:
      case ftWord: {
        AnsiString s = Trim(text);
        int64_t v = 0;
        if (s.empty()) {
          *flag = 0;
          std::memset(data, 0, std::size_t(f->DataSize()));
          break;
        }
        if (!TryStrToInt(s, v)) v = 0;
        if (f->DataSize() == 2) {
          auto v16 = static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
          std::memcpy(data, &v16, 2);
        } else {
          auto v32 = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
          std::memcpy(data, &v32, 4);
        }
        break;
      }
      case ftBoolean: {
        AnsiString s = Trim(text);
        int16_t v = !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y') ? 1 : 0;
        if (s.empty()) *flag = 0;
        std::memcpy(data, &v, 2);
        break;
      }
      case ftFloat:
      case ftCurrency: {
        AnsiString s = text;
        std::replace(s.begin(), s.end(), ',', ' ');
        s = Trim(s);
        double v = 0;
        if (s.empty()) {
          *flag = 0;
        } else {
          char* end = nullptr;
          v = std::strtod(s.c_str(), &end);
          if (!end || *end) v = 0;
        }
        std::memcpy(data, &v, 8);
        break;
      }
      case ftDate: {
        int32_t day = 0;
        if (text.size() < 8 || text[1] == ' ' || text[1] == 0 || text[5] == 0 || text[7] == 0) {
          *flag = 0;
        } else {
          int64_t y = 0, m = 0, d = 0;
          TDateTime dt = 0;
          if (TryStrToInt(text.substr(0, 4), y) && TryStrToInt(text.substr(4, 2), m) && TryStrToInt(text.substr(6, 2), d) &&
              TryEncodeDate(int(y), int(m), int(d), dt))
            day = static_cast<int32_t>(dt) + DateDelta;
        }
        std::memcpy(data, &day, 4);
        break;
      }
      case ftMemo:
      case ftBlob: {
        TBlobSlot* slot = blobSlot(buffer, f);
        if (!slot) break;
        delete[] slot->Data;
        slot->Data = nullptr;
        slot->Length = 0;
        slot->Loaded = slot->Modified = 0;
        if (!(State() == dsInsert && XbOps::Eof(*this))) std::memcpy(slot->Ref, text.data(), std::min(kMemoRefWidth, info.Width));
        *flag = Trim(AnsiString(slot->Ref, kMemoRefWidth)).empty() ? 0 : 1;
        break;
      }
      default: break;
    }
  }
}

void TXbTable::encodeRecord(TRecordBuffer buffer, bool inserting) {
  select();
  int dataFields = 0;
  for (TField* f : Fields()) dataFields += !f->Calculated() && f->FieldNo() > 0;
  // Fields the data set does not show keep what the record holds; a new record has none yet.
  if (inserting) std::fill(FRaw.begin(), FRaw.end(), ' ');
  else if (dataFields != FEngineFieldCount) XbOps::GetRecord(*this, FRaw.data());
  for (TField* f : Fields()) {
    int no = f->FieldNo();
    if (f->Calculated() || no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) continue;
    const TFieldInfo& info = FInfo[std::size_t(no)];
    const char* flag = buffer + info.BufferOffset;
    const char* data = flag + 1;
    bool null = *flag == 0;
    AnsiString text;
    switch (f->DataType()) {
      case ftString: text = null ? AnsiString() : AnsiString(data, strnlen(data, std::size_t(f->DataSize()))); break;
      case ftSmallint:
      case ftInteger:
      case ftWord: {
        if (null) break;
        int64_t v = 0;
        if (f->DataSize() == 2) {
          int16_t v16 = 0;
          std::memcpy(&v16, data, 2);
          v = f->DataType() == ftWord ? uint16_t(v16) : v16;
        } else {
          int32_t v32 = 0;
          std::memcpy(&v32, data, 4);
          v = v32;
        }
        text = IntToStr(v);
        if (int(text.size()) > info.Width) HandleError("Translate error. Value out of bounds");
        text = AnsiString(std::size_t(info.Width) - text.size(), ' ') + text;
        break;
      }
      case ftBoolean: {
        int16_t v = 0;
        std::memcpy(&v, data, 2);
        text = null ? " " : v ? "T" : "F";
        break;
      }
      case ftFloat:
      case ftCurrency: {
        if (null) break;
        double v = 0;
        std::memcpy(&v, data, 8);
        char buf[128];
        std::snprintf(buf, sizeof buf, "%*.*f", info.Width, info.Decimals, v);
        text = buf;
        // A number wider than its field is refused: cutting it would store another number.
        if (int(text.size()) > info.Width) HandleError("Translate error. Value out of bounds");
        break;
      }
      case ftDate: {
        int32_t day = 0;
        std::memcpy(&day, data, 4);
        if (null || day <= 0) break;
        int y = 0, m = 0, d = 0;
        DecodeDate(double(day - DateDelta), y, m, d);
        if (y < 100) {
          y += (FEpoch / 100) * 100;
          if (y < FEpoch) y += 100;
          else if (y > FEpoch + 100) y -= 100;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
        text = buf;
        break;
      }
      case ftMemo:
      case ftBlob: {
        TBlobSlot* slot = blobSlot(buffer, f);
        text = slot ? AnsiString(slot->Ref, kMemoRefWidth) : AnsiString(std::size_t(kMemoRefWidth), ' ');
        break;
      }
      default: continue;
    }
    text.resize(std::size_t(info.Width), ' ');
    std::memcpy(FRaw.data() + info.RawOffset, text.data(), std::size_t(info.Width));
  }
  FRaw[0] = inserting ? ' ' : (XbOps::Deleted(*this) ? '*' : ' ');
}

void TXbTable::writeRecord(TRecordBuffer buffer) {
  // The engine keeps the record until the commit: a memo that fails takes the whole change
  // back, so a failed post leaves the table as it was.
  uint64_t mark = EngineMark();
  XbOps::PutRecord(*this, FRaw.data());
  writeBlobs(buffer);
  XbOps::Commit(*this);
  if (AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString(); !reason.empty())
    HandleError(Contains(reason, "locked") ? WithReason(kLockFailure, reason) : reason);
}

TRecordBuffer TXbTable::fieldBuffer() const {
  if (State() == dsCalcFields) return FCalcBuffer;
  if (State() == dsFilter) return FFilterBuffer;
  return ActiveBuffer();
}

bool TXbTable::GetFieldData(TField* field, void* buffer) {
  if (!FCursorOpen) return false;
  TRecordBuffer rec = fieldBuffer();
  if (!rec) return false;
  const char* place = nullptr;
  if (field->Calculated()) {
    place = rec + FCalcOffset + field->Offset();
  } else {
    int no = field->FieldNo();
    if (no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) return false;
    place = rec + FInfo[std::size_t(no)].BufferOffset;
  }
  if (*place == 0) return false;
  if (buffer && field->DataSize() > 0) std::memcpy(buffer, place + 1, std::size_t(field->DataSize()));
  return true;
}

void TXbTable::SetFieldData(TField* field, const void* buffer) {
  TDataSetState s = State();
  if (s != dsEdit && s != dsInsert && s != dsCalcFields && s != dsFilter && s != dsNewValue)
    HandleError("Data set must be in Edit or Insert mode to update");
  TRecordBuffer rec = fieldBuffer();
  if (!rec) return;
  char* place = nullptr;
  if (field->Calculated()) {
    place = rec + FCalcOffset + field->Offset();
  } else {
    int no = field->FieldNo();
    if (no < 1 || no >= int(FInfo.size()) || FInfo[std::size_t(no)].BufferOffset < 0) return;
    place = rec + FInfo[std::size_t(no)].BufferOffset;
  }
  *place = buffer ? 1 : 0;
  if (field->DataSize() > 0) {
    if (buffer) std::memcpy(place + 1, buffer, std::size_t(field->DataSize()));
    else std::memset(place + 1, 0, std::size_t(field->DataSize()));
  }
  if (s != dsCalcFields && s != dsFilter && s != dsNewValue) DataEvent(deFieldChange, field);
}

// ---- fetching

void TXbTable::select() {
  XbOps::Select(*this, FWorkArea);
  if (!FServerMoved) return;
  FServerMoved = false;
  if (FCurrentRecNo > 0) XbOps::Go(*this, FCurrentRecNo);
}

TGetResult TXbTable::fetchFromServer(TGetMode mode) {
  bool forward = mode == gmNext;
  if ((FAtFirst && !forward) || (FAtLast && forward)) return forward ? grEOF : grBOF;
  std::size_t next = std::size_t(FFetchPosition + 1);
  if (FFetchPosition < 0 || FFetchForward != forward || next >= FFetchFilled) {
    TXbTraverseRequest q;
    q.Forward = forward;
    q.Order = FCurrentOrder;
    q.AtFirst = FAtFirst ? 1 : 0;
    q.AtLast = FAtLast ? 1 : 0;
    q.Count = FFetchCount;
    q.RecNo = FCurrentRecNo;
    std::vector<TXbTraverseEntry> entries;
    FXbConnection->TraverseTable(q, FRecSize, entries);
    FServerMoved = true;
    FFetchFilled = std::min(entries.size(), FFetchCache.size());
    for (std::size_t i = 0; i < FFetchFilled; ++i) {
      TFetchEntry& e = FFetchCache[i];
      e.Status = uint8_t(entries[i].Status);
      e.RecNo = entries[i].RecNo;
      e.PositionedRecNo = entries[i].PositionedRecNo;
      e.Raw.assign(entries[i].Record.begin(), entries[i].Record.end());
    }
    FFetchForward = forward;
    next = 0;
  }
  FFetchPosition = -1;
  if (next >= FFetchFilled) return forward ? grEOF : grBOF;
  const TFetchEntry& e = FFetchCache[next];
  if (e.Status == xbTraverseEnd) return grEOF;
  if (e.Status == xbTraverseBegin) return grBOF;
  if (e.Status != xbTraverseOK) return grError;
  FFetchPosition = int32_t(next);
  FCurrentRecNo = e.RecNo;
  FPositionedRecNo = e.PositionedRecNo;
  std::memcpy(FRaw.data(), e.Raw.data(), std::min(e.Raw.size(), FRaw.size()));
  return grOK;
}

TGetResult TXbTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
  TGetResult result = grOK;
  for (;;) {
    // A server table walks through batches of records; every other move asks the engine.
    bool batch = !local() && mode != gmCurrent;
    if (batch) XbOps::Select(*this, FWorkArea);
    else select();
    result = grOK;
    int32_t before = (batch || FAtFirst || FAtLast) ? 0 : XbOps::RecNo(*this);
    if (batch) result = fetchFromServer(mode);
    else switch (mode) {
      case gmCurrent:
        if (XbOps::Bof(*this) && XbOps::Eof(*this)) {
          result = grEOF;
        } else if (XbOps::Eof(*this)) {
          if (FEOFAction == eaMoveLast) {
            XbOps::GoBottom(*this);
            if (XbOps::Eof(*this)) result = grEOF;
          } else {
            result = grEOF;
          }
        }
        break;
      case gmNext:
        if (FAtFirst) XbOps::GoTop(*this);
        else XbOps::Skip(*this, 1);
        if (XbOps::Eof(*this) || XbOps::RecNo(*this) == before) {
          XbOps::GoBottom(*this);
          result = grEOF;
        }
        break;
      case gmPrior:
        if (FAtLast) XbOps::GoBottom(*this);
        else XbOps::Skip(*this, -1);
        if (XbOps::Bof(*this) || XbOps::RecNo(*this) == before) {
          XbOps::GoTop(*this);
          result = grBOF;
        }
        break;
    }
    // Once moved, the next try goes on from the record reached: a filtered-out first or last
    // record must not end the walk.
    FAtFirst = FAtLast = false;
    if (!batch) {
      XbOps::RecNo(*this);
      FPositionedRecNo = kAnyPosition;
    }
    InternalInitRecord(buffer);
    if (result == grOK) {
      if (!batch) XbOps::GetRecord(*this, FRaw.data());
      decodeRecord(buffer);
      setBookmark(buffer, FCurrentRecNo, bfCurrent);
      GetCalcFields(buffer);
    }
    if (result == grOK && Filtered() && OnFilterRecord) {
      bool accept = true;
      TDataSetState previous;
      SetTempState(dsFilter, previous);
      FFilterBuffer = buffer;
      try {
        OnFilterRecord(this, accept);
      } catch (...) {
      }
      RestoreState(previous);
      select();
      if (!accept) {
        if (mode == gmCurrent) {
          result = grEOF;
          break;
        }
        continue;
      }
    }
    break;
  }
  if (result == grError && doCheck) HandleError("Cannot perform this operation on an empty table");
  FAtFirst = FAtLast = false;
  return result;
}

void TXbTable::InternalFirst() {
  select();
  XbOps::GoTop(*this);
  FFetchPosition = -1;
  FAtFirst = true;
  FAtLast = false;
  FCurrentRecNo = 0;
}

void TXbTable::InternalLast() {
  FFetchPosition = -1;
  select();
  XbOps::GoBottom(*this);
  FAtLast = true;
  FAtFirst = false;
}

void TXbTable::InternalSetToRecord(TRecordBuffer buffer) {
  if (!FWorkArea) return;
  FFetchPosition = -1;
  select();
  int32_t rec = bookmarkOf(buffer);
  if (rec > 0) XbOps::Go(*this, rec);
}

void TXbTable::UpdateCursorPos() {
  if (FWorkArea) select();
  // In speed mode the engine's record pointer is the cursor; the buffers may lag behind it.
  if (FSpeedMode) return CursorPosChanged();
  TDataSet::UpdateCursorPos();
}

void TXbTable::DoOnNewRecord() {
  // A detail's new record starts with its master's key.
  if (FWorkArea && FMasterLink->Active() && !FMasterLink->Fields().empty()) {
    select();
    std::vector<AnsiString> keys = SplitFieldNames(XbOps::IndexKeyField(*this));
    const std::vector<TField*>& master = FMasterLink->Fields();
    for (std::size_t i = 0; i < keys.size() && i < master.size(); ++i)
      if (TField* f = FindField(keys[i])) f->SetAsVariant(master[i]->AsVariant());
  }
  TDataSet::DoOnNewRecord();
}

void TXbTable::InternalGotoBookmark(const void* bookmark) {
  int32_t rec = 0;
  std::memcpy(&rec, bookmark, 4);
  select();
  XbOps::Go(*this, rec);
  if (rec < 1 || XbOps::Eof(*this)) HandleError("Invalid bookmark");
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
}

void TXbTable::InternalHandleException() { TDataSet::InternalHandleException(); }

int TXbTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  if (a.size() < 4 || b.size() < 4) return 2;
  int32_t ra = 0, rb = 0;
  std::memcpy(&ra, a.data(), 4);
  std::memcpy(&rb, b.data(), 4);
  auto byRecNo = [&] { return ra < rb ? -1 : ra > rb ? 1 : 0; };
  if (FIndexName.empty() || !FWorkArea) return byRecNo();
  select();
  int32_t keep = XbOps::RecNo(*this);
  AnsiString key = XbOps::IndexKey(*this);
  int32_t type = XbOps::EvalTest(*this, key);
  // Keys compare by their own kind: numbers as numbers, texts byte by byte as blank-padded
  // texts, so no key text is ever put into an expression.
  auto keyOf = [&](int32_t rec, double& num) {
    XbOps::Go(*this, rec);
    if (type == 2) {
      num = XbOps::EvalNumeric(*this, key);
      return AnsiString();
    }
    if (type == 3) return AnsiString(XbOps::EvalLogical(*this, key) ? "T" : "F");
    return XbOps::EvalString(*this, key);
  };
  double na = 0, nb = 0;
  AnsiString ka = keyOf(ra, na), kb = keyOf(rb, nb);
  int c = 0;
  if (type == 2) {
    c = na < nb ? -1 : na > nb ? 1 : 0;
  } else {
    std::size_t n = std::max(ka.size(), kb.size());
    ka.resize(n, ' ');
    kb.resize(n, ' ');
    c = ka < kb ? -1 : ka > kb ? 1 : 0;
  }
  if (c != 0 && XbOps::SysProp(*this, kPropDescending, 0) != 0) c = -c;
  XbOps::Go(*this, keep);
  return c != 0 ? c : byRecNo();
}

// ---- blobs

TApBlobStream::TApBlobStream(TXbTable* table, TField* field, TBlobStreamMode mode)
    : FTable(table), FField(field), FMode(mode), FBuffer(table->Active() ? table->fieldBuffer() : nullptr) {
  TXbTable::TBlobSlot* slot = table->blobSlot(FBuffer, field);
  if (!slot) return;
  bool calc = table->State() == dsCalcFields;
  if (mode != bmWrite && (calc || !field->IsNull())) {
    if (!slot->Loaded || table->SpeedMode() || calc || table->State() == dsOldValue) {
      table->select();
      uint64_t mark = EngineMark();
      int32_t keep = XbOps::RecNo(*table);
      int32_t rec = table->bookmarkOf(FBuffer);
      if (rec > 0) XbOps::Go(*table, rec);
      AnsiString name = field->FieldName();
      int32_t length = table->TableType() == ttXBNTX ? 0 : XbOps::GetBlobLength(*table, name);
      delete[] slot->Data;
      slot->Data = nullptr;
      if (field->DataType() == ftMemo && length < kMemoTextLimit) {
        char* text = XbOps::GetMemo(*table, name, 0);
        std::size_t n = text ? std::strlen(text) : 0;
        if (table->TableType() == ttXBNTX || n < std::size_t(length)) length = int32_t(n);
        slot->Data = new char[std::size_t(length) + 1]();
        if (text) std::memcpy(slot->Data, text, std::size_t(length));
        if (text) XbOps::MemDealloc(*table, text);
      } else {
        slot->Data = new char[std::size_t(length) + 1]();
        if (length > 0) XbOps::GetBlob(*table, name, slot->Data);
      }
      slot->Length = length;
      slot->Loaded = 1;
      // A damaged memo is reported, not shown as an empty one.
      AnsiString reason = table->local() ? EngineErrorSince(mark) : AnsiString();
      if (keep > 0) XbOps::Go(*table, keep);
      if (!reason.empty()) {
        slot->Loaded = 0;
        table->HandleError(reason);
      }
    }
  }
  if (table->Active() && mode != bmWrite && slot->Data) {
    Write(slot->Data, slot->Length);
    Seek(0, soFromBeginning);
  }
}

TApBlobStream::~TApBlobStream() {
  if (FMode == bmRead) return;
  TXbTable::TBlobSlot* slot = FTable->blobSlot(FBuffer, FField);
  if (!slot) return;
  // The new contents replace the old ones, whose buffer goes.
  char* data = new char[std::size_t(Size()) + 1]();
  if (Size() > 0) std::memcpy(data, Memory(), std::size_t(Size()));
  delete[] slot->Data;
  slot->Data = data;
  slot->Length = int32_t(Size());
  slot->Modified = 1;
  slot->Loaded = 1;
  int no = FField->FieldNo();
  if (no > 0 && no < int(FTable->FInfo.size()) && FTable->FInfo[std::size_t(no)].BufferOffset >= 0)
    FBuffer[FTable->FInfo[std::size_t(no)].BufferOffset] = Size() > 0 ? 1 : 0;
  try {
    FTable->DataEvent(deFieldChange, FField);
  } catch (...) {
  }
}

std::unique_ptr<TStream> TXbTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
  return std::make_unique<TApBlobStream>(this, field, mode);
}

void TXbTable::writeBlobs(TRecordBuffer buffer) {
  for (TField* f : FBlobFields) {
    TBlobSlot* slot = blobSlot(buffer, f);
    if (!slot || !slot->Modified) continue;
    AnsiString name = f->FieldName();
    uint64_t mark = EngineMark();
    if (f->DataType() == ftMemo) {
      AnsiString text(slot->Data ? slot->Data : "", std::size_t(slot->Length));
      XbOps::Replace(*this, name, xbReplaceText, text.c_str());
      // The engine answers nothing; a memo it could not store shows in its report or its length.
      AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString();
      if (!reason.empty() || XbOps::GetBlobLength(*this, name) != int32_t(std::strlen(text.c_str())))
        HandleError(WithReason("Blob Write Error", reason));
    } else if (XbOps::PutBlob(*this, name, slot->Data, slot->Length) != slot->Length) {
      HandleError(WithReason("Blob Write Error", local() ? EngineErrorSince(mark) : AnsiString()));
    }
  }
  for (TField* f : FBlobFields)
    if (TBlobSlot* slot = blobSlot(buffer, f)) slot->Modified = 0;
}

// ---- moving

bool TXbTable::Bof() const {
  if (!FSpeedMode || !FWorkArea) return TDataSet::Bof();
  auto* self = const_cast<TXbTable*>(this);
  self->select();
  return XbOps::Bof(*self) ? true : TDataSet::Bof();
}

bool TXbTable::Eof() const {
  if (!FWorkArea) return TDataSet::Eof();
  auto* self = const_cast<TXbTable*>(this);
  self->select();
  return XbOps::Eof(*self) ? true : TDataSet::Eof();
}

void TXbTable::BeforeMove() {
  if (FSpeedMode) return;
  CheckBrowseMode();
  if (!ControlsDisabled()) DoBeforeScroll();
}

void TXbTable::AfterMove() {
  if (!FSpeedMode) DoAfterScroll();
}

void TXbTable::directMove(int distance) {
  if (distance > 1 || distance < -1) FFetchPosition = -1;
  if (distance > 0) FAtFirst = false;
  if (distance < 0) FAtLast = false;
  select();
  XbOps::Skip(*this, distance);
}

int TXbTable::MoveBy(int distance) {
  FFetchPosition = -1;
  if (!FSpeedMode) return TDataSet::MoveBy(distance);
  directMove(distance);
  return distance;
}

void TXbTable::Next() {
  if (FSpeedMode) directMove(1);
  else TDataSet::Next();
}

void TXbTable::Prior() {
  if (FSpeedMode) directMove(-1);
  else TDataSet::Prior();
}

// ---- record numbers and counts

int32_t TXbTable::RecCount() {
  if (!FWorkArea) return 0;
  select();
  return XbOps::RecCount(*this);
}

int TXbTable::RecordCount() {
  if (!FWorkArea) return 0;
  // The table may be shared: a count another program changed is no longer the count.
  if (local() && !FCountStale && FRecordCount >= 0) {
    select();
    if (XbOps::RecCount(*this) != FRawCount) countStale();
  }
  if (FCountStale || FRecordCount < 0) {
    select();
    FRawCount = XbOps::RecCount(*this);
    switch (FSequencedCount) {
      case scAllCount: FRecordCount = XbOps::Count(*this); break;
      case scFilterOnlyCount: FRecordCount = XbOps::QueryRecCount(*this); break;
      default: FRecordCount = FRawCount; break;
    }
    FCountStale = false;
  }
  return FRecordCount;
}

double TXbTable::orderPosition() {
  // The server answers no position in an order; its record number stands in.
  if (!local()) return FCurrentRecNo;
  return XbeEntry(xb_OrderPosGet)();
}

int TXbTable::RecNo() {
  if (!FWorkArea || !FCursorOpen) return 0;
  select();
  if (FCurrentOrder == 0 || FTableType == ttXBNTX) {
    if (FSpeedMode) return XbOps::RecNo(*this);
    TRecordBuffer b = State() == dsCalcFields ? FCalcBuffer : ActiveBuffer();
    return b ? bookmarkOf(b) : FCurrentRecNo;
  }
  if (!local()) return FCurrentRecNo;
  UpdateCursorPos();
  // Positions count the records the order shows (deleted ones hidden, scope, filter); the
  // engine's fraction times that count lands between two whole numbers: round, not cut.
  int32_t count = XbOps::Count(*this);
  return static_cast<int>(std::lround(orderPosition() * count));
}

int32_t TXbTable::PhysicalRecNo() {
  if (FSpeedMode && FWorkArea) {
    select();
    return XbOps::RecNo(*this);
  }
  TRecordBuffer b = State() == dsCalcFields ? FCalcBuffer : ActiveBuffer();
  return b ? bookmarkOf(b) : 0;
}

void TXbTable::SetRecNo(int value) {
  if (!FWorkArea) return;
  select();
  if (FSpeedMode) {
    XbOps::Go(*this, value);
    return;
  }
  BeforeMove();
  select();
  int32_t rec = value;
  if (FCurrentOrder != 0 && FTableType != ttXBNTX && local()) {
    // In an order the number is a position, as RecNo answers it.
    int32_t count = XbOps::Count(*this);
    XbOps::Go(*this, value);
    if (count > 0) XbOps::OrderPosSet(*this, double(value) / count);
    rec = XbOps::RecNo(*this);
  }
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
  FFetchPosition = -1;
  Resync(0);
  AfterMove();
}

int32_t TXbTable::IndexOrd() {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  select();
  return XbOps::IndexOrd(*this);
}

bool TXbTable::IsEncrypted() {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  select();
  return XbOps::IsEncrypted(*this, 0) != 0;
}

AnsiString TXbTable::IndexKeyFields() {
  if (!FWorkArea) return AnsiString();
  select();
  return XbOps::IndexKeyField(*this);
}

void TXbTable::Resync(TResyncMode mode) {
  if (FWorkArea && !FSpeedMode && Active()) {
    select();
    if (TRecordBuffer b = ActiveBuffer(); b && bookmarkOf(b) > 0) XbOps::Go(*this, bookmarkOf(b));
  }
  TDataSet::Resync(mode);
}

void TXbTable::Refresh() {
  if (!FWorkArea) return;
  select();
  AnsiString filter = XbOps::DBFilter(*this);
  if (!filter.empty() && XbOps::QueryTest(*this, filter) > 0) {
    int32_t rec = PhysicalRecNo();
    XbOps::Query(*this, filter);
    countStale();
    if (rec > 0) XbOps::Go(*this, rec);
    if (Active()) TDataSet::Resync(0);
    return;
  }
  if (Active()) Resync(0);
}

// ---- orders

AnsiString TXbTable::completeIndexFile(const AnsiString& name, const char* ext) const {
  AnsiString file = name;
  if (ExtractFilePath(file).empty()) file = FDataPath + file;
  if (ExtractFileExt(file).empty()) file += ext;
  return file;
}

void TXbTable::SetIndexName(const AnsiString& value) {
  if (value == FIndexName) return;
  if (FTableType == ttXBNTX && SameText(ExtractFileName(value).substr(0, ExtractFileName(value).find('.')),
                                        ExtractFileName(FIndexName).substr(0, ExtractFileName(FIndexName).find('.'))) &&
      !value.empty() && !FIndexName.empty())
    return;
  FIndexName = value;
  if (FWorkArea) applyIndexName(false);
}

void TXbTable::applyIndexName(bool) {
  if (Active()) CheckBrowseMode();
  select();
  int32_t order = 0;
  if (!FIndexName.empty()) {
    bool fileOrder = FTableType == ttXBNTX || (local() && UpperCase(ExtractFileExt(FIndexName)) == ".IDX");
    if (fileOrder) {
      for (int i = 0; i < FExtraIndexes->Count(); ++i)
        if (SameText((*FExtraIndexes)[i], FIndexName)) order = i + 1;
      if (!order) {
        AnsiString file = completeIndexFile(FIndexName, FTableType == ttXBNTX ? ".NTX" : ".IDX");
        if (XbOps::TableFileExists(*this, file)) {
          order = XbOps::IndexOpen(*this, file);
          FIndexDefs->SetUpdated(false);
          UpdateIndexDefs();
        }
      }
    } else {
      order = XbOps::TagArea(*this, FIndexName);
    }
    if (order == 0 && Active() && (!local() || errorModeOn())) HandleError("Invalid IndexName value : " + FIndexName);
  }
  select();
  XbOps::SetOrder(*this, order);
  countStale();
  CursorPosChanged();
  if (Active()) {
    if (local() && FMasterLink->Active()) {
      FMasterIndexName.clear();
      applyMaster();
    }
    Resync(0);
  }
}

void TXbTable::SetExtraIndexes(const TStrings& value) {
  FExtraIndexes->Assign(value);
}

void TXbTable::ExtraIndexesChanged() {
  FIndexName.clear();
  if (!FWorkArea) return;
  OpenExtraIndexes();
  FIndexDefs->SetUpdated(false);
  UpdateIndexDefs();
}

void TXbTable::OpenExtraIndexes() {
  if (!FWorkArea) return;
  select();
  int32_t remembered = XbOps::IndexOrd(*this);
  AnsiString defaultIndex = ChangeFileExt(TableFile(), defaultIndexExtension());
  if (!XbOps::TableFileExists(*this, defaultIndex)) defaultIndex = ChangeFileExt(TableFile(), LowerCase(defaultIndexExtension()));
  // With no extra files, and only the structural index that opened with the table open, closing
  // and building it again would change nothing.
  int32_t orders = XbOps::SysProp(*this, kPropOrderCount, 0);
  bool onlyDefault = FExtraIndexes->Count() == 0 && FTableType != ttXBNTX && orders > 0;
  for (int32_t i = 1; onlyDefault && i <= orders; ++i)
    onlyDefault = SameText(ExtractFileName(XbOps::IndexName(*this, i)), ExtractFileName(defaultIndex));
  if (onlyDefault) {
    CursorPosChanged();
    return;
  }
  XbOps::CloseIndexes(*this);
  if (FTableType != ttXBNTX && XbOps::TableFileExists(*this, defaultIndex)) XbOps::IndexOpen(*this, defaultIndex);
  XbOps::SetOrder(*this, 0);
  static const char* exts[] = {".NTX", ".NTX", ".IDX", ".NSX", ".NSX"};
  for (int i = 0; i < FExtraIndexes->Count(); ++i) {
    AnsiString entry = Trim((*FExtraIndexes)[i]);
    if (entry.empty()) continue;
    AnsiString file = completeIndexFile(entry, exts[std::clamp(int(FTableType), 0, 4)]);
    if (!XbOps::TableFileExists(*this, file)) {
      if (errorModeOn()) HandleError("Invalid IndexName value : " + entry);
      continue;
    }
    int32_t order = XbOps::IndexOpen(*this, file);
    if (!remembered && order) {
      remembered = order;
      FIndexName = file;
    }
  }
  XbOps::SetOrder(*this, remembered);
  countStale();
  if (FCursorOpen && Active()) Resync(0);
  else CursorPosChanged();
}

void TXbTable::UpdateIndexDefs() {
  if (FIndexDefs->Updated() || !FWorkArea) return;
  select();
  FIndexDefs->Clear();
  XbOps::SetStringType(*this, 1);
  int32_t keep = XbOps::IndexOrd(*this);
  int32_t count = XbOps::SysProp(*this, kPropOrderCount, 0);
  for (int32_t i = 1; i <= count; ++i) {
    if (FTableType == ttXBNTX && XbOps::IndexName(*this, i).empty()) continue;
    XbOps::SetOrder(*this, i);
    AnsiString key = UpperCase(XbOps::IndexKey(*this));
    AnsiString file = XbOps::IndexName(*this, i);
    AnsiString name = FTableType == ttXBNTX ? ExtractFileName(file) : XbOps::TagName(*this, i);
    if (name.empty() || key.empty()) HandleError("Invalid Index File or Tag");
    TIndexOptions options = 0;
    AnsiString tableBase = ChangeFileExt(ExtractFileName(TableFile()), "");
    if (FTableType == ttXBNTX || !SameText(ChangeFileExt(ExtractFileName(file), ""), tableBase)) options |= ixNonMaintained;
    int32_t type = XbOps::IndexType(*this);
    if (type == 2 || type == 4) options |= ixUnique;
    if (Contains(key, "UPPER(")) options |= ixCaseInsensitive;
    if (XbOps::SysProp(*this, kPropDescending, 0) != 0) options |= ixDescending;
    if (Contains(key, "+") || Contains(key, "(") || Contains(key, "-")) options |= ixExpression;
    TIndexDef* d = FIndexDefs->AddIndexDef();
    d->SetName(name);
    d->SetOptions(options);
    if (options & ixExpression) d->SetExpression(key);
    else d->SetFields(Contains(key, "+") ? KeyFieldsOf(key) : XbOps::IndexKeyField(*this));
    d->SetSource(file);
  }
  restoreOrder(keep);
  FIndexDefs->SetUpdated(true);
}

// ---- filters and scopes

void TXbTable::SetFilterText(const AnsiString& value) {
  TDataSet::SetFilterText(value);
  if (FWorkArea) applyFilter(Filtered() && !value.empty() ? value : AnsiString());
}

void TXbTable::SetFiltered(bool value) {
  TDataSet::SetFiltered(value);
  if (FWorkArea) applyFilter(value && !Filter().empty() ? Filter() : AnsiString());
}

void TXbTable::applyFilter(const AnsiString& text) {
  select();
  if (FSpeedMode) {
    XbOps::Query(*this, text);
    return;
  }
  if (!text.empty() && XbOps::EvalTest(*this, text) != xbTypeLogical)
    HandleError("Invalid Query Expression\r\r" + text);
  if (Active()) BeforeMove();
  select();
  int32_t result = XbOps::Query(*this, text);
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, XbOps::RecNo(*this), XbOps::Eof(*this) ? TBookmarkFlag(kBookmarkInserted) : bfCurrent);
  FCurrentRecNo = result;
  countStale();
  if (Active()) {
    Resync(0);
    AfterMove();
  }
}

void TXbTable::SetScopeBegin(const AnsiString& value) {
  if (value == FScopeBegin) return;
  FScopeBegin = value;
  if (FScoped) applyScope(FScopeBegin, FScopeEnd);
}

void TXbTable::SetScopeEnd(const AnsiString& value) {
  if (value == FScopeEnd) return;
  FScopeEnd = value;
  if (FScoped) applyScope(FScopeBegin, FScopeEnd);
}

void TXbTable::SetScoped(bool value) {
  if (value == FScoped) return;
  if (value) {
    applyScope(FScopeBegin, FScopeEnd);
  } else {
    AnsiString low = FScopeBegin, high = FScopeEnd;
    applyScope("", "");
    FScopeBegin = low, FScopeEnd = high;
  }
}

void TXbTable::applyScope(const AnsiString& low, const AnsiString& high) {
  if (!FWorkArea) HandleError("Cannot perform this operation on a closed table");
  if (Active()) CheckBrowseMode();
  select();
  int32_t remembered = XbOps::RecNo(*this);
  XbOps::SetScope(*this, low, high);
  if (!XbOps::Eof(*this)) {
    XbOps::Go(*this, remembered);
    XbOps::Skip(*this, 1);
    if (XbOps::Eof(*this)) XbOps::GoBottom(*this);
    else XbOps::Skip(*this, -1);
  }
  if (!FSpeedMode)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, XbOps::RecNo(*this), bfCurrent);
  countStale();
  if (Active()) Resync(0);
  FScoped = !XbOps::GetScope(*this, 0).empty();
}

// ---- master and detail

TDataSource* TXbTable::MasterSource() const { return FMasterLink->DataSource(); }

void TXbTable::SetMasterSource(TDataSource* value) {
  if (value && value->IsLinkedTo(this)) HandleError("Circular Datasource reference not allowed");
  FMasterLink->SetDataSource(value);
}

AnsiString TXbTable::masterKey() {
  AnsiString key;
  select();
  AnsiString detailKey = UpperCase(XbOps::IndexKey(*this));
  std::vector<AnsiString> detailFields = SplitFieldNames(XbOps::IndexKeyField(*this));
  const std::vector<TField*>& fields = FMasterLink->Fields();
  auto* master = dynamic_cast<TXbTable*>(FMasterLink->DataSet());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    TField* f = fields[i];
    switch (f->DataType()) {
      case ftString: {
        AnsiString s = f->AsString();
        if (int(s.size()) < f->Size()) s.resize(std::size_t(f->Size()), ' ');
        key += s;
        break;
      }
      case ftSmallint:
      case ftInteger:
      case ftWord:
      case ftFloat:
      case ftCurrency: {
        int width = 10;
        if (master && master->FWorkArea) {
          master->select();
          width = XbOps::FieldWidth(*master, f->FieldName());
          select();
        }
        AnsiString digits = f->DataType() == ftFloat || f->DataType() == ftCurrency ? XbNumber(f->AsFloat()) : IntToStr(f->AsInteger());
        bool blanks = i < detailFields.size() && Contains(detailKey, ("STR(" + UpperCase(detailFields[i])).c_str());
        if (int(digits.size()) < width) digits = AnsiString(std::size_t(width) - digits.size(), blanks ? ' ' : '0') + digits;
        key += digits;
        break;
      }
      case ftBoolean: key += f->AsBoolean() ? "T" : "F"; break;
      case ftDate: key += f->IsNull() ? AnsiString(8, ' ') : Dtos(f->AsDateTime()); break;
      default: key += f->AsString(); break;
    }
  }
  return key;
}

void TXbTable::applyMaster() {
  if (!FWorkArea || !Active() || FMasterLink->Fields().empty()) return;
  CheckBrowseMode();
  AnsiString key = masterKey();
  if (key == FMasterKey && FIndexName == FMasterIndexName) return;
  FMasterKey = key;
  FMasterIndexName = FIndexName;
  if (FIndexName.empty()) HandleError("This operation requires an active index order");
  select();
  if (!XbOps::SetScope(*this, key, key)) HandleError("Scope Set failed");
  countStale();
  First();
}

void TXbTable::masterDisabled() {
  FMasterKey.clear();
  if (!FWorkArea || !Active()) return;
  select();
  XbOps::SetScope(*this, "", "");
  Resync(0);
}

void TXbTable::DoBeforeInsert() {
  TDataSet::DoBeforeInsert();
  if (TRecordBuffer b = ActiveBuffer()) FInsertRecNo = bookmarkOf(b);
}

void TXbTable::DoBeforeCancel() {
  if (State() == dsInsert)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, -1, TBookmarkFlag(kBookmarkInserted));
  TDataSet::DoBeforeCancel();
}

void TXbTable::DoAfterCancel() { TDataSet::DoAfterCancel(); }

// ---- searching

void TXbTable::restoreOrder(int32_t order) {
  XbOps::SetOrder(*this, order);
  // A change of order drops the engine's scope; the table's stays.
  if (!order) return;
  int32_t rec = XbOps::RecNo(*this);
  if (FScoped) XbOps::SetScope(*this, FScopeBegin, FScopeEnd);
  else if (!FMasterKey.empty()) XbOps::SetScope(*this, FMasterKey, FMasterKey);
  else return;
  if (rec > 0) XbOps::Go(*this, rec);
}

bool TXbTable::fieldMatchesKey(int order, const AnsiString& field, bool caseInsensitive) {
  XbOps::SetOrder(*this, order);
  AnsiString key = UpperCase(XbOps::IndexKey(*this));
  if (!SameText(XbOps::IndexKeyField(*this), field)) return false;
  return caseInsensitive ? Contains(key, "UPPER(") : !Contains(key, "UPPER(");
}

AnsiString TXbTable::keyText(TField* field, const Variant& value, bool upper) const {
  switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord: return IntToStr(value.AsInteger());
    case ftBoolean: return value.AsBoolean() ? ".T." : ".F.";
    case ftFloat:
    case ftCurrency: return XbNumber(value.AsDouble());
    case ftDate: return value.VarType() == varString ? value.AsString() : Dtos(value.AsDateTime());
    default: return upper ? AnsiUpperCase(value.AsString()) : value.AsString();
  }
}

bool TXbTable::seekLocate(TField* field, const Variant& value, TLocateOptions options) {
  AnsiString key = keyText(field, value, Contains(UpperCase(XbOps::IndexKey(*this)), "UPPER("));
  int32_t keep = XbOps::RecNo(*this);
  int32_t exact = XbOps::SysProp(*this, kPropGetExact, 0);
  XbOps::SysProp(*this, kPropSetExact, (options & loPartialKey) ? 0 : 1);
  bool found = XbOps::Seek(*this, key) != 0;
  if (!(options & loPartialKey)) found = XbOps::Found(*this) != 0;
  XbOps::SysProp(*this, kPropSetExact, exact != 0 ? 1 : 0);
  return found || (XbOps::Go(*this, keep), false);
}

bool TXbTable::Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options) {
  CheckBrowseMode();
  select();
  std::vector<AnsiString> names = SplitFieldNames(keyFields);
  std::vector<Variant> values = keyValues.IsArray() ? keyValues.Items() : std::vector<Variant>{keyValues};
  if (names.empty() || names.size() != values.size()) return false;
  bool ci = options & loCaseInsensitive;
  int32_t previousOrder = XbOps::IndexOrd(*this);
  if (names.size() == 1 && XbOps::SysProp(*this, kPropOrderCount, 0) > 0 && !VarIsNull(values[0])) {
    TField* f = FieldByName(names[0]);
    int32_t count = XbOps::SysProp(*this, kPropOrderCount, 0);
    for (int32_t i = 1; i <= count; ++i) {
      if (!fieldMatchesKey(i, names[0], ci && f->DataType() == ftString)) continue;
      bool found = seekLocate(f, values[0], options);
      int32_t rec = XbOps::RecNo(*this);
      restoreOrder(previousOrder);
      if (!found) return false;
      BeforeMove();
      XbOps::Go(*this, rec);
      if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
      Resync(0);
      AfterMove();
      return true;
    }
    restoreOrder(previousOrder);
  }
  AnsiString terms;
  for (std::size_t i = 0; i < names.size(); ++i) {
    TField* f = FieldByName(names[i]);
    const Variant& v = values[i];
    AnsiString name = UpperCase(f->FieldName()), term;
    switch (f->DataType()) {
      case ftString: {
        AnsiString s = VarIsNull(v) ? AnsiString() : v.AsString();
        // "=" between texts matches longer values while exact comparison is off: a whole value
        // is compared at the field's width, as the seek does.
        if (!(options & loPartialKey) && int(s.size()) < f->Size()) s.resize(std::size_t(f->Size()), ' ');
        term = (ci ? "UPPER(" + name + ")" : name) + "=" + XbQuote(ci ? AnsiUpperCase(s) : s);
        break;
      }
      case ftSmallint:
      case ftInteger:
      case ftWord: term = name + "=" + IntToStr(v.AsInteger()); break;
      case ftFloat:
      case ftCurrency: term = name + "=" + XbNumber(v.AsDouble()); break;
      case ftBoolean: term = name + (v.AsBoolean() ? "= .T." : "= .F."); break;
      case ftDate: {
        AnsiString d = v.VarType() == varString ? v.AsString() : Dtos(v.AsDateTime());
        if ((options & loPartialKey) && d.size() < 8)
          term = "LEFT( DTOS(" + name + "), " + IntToStr(int64_t(d.size())) + ") = " + XbQuote(d);
        else
          term = "DTOS(" + name + ") = " + XbQuote(d);
        break;
      }
      default: continue;
    }
    terms += (terms.empty() ? "" : " .and. ") + term;
  }
  AnsiString previous = XbOps::DBFilter(*this);
  AnsiString expr = previous.empty() ? terms : "(" + terms + ") .and. (" + previous + ")";
  if (XbOps::EvalTest(*this, expr) != xbTypeLogical) return false;
  XbOps::Query(*this, expr);
  int32_t rec = XbOps::Eof(*this) ? 0 : XbOps::RecNo(*this);
  XbOps::Query(*this, previous);
  countStale();
  if (rec < 1) {
    if (TRecordBuffer b = ActiveBuffer(); b && bookmarkOf(b) > 0) XbOps::Go(*this, bookmarkOf(b));
    return false;
  }
  BeforeMove();
  XbOps::Go(*this, rec);
  if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, rec, bfCurrent);
  Resync(0);
  AfterMove();
  return true;
}

Variant TXbTable::Lookup(const AnsiString& keyFields, const Variant& keyValues, const AnsiString& resultFields) {
  if (VarIsNull(keyValues) || !FWorkArea) return Variant::Null();
  select();
  std::vector<AnsiString> names = SplitFieldNames(keyFields);
  auto resultOf = [&]() -> Variant {
    std::vector<AnsiString> results = SplitFieldNames(resultFields);
    if (results.size() == 1) return FieldByName(results[0])->AsVariant();
    std::vector<Variant> items;
    for (const AnsiString& r : results) items.push_back(FieldByName(r)->AsVariant());
    return VarArrayOf(items);
  };
  if (XbOps::IndexOrd(*this) == 0 || names.size() != 1 || keyValues.IsArray()) {
    if (!Locate(keyFields, keyValues, 0)) return Variant::Null();
    return resultOf();
  }
  AnsiString name = UpperCase(names[0]);
  char type = Trim(XbOps::FieldType(*this, name)).c_str()[0];
  int width = XbOps::FieldWidth(*this, name);
  AnsiString key;
  switch (type) {
    case 'N':
    case 'F': {
      key = keyValues.VarType() == varDouble ? XbNumber(keyValues.AsDouble()) : IntToStr(keyValues.AsInteger());
      if (int(key.size()) < width) key = AnsiString(std::size_t(width) - key.size(), ' ') + key;
      break;
    }
    case 'C':
      key = keyValues.AsString();
      if (int(key.size()) < width) key.resize(std::size_t(width), ' ');
      break;
    case 'D': key = keyValues.VarType() == varString ? keyValues.AsString() : Dtos(keyValues.AsDateTime()); break;
    case 'L': key = keyValues.AsInteger() == -1 || keyValues.AsBoolean() ? "T" : "F"; break;
    default: key = keyValues.AsString(); break;
  }
  int32_t keep = XbOps::RecNo(*this);
  XbOps::Seek(*this, key);
  Variant result = Variant::Null();
  if (XbOps::Found(*this)) {
    std::vector<Variant> items;
    for (const AnsiString& r : SplitFieldNames(resultFields)) {
      AnsiString rn = UpperCase(r);
      char rt = Trim(XbOps::FieldType(*this, rn)).c_str()[0];
      switch (rt) {
        case 'I': items.push_back(Variant(int64_t(XbOps::GetInteger(*this, rn)))); break;
        case 'C': items.push_back(Variant(XbOps::GetTrimString(*this, rn))); break;
        case 'D': {
          AnsiString d = XbOps::GetDateString(*this, rn);
          items.push_back(d.empty() || d[0] == ' ' ? Variant(int64_t(0)) : Variant(d));
          break;
        }
        case 'L': items.push_back(Variant(XbOps::GetTrimString(*this, rn) == "T")); break;
        case 'N':
        case 'F':
          if (XbOps::FieldDecimals(*this, rn) > 0 || XbOps::FieldWidth(*this, rn) > 4)
            items.push_back(Variant(XbOps::GetDouble(*this, rn)));
          else
            items.push_back(Variant(int64_t(XbOps::GetInteger(*this, rn))));
          break;
        default: items.push_back(Variant(XbOps::GetTrimString(*this, rn))); break;
      }
    }
    result = items.size() == 1 ? items[0] : VarArrayOf(items);
  }
  XbOps::Go(*this, keep);
  return result;
}

// ---- editing

void TXbTable::InternalEdit() {
  if (!FWorkArea) return;
  select();
  int32_t rec = FSpeedMode ? XbOps::RecNo(*this) : bookmarkOf(ActiveBuffer());
  uint64_t mark = EngineMark();
  if (!XbOps::Rlock(*this, rec) && errorModeOn())
    HandleError(WithReason(kLockFailure, local() ? EngineErrorSince(mark) : AnsiString()));
  if (local() && XbOps::Alias(*this, FWorkArea).empty()) return;
  XbOps::Go(*this, rec);
  XbOps::GetRecord(*this, FRaw.data());
  decodeRecord(ActiveBuffer());
}

void TXbTable::InternalCancel() {
  if (!FWorkArea) return;
  select();
  XbOps::Unlock(*this, 0);
  if (State() == dsInsert)
    if (TRecordBuffer b = ActiveBuffer()) setBookmark(b, FInsertRecNo, bfCurrent);
}

void TXbTable::bookmarkAfterWrite() {
  if (FSpeedMode) return;
  if (TRecordBuffer b = ActiveBuffer())
    setBookmark(b, XbOps::RecNo(*this), XbOps::Eof(*this) ? TBookmarkFlag(kBookmarkInserted) : bfCurrent);
}

void TXbTable::InternalPost() {
  select();
  bool inserting = State() == dsInsert;
  // Encoded and checked before anything reaches the engine.
  encodeRecord(ActiveBuffer(), inserting);
  if (inserting) {
    XbOps::AppendBlank(*this);
    countStale();
  }
  writeRecord(ActiveBuffer());
  XbOps::Unlock(*this, 0);
  bookmarkAfterWrite();
}

void TXbTable::InternalAddRecord(TRecordBuffer buffer, bool) {
  if (FReadOnly && errorModeOn()) HandleError("Cannot modify a read-only data set");
  select();
  encodeRecord(buffer, true);
  XbOps::AppendBlank(*this);
  countStale();
  writeRecord(buffer);
  bookmarkAfterWrite();
}

void TXbTable::InternalDelete() {
  if (FReadOnly && errorModeOn()) HandleError("Cannot modify a read-only data set");
  select();
  int32_t raw = XbOps::RecCount(*this);
  // Empty means no record to stand on; the last physical record is one like any other.
  bool empty = raw == 0 || (FSpeedMode ? XbOps::RecNo(*this) > raw : XbOps::Eof(*this) != 0);
  if (empty && errorModeOn()) HandleError("Cannot perform this operation on an empty table");
  if (empty) return;
  // A record another holds for editing is not deleted from under that edit.
  int32_t here = XbOps::RecNo(*this);
  uint64_t mark = EngineMark();
  if (!XbOps::Rlock(*this, here)) {
    if (errorModeOn()) HandleError(WithReason(kLockFailure, local() ? EngineErrorSince(mark) : AnsiString()));
    return;
  }
  if (Contains(UpperCase(FIndexCondition), "DELETED()") || XbOps::SysProp(*this, kPropGetDeleted, 0) != 0) {
    XbOps::Skip(*this, 1);
    int32_t neighbour = XbOps::Eof(*this) ? 0 : XbOps::RecNo(*this);
    XbOps::Go(*this, here);
    XbOps::Delete(*this);
    XbOps::Unlock(*this, here);
    if (neighbour) XbOps::Go(*this, neighbour);
    else XbOps::GoBottom(*this);
  } else {
    XbOps::Delete(*this);
    XbOps::Unlock(*this, here);
  }
  bookmarkAfterWrite();
  countStale();
  if (AnsiString reason = local() ? EngineErrorSince(mark) : AnsiString(); !reason.empty())
    HandleError(Contains(reason, "locked") ? WithReason(kLockFailure, reason) : reason);
}
