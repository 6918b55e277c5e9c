// The SQL engine "xbesql7.DLL", loaded on first use: one procedure variable per entry point.
#pragma once

#include "platform/engines/Modules.h"
#include "platform/engines/XbSqlEntries.h"

constexpr const char* XbSqlLibraryName = "xbesql7.DLL";

#define XBSQL_ENTRY(result, name, params) extern result(*name) params;
XBSQL_ENTRIES
#undef XBSQL_ENTRY

// True once the library is loaded with every entry bound. A missing library, or one that lacks
// an entry, shows the missing-library message, asks the application to end and binds nothing.
bool LoadSqlEngine();
void UnloadSqlEngine();
