#include "tables/XbOps.h"

#include "platform/rtl/Files.h"
#include "tables/XBE7.h"

// Gives the operations write access to the state they keep in step.
struct XbOpsAccess {
  static int32_t& CurrentRecNo(TXbTableCore& t) { return t.FCurrentRecNo; }
  static int32_t& PositionedRecNo(TXbTableCore& t) { return t.FPositionedRecNo; }
  static int32_t& RecordCount(TXbTableCore& t) { return t.FRecordCount; }
  static int16_t& CurrentOrder(TXbTableCore& t) { return t.FCurrentOrder; }
  static AnsiString& IndexCondition(TXbTableCore& t) { return t.FIndexCondition; }
  static AnsiString& ScopeBegin(TXbTableCore& t) { return t.FScopeBegin; }
  static AnsiString& ScopeEnd(TXbTableCore& t) { return t.FScopeEnd; }
};

namespace {

using A = XbOpsAccess;
constexpr int32_t kTrue = -1;
constexpr int32_t kFalse = 0;
constexpr int32_t kAnyPosition = -2;  // the engine's place in an order is not a record number

int32_t Logical(int32_t engineResult) { return engineResult != 0 ? kTrue : kFalse; }

AnsiString Str(const char* s) { return s ? AnsiString(s) : AnsiString(); }

// Picks the way the table is worked: true for the local engine. A server table needs its
// connection, whose commands mirror the engine's entries.
bool Local(const TXbTableCore& t) {
  if (t.AccessMethod() != amServer) return true;
  if (!t.XbConnection()) throw EXbError("No XbConnection specified");
  throw EXbError("Not connected");
}

}  // namespace

namespace XbOps {

AnsiString Alias(TXbTableCore& t, int16_t workArea) {
  Local(t);
  return Str(XbeEntry(xb_Alias)(workArea));
}

void AppendBlank(TXbTableCore& t) {
  Local(t);
  XbeEntry(xb_AppendBlank)();
  RecNo(t);
  A::RecordCount(t) = RecCount(t);
}

int32_t Bof(TXbTableCore& t) { return Local(t), Logical(XbeEntry(xb_Bof)()); }
void Close(TXbTableCore& t) { Local(t), XbeEntry(xb_Close)(); }
void CloseIndexes(TXbTableCore& t) { Local(t), XbeEntry(xb_CloseIndexes)(); }
void Commit(TXbTableCore& t) { Local(t), XbeEntry(xb_Commit)(); }
int32_t Count(TXbTableCore& t) { return Local(t), XbeEntry(xb_Count)(); }
AnsiString DBFilter(TXbTableCore& t) { return Local(t), Str(XbeEntry(xb_DBFilter)()); }
void Delete(TXbTableCore& t) { Local(t), XbeEntry(xb_Delete)(); }
int32_t Deleted(TXbTableCore& t) { return Local(t), Logical(XbeEntry(xb_Deleted)()); }
int32_t Eof(TXbTableCore& t) { return Local(t), Logical(XbeEntry(xb_Eof)()); }

int32_t EvalLogical(TXbTableCore& t, const AnsiString& e) { return Local(t), Logical(XbeEntry(xb_EvalLogical)(e.c_str())); }
double EvalNumeric(TXbTableCore& t, const AnsiString& e) { return Local(t), XbeEntry(xb_EvalNumeric)(e.c_str()); }
AnsiString EvalString(TXbTableCore& t, const AnsiString& e) { return Local(t), Str(XbeEntry(xb_EvalString)(e.c_str())); }
int32_t EvalTest(TXbTableCore& t, const AnsiString& e) { return Local(t), XbeEntry(xb_EvalTest)(e.c_str()); }

int32_t FieldDecimals(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_FieldDecimals)(f.c_str()); }
AnsiString FieldName(TXbTableCore& t, int16_t n) { return Local(t), Str(XbeEntry(xb_FieldName)(n)); }
int32_t FieldOffset(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_FieldOffset)(f.c_str()); }
AnsiString FieldType(TXbTableCore& t, const AnsiString& f) { return Local(t), Str(XbeEntry(xb_FieldType)(f.c_str())); }
int32_t FieldWidth(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_FieldWidth)(f.c_str()); }
int32_t Found(TXbTableCore& t) { return Local(t), Logical(XbeEntry(xb_Found)()); }

