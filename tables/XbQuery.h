// The SQL query data set: the rows of one SQL statement over xBase tables, run in the SQL engine
// on this machine or on the database server, fetched in blocks as the cursor reaches them and
// kept in memory, where edits and deletions stay.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/classlib/Controls.h"
#include "platform/classlib/DB.h"
#include "platform/rtl/StringList.h"
#include "tables/XbDSet.h"
#include "tables/XbOps.h"

class TXbConnection;
class TXbDatabase;

QUORVEX_EXCEPTION(EXbQueryError, Exception);

class TXbTableListItem : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TXbTableListItem"; }
  AnsiString DisplayName() const override;
  const AnsiString& TableName() const { return FTableName; }
  // A new name while Alias is empty names the alias after the text before its first ".".
  void SetTableName(const AnsiString& value);
  const AnsiString& Alias() const { return FAlias; }
  void SetAlias(const AnsiString& value) { FAlias = value; }
  TXbTableType TableType() const { return FTableType; }
  void SetTableType(TXbTableType value) { FTableType = value; }
  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& value) { FPassword = value; }
  bool OEMTranslate() const { return FOEMTranslate; }
  void SetOEMTranslate(bool value) { FOEMTranslate = value; }
  TStringList& ExtraIndexes() { return FExtraIndexes; }
  const TStringList& ExtraIndexes() const { return FExtraIndexes; }

private:
  AnsiString FTableName;
  AnsiString FAlias;
  TXbTableType FTableType = ttXBFOX;
  AnsiString FPassword;
  bool FOEMTranslate = false;
  TStringList FExtraIndexes;
};

class TXbTableList : public TCollection {
public:
  explicit TXbTableList(TPersistent* owner = nullptr) : TCollection(ItemClass<TXbTableListItem>(), owner) {}
  AnsiString ClassName() const override { return "TXbTableList"; }
  TXbTableListItem* Items(int index) const { return static_cast<TXbTableListItem*>(TCollection::Items(index)); }
  TXbTableListItem* Add() { return static_cast<TXbTableListItem*>(TCollection::Add()); }
  // The table list of the prepare request; items without a table name are left out.
  AnsiString Encoded() const;
};

class TXbQuery : public TDataSet {
public:
  explicit TXbQuery(TComponent* AOwner);
  ~TXbQuery() override;
  AnsiString ClassName() const override { return "TXbQuery"; }

  TAccessMethod AccessMethod() const { return FAccessMethod; }
  void SetAccessMethod(TAccessMethod value);
  TXbConnection* XbConnection() const { return FXbConnection; }
  void SetXbConnection(TXbConnection* value);
  const AnsiString& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const AnsiString& value);
  const TStringList& SQL() const { return FSQL; }
  void SetSQL(const TStrings& value);
  void SetSQL(const AnsiString& text);
  TParams& Params() { return *FParams; }
  bool ParamCheck() const { return FParamCheck; }
  void SetParamCheck(bool value) { FParamCheck = value; }
  TXbTableList& TableList() { return *FTableList; }
  TXbTableType TableType() const { return FTableType; }
  void SetTableType(TXbTableType value) { FTableType = value; }
  TXbCommitLevel CommitLevel() const { return FCommitLevel; }
  void SetCommitLevel(TXbCommitLevel value) { FCommitLevel = value; }
  const AnsiString& DateFormat() const { return FDateFormat; }
  void SetDateFormat(const AnsiString& value) { FDateFormat = value; }
  bool SetDeleted() const { return FSetDeleted; }
  void SetSetDeleted(bool value) { FSetDeleted = value; }
  bool OEMTranslate() const { return FOEMTranslate; }
  void SetOEMTranslate(bool value) { FOEMTranslate = value; }
  const AnsiString& Password() const { return FPassword; }
  void SetPassword(const AnsiString& value) { FPassword = value; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool value) { FReadOnly = value; }
  int32_t FetchCount() const { return FFetchCount; }
  void SetFetchCount(int32_t value) { FFetchCount = value < 1 ? 1 : value; }
  TCursor WaitCursor() const { return FWaitCursor; }
  void SetWaitCursor(TCursor value) { FWaitCursor = value; }
  AnsiString Version() const;
  const AnsiString& LastMessage() const { return FLastMessage; }
  int32_t Handle() const { return FHandle; }
  // Rows read from the engine so far.
  int32_t FetchedRows() const;

  int RecordCount() override;
  int RecNo() override;
  void SetRecNo(int value) override;
  bool GetFieldData(TField* field, void* buffer) override;
  void SetFieldData(TField* field, const void* buffer) override;
  bool BookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
  bool Locate(const AnsiString& keyFields, const Variant& keyValues, TLocateOptions options) override;
  std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  int GetRecordSize() override { return FBufferSize; }
  TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
  void GetBookmarkData(TRecordBuffer buffer, void* data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
  void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
  void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return FCursorOpen; }
  void InternalInitFieldDefs() override;
  void InternalFirst() override { FCurrent = 0; }
  void InternalLast() override { FCurrent = static_cast<int32_t>(FRows.size()) + 1; }
  void InternalInitRecord(TRecordBuffer buffer) override;
  void InternalSetToRecord(TRecordBuffer buffer) override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalAddRecord(TRecordBuffer buffer, bool append) override;
  bool GetCanModify() override { return !FReadOnly; }
  void ClearCalcFields(TRecordBuffer buffer) override;

