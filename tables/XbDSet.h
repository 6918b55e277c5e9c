// The table data set: one xBase table as a data set of the class library, worked through the
// one-call engine operations. Whole engine records travel into the data set's buffers and back;
// fields are converted in the buffers. Navigation, orders, filters, scopes, searching and editing.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/classlib/DB.h"
#include "platform/rtl/StringList.h"
#include "tables/XBE7.h"
#include "tables/XbError.h"
#include "tables/XbOps.h"

class TXbDatabase;

enum class TXbCommitLevel { clFull, clNormal, clNone };
enum TEOFAction { eaEOF, eaMoveLast };
enum TSequencedCount { scAllCount, scFilterOnlyCount, scRawCount };
enum TXbTableType { ttXBNONE, ttXBNTX, ttXBFOX, ttXBNSX, ttXBNSX_DBT };

// Where a field lies in the engine's record and in a record buffer.
struct TFieldInfo {
  int RawOffset = 0;     // from the deletion byte, which is 0
  int BufferOffset = -1; // the null-flag byte; -1 while the data set has no field for it
  int DataSize = 0;      // of the field's value in a record buffer
  TFieldType Type = ftUnknown;
  int Width = 0;
  int Decimals = 0;
};

// A description of the current index tag.
struct TTagStructure {
  AnsiString Name;
  AnsiString Key;
  AnsiString Condition;
  bool Unique = false;
  bool Descending = false;
};

class TXbTable : public TDataSet, public TXbTableCore {
public:
  explicit TXbTable(TComponent* AOwner);
  ~TXbTable() override;
  AnsiString ClassName() const override { return "TXbTable"; }

  void SetAccessMethod(TAccessMethod value);
  void SetXbConnection(TXbConnection* value);
  TXbCommitLevel CommitLevel() const { return FCommitLevel; }
  void SetCommitLevel(TXbCommitLevel value);
  void SetDatabaseName(const AnsiString& value);
  TEOFAction EOFAction() const { return FEOFAction; }
  void SetEOFAction(TEOFAction value) { FEOFAction = value; }
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value);
  TStrings& ExtraIndexes() { return *FExtraIndexes; }
  void SetExtraIndexes(const TStrings& value);
  int32_t FetchCount() const { return FFetchCount; }
  void SetFetchCount(int32_t value);
  void SetIndexName(const AnsiString& value);
  TIndexDefs& IndexDefs() { return *FIndexDefs; }
  TDataSource* MasterSource() const;
  void SetMasterSource(TDataSource* value);
  const AnsiString& MasterFields() const { return FMasterLink->FieldNames(); }
  void SetMasterFields(const AnsiString& value) { FMasterLink->SetFieldNames(value); }
  bool OEMTranslate() const { return FOEMTranslate; }
  void SetOEMTranslate(bool value);
  bool TurboRead() const { return FTurboRead; }
  void SetTurboRead(bool value);
  bool SpeedMode() const { return FSpeedMode; }
  void SetSpeedMode(bool value);
  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& value);
  // The engine's raw record count.
  int32_t RecCount();
  void SetScopeBegin(const AnsiString& value);
  void SetScopeEnd(const AnsiString& value);
  bool Scoped() const { return FScoped; }
  void SetScoped(bool value);
  bool Sequenced() const { return FTableType == ttXBNTX ? false : FSequenced; }
  void SetSequenced(bool value);
  TSequencedCount SequencedCount() const { return FSequencedCount; }
  void SetSequencedCount(TSequencedCount value) { FSequencedCount = value; }
  const AnsiString& TableName() const { return FTableName; }
  void SetTableName(const AnsiString& value);
  TXbTableType TableType() const { return FTableType; }
  void SetTableType(TXbTableType value);
  AnsiString Version();

  int16_t WorkArea() const { return FWorkArea; }
  const AnsiString& DataPath() const { return FDataPath; }
  const AnsiString& LastErrorMessage() const { return FLastError; }
  int32_t ErrorMode() const { return FErrorMode; }
  // The table file's full path.
  AnsiString TableFile() const;
  // The resolved database of DatabaseName, or nullptr.
  TXbDatabase* Database();
  const TTagStructure& TagStructure() const { return *FTagStructure; }

  // ---- the cursor
  virtual void HandleError(const AnsiString& message);
  virtual void ExtraIndexesChanged();
  virtual void OpenExtraIndexes();
  virtual void BeforeMove();
  virtual void AfterMove();
  bool Bof() const override;
  bool Eof() const override;
  int MoveBy(int distance) override;
  void Next() override;
  void Prior() override;

  int RecordCount() override;
  // The position in the current order, or the record number without one.
  int RecNo() override;
  void SetRecNo(int value) override;
  // The record number of the active record.
  int32_t PhysicalRecNo();
  int32_t IndexOrd();
  bool IsEncrypted();
  // The key fields of the current order, joined with ";".
  AnsiString IndexKeyFields();
  bool IsSequenced() override { return Sequenced(); }
  void Refresh() override;
  void Resync(TResyncMode mode) override;
  bool Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options) override;
  Variant Lookup(const AnsiString& keyFields, const Variant& keyValues, const AnsiString& resultFields) override;
  bool BookmarkValid(const TBookmark& bookmark) override { return !bookmark.empty(); }
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  void SetFiltered(bool value) override;
  void UpdateIndexDefs() override;
  void CheckActive() const override;
  [[noreturn]] void NotEditingError() override;

  // What the environment asks of an open table.
  bool TableActive() const override { return Active(); }
  void RefreshTable() override { Refresh(); }

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void ClearBuffers() override;
  void ClearCalcFields(TRecordBuffer buffer) override;
  void DoAfterCancel() override;
  void DoBeforeCancel() override;
  void UpdateCursorPos() override;
  void DoOnNewRecord() override;
  void InternalEdit() override;
  void DoBeforeInsert() override;
  void InternalInitRecord(TRecordBuffer buffer) override;
  bool GetCanModify() override { return !FReadOnly; }
  void InternalRefresh() override {}
  void CalculateFields(TRecordBuffer buffer) override;
  void SetFilterText(const AnsiString& value) override;
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& buffer) override;
  void CopyBuffer(TRecordBuffer dest, TRecordBuffer source) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
  int GetRecordSize() override { return FBufferSize; }
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalFirst() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalHandleException() override;
  void InternalInitFieldDefs() override;
  void InternalLast() override;
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  bool IsCursorOpen() const override { return FCursorOpen; }
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  void InternalCancel() override;

