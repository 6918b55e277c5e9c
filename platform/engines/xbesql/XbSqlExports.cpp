// The SQL engine's entry points over its statements, kept by handle. Failures never cross the
// boundary as exceptions: they come back as a zero handle or an error code with the message.
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "platform/engines/XbSqlEntries.h"
#include "platform/engines/xbesql/XbSqlStatement.h"

#define XBSQL_EXPORT extern "C" __attribute__((visibility("default")))

using xbsql::TSqlStatement;

namespace {

constexpr int32_t ErrorSql = 1;
constexpr int32_t ErrorHandle = 2;

std::map<int32_t, std::unique_ptr<TSqlStatement>>& Statements() {
  static std::map<int32_t, std::unique_ptr<TSqlStatement>> statements;
  return statements;
}

int32_t NextHandle = 0;

TSqlStatement* Find(int32_t handle) {
  auto it = Statements().find(handle);
  return it == Statements().end() ? nullptr : it->second.get();
}

void SetMessage(char* message, const std::string& text) {
  if (!message) return;
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(xbSqlMessageSize - 1));
  std::memcpy(message, text.data(), n);
  message[n] = '\0';
}

std::string Bytes(const char* data, int32_t size) { return data && size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string(); }

}  // namespace

XBSQL_EXPORT int32_t dll_sql_Prepare(const char* dataPath, int32_t, const char*, int32_t deleted, int32_t, int32_t,
                                     int32_t, const char*, int32_t, int32_t, const char* tableList,
                                     int32_t tableListSize, const char* params, int32_t paramsSize, char* message) {
  SetMessage(message, "");
  try {
    std::string path = dataPath ? dataPath : "";
    if (!path.empty() && path.back() != '/') path += '/';
    auto statement = std::make_unique<TSqlStatement>(path, deleted != 0,
                                                     xbsql::ParseTableList(Bytes(tableList, tableListSize)),
                                                     xbsql::ParseParams(Bytes(params, paramsSize)));
    int32_t handle = ++NextHandle;
    Statements()[handle] = std::move(statement);
    return handle;
  } catch (const std::exception& e) {
    SetMessage(message, e.what());
    return 0;
  }
}

XBSQL_EXPORT int32_t dll_sql_OpenSQL(int32_t handle, const char* sql, int32_t* recordCount, int32_t* fieldCount,
                                     int32_t* recordSize, char* message) {
  SetMessage(message, "");
  int32_t rows = 0, fields = 0, size = 0, error = 0;
  if (TSqlStatement* s = Find(handle)) {
    try {
      s->Open(sql ? sql : "");
      rows = s->RowCount(), fields = s->FieldCount(), size = s->RecordSize();
    } catch (const std::exception& e) {
      SetMessage(message, e.what());
      error = ErrorSql;
    }
  } else {
    SetMessage(message, "Invalid statement handle");
    error = ErrorHandle;
  }
  if (recordCount) *recordCount = rows;
  if (fieldCount) *fieldCount = fields;
  if (recordSize) *recordSize = size;
  return error;
}

XBSQL_EXPORT int32_t dll_sql_ExecSQL(int32_t handle, const char* sql, char* message) {
  SetMessage(message, "");
  TSqlStatement* s = Find(handle);
  if (!s) {
    SetMessage(message, "Invalid statement handle");
    return ErrorHandle;
  }
  try {
    s->Exec(sql ? sql : "");
    return 0;
  } catch (const std::exception& e) {
    SetMessage(message, e.what());
    return ErrorSql;
  }
}

XBSQL_EXPORT void dll_sql_CloseSQL(int32_t handle) {
  if (TSqlStatement* s = Find(handle)) s->Close();
}

XBSQL_EXPORT void dll_sql_UnPrepareSQL(int32_t handle) { Statements().erase(handle); }

XBSQL_EXPORT int32_t dll_sql_GetStructure(int32_t handle, char* buffer, int32_t size) {
  TSqlStatement* s = Find(handle);
  if (!s) return 0;
  std::string text = s->Structure();
  if (buffer && size >= static_cast<int32_t>(text.size())) std::memcpy(buffer, text.data(), text.size());
  return static_cast<int32_t>(text.size());
}

XBSQL_EXPORT int32_t dll_sql_GetRecord(int32_t handle, int32_t first, int32_t count, char* buffer, int32_t size) {
  TSqlStatement* s = Find(handle);
  if (!s || !buffer || first < 1 || count < 0) return 0;
  int32_t n = first > s->RowCount() ? 0 : std::min(count, s->RowCount() - first + 1);
  int64_t need = 8 + int64_t(n) * (s->RecordSize() + 8);
  if (need > size) return 0;
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(n));
  std::memcpy(buffer, hex, 8);
  char* at = buffer + 8;
  for (int32_t row = first; row < first + n; ++row) {
    std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(row));
    std::memcpy(at, hex, 8);
    std::memcpy(at + 8, s->Record(row).data(), static_cast<std::size_t>(s->RecordSize()));
    at += 8 + s->RecordSize();
  }
  return static_cast<int32_t>(need);
}

XBSQL_EXPORT int32_t dll_sql_ReadBlobData(int32_t handle, int32_t recordId, int32_t fieldNo, char* buffer,
                                          int32_t size) {
  TSqlStatement* s = Find(handle);
  const std::string* blob = s ? s->Blob(recordId, fieldNo) : nullptr;
  if (!blob) return -1;
  if (buffer && size >= static_cast<int32_t>(blob->size())) std::memcpy(buffer, blob->data(), blob->size());
  return static_cast<int32_t>(blob->size());
}

XBSQL_EXPORT int32_t dll_sql_RecCount(int32_t handle) {
  TSqlStatement* s = Find(handle);
  return s ? s->RowCount() : -1;
}
