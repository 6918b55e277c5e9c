// SQL statements and server procedures on the server connection: statements run in the SQL engine
// on this machine or go to the server as the prepare, open, fetch and close commands.
#include <algorithm>
#include <cstring>

#include "tables/XbConnection.h"
#include "tables/XbQuery.h"
#include "tables/intSql.h"

namespace {

using TWire = TXbWireWriter;

constexpr const char* SqlEngineMissing = "Missing required file xbesql7.DLL";

AnsiString SqlMessage(const char* buffer) { return AnsiString(buffer, strnlen(buffer, xbSqlMessageSize)); }
AnsiString Hex8(int64_t v, std::string_view field) { return TWire().Hex(v, 8, field).Take(); }

}  // namespace

int32_t TXbConnection::sql_Prepare(TAccessMethod method, const TXbSqlPrepareRequest& r, AnsiString& message) {
  message.clear();
  if (method == amLocal) {
    if (!LoadSqlEngine()) return message = SqlEngineMissing, 0;
    AnsiString tables;
    try {
      tables = r.Tables ? r.Tables->Encoded() : AnsiString();
    } catch (EXbFieldWidth& e) {
      return message = e.Message(), 0;
    }
    char buffer[xbSqlMessageSize] = {};
    int32_t handle = dll_sql_Prepare(r.DatabaseAlias.c_str(), r.Century ? -1 : 0, r.DateFormat.c_str(),
                                     r.Deleted ? -1 : 0, r.ReadOnly ? -1 : 0, r.MemoBlockSize, r.TableType,
                                     r.Password.c_str(), r.OEMTranslate ? -1 : 0, r.CommitLevel, tables.data(),
                                     static_cast<int32_t>(tables.size()), r.Params.data(),
                                     static_cast<int32_t>(r.Params.size()), buffer);
    message = SqlMessage(buffer);
    return handle;
  }
  return command(As("sql_Prepare"), 0, [&] {
    TWire w;
    w.Text(r.DatabaseAlias, 255, "DatabaseName").YesNo(r.Century).Text(r.DateFormat, 10, "DateFormat");
    w.YesNo(r.Deleted).YesNo(r.ReadOnly).Hex(r.MemoBlockSize, 8, "MemoBlockSize").Hex(r.TableType, 1, "TableType");
    w.Text(r.Password, 255, "Password").YesNo(r.OEMTranslate).Hex(r.CommitLevel, 1, "CommitLevel");
    w.Raw(r.Tables ? r.Tables->Encoded() : TXbTableList().Encoded()).Raw(r.Params);
    FSendStream.SetSize(0);
    FSendStream.Write(w.Bytes().data(), static_cast<int64_t>(w.Bytes().size()));
    TXbWireReader answer(streamBytes("0800", {}, true));
    int32_t handle = answer.Hex(8);
    answer.Hex(8);
    message = AnsiString(answer.Rest());
    return handle;
  });
}

TXbSqlOpenResult TXbConnection::sql_OpenSQL(TAccessMethod method, int32_t handle, const AnsiString& sql) {
  TXbSqlOpenResult result;
  if (method == amLocal) {
    if (!LoadSqlEngine()) return result.ErrorCode = 1, result.Message = SqlEngineMissing, result;
    char buffer[xbSqlMessageSize] = {};
    result.ErrorCode =
        dll_sql_OpenSQL(handle, sql.c_str(), &result.RecordCount, &result.FieldCount, &result.RecordSize, buffer);
    result.Message = SqlMessage(buffer);
    return result;
  }
  return command(As("sql_OpenSQL"), result, [&] {
    AnsiString text = xmit("0802", Hex8(handle, "Handle") + Trim(sql));
    TXbWireReader answer(text);
    TXbSqlOpenResult r;
    r.RecordCount = answer.Hex(8);
    r.FieldCount = answer.Hex(8);
    r.RecordSize = answer.Hex(8);
    r.ErrorCode = answer.Hex(8);
    r.Message = AnsiString(answer.Rest());
    return r;
  });
}

void TXbConnection::sql_CloseSQL(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (LoadSqlEngine()) dll_sql_CloseSQL(handle);
    return;
  }
  command(As("sql_CloseSQL"), [&] { xmit("0804", Hex8(handle, "Handle")); });
}

void TXbConnection::sql_UnPrepare(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (LoadSqlEngine()) dll_sql_UnPrepareSQL(handle);
    return;
  }
  command(As("sql_UnPrepare"), [&] { xmit("0801", Hex8(handle, "Handle")); });
}

AnsiString TXbConnection::sql_GetStructure(TAccessMethod method, int32_t handle) {
  if (method == amLocal) {
    if (!LoadSqlEngine()) return {};
    AnsiString text(static_cast<size_t>(std::max(0, dll_sql_GetStructure(handle, nullptr, 0))), '\0');
    dll_sql_GetStructure(handle, text.data(), static_cast<int32_t>(text.size()));
    return text;
  }
  return command<AnsiString>(As("sql_GetStructure"), {}, [&] { return streamText("0806", Hex8(handle, "Handle")); });
}

AnsiString TXbConnection::sql_GetRecord(TAccessMethod method, int32_t handle, int32_t first, int32_t count,
                                        int32_t bufferSize) {
  if (method == amLocal) {
    if (!LoadSqlEngine() || bufferSize <= 0) return {};
    AnsiString block(static_cast<size_t>(bufferSize), '\0');
    block.resize(static_cast<size_t>(std::max(0, dll_sql_GetRecord(handle, first, count, block.data(), bufferSize))));
    return block;
  }
  return command<AnsiString>(As("sql_GetRecord"), {}, [&] {
    TWire w;
    w.Hex(handle, 8, "Handle").Hex(first, 8, "First").Hex(count, 8, "Count").Hex(bufferSize, 8, "BufferSize");
    return streamText("0807", w.Bytes());
  });
}

AnsiString TXbConnection::sql_ReadBlobData(TAccessMethod method, int32_t handle, int32_t recordId, int32_t fieldNo) {
  if (method == amLocal) {
    if (!LoadSqlEngine()) return {};
    int32_t n = dll_sql_ReadBlobData(handle, recordId, fieldNo, nullptr, 0);
    AnsiString blob(static_cast<size_t>(std::max(0, n)), '\0');
    if (n > 0) dll_sql_ReadBlobData(handle, recordId, fieldNo, blob.data(), n);
    return blob;
  }
  return command<AnsiString>(As("sql_ReadBlobData"), {}, [&] {
    TWire w;
    w.Hex(handle, 8, "Handle").Hex(recordId, 8, "RecordId").Hex(fieldNo, 8, "FieldNo");
    return streamText("0808", w.Bytes());
  });
}

TMemoryStream* TXbConnection::ExecProc() {
  if (!FActive) {
    ReportError("XbConnection.ExecProc", "XbConnection not connected");
    return nullptr;
  }
  return command<TMemoryStream*>(As("ExecProc"), nullptr, [&] { return receive("0042", {}, true); });
}

TMemoryStream* TXbConnection::SetDLLProcName(const AnsiString& databaseName, const AnsiString& procName) {
  return command<TMemoryStream*>(As("SetDLLProcName"), nullptr, [&] {
    TWire w;
    w.Text(databaseName, 255, "DatabaseName").Text(procName, 255, "ProcName");
    return receive("0044", w.Bytes(), false);
  });
}