private:
  friend class TApBlobStream;
  static constexpr int kMemoRefWidth = 10;
  static constexpr int kBookmarkInserted = 2;  // the record number no longer stands for a place
  // A field's null flag while its value is still only in the buffer's copy of the record.
  static constexpr char kUndecoded = 2;
  // A blob field's place in a record buffer: the engine's memo reference, and the contents once
  // read or written.
  struct TBlobSlot {
    int32_t Length = 0;
    char* Data = nullptr;
    char Ref[kMemoRefWidth];
    uint8_t Modified = 0;
    uint8_t Loaded = 0;
  };
  bool local() const { return FAccessMethod != amServer; }
  int32_t RecordSize() const override { return FRecSize; }
  bool openOnServer(int32_t mode, int32_t kind);
  void openLocally(int32_t mode, int32_t kind);
  // Selects the work area; a server whose cursor a batch fetch moved is put back on the record.
  void select() {
    if (local() && !FServerMoved && xb_Select) return xb_Select(FWorkArea);
    selectSlow();
  }
  void selectSlow();
  TGetResult fetchFromServer(TGetMode mode);
  // GetRecord apart from the step of a walk; and the step that ran off an end.
  [[gnu::noinline]] TGetResult getRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck);
  [[gnu::noinline]] TGetResult stepEnded(TRecordBuffer buffer, TGetMode mode);
  bool errorModeOn() const { return FErrorMode == -1; }
  void resetFieldDefs();
  AnsiString resolveDataPath();
  AnsiString makeAlias();
  void takeEnvironment();
  void openTable();
  void readStructure();
  void layoutBuffers();
  // Takes the engine's record into the buffer; fields are converted when first read.
  void decodeRecord(TRecordBuffer buffer, const char* raw) {
    if (raw != buffer + FRawOffset || FEncrypted || !FBlobFields.empty()) return decodeWhole(buffer, raw);
    for (int flag : FUndecodedFlags) buffer[flag] = kUndecoded;
  }
  void decodeWhole(TRecordBuffer buffer, const char* raw);
  void decodeField(TRecordBuffer buffer, TField* field);
  void decodePending(TRecordBuffer buffer);
  // One step of a walk through the engine, the record reached copied into the buffer.
  bool stepRecord(int32_t count, TRecordBuffer buffer);
  void encodeRecord(TRecordBuffer buffer, bool inserting);
  void writeRecord(TRecordBuffer buffer);
  void writeBlobs(TRecordBuffer buffer);
  TBlobSlot* blobSlot(TRecordBuffer buffer, const TField* field);
  void clearBlobSlots(TRecordBuffer buffer);
  TRecordBuffer fieldBuffer() const;
  int32_t bookmarkOf(TRecordBuffer buffer) const;
  void setBookmark(TRecordBuffer buffer, int32_t recNo, TBookmarkFlag flag) {
    std::memcpy(buffer + FBookmarkOffset, &recNo, 4);
    buffer[FBookmarkOffset + 4] = static_cast<char>(flag);
  }
  void bookmarkAfterWrite();
  void directMove(int distance);
  void applyFilter(const AnsiString& text);
  void applyScope(const AnsiString& low, const AnsiString& high);
  void applyMaster();
  void masterDisabled();
  AnsiString masterKey();
  void applyIndexName(bool force);
  AnsiString completeIndexFile(const AnsiString& name, const char* ext) const;
  AnsiString defaultIndexExtension() const;
  AnsiString keyText(TField* field, const Variant& value, bool upper) const;
  bool seekLocate(TField* field, const Variant& value, TLocateOptions options);
  // Makes the record a search found the active one.
  void moveToFound(int32_t rec);
  double orderPosition();
  void countStale() { FCountStale = true; }
  bool fieldMatchesKey(int order, const AnsiString& field, bool caseInsensitive);
  // Sets the order back after a look at others, with the scope that was on it.
  void restoreOrder(int32_t order);

  TXbCommitLevel FCommitLevel = TXbCommitLevel::clNormal;
  TEOFAction FEOFAction = eaMoveLast;
  bool FExclusive = false;
  bool FReadOnly = false;
  std::unique_ptr<TStringList> FExtraIndexes;
  int32_t FFetchCount = 50;
  std::unique_ptr<TIndexDefs> FIndexDefs;
  std::unique_ptr<TMasterDataLink> FMasterLink;
  bool FOEMTranslate = false;
  bool FTurboRead = false;
  bool FSpeedMode = false;
  AnsiString FPassword;
  bool FScoped = false;
  bool FSequenced = true;
  TSequencedCount FSequencedCount = scRawCount;
  AnsiString FTableName;
  TXbTableType FTableType = ttXBFOX;

  int16_t FWorkArea = 0;
  int32_t FRawCount = -1;
  bool FCountStale = false;
  AnsiString FDataPath;
  TXbDatabase* FDatabase = nullptr;
  // Environment copies, taken at open.
  int32_t FEpoch = 1980;
  int32_t FErrorLevel = 1;
  int32_t FErrorMode = -1;
  bool FCentury = true;
  bool FExact = false;
  bool FSoftSeek = false;
  int32_t FDateFormat = 7;
  int32_t FMemoBlockSize = 64;
  int32_t FDeletedEnv = 0;
  bool FEnvApplied = false;
  AnsiString FLastError;
  std::unique_ptr<TTagStructure> FTagStructure = std::make_unique<TTagStructure>();
  std::vector<char> FRaw;
  std::vector<TFieldInfo> FInfo;  // by engine field number; [0] unused
  std::vector<AnsiString> FNames;
  std::vector<char> FTypes;
  int32_t FRecSize = 0;
  int32_t FEngineFieldCount = 0;
  bool FCursorOpen = false;
  bool FOpening = false;
  bool FEncrypted = false;
  bool FAtFirst = false;
  bool FAtLast = false;
  // The engine's touch count just after a step reached a record; while it stands there the
  // engine is known not to be at the end. 0: not known.
  uint64_t FStepTouches = 0;
  int32_t FInsertRecNo = 0;
  int FCalcOffset = 0;
  int FBlobOffset = 0;
  int FBookmarkOffset = 0;
  int FRawOffset = 0;  // the record as the engine has it
  int FBufferSize = 0;
  std::vector<TField*> FBlobFields;
  std::vector<int> FUndecodedFlags;  // the null flags of the fields converted when read
  bool FSlotsRewritten = false;      // no blobs, and every field's first read writes its whole slot
  AnsiString FMasterKey;
  AnsiString FMasterIndexName;
  // The server's fetch cache: one entry per record of a batch.
  struct TFetchEntry {
    uint8_t Status = 0;
    int32_t RecNo = 0;
    int32_t PositionedRecNo = 0;
    std::vector<char> Raw;
  };
  std::vector<TFetchEntry> FFetchCache;
  int32_t FFetchPosition = -1;
  std::size_t FFetchFilled = 0;
  bool FFetchForward = true;
  bool FServerMoved = false;
};

// A blob field's contents over the record in use; what is written goes back to the record when
// the stream is freed.
class TApBlobStream : public TMemoryStream {
public:
  TApBlobStream(TXbTable* table, TField* field, TBlobStreamMode mode);
  ~TApBlobStream() override;

private:
  TXbTable* FTable;
  TField* FField;
  TBlobStreamMode FMode;
  TRecordBuffer FBuffer;
};
