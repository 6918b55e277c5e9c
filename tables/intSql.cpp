#include "tables/intSql.h"

#include "platform/classlib/Forms.h"
#include "platform/classlib/MessageBox.h"

#define XBSQL_ENTRY(result, name, params) result(*name) params = nullptr;
XBSQL_ENTRIES
#undef XBSQL_ENTRY

namespace {

HMODULE Library = 0;

void ClearEntries() {
#define XBSQL_ENTRY(result, name, params) name = nullptr;
  XBSQL_ENTRIES
#undef XBSQL_ENTRY
}

bool BindEntries() {
#define XBSQL_ENTRY(result, name, params)                                        \
  name = reinterpret_cast<result(*) params>(GetProcAddress(Library, #name)); \
  if (!name) return false;
  XBSQL_ENTRIES
#undef XBSQL_ENTRY
  return true;
}

struct TSqlLibraryOwner {
  ~TSqlLibraryOwner() { UnloadSqlEngine(); }
} SqlLibraryOwner;

}  // namespace

bool LoadSqlEngine() {
  if (Library) return true;
  uint32_t previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  Library = LoadLibrary(XbSqlLibraryName);
  SetErrorMode(previousMode);
  if (Library && BindEntries()) return true;
  // An incomplete library is as good as none: nothing of it may be called.
  UnloadSqlEngine();
  ShowErrorBox("Missing required file xbesql7.DLL.\r\rThis file is part of the XBE*.* engine files.", "");
  Application().Terminate();
  return false;
}

void UnloadSqlEngine() {
  if (Library) FreeLibrary(Library);
  Library = 0;
  ClearEntries();
}
