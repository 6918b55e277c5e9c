#include "platform/com/XlFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "platform/com/XlFileNames.h"

namespace {

[[noreturn]] void fileError(const AnsiString& text) { throw EAutoServerError(DISP_E_EXCEPTION, text); }

// XML 1.0 holds no other characters, not even as references.
bool xmlChar(uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

std::string cellName(int r, int c) {
  std::string s;
  for (; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
  return s + std::to_string(r);
}

class TWriter {
public:
  TWriter(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets) : FFileName(fileName), FSheets(sheets) {}
  void Run();

private:
  // The text escaped; where says what holds it, for the message when it cannot be written.
  std::string escape(const WideString& w, const std::function<std::string()>& where) const {
    for (wchar_t c : w)
      if (!xmlChar(uint32_t(c)))
        fileError("Cannot save '" + FFileName + "': " + where() + " holds the control character " +
                  IntToHex(int64_t(uint32_t(c)), 2) + ", which a SpreadsheetML file cannot hold.");
    std::string out;
    for (char c : WideToUtf8(w)) {
      switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        case '\t': out += "&#9;"; break;
        default: out += c;
      }
    }
    return out;
  }
  void put(const std::string& s) {
    if (std::fwrite(s.data(), 1, s.size(), FOut) != s.size()) FFailed = true;
  }
  std::string styleName(uint32_t fileIndex) const { return fileIndex ? "s" + std::to_string(fileIndex) : "Default"; }
  void collectStyles();
  void writeStyle(const TXlStyle& s, uint32_t index);
  void writeSheet(size_t i);
  void writeCell(const TXlSheetData& sheet, size_t i, int r, int c, const TXlCell* cell, uint32_t implied);

  AnsiString FFileName;
  const std::vector<const TXlSheetData*>& FSheets;
  TXlStylePool FStyles;                     // the file's
  std::vector<std::vector<uint32_t>> FMap;  // each sheet's pool index to the file's
  FILE* FOut = nullptr;
  bool FFailed = false;
};

void TWriter::collectStyles() {
  for (const TXlSheetData* sheet : FSheets) {
    std::vector<uint32_t>& map = FMap.emplace_back(sheet->Styles.Count());
    for (uint32_t i = 0; i < sheet->Styles.Count(); ++i) map[i] = FStyles.Intern(sheet->Styles[i]);
  }
}

void TWriter::writeStyle(const TXlStyle& s, uint32_t index) {
  std::string o = "  <Style ss:ID=\"" + styleName(index) + "\">\n   <Alignment";
  if (const char* h = XlNameOf(XlHorizontalNames, s.HorizontalAlignment)) o += " ss:Horizontal=\"" + std::string(h) + "\"";
  if (const char* v = XlNameOf(XlVerticalNames, s.VerticalAlignment)) o += " ss:Vertical=\"" + std::string(v) + "\"";
  if (s.IndentLevel) o += " ss:Indent=\"" + std::to_string(s.IndentLevel) + "\"";
  if (s.Orientation == xlVertical) o += " ss:VerticalText=\"1\"";
  else if (s.Orientation == xlUpward) o += " ss:Rotate=\"90\"";
  else if (s.Orientation == xlDownward) o += " ss:Rotate=\"-90\"";
  else if (s.Orientation >= -90 && s.Orientation <= 90 && s.Orientation) o += " ss:Rotate=\"" + std::to_string(s.Orientation) + "\"";
  if (s.ShrinkToFit) o += " ss:ShrinkToFit=\"1\"";
  if (s.WrapText) o += " ss:WrapText=\"1\"";
  o += "/>\n   <Borders>\n";
  for (int e = 0; e < 4; ++e) {
    const char* line = XlNameOf(XlLineNames, s.Borders[e].LineStyle);
    if (!line) continue;
    const char* weight = XlNameOf(XlWeightNames, s.Borders[e].Weight);
    o += "    <Border ss:Position=\"" + std::string(XlEdgeNames[e]) + "\" ss:LineStyle=\"" + line + "\" ss:Weight=\"" +
         (weight ? weight : "1") + "\"/>\n";
  }
  auto where = [&] { return std::string("a font name"); };
  o += "   </Borders>\n   <Font ss:FontName=\"" + escape(s.FontName, where) + "\" ss:Size=\"" + XlNumberText(s.FontSize) +
       "\" ss:Color=\"" + XlColourText(s.FontColor) + "\"";
  if (s.Bold) o += " ss:Bold=\"1\"";
  if (s.Italic) o += " ss:Italic=\"1\"";
  if (s.Underline) o += " ss:Underline=\"Single\"";
  if (s.Strikethrough) o += " ss:StrikeThrough=\"1\"";
  o += "/>\n";
  const char* pattern = XlNameOf(XlPatternNames, s.Pattern);
  if (!pattern)
    fileError("Cannot save '" + FFileName + "': the fill pattern " + IntToStr(s.Pattern) + " has no name in a SpreadsheetML file.");
  const TXlStyle plain;
  if (s.Pattern != xlNone || s.InteriorColor != plain.InteriorColor || s.PatternColor != plain.PatternColor) {
    o += "   <Interior ss:Color=\"" + XlColourText(s.InteriorColor) + "\"";
    if (s.Pattern != xlNone) o += " ss:Pattern=\"" + std::string(pattern) + "\"";
    if (s.PatternColor != plain.PatternColor) o += " ss:PatternColor=\"" + XlColourText(s.PatternColor) + "\"";
    o += "/>\n";
  }
  if (!s.NumberFormat.empty())
    o += "   <NumberFormat ss:Format=\"" + escape(s.NumberFormat, [] { return std::string("a number format"); }) + "\"/>\n";
  o += "  </Style>\n";
  put(o);
}

void TWriter::writeCell(const TXlSheetData& sheet, size_t i, int r, int c, const TXlCell* cell, uint32_t implied) {
  auto link = sheet.Links.find({r, c});
  auto merge = sheet.Merges.find({r, c});
  bool empty = !cell || cell->Value.IsEmpty();
  uint32_t style = cell ? cell->Style : implied;
  if (empty && style == implied && link == sheet.Links.end() && merge == sheet.Merges.end()) return;
  auto where = [&] { return "cell " + cellName(r, c) + " of sheet '" + WideToUtf8(sheet.Name) + "'"; };
  std::string o = "    <Cell ss:Index=\"" + std::to_string(c) + "\"";
  if (merge != sheet.Merges.end()) {
    if (merge->second.first) o += " ss:MergeAcross=\"" + std::to_string(merge->second.first) + "\"";
    if (merge->second.second) o += " ss:MergeDown=\"" + std::to_string(merge->second.second) + "\"";
  }
  // A cell without a style of its own reads back with its row's or column's.
  if (style != implied) o += " ss:StyleID=\"" + styleName(FMap[i][style]) + "\"";
  if (link != sheet.Links.end()) {
    const TXlLink& l = link->second;
    o += " ss:HRef=\"" + escape(l.Address, where) + (l.SubAddress.empty() ? "" : "#" + escape(l.SubAddress, where)) + "\"";
  }
  o += ">";
  if (!empty) {
    const OleVariant& v = cell->Value;
    if (v.IsNumber()) o += "<Data ss:Type=\"Number\">" + XlNumberText(v.AsDouble()) + "</Data>";
    else if (v.VType() == VT_BOOL) o += std::string("<Data ss:Type=\"Boolean\">") + (v.AsBool() ? "1" : "0") + "</Data>";
    else if (v.VType() == VT_ERROR) o += std::string("<Data ss:Type=\"Error\">") + XlErrorText(v.ErrorCode()) + "</Data>";
    else if (v.VType() == VT_DATE) o += "<Data ss:Type=\"DateTime\">" + XlDateTimeText(v.AsDouble()) + "</Data>";
    else o += "<Data ss:Type=\"String\">" + escape(XlCellText(v), where) + "</Data>";
  }
  o += "</Cell>\n";
  put(o);
}

void TWriter::writeSheet(size_t i) {
  const TXlSheetData& sheet = *FSheets[i];
  const std::vector<uint32_t>& map = FMap[i];
  put(" <Worksheet ss:Name=\"" + escape(sheet.Name, [] { return std::string("a sheet name"); }) + "\">\n  <Table>\n");
  // Columns with a width or a format of their own.
  std::vector<int> columns;
  for (auto& [c, w] : sheet.ColumnWidths) columns.push_back(c);
  for (auto& [c, s] : sheet.ColumnStyles) columns.push_back(c);
  std::sort(columns.begin(), columns.end());
  columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
  for (int c : columns) {
    std::string o = "   <Column ss:Index=\"" + std::to_string(c) + "\"";
    if (auto w = sheet.ColumnWidths.find(c); w != sheet.ColumnWidths.end()) o += " ss:Width=\"" + XlNumberText(w->second * 5.25 + 5) + "\"";
    if (auto s = sheet.ColumnStyles.find(c); s != sheet.ColumnStyles.end() && s->second) o += " ss:StyleID=\"" + styleName(map[s->second]) + "\"";
    put(o + "/>\n");
  }
  // Rows with cells, a height or a format, in order.
  std::vector<int> rows;
  for (auto& [r, h] : sheet.RowHeights) rows.push_back(r);
  for (auto& [r, s] : sheet.RowStyles) rows.push_back(r);
  for (auto it = sheet.Cells.begin(); it != sheet.Cells.end(); it = sheet.Cells.lower_bound({it->first.first + 1, 0}))
    rows.push_back(it->first.first);
  for (auto& [pos, m] : sheet.Merges) rows.push_back(pos.first);
  for (auto& [pos, l] : sheet.Links) rows.push_back(pos.first);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int r : rows) {
    std::string o = "   <Row ss:Index=\"" + std::to_string(r) + "\"";
    if (auto h = sheet.RowHeights.find(r); h != sheet.RowHeights.end()) o += " ss:AutoFitHeight=\"0\" ss:Height=\"" + XlNumberText(h->second) + "\"";
    uint32_t rowStyle = 0;
    if (auto s = sheet.RowStyles.find(r); s != sheet.RowStyles.end()) rowStyle = s->second;
    if (rowStyle) o += " ss:StyleID=\"" + styleName(map[rowStyle]) + "\"";
    put(o + ">\n");
    // Cells, and the merged areas and links of cells that hold nothing else.
    std::vector<int> cells;
    for (auto it = sheet.Cells.lower_bound({r, 0}); it != sheet.Cells.end() && it->first.first == r; ++it) cells.push_back(it->first.second);
    for (auto it = sheet.Merges.lower_bound({r, 0}); it != sheet.Merges.end() && it->first.first == r; ++it) cells.push_back(it->first.second);
    for (auto it = sheet.Links.lower_bound({r, 0}); it != sheet.Links.end() && it->first.first == r; ++it) cells.push_back(it->first.second);
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    for (int c : cells) {
      uint32_t implied = rowStyle;
      if (!implied)
        if (auto s = sheet.ColumnStyles.find(c); s != sheet.ColumnStyles.end()) implied = s->second;
      auto cell = sheet.Cells.find({r, c});
      writeCell(sheet, i, r, c, cell == sheet.Cells.end() ? nullptr : &cell->second, implied);
    }
    put("   </Row>\n");
  }
  put("  </Table>\n </Worksheet>\n");
}

void TWriter::Run() {
  if (FSheets.empty()) fileError("Cannot save '" + FFileName + "': a workbook holds at least one sheet.");
  collectStyles();
  // A temporary file beside the target, renamed over it once it is whole.
  size_t slash = FFileName.rfind('/');
  AnsiString folder = slash == AnsiString::npos ? AnsiString(".") : FFileName.substr(0, slash + 1);
  AnsiString temp = folder + (slash == AnsiString::npos ? "/" : "") + ".xlsave-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) fileError("Cannot access '" + FFileName + "'.");
  FOut = fdopen(fd, "wb");
  if (!FOut) {
    ::close(fd);
    ::unlink(temp.c_str());
    fileError("Cannot access '" + FFileName + "'.");
  }
  try {
    put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
        " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
        " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
        " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n <Styles>\n");
    for (uint32_t i = 0; i < FStyles.Count(); ++i) writeStyle(FStyles[i], i);
    put(" </Styles>\n");
    for (size_t i = 0; i < FSheets.size(); ++i) writeSheet(i);
    put("</Workbook>\n");
  } catch (...) {
    std::fclose(FOut);
    ::unlink(temp.c_str());
    throw;
  }
  bool failed = FFailed || std::fflush(FOut) != 0 || fsync(fileno(FOut)) != 0;
  failed = std::fclose(FOut) != 0 || failed;
  // mkstemp makes the file for its owner only; a saved workbook is an ordinary file.
  mode_t mask = umask(0);
  umask(mask);
  if (failed || chmod(temp.c_str(), 0666 & ~mask) != 0 || std::rename(temp.c_str(), FFileName.c_str()) != 0) {
    ::unlink(temp.c_str());
    fileError("Cannot access '" + FFileName + "'.");
  }
}

}  // namespace

void TXlFileWriter::Write(const AnsiString& fileName, const std::vector<const TXlSheetData*>& sheets) {
  TWriter(fileName, sheets).Run();
}
