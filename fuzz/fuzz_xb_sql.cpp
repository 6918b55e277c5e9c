// Fuzz target for the SQL and procedure layouts that cross the wire: a procedure answer as the
// server-procedure component reads it, and the table list and parameters as the SQL engine reads
// a prepare request.
#include <cstdint>

#include "platform/engines/xbesql/XbSqlStatement.h"
#include "tables/XbServerDLL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AnsiString bytes(reinterpret_cast<const char*>(data), size);
  TParams params;
  try {
    ReadProcAnswer(bytes, params);
  } catch (const EXbServerDLL&) {
  }
  try {
    xbsql::ParseTableList(bytes);
  } catch (const xbsql::ESqlError&) {
  }
  try {
    xbsql::ParseParams(bytes);
  } catch (const xbsql::ESqlError&) {
  }
  return 0;
}