private:
  struct TRow {
    AnsiString Record;
    int32_t Id = 0;         // the engine's identifier of the row
    int32_t EngineRow = 0;  // its number in the engine's result; 0 for a row added here
    bool Fetched = false;
  };
  [[noreturn]] void error(const AnsiString& message);
  TXbConnection* connection();
  TXbDatabase* database();
  AnsiString dataFolder();
  void prepareAndOpen();
  // Closes and releases the statement in the engine.
  void releaseHandle();
  void fetchFrom(int32_t row);
  // Copies row (from 1) into buffer and writes its bookmark; false when the filter rejects it.
  bool readRow(int32_t row, TRecordBuffer buffer);
  bool accepted(int32_t row);
  TRecordBuffer fieldBuffer() const;
  char* fieldPlace(TRecordBuffer rec, TField* field, int& bytes) const;
  Variant rowValue(int32_t row, TField* field);
  int32_t bookmarkOf(TRecordBuffer buffer) const;

  TAccessMethod FAccessMethod = amLocal;
  TXbConnection* FXbConnection = nullptr;
  std::unique_ptr<TXbConnection> FInternalConnection;  // the local query's own, never opened
  TXbDatabase* FDatabase = nullptr;
  AnsiString FDatabaseName;
  TStringList FSQL;
  std::unique_ptr<TParams> FParams;
  bool FParamCheck = true;
  std::unique_ptr<TXbTableList> FTableList;
  TXbTableType FTableType = ttXBFOX;
  TXbCommitLevel FCommitLevel = TXbCommitLevel::clNormal;
  AnsiString FDateFormat = "m/d/yyyy";
  bool FSetDeleted = true;
  bool FOEMTranslate = false;
  AnsiString FPassword;
  bool FReadOnly = false;
  int32_t FFetchCount = 100;
  TCursor FWaitCursor = crSQLWait;
  AnsiString FLastMessage;
  bool FEnvCentury = true;
  bool FEnvDeleted = true;
  int32_t FEnvMemoBlockSize = 64;

  int32_t FHandle = 0;
  int32_t FFieldCount = 0;
  int32_t FRecordSize = 0;
  std::vector<AnsiString> FFieldNames;
  std::vector<char> FFieldTypes;
  std::vector<int32_t> FFieldWidths;
  std::vector<int32_t> FFieldOffsets;
  std::vector<TRow> FRows;
  int32_t FRowCount = 0;  // rows the engine gave; in-memory insertions and deletions come on top
  int32_t FCurrent = 0;   // 0 before the first row, count + 1 after the last
  int32_t FBufferSize = 0;
  int32_t FBookmarkOffset = 0;
  bool FCursorOpen = false;
};