void GetBlob(TXbTableCore& t, const AnsiString& f, void* buffer) { Local(t), XbeEntry(xb_GetBlob)(f.c_str(), buffer); }
int32_t GetBlobLength(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_GetBlobLength)(f.c_str()); }
AnsiString GetDateString(TXbTableCore& t, const AnsiString& f) { return Local(t), Str(XbeEntry(xb_GetDateString)(f.c_str())); }
double GetDouble(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_GetDouble)(f.c_str()); }
int32_t GetInteger(TXbTableCore& t, const AnsiString& f) { return Local(t), XbeEntry(xb_GetInteger)(f.c_str()); }
char* GetMemo(TXbTableCore& t, const AnsiString& f, int32_t width) { return Local(t), XbeEntry(xb_GetMemo)(f.c_str(), width); }
void GetRecord(TXbTableCore& t, char* buffer) { Local(t), XbeEntry(xb_GetRecord)(buffer); }
AnsiString GetScope(TXbTableCore& t, int32_t which) { return Local(t), Str(XbeEntry(xb_GetScope)(which)); }
AnsiString GetTrimString(TXbTableCore& t, const AnsiString& f) { return Local(t), Str(XbeEntry(xb_GetTrimString)(f.c_str())); }

void Go(TXbTableCore& t, int32_t recNo) {
  Local(t);
  XbeEntry(xb_Go)(recNo);
  A::CurrentRecNo(t) = recNo;
  A::PositionedRecNo(t) = t.IndexName().empty() ? recNo : kAnyPosition;
}

void GoBottom(TXbTableCore& t) { Local(t), XbeEntry(xb_GoBottom)(); }

void GoTop(TXbTableCore& t) {
  Local(t);
  XbeEntry(xb_GoTop)();
  A::CurrentRecNo(t) = 1;
}

AnsiString IndexCondition(TXbTableCore& t) {
  Local(t);
  A::IndexCondition(t) = Str(XbeEntry(xb_IndexCondition)());
  return t.IndexCondition();
}

AnsiString IndexKey(TXbTableCore& t) { return Local(t), Str(XbeEntry(xb_IndexKey)()); }
AnsiString IndexKeyField(TXbTableCore& t) { return Local(t), Str(XbeEntry(xb_IndexKeyField)()); }
AnsiString IndexName(TXbTableCore& t, int32_t order) { return Local(t), Str(XbeEntry(xb_IndexName)(order)); }

int32_t IndexOpen(TXbTableCore& t, const AnsiString& file) {
  Local(t);
  int32_t order = XbeEntry(xb_IndexOpen)(file.c_str());
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return order;
}

int32_t IndexOrd(TXbTableCore& t) {
  Local(t);
  int32_t order = XbeEntry(xb_IndexOrd)();
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return order;
}

int32_t IndexType(TXbTableCore& t) { return Local(t), XbeEntry(xb_IndexType)(); }
int32_t IsEncrypted(TXbTableCore& t, int32_t v) { return Local(t), Logical(XbeEntry(xb_IsEncrypted)(v)); }
void MemDealloc(TXbTableCore& t, char* text) { Local(t), XbeEntry(xb_MemDealloc)(text); }
void OrderPosSet(TXbTableCore& t, double position) { Local(t), XbeEntry(xb_OrderPosSet)(position); }

int32_t PutBlob(TXbTableCore& t, const AnsiString& f, const void* data, int32_t length) {
  return Local(t), XbeEntry(xb_PutBlob)(f.c_str(), data, length);
}

void PutRecord(TXbTableCore& t, const char* buffer) { Local(t), XbeEntry(xb_PutRecord)(buffer); }

