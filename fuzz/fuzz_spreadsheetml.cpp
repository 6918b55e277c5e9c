// Fuzz target for the spreadsheet server's workbook reader: open an input, then save what was read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/com/XlFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_spreadsheetml_XXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  const std::string path = dir + "/in.xml";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  try {
    std::vector<TXlSheetData> sheets = LoadSpreadsheetML(path);
    std::vector<const TXlSheetData*> out;
    for (auto& s : sheets) out.push_back(&s);
    SaveSpreadsheetML(dir + "/out.xml", out);
    // What was written must read back.
    LoadSpreadsheetML(dir + "/out.xml");
  } catch (const EAutoServerError&) {
  }
  return 0;
}
