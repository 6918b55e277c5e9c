// Tables made and read back by Python's dbf package (Debian's python3-dbf), the engine's peer.
#pragma once

#include <cstdio>
#include <string>

#include "core/TempDir.h"

// Runs a shell command and answers what it printed.
inline std::string ShellOutput(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// Runs a Python script with Debian's dbf package and answers what it printed.
inline std::string RunDbfPython(const TempDir& dir, const std::string& script) {
  std::string file = dir.Write("script.py", "import dbf, datetime\n" + script);
  return ShellOutput("cd " + dir.path + " && /usr/bin/python3 -W ignore " + file + " 2>&1");
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