int32_t Query(TXbTableCore& t, const AnsiString& filter) {
  Local(t);
  int32_t result = XbeEntry(xb_Query)(filter.c_str());
  A::RecordCount(t) = XbeEntry(xb_QueryTest)(filter.c_str()) < 1 ? XbeEntry(xb_RecCount)() : XbeEntry(xb_QueryRecCount)();
  return result;
}

int32_t QueryRecCount(TXbTableCore& t) { return Local(t), XbeEntry(xb_QueryRecCount)(); }
int32_t QueryTest(TXbTableCore& t, const AnsiString& filter) { return Local(t), XbeEntry(xb_QueryTest)(filter.c_str()); }
int32_t RecCount(TXbTableCore& t) { return Local(t), XbeEntry(xb_RecCount)(); }

int32_t RecNo(TXbTableCore& t) {
  Local(t);
  A::CurrentRecNo(t) = XbeEntry(xb_RecNo)();
  return t.CurrentRecNo();
}

void Replace(TXbTableCore& t, const AnsiString& f, int32_t kind, const void* value) {
  Local(t), XbeEntry(xb_Replace)(f.c_str(), kind, value);
}

int32_t Rlock(TXbTableCore& t, int32_t recNo) { return Local(t), Logical(XbeEntry(xb_Rlock)(recNo)); }
int32_t Seek(TXbTableCore& t, const AnsiString& key) { return Local(t), Logical(XbeEntry(xb_Seek)(key.c_str())); }
void Select(TXbTableCore& t, int16_t workArea) { Local(t), XbeEntry(xb_Select)(workArea); }

int32_t SetOrder(TXbTableCore& t, int32_t order) {
  Local(t);
  int32_t result = XbeEntry(xb_SetOrder)(order);
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return result;
}

void SetPassword(TXbTableCore& t, const AnsiString& password) { Local(t), XbeEntry(xb_SetPassword)(password.c_str()); }

int32_t SetScope(TXbTableCore& t, const AnsiString& low, const AnsiString& high) {
  A::ScopeBegin(t) = low;
  A::ScopeEnd(t) = high;
  return Local(t), Logical(XbeEntry(xb_SetScope)(low.c_str(), high.c_str()));
}

void SetStringType(TXbTableCore& t, int32_t type) { Local(t), XbeEntry(xb_SetStringType)(type); }
void SetTranslate(TXbTableCore& t, bool on) { Local(t), XbeEntry(xb_SetTranslate)(on ? kTrue : kFalse); }
void SetTurboRead(TXbTableCore& t, bool on) { Local(t), XbeEntry(xb_SetTurboRead)(on ? kTrue : kFalse); }
void Skip(TXbTableCore& t, int32_t count) { Local(t), XbeEntry(xb_Skip)(count); }

int32_t SysProp(TXbTableCore& t, int32_t property, int32_t value) {
  Local(t);
  EnsureTableEngine();
  return XbeEntry(xb_SysProp)(property, value);
}

int32_t TagArea(TXbTableCore& t, const AnsiString& tag) { return Local(t), XbeEntry(xb_TagArea)(tag.c_str()); }
AnsiString TagName(TXbTableCore& t, int32_t order) { return Local(t), Str(XbeEntry(xb_TagName)(order)); }
void Unlock(TXbTableCore& t, int32_t recNo) { Local(t), XbeEntry(xb_Unlock)(recNo); }

int32_t UseEx(TXbTableCore& t, const AnsiString& path, const AnsiString& alias, int32_t mode, int32_t kind,
              int32_t commitLevel) {
  return Local(t), XbeEntry(xb_UseEx)(path.c_str(), alias.c_str(), mode, kind, commitLevel);
}

AnsiString Version(TXbTableCore& t) { return Local(t), Str(XbeEntry(xb_Version)()); }
int32_t WorkArea(TXbTableCore& t, const AnsiString& alias) { return Local(t), XbeEntry(xb_WorkArea)(alias.c_str()); }
bool TableFileExists(TXbTableCore& t, const AnsiString& path) { return Local(t), FileExists(path); }

}  // namespace XbOps
