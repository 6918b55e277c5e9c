#include "tables/XbOps.h"

#include "platform/rtl/Files.h"
#include "tables/XBE7.h"
#include "tables/XbConnection.h"

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
constexpr int32_t kAnyPosition = -2;  // the engine's place in an order is not a record number

AnsiString Str(const char* s) { return s ? AnsiString(s) : AnsiString(); }

// The connection of a server table, whose commands mirror the engine's entries; nullptr for a
// local table.
TXbConnection* Server(const TXbTableCore& t) {
  if (t.AccessMethod() != amServer) return nullptr;
  if (!t.XbConnection()) throw EXbError("No XbConnection specified");
  return t.XbConnection();
}

}  // namespace

namespace XbOps {

AnsiString Alias(TXbTableCore& t, int16_t workArea) {
  if (auto* c = Server(t)) return c->Alias(workArea);
  return Str(XbeEntry(xb_Alias)(workArea));
}

void AppendBlank(TXbTableCore& t) {
  if (auto* c = Server(t)) c->AppendBlank();
  else XbeEntry(xb_AppendBlank)();
  RecNo(t);
  A::RecordCount(t) = RecCount(t);
}

int32_t Bof(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Bof();
  return XbLogical(XbeEntry(xb_Bof)() != 0);
}

void Close(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Close();
  XbeEntry(xb_Close)();
}

void CloseIndexes(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->CloseIndexes();
  XbeEntry(xb_CloseIndexes)();
}

void Commit(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Commit();
  XbeEntry(xb_Commit)();
}

int32_t Count(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Count();
  return XbeEntry(xb_Count)();
}

AnsiString DBFilter(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->DBFilter();
  return Str(XbeEntry(xb_DBFilter)());
}

void Delete(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Delete();
  XbeEntry(xb_Delete)();
}

int32_t Deleted(TXbTableCore& t) {
  if (auto* c = Server(t)) {
    c->Go(t.CurrentRecNo());
    return c->Deleted();
  }
  return XbLogical(XbeEntry(xb_Deleted)() != 0);
}

int32_t Eof(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Eof();
  return XbLogical(XbeEntry(xb_Eof)() != 0);
}

int32_t EvalLogical(TXbTableCore& t, const AnsiString& e) {
  if (auto* c = Server(t)) return c->EvalLogical(e);
  return XbLogical(XbeEntry(xb_EvalLogical)(e.c_str()) != 0);
}

double EvalNumeric(TXbTableCore& t, const AnsiString& e) {
  if (auto* c = Server(t)) return c->EvalNumeric(e);
  return XbeEntry(xb_EvalNumeric)(e.c_str());
}

AnsiString EvalString(TXbTableCore& t, const AnsiString& e) {
  if (auto* c = Server(t)) return c->EvalString(e);
  return Str(XbeEntry(xb_EvalString)(e.c_str()));
}

int32_t EvalTest(TXbTableCore& t, const AnsiString& e) {
  if (auto* c = Server(t)) return c->EvalTest(e);
  return XbeEntry(xb_EvalTest)(e.c_str());
}

int32_t FieldDecimals(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->FieldDecimals(f);
  return XbeEntry(xb_FieldDecimals)(f.c_str());
}

AnsiString FieldName(TXbTableCore& t, int16_t n) {
  if (auto* c = Server(t)) return c->FieldName(n);
  return Str(XbeEntry(xb_FieldName)(n));
}

int32_t FieldOffset(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->FieldOffset(f);
  return XbeEntry(xb_FieldOffset)(f.c_str());
}

AnsiString FieldType(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->FieldType(f);
  return Str(XbeEntry(xb_FieldType)(f.c_str()));
}

int32_t FieldWidth(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->FieldWidth(f);
  return XbeEntry(xb_FieldWidth)(f.c_str());
}

int32_t Found(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->Found();
  return XbLogical(XbeEntry(xb_Found)() != 0);
}

void GetBlob(TXbTableCore& t, const AnsiString& f, void* buffer) {
  // The caller sized the buffer from GetBlobLength; a server blob never runs past that length.
  if (auto* c = Server(t)) {
    c->GetBlob(f, buffer, c->GetBlobLength(f));
    return;
  }
  XbeEntry(xb_GetBlob)(f.c_str(), buffer);
}

int32_t GetBlobLength(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->GetBlobLength(f);
  return XbeEntry(xb_GetBlobLength)(f.c_str());
}

AnsiString GetDateString(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->GetDateString(f);
  return Str(XbeEntry(xb_GetDateString)(f.c_str()));
}

double GetDouble(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->GetDouble(f);
  return XbeEntry(xb_GetDouble)(f.c_str());
}

int32_t GetInteger(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->GetInteger(f);
  return XbeEntry(xb_GetInteger)(f.c_str());
}

char* GetMemo(TXbTableCore& t, const AnsiString& f, int32_t width) {
  if (auto* c = Server(t)) {
    c->Go(t.CurrentRecNo());
    return c->GetMemo(f, width);
  }
  return XbeEntry(xb_GetMemo)(f.c_str(), width);
}

void GetRecord(TXbTableCore& t, char* buffer) {
  if (auto* c = Server(t)) return c->GetRecord(buffer, t.RecordSize());
  XbeEntry(xb_GetRecord)(buffer);
}

AnsiString GetScope(TXbTableCore& t, int32_t which) {
  if (auto* c = Server(t)) return c->GetScope(which);
  return Str(XbeEntry(xb_GetScope)(which));
}

AnsiString GetTrimString(TXbTableCore& t, const AnsiString& f) {
  if (auto* c = Server(t)) return c->GetTrimString(f);
  return Str(XbeEntry(xb_GetTrimString)(f.c_str()));
}

void Go(TXbTableCore& t, int32_t recNo) {
  if (auto* c = Server(t)) {
    A::PositionedRecNo(t) = c->Go(recNo);
  } else {
    XbeEntry(xb_Go)(recNo);
    A::PositionedRecNo(t) = t.IndexName().empty() ? recNo : kAnyPosition;
  }
  A::CurrentRecNo(t) = recNo;
}

void GoBottom(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->GoBottom();
  XbeEntry(xb_GoBottom)();
}

void GoTop(TXbTableCore& t) {
  if (auto* c = Server(t)) c->GoTop();
  else XbeEntry(xb_GoTop)();
  A::CurrentRecNo(t) = 1;
}

AnsiString IndexCondition(TXbTableCore& t) {
  if (auto* c = Server(t)) A::IndexCondition(t) = c->IndexCondition();
  else A::IndexCondition(t) = Str(XbeEntry(xb_IndexCondition)());
  return t.IndexCondition();
}

AnsiString IndexKey(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->IndexKey();
  return Str(XbeEntry(xb_IndexKey)());
}

AnsiString IndexKeyField(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->IndexKeyField();
  return Str(XbeEntry(xb_IndexKeyField)());
}

AnsiString IndexName(TXbTableCore& t, int32_t order) {
  if (auto* c = Server(t)) return c->IndexName(order);
  return Str(XbeEntry(xb_IndexName)(order));
}

int32_t IndexOpen(TXbTableCore& t, const AnsiString& file) {
  auto* c = Server(t);
  int32_t order = c ? c->IndexOpen(file) : XbeEntry(xb_IndexOpen)(file.c_str());
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return order;
}

int32_t IndexOrd(TXbTableCore& t) {
  auto* c = Server(t);
  int32_t order = c ? c->IndexOrd() : XbeEntry(xb_IndexOrd)();
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return order;
}

int32_t IndexType(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->IndexType();
  return XbeEntry(xb_IndexType)();
}

int32_t IsEncrypted(TXbTableCore& t, int32_t v) {
  if (auto* c = Server(t)) return c->IsEncrypted(v);
  return XbLogical(XbeEntry(xb_IsEncrypted)(v) != 0);
}

void MemDealloc(TXbTableCore& t, char* text) {
  if (Server(t)) return;  // the text lives in the connection's answer buffer
  XbeEntry(xb_MemDealloc)(text);
}

void OrderPosSet(TXbTableCore& t, double position) {
  if (auto* c = Server(t)) return c->OrderPosSet(position);
  XbeEntry(xb_OrderPosSet)(position);
}

int32_t PutBlob(TXbTableCore& t, const AnsiString& f, const void* data, int32_t length) {
  if (auto* c = Server(t)) return c->PutBlob(f, data, length);
  return XbeEntry(xb_PutBlob)(f.c_str(), data, length);
}

void PutRecord(TXbTableCore& t, const char* buffer) {
  if (auto* c = Server(t)) return c->PutRecord(buffer, t.RecordSize());
  XbeEntry(xb_PutRecord)(buffer);
}

int32_t Query(TXbTableCore& t, const AnsiString& filter) {
  if (auto* c = Server(t)) {
    int32_t count = 0;
    int32_t result = c->QueryRowCount(filter, count);
    A::RecordCount(t) = count;
    return result;
  }
  int32_t result = XbeEntry(xb_Query)(filter.c_str());
  A::RecordCount(t) = XbeEntry(xb_QueryTest)(filter.c_str()) < 1 ? XbeEntry(xb_RecCount)() : XbeEntry(xb_QueryRecCount)();
  return result;
}

int32_t QueryRecCount(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->QueryRecCount();
  return XbeEntry(xb_QueryRecCount)();
}

int32_t QueryTest(TXbTableCore& t, const AnsiString& filter) {
  if (auto* c = Server(t)) return c->QueryTest(filter);
  return XbeEntry(xb_QueryTest)(filter.c_str());
}

int32_t RecCount(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->RecCount();
  return XbeEntry(xb_RecCount)();
}

int32_t RecNo(TXbTableCore& t) {
  auto* c = Server(t);
  A::CurrentRecNo(t) = c ? c->RecNo() : XbeEntry(xb_RecNo)();
  return t.CurrentRecNo();
}

void Replace(TXbTableCore& t, const AnsiString& f, int32_t kind, const void* value) {
  if (auto* c = Server(t)) return c->Replace(f, kind, value);
  XbeEntry(xb_Replace)(f.c_str(), kind, value);
}

int32_t Rlock(TXbTableCore& t, int32_t recNo) {
  if (auto* c = Server(t)) return c->Rlock(recNo);
  return XbLogical(XbeEntry(xb_Rlock)(recNo) != 0);
}

int32_t Seek(TXbTableCore& t, const AnsiString& key) {
  if (auto* c = Server(t)) return c->Seek(key);
  return XbLogical(XbeEntry(xb_Seek)(key.c_str()) != 0);
}

void Select(TXbTableCore& t, int16_t workArea) {
  if (auto* c = Server(t)) {
    c->Select(workArea);
    return;
  }
  XbeEntry(xb_Select)(workArea);
}

int32_t SetOrder(TXbTableCore& t, int32_t order) {
  auto* c = Server(t);
  int32_t result = c ? c->SetOrder(order) : XbeEntry(xb_SetOrder)(order);
  A::CurrentOrder(t) = static_cast<int16_t>(order);
  return result;
}

void SetPassword(TXbTableCore& t, const AnsiString& password) {
  if (auto* c = Server(t)) return c->SetTablePassword(password);
  XbeEntry(xb_SetPassword)(password.c_str());
}

int32_t SetScope(TXbTableCore& t, const AnsiString& low, const AnsiString& high) {
  A::ScopeBegin(t) = low;
  A::ScopeEnd(t) = high;
  if (auto* c = Server(t)) return c->SetScope(low, high);
  return XbLogical(XbeEntry(xb_SetScope)(low.c_str(), high.c_str()) != 0);
}

void SetStringType(TXbTableCore& t, int32_t type) {
  if (auto* c = Server(t)) return c->SetStringType(type);
  XbeEntry(xb_SetStringType)(type);
}

void SetTranslate(TXbTableCore& t, bool on) {
  if (auto* c = Server(t)) return c->SetTranslate(on);
  XbeEntry(xb_SetTranslate)(XbLogical(on));
}

void SetTurboRead(TXbTableCore& t, bool on) {
  if (auto* c = Server(t)) {
    c->SetTurboRead(on);
    return;
  }
  XbeEntry(xb_SetTurboRead)(XbLogical(on));
}

void Skip(TXbTableCore& t, int32_t count) {
  if (auto* c = Server(t)) return c->Skip(count);
  XbeEntry(xb_Skip)(count);
}

int32_t SysProp(TXbTableCore& t, int32_t property, int32_t value) {
  if (auto* c = Server(t)) return c->SysProp(property, value);
  EnsureTableEngine();
  return XbeEntry(xb_SysProp)(property, value);
}

int32_t TagArea(TXbTableCore& t, const AnsiString& tag) {
  if (auto* c = Server(t)) return c->TagArea(tag);
  return XbeEntry(xb_TagArea)(tag.c_str());
}

AnsiString TagName(TXbTableCore& t, int32_t order) {
  if (auto* c = Server(t)) return c->TagName(order);
  return Str(XbeEntry(xb_TagName)(order));
}

void Unlock(TXbTableCore& t, int32_t recNo) {
  if (auto* c = Server(t)) return c->Unlock(recNo);
  XbeEntry(xb_Unlock)(recNo);
}

int32_t UseEx(TXbTableCore& t, const AnsiString& path, const AnsiString& alias, int32_t mode, int32_t kind,
              int32_t commitLevel) {
  if (auto* c = Server(t)) return c->UseEx(path, alias, mode, kind, commitLevel);
  return XbeEntry(xb_UseEx)(path.c_str(), alias.c_str(), mode, kind, commitLevel);
}

AnsiString Version(TXbTableCore& t) {
  if (auto* c = Server(t)) return c->EngineVersion();
  return Str(XbeEntry(xb_Version)());
}

int32_t WorkArea(TXbTableCore& t, const AnsiString& alias) {
  if (auto* c = Server(t)) return c->WorkArea(alias);
  return XbeEntry(xb_WorkArea)(alias.c_str());
}

bool TableFileExists(TXbTableCore& t, const AnsiString& path) {
  if (auto* c = Server(t)) return c->FileExists(t.DatabaseName(), path) != 0;
  return FileExists(path);
}

}  // namespace XbOps
