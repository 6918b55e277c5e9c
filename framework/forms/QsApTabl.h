// The framework's table: the table class that dialog forms carry, its database alias, the
// descriptions of DBF fields and indexes, and the xBase date-filter templates.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/rtl/StringList.h"
#include "tables/XbDSet.h"
#include "tables/xbEnv.h"

// One DBF field as a table should have it.
class TDBaseFieldDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TDBaseFieldDef"; }
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& v) { FFieldName = v.substr(0, 10); }
  char DataType() const { return FDataType; }
  // Sets the size that goes with the type and no decimals.
  void SetDataType(char v);
  int32_t Size() const { return FSize; }
  void SetSize(int32_t v) { FSize = v; }
  int32_t Precision() const { return FPrecision; }
  void SetPrecision(int32_t v) { FPrecision = v; }
  bool DeleteType() const { return FDataType == 'X'; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FFieldName;
  char FDataType = 'C';
  int32_t FSize = 0;
  int32_t FPrecision = 0;
};

// One index tag as a table should have it.
class TDBaseIndexDef : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  AnsiString ClassName() const override { return "TDBaseIndexDef"; }
  const AnsiString& IndexName() const { return FIndexName; }
  void SetIndexName(const AnsiString& v) { FIndexName = v.substr(0, 10); }
  const AnsiString& FieldName() const { return FFieldName; }
  void SetFieldName(const AnsiString& v) { FFieldName = v.substr(0, 10); }
  const AnsiString& Expression() const { return FExpression; }
  void SetExpression(const AnsiString& v) { FExpression = v.substr(0, 255); }
  const AnsiString& Condition() const { return FCondition; }
  void SetCondition(const AnsiString& v) { FCondition = v.substr(0, 255); }
  uint8_t Options() const { return FOptions; }
  void SetOptions(uint8_t v) { FOptions = v; }
  bool NoValidation() const { return FNoValidation; }
  void SetNoValidation(bool v) { FNoValidation = v; }
  void Assign(const TPersistent* source) override;

private:
  AnsiString FIndexName;
  AnsiString FFieldName;
  AnsiString FExpression;
  AnsiString FCondition;
  uint8_t FOptions = 0;
  bool FNoValidation = false;
};

class TDBaseFieldDefList : public TCollection {
public:
  explicit TDBaseFieldDefList(TPersistent* table) : TCollection(ItemClass<TDBaseFieldDef>(), table) {}
  AnsiString ClassName() const override { return "TDBaseFieldDefList"; }
  TDBaseFieldDef* Items(int i) const { return static_cast<TDBaseFieldDef*>(TCollection::Items(i)); }
};

class TDBaseIndexDefList : public TCollection {
public:
  explicit TDBaseIndexDefList(TPersistent* table) : TCollection(ItemClass<TDBaseIndexDef>(), table) {}
  AnsiString ClassName() const override { return "TDBaseIndexDefList"; }
  TDBaseIndexDef* Items(int i) const { return static_cast<TDBaseIndexDef*>(TCollection::Items(i)); }
};

// The database alias of the framework: a folder name that also says how its tables are reached.
class TQslXbDatabase : public TXbDatabase {
public:
  explicit TQslXbDatabase(TComponent* owner) : TXbDatabase(owner) {}
  AnsiString ClassName() const override { return "TQslXbDatabase"; }
  TAccessMethod AccessMethod() const { return FAccessMethod; }
  // Every table of this alias follows.
  void SetAccessMethod(TAccessMethod v);
  int32_t BackupCriticality = 0;
  AnsiString ServerLocalPath;
  AnsiString OldIniIdent;
  AnsiString OldIniDefaultDir;
  AnsiString DataPathAliasSuffix;
  TStringList ValidatedTables;
  bool Validated = false;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  TAccessMethod FAccessMethod = amLocal;
};

using TQslTableEvent = std::function<void(TObject* Sender)>;

// The table that framework dialogs carry. The validation, field creation and backup settings are
// kept as they are given; nothing here acts on them.
class TQslXbTable : public TXbTable {
public:
  explicit TQslXbTable(TComponent* owner);
  AnsiString ClassName() const override { return "TQslXbTable"; }

  // Raises the framework's database error on a closed table, naming the table.
  void CheckActive() const override;
  // Adds the data path and the table name to the message, each on a line of its own.
  void HandleError(const AnsiString& message) override;

  // The folder named in messages: the database's data path, else DatabaseName.
  AnsiString TableFolder() const;
  // The data path: in server mode the server alias's data path on DatabaseDataModule.
  AnsiString QslDataPath() const;

  const AnsiString& ServerPath() const { return FServerPath; }
  void SetServerPath(const AnsiString& v) { FServerPath = v; }
  TComponent* DatabaseDataModule() const { return FDatabaseDataModule; }
  void SetDatabaseDataModule(TComponent* v);
  TDBaseFieldDefList& DBaseFieldDefList() { return *FDBaseFieldDefList; }
  TDBaseIndexDefList& DBaseIndexDefList() { return *FDBaseIndexDefList; }
  bool ValidateTable() const { return FValidateTable; }
  void SetValidateTable(bool v) { FValidateTable = v; }

  int32_t ActionIfCantFindFpt = 0;
  bool AddDBaseFieldDefs = false;
  bool AddDBaseIndexDefs = false;
  bool CachedUpdates = false;
  AnsiString DefaultFieldName;
  AnsiString DefaultIndexName;
  AnsiString DefaultQuery;
  bool EmptyOnValidation = false;
  AnsiString EncryptionPassword;
  bool ExclusiveTasks = false;
  AnsiString FieldPrefix;
  bool ForceNewFields = false;
  bool FreeMissingTFields = false;
  bool LoadedIntoMemory = false;
  bool NoBackupTable = false;
  int32_t OpenCount = 0;
  bool OpenReadOnly = false;
  bool OptimisticBuffering = false;
  int32_t RecordBuffer = 0;
  AnsiString ReindexPath;
  AnsiString TableDescription;
  bool TemporaryTable = false;
  bool UseConditionalIndexes = false;
  bool Validated = false;
  TStringList ValidatedTables;
  TQslTableEvent OnAddNewFieldsPre, OnAddNewRecords, OnPopulateNewFields, OnPopulateNewFieldsPre,
      OnPopulateNewFieldsPost, OnPreValidateTable;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  AnsiString FServerPath;
  TComponent* FDatabaseDataModule = nullptr;
  bool FValidateTable = true;
  std::unique_ptr<TDBaseFieldDefList> FDBaseFieldDefList;
  std::unique_ptr<TDBaseIndexDefList> FDBaseIndexDefList;
  TStringList FWorkList;
  int32_t FMarkerA = -1;
  int32_t FMarkerB = -1;
};

// The xBase date-filter templates, in their order: six comparisons with a "yyyymmdd" date, then
// the empty date, up to today, and from today or empty.
const std::array<AnsiString, 9>& XbDateFilters();

// The framework's text for an operation on a closed data set; its placeholders take the table
// folder and the table name.
constexpr int SDataSetClosed = 65205;
