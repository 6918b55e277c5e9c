// The table data set: construction, properties, opening and closing, and the table's structure.
#include "tables/XbDSet.h"

#include <algorithm>
#include <cstdlib>

#include "platform/rtl/Files.h"
#include "platform/rtl/Regional.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"
#include "tables/XbEngineReport.h"
#include "tables/XbExprText.h"
#include "tables/xbEnv.h"

using namespace XbEngineReport;
using namespace XbExprText;

namespace {

constexpr int kBookmarkBytes = 5;  // record number and flag

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

}  // namespace

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
  ForgetRemovedConnection(*this, FXbConnection, component, operation);
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
  FDeletedEnv = XbLogical(env->Deleted());
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
    XbeEntry(xb_SetCentury)(XbLogical(FCentury));
    XbeEntry(xb_SetMemoBlockSize)(FMemoBlockSize);
    XbeEntry(xb_SetDateFormat)(FDateFormat);
    XbeEntry(xb_SetSoftSeek)(XbLogical(FSoftSeek));
    XbeEntry(xb_SetExact)(XbLogical(FExact));
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
  FUndecodedFlags.clear();
  FSlotsRewritten = true;
  int offset = 0;
  for (TField* f : Fields()) {
    if (f->Calculated() || f->FieldNo() < 1 || f->FieldNo() >= int(FInfo.size())) continue;
    FInfo[std::size_t(f->FieldNo())].BufferOffset = offset;
    FInfo[std::size_t(f->FieldNo())].DataSize = f->DataSize();
    FInfo[std::size_t(f->FieldNo())].Type = f->DataType();
    if (f->IsBlob()) FBlobFields.push_back(f);
    else FUndecodedFlags.push_back(offset);
    // Whether the first read of the field writes its whole slot (see decodeField).
    int size = f->DataSize();
    switch (f->DataType()) {
      case ftString: break;
      case ftSmallint: case ftWord: case ftBoolean: FSlotsRewritten &= size == 2; break;
      case ftInteger: case ftDate: FSlotsRewritten &= size == 4; break;
      case ftFloat: case ftCurrency: FSlotsRewritten &= size == 8; break;
      default: FSlotsRewritten = false; break;
    }
    offset += 1 + f->DataSize();
  }
  FCalcOffset = offset;
  offset += CalcFieldsSize();
  // Blob slots hold pointers: they start on a boundary of their own.
  FBlobOffset = int((std::size_t(offset) + alignof(TBlobSlot) - 1) / alignof(TBlobSlot) * alignof(TBlobSlot));
  FBookmarkOffset = FBlobOffset + int(FBlobFields.size() * sizeof(TBlobSlot));
  FRawOffset = FBookmarkOffset + kBookmarkBytes;
  FBufferSize = FRawOffset + std::max(FRecSize, 0);
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
  FStepTouches = 0;
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
  FStepTouches = 0;
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
