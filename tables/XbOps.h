// The one-call engine operations of a table: each works the table through the local engine or,
// for a server table, through its connection, and keeps the table's cursor state in step. The
// rest of the table is written once for both ways.
#pragma once

#include <cstdint>

#include "platform/rtl/AnsiString.h"

class TXbConnection;

enum TAccessMethod { amLocal, amServer };

// The part of a table that the operations read and keep in step.
class TXbTableCore {
public:
  virtual ~TXbTableCore() = default;

  TAccessMethod AccessMethod() const { return FAccessMethod; }
  void SetAccessMethod(TAccessMethod v) { FAccessMethod = v; }
  TXbConnection* XbConnection() const { return FXbConnection; }
  const AnsiString& IndexName() const { return FIndexName; }
  const AnsiString& DatabaseName() const { return FDatabaseName; }
  const AnsiString& ScopeBegin() const { return FScopeBegin; }
  const AnsiString& ScopeEnd() const { return FScopeEnd; }

  int32_t CurrentRecNo() const { return FCurrentRecNo; }
  int32_t PositionedRecNo() const { return FPositionedRecNo; }
  int32_t RecordCountKnown() const { return FRecordCount; }  // -1 while unknown
  int16_t CurrentOrder() const { return FCurrentOrder; }
  const AnsiString& IndexCondition() const { return FIndexCondition; }

  // What the environment's refresh of open tables asks of a table.
  virtual bool TableActive() const { return false; }
  virtual void RefreshTable() {}
  // Bytes of one engine record; a server table's records cross the wire at this size.
  virtual int32_t RecordSize() const { return 0; }

protected:
  TAccessMethod FAccessMethod = amLocal;
  TXbConnection* FXbConnection = nullptr;
  AnsiString FIndexName;
  AnsiString FDatabaseName;
  AnsiString FScopeBegin;
  AnsiString FScopeEnd;
  int32_t FCurrentRecNo = 0;
  int32_t FPositionedRecNo = 0;
  int32_t FRecordCount = -1;
  int16_t FCurrentOrder = 0;
  AnsiString FIndexCondition;

  friend struct XbOpsAccess;
};

// Logical results come back as -1 or 0. None selects a work area: the caller selects first.
// A local operation while the engine is not loaded raises EXbError naming the library.
namespace XbOps {
AnsiString Alias(TXbTableCore& t, int16_t workArea);
void AppendBlank(TXbTableCore& t);
int32_t Bof(TXbTableCore& t);
void Close(TXbTableCore& t);
void CloseIndexes(TXbTableCore& t);
void Commit(TXbTableCore& t);
int32_t Count(TXbTableCore& t);
AnsiString DBFilter(TXbTableCore& t);
void Delete(TXbTableCore& t);
int32_t Deleted(TXbTableCore& t);
int32_t Eof(TXbTableCore& t);
int32_t EvalLogical(TXbTableCore& t, const AnsiString& expr);
double EvalNumeric(TXbTableCore& t, const AnsiString& expr);
AnsiString EvalString(TXbTableCore& t, const AnsiString& expr);
int32_t EvalTest(TXbTableCore& t, const AnsiString& expr);
int32_t FieldDecimals(TXbTableCore& t, const AnsiString& field);
AnsiString FieldName(TXbTableCore& t, int16_t number);
int32_t FieldOffset(TXbTableCore& t, const AnsiString& field);
AnsiString FieldType(TXbTableCore& t, const AnsiString& field);
int32_t FieldWidth(TXbTableCore& t, const AnsiString& field);
int32_t Found(TXbTableCore& t);
void GetBlob(TXbTableCore& t, const AnsiString& field, void* buffer);
int32_t GetBlobLength(TXbTableCore& t, const AnsiString& field);
AnsiString GetDateString(TXbTableCore& t, const AnsiString& field);
double GetDouble(TXbTableCore& t, const AnsiString& field);
int32_t GetInteger(TXbTableCore& t, const AnsiString& field);
// The engine's text, released with MemDealloc.
char* GetMemo(TXbTableCore& t, const AnsiString& field, int32_t width);
void GetRecord(TXbTableCore& t, char* buffer);
AnsiString GetScope(TXbTableCore& t, int32_t which);
AnsiString GetTrimString(TXbTableCore& t, const AnsiString& field);
void Go(TXbTableCore& t, int32_t recNo);
void GoBottom(TXbTableCore& t);
void GoTop(TXbTableCore& t);
AnsiString IndexCondition(TXbTableCore& t);
AnsiString IndexKey(TXbTableCore& t);
AnsiString IndexKeyField(TXbTableCore& t);
AnsiString IndexName(TXbTableCore& t, int32_t order);
int32_t IndexOpen(TXbTableCore& t, const AnsiString& file);
int32_t IndexOrd(TXbTableCore& t);
int32_t IndexType(TXbTableCore& t);
int32_t IsEncrypted(TXbTableCore& t, int32_t value);
void MemDealloc(TXbTableCore& t, char* text);
void OrderPosSet(TXbTableCore& t, double position);
int32_t PutBlob(TXbTableCore& t, const AnsiString& field, const void* data, int32_t length);
void PutRecord(TXbTableCore& t, const char* buffer);
int32_t Query(TXbTableCore& t, const AnsiString& filter);
int32_t QueryRecCount(TXbTableCore& t);
int32_t QueryTest(TXbTableCore& t, const AnsiString& filter);
int32_t RecCount(TXbTableCore& t);
int32_t RecNo(TXbTableCore& t);
void Replace(TXbTableCore& t, const AnsiString& field, int32_t kind, const void* value);
int32_t Rlock(TXbTableCore& t, int32_t recNo);
int32_t Seek(TXbTableCore& t, const AnsiString& key);
void Select(TXbTableCore& t, int16_t workArea);
int32_t SetOrder(TXbTableCore& t, int32_t order);
void SetPassword(TXbTableCore& t, const AnsiString& password);
int32_t SetScope(TXbTableCore& t, const AnsiString& low, const AnsiString& high);
void SetStringType(TXbTableCore& t, int32_t type);
void SetTranslate(TXbTableCore& t, bool on);
void SetTurboRead(TXbTableCore& t, bool on);
void Skip(TXbTableCore& t, int32_t count);
int32_t SysProp(TXbTableCore& t, int32_t property, int32_t value);
int32_t TagArea(TXbTableCore& t, const AnsiString& tag);
AnsiString TagName(TXbTableCore& t, int32_t order);
void Unlock(TXbTableCore& t, int32_t recNo);
int32_t UseEx(TXbTableCore& t, const AnsiString& path, const AnsiString& alias, int32_t mode, int32_t kind,
              int32_t commitLevel);
AnsiString Version(TXbTableCore& t);
int32_t WorkArea(TXbTableCore& t, const AnsiString& alias);
bool TableFileExists(TXbTableCore& t, const AnsiString& path);
}  // namespace XbOps
