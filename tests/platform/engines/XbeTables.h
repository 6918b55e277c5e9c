// Tables for the engine tests: made and read back by Python's dbf package, and opened here.
#pragma once

#include <cstdio>
#include <string>

#include "core/TempDir.h"
#include "platform/engines/XbeEntries.h"

#define XBE_ENTRY(kind, result, name, params) extern "C" result name params;
XBE_ENTRIES
#undef XBE_ENTRY

// Runs a Python script with Debian's dbf package and answers what it printed.
inline std::string RunDbfPython(const TempDir& dir, const std::string& script) {
  std::string file = dir.Write("script.py", "import dbf, datetime\n" + script);
  std::string cmd = "cd " + dir.path + " && /usr/bin/python3 -W ignore " + file + " 2>&1";
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// The people table: three records, the second deleted.
inline void MakePeople(const TempDir& dir, const std::string& dbfType, const std::string& name = "people.dbf") {
  RunDbfPython(dir, "t = dbf.Table('" + name + "', 'name C(10); age N(3,0); sal N(8,2); born D; ok L; notes M', dbf_type='" +
                        dbfType + "')\n"
                        "t.open(dbf.READ_WRITE)\n"
                        "t.append(('Ann', 30, 12.5, datetime.date(2001, 2, 3), True, 'first memo'))\n"
                        "t.append(('bob', 41, 7.25, datetime.date(1999, 12, 31), False, ''))\n"
                        "t.append(('Cyd', 25, 100, None, None, 'third\\r\\nmemo'))\n"
                        "dbf.delete(t[1])\n"
                        "t.close()\n");
}

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
