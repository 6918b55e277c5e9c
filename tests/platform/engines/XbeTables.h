// The engine's entries called directly, and tables opened through them.
#pragma once

#include <string>

#include "DbfPeer.h"
#include "OtherProcess.h"
#include "platform/engines/XbeEntries.h"

#define XBE_ENTRY(kind, result, name, params) extern "C" result name params;
XBE_ENTRIES
#undef XBE_ENTRY

// Collects the engine's error messages.
struct TEngineErrors {
  static std::string& Last() {
    static std::string last;
    return last;
  }
  static void Record(int32_t, const char* message) { Last() = message; }
  TEngineErrors() {
    Last().clear();
    xb_SetErrorFunc(&Record);
  }
  ~TEngineErrors() { xb_SetErrorFunc(nullptr); }
};

// The current record's memo in the field, as the engine hands it over (and takes it back).
inline std::string Memo(const char* field) {
  char* p = xb_GetMemo(field, 0);
  std::string s = p ? p : "";
  xb_MemDealloc(p);
  return s;
}

// Opens a table shared with CDX orders and closes it with the test.
struct TOpenTable {
  explicit TOpenTable(const std::string& path, int32_t mode = 0) { Area = xb_UseEx(path.c_str(), "", mode, 2, 1); }
  ~TOpenTable() {
    if (Area > 0) {
      xb_Select(Area);
      xb_Close();
    }
  }
  int32_t Area = 0;
};
