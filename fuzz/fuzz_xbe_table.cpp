// Fuzz target for the table engine: the first line of an input is an expression, the rest a DBF
// table that is opened, walked, filtered with the expression and indexed on it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/engines/XbeEntries.h"

#define XBE_ENTRY(kind, result, name, params) extern "C" result name params;
XBE_ENTRIES
#undef XBE_ENTRY

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_xbe_table_XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  std::string input(reinterpret_cast<const char*>(data), size);
  std::size_t nl = input.find('\n');
  std::string expr = nl == std::string::npos ? input : input.substr(0, nl);
  std::string table = nl == std::string::npos ? "" : input.substr(nl + 1);
  WriteFile(dir + "/t.dbf", table);
  WriteFile(dir + "/t.cdx", "XBEINDEX 1\nK\t" + expr + "\n");
  int32_t area = xb_UseEx((dir + "/t.dbf").c_str(), "", 0, 1, 2);
  if (area < 1) return 0;
  std::vector<char> record(static_cast<std::size_t>(xb_RecSize()));
  xb_EvalString(expr.c_str());
  xb_Query(expr.c_str());
  for (int i = 0; i < 64 && !xb_Eof(); ++i) {
    xb_GetRecord(record.data());
    xb_Skip(1);
  }
  xb_SetOrder(xb_IndexOpen((dir + "/t.cdx").c_str()));
  xb_Seek(expr.c_str());
  xb_GoBottom();
  xb_Skip(-3);
  // A second work area on the same file writes; the first must take its changes in.
  int32_t other = xb_UseEx((dir + "/t.dbf").c_str(), "OTHER", 0, 1, 2);
  if (other > 0) {
    xb_AppendBlank();
    if (xb_FieldCount() > 0) xb_Replace(xb_FieldName(1), 1, expr.c_str());
    xb_Commit();
    xb_GoTop();
    xb_Delete();
    xb_Select(area);
    xb_GoTop();
    xb_Skip(2);
    xb_OrderPosSet(0.5);
    xb_OrderPosGet();
    xb_Select(other);
    xb_Close();
    xb_Select(area);
  }
  xb_Close();
  return 0;
}
