// Fuzz target for the spreadsheet server's workbook reader: open an input; what was read is saved,
// and the saved file must open again with the same sheets and cells.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com/XlFile.h"

namespace {

[[noreturn]] void broken(const std::string& what) {
  std::fprintf(stderr, "saved workbook does not read back: %s\n", what.c_str());
  std::abort();
}

// Cells that hold nothing and look like their row or column need not be saved, so cells are
// compared by what they hold and how they look.
void expectSame(const TXlSheetData& a, const TXlSheetData& b) {
  if (a.Name != b.Name) broken("sheet name");
  auto covers = [](const TXlSheetData& x, const TXlSheetData& y) {
    for (auto& [pos, cell] : x.Cells) {
      auto other = y.Cells.find(pos);
      OleVariant value = other == y.Cells.end() ? OleVariant() : other->second.Value;
      if (value.VType() != cell.Value.VType()) broken("cell kind");
      // Times are kept to the millisecond.
      bool same = value.VType() == VT_DATE ? std::fabs(value.AsDouble() - cell.Value.AsDouble()) <= 0.5001 / 86400000
                                           : value == cell.Value;
      if (!same) broken("cell value");
      if (!(x.Styles[cell.Style] == y.Styles[y.StyleAt(pos.first, pos.second)])) broken("cell style");
    }
  };
  covers(a, b);
  covers(b, a);
  if (a.Merges != b.Merges) broken("merged areas");
  if (a.Links != b.Links) broken("hyperlinks");
  if (a.RowHeights != b.RowHeights) broken("row heights");
  if (a.ColumnWidths.size() != b.ColumnWidths.size()) broken("column widths");
  for (auto& [c, w] : a.ColumnWidths) {
    auto other = b.ColumnWidths.find(c);
    if (other == b.ColumnWidths.end() || std::fabs(other->second - w) > 1e-9 * (1 + w)) broken("column width");
  }
  auto sameStyles = [&](const std::map<int, uint32_t>& x, const std::map<int, uint32_t>& y) {
    if (x.size() != y.size()) return false;
    for (auto& [i, s] : x) {
      auto other = y.find(i);
      if (other == y.end() || !(a.Styles[s] == b.Styles[other->second])) return false;
    }
    return true;
  };
  if (!sameStyles(a.RowStyles, b.RowStyles) || !sameStyles(a.ColumnStyles, b.ColumnStyles)) broken("row or column formats");
}

}  // namespace

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
  std::vector<TXlSheetData> sheets;
  try {
    sheets = LoadSpreadsheetML(path);
  } catch (const EAutoServerError&) {
    return 0;  // refused with a message: fine
  }
  std::vector<const TXlSheetData*> out;
  for (auto& s : sheets) out.push_back(&s);
  std::vector<TXlSheetData> again;
  try {
    SaveSpreadsheetML(dir + "/out.xml", out);
    again = LoadSpreadsheetML(dir + "/out.xml");
  } catch (const EAutoServerError& e) {
    broken(e.Message());
  }
  if (again.size() != sheets.size()) broken("sheet count");
  for (size_t i = 0; i < sheets.size(); ++i) expectSame(sheets[i], again[i]);
  return 0;
}
