// SpreadsheetML files both ways with LibreOffice: what it writes we read cell for cell as it reads
// them itself, and what we write it opens with the same cells.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/XlFile.h"

namespace {

namespace fs = std::filesystem;

struct XlFilePeerTest : ::testing::Test {
  void SetUp() override {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs LibreOffice on one file of the folder with its own profile, so that runs side by side do not meet.
  void convert(const std::string& file, const std::string& filter, const std::string& outdir) {
    std::string cmd = "cd '" + dir.string() + "' && timeout 300 soffice -env:UserInstallation=file://" + dir.string() +
                      "/profile --headless --convert-to '" + filter + "' --outdir '" + outdir + "' '" + file +
                      "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  // The cells LibreOffice reads from a workbook: one CSV per sheet, as the cells show.
  std::map<std::string, std::vector<std::vector<std::string>>> cellsAsLibreOfficeReads(const std::string& file) {
    std::string out = "csv_" + fs::path(file).stem().string();
    convert(file, "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1", out);
    std::map<std::string, std::vector<std::vector<std::string>>> sheets;
    std::string prefix = fs::path(file).stem().string() + "-";
    for (auto& entry : fs::directory_iterator(dir / out)) {
      std::string name = entry.path().stem().string().substr(prefix.size());
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      sheets[name] = parseCsv(text.str());
    }
    return sheets;
  }
  static std::vector<std::vector<std::string>> parseCsv(const std::string& s) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < s.size(); ++i) {
      char c = s[i];
      if (quoted) {
        if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') rows.back().back() += s[++i];
        else if (c == '"') quoted = false;
        else rows.back().back() += c;
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        rows.back().emplace_back();
      } else if (c == '\n') {
        rows.emplace_back(1);
      } else {
        rows.back().back() += c;
      }
    }
    while (!rows.empty() && rows.back().size() == 1 && rows.back()[0].empty()) rows.pop_back();
    return rows;
  }
  // A cell as LibreOffice shows it: dates in its short form.
  static std::string shown(const TXlSheetData& sheet, int r, int c) {
    auto it = sheet.Cells.find({r, c});
    if (it == sheet.Cells.end()) return "";
    const OleVariant& v = it->second.Value;
    std::string text = WideToUtf8(XlCellText(v));
    if (v.VType() == VT_DATE) return text.substr(5, 2) + "/" + text.substr(8, 2) + "/" + text.substr(0, 4);
    return text;
  }
  void expectSameCells(const std::vector<TXlSheetData>& ours,
                       const std::map<std::string, std::vector<std::vector<std::string>>>& theirs, const char* what) {
    ASSERT_EQ(ours.size(), theirs.size()) << what;
    for (const TXlSheetData& sheet : ours) {
      auto it = theirs.find(WideToUtf8(sheet.Name));
      ASSERT_NE(it, theirs.end()) << what << ": " << WideToUtf8(sheet.Name);
      const auto& rows = it->second;
      int lastRow = 0, lastColumn = 0;
      for (auto& [pos, cell] : sheet.Cells)
        if (!cell.Value.IsEmpty()) {
          lastRow = std::max(lastRow, pos.first);
          lastColumn = std::max(lastColumn, pos.second);
        }
      for (int r = 1; r <= std::max<int>(lastRow, int(rows.size())); ++r)
        for (int c = 1; c <= std::max<int>(lastColumn, r <= int(rows.size()) ? int(rows[r - 1].size()) : 0); ++c) {
          std::string their = r <= int(rows.size()) && c <= int(rows[r - 1].size()) ? rows[r - 1][c - 1] : "";
          auto cell = sheet.Cells.find({r, c});
          // LibreOffice's importer drops truth values: compare what it keeps.
          if (cell != sheet.Cells.end() && cell->second.Value.VType() == VT_BOOL && their.empty()) continue;
          EXPECT_EQ(shown(sheet, r, c), their) << what << ": sheet " << WideToUtf8(sheet.Name) << ", row " << r << ", column " << c;
        }
    }
  }

  fs::path dir = fs::temp_directory_path() / ("xlpeer_" + std::to_string(::getpid()));
};

// A sheet of every kind of cell, written as LibreOffice's own format so that LibreOffice makes the workbook.
std::string sourceSheet() {
  std::string s = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:styles><number:date-style style:name="N1"><number:year number:style="long"/><number:text>-</number:text><number:month number:style="long"/><number:text>-</number:text><number:day number:style="long"/></number:date-style></office:styles>
<office:automatic-styles>
 <style:style style:name="fill" style:family="table-cell"><style:table-cell-properties fo:background-color="#ffff00"/></style:style>
 <style:style style:name="date" style:family="table-cell" style:data-style-name="N1"/>
 <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
 <style:style style:name="T2" style:family="text"><style:text-properties fo:color="#ff0000"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet>
<table:table table:name="Cells">
 <table:table-row>
  <table:table-cell table:number-columns-spanned="2" table:number-rows-spanned="2" office:value-type="string"><text:p>merged</text:p></table:table-cell>
  <table:covered-table-cell/>
  <table:table-cell office:value-type="string"><text:p>C1</text:p></table:table-cell>
  <table:table-cell office:value-type="float" office:value="-0.125"><text:p>-0.125</text:p></table:table-cell>
 </table:table-row>
 <table:table-row>
  <table:covered-table-cell/><table:covered-table-cell/>
  <table:table-cell office:value-type="string"><text:p>C2</text:p></table:table-cell>
 </table:table-row>
 <table:table-row>
  <table:table-cell office:value-type="string"><text:p><text:span text:style-name="T1">bold</text:span> and <text:span text:style-name="T2">red</text:span></text:p></table:table-cell>
  <table:table-cell table:style-name="date" office:value-type="date" office:date-value="2024-02-29"><text:p>2024-02-29</text:p></table:table-cell>
  <table:table-cell table:formula="of:=1/0"><text:p>#DIV/0!</text:p></table:table-cell>
  <table:table-cell table:style-name="fill" office:value-type="string"><text:p><text:a xlink:href="https://example.com/">link</text:a></text:p></table:table-cell>
  <table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>
  <table:table-cell office:value-type="string"><text:p>caf&#233; &amp; &lt;more&gt;</text:p></table:table-cell>
 </table:table-row>
</table:table>
)";
  for (int i = 1; i <= 30; ++i)
    s += "<table:table table:name=\"Sheet " + std::to_string(i) + "\"><table:table-row><table:table-cell office:value-type=\"float\" office:value=\"" +
         std::to_string(i * 7) + "\"><text:p>" + std::to_string(i * 7) + "</text:p></table:table-cell></table:table-row></table:table>\n";
  return s + "</office:spreadsheet></office:body></office:document>\n";
}

}  // namespace

TEST_F(XlFilePeerTest, LibreOfficeWorkbooksReadAsItReadsThemAndOursOpenInIt) {
  std::ofstream(dir / "source.fods") << sourceSheet();
  convert("source.fods", "xml:MS Excel 2003 XML", "theirs");
  AnsiString theirs = (dir / "theirs" / "source.xml").string();
  std::vector<TXlSheetData> read = LoadSpreadsheetML(theirs);
  expectSameCells(read, cellsAsLibreOfficeReads(theirs), "LibreOffice's file");
  // What the cells carry besides their values.
  const TXlSheetData& cells = read[0];
  EXPECT_EQ(cells.Merges.at({1, 1}), std::make_pair(1, 1));
  EXPECT_EQ(cells.Cells.at({3, 2}).Value.VType(), VT_DATE);
  EXPECT_EQ(cells.Links.at({3, 4}).Address, L"https://example.com/");
  const TXlStyle& fill = cells.Styles[cells.Cells.at({3, 4}).Style];
  EXPECT_EQ(fill.Pattern, 1);
  EXPECT_EQ(fill.InteriorColor, 0x00FFFF);

  std::vector<const TXlSheetData*> all;
  for (auto& s : read) all.push_back(&s);
  fs::create_directories(dir / "ours");
  AnsiString ours = (dir / "ours" / "saved.xml").string();
  SaveSpreadsheetML(ours, all);
  expectSameCells(read, cellsAsLibreOfficeReads(ours), "our file");
  // The merged area stays merged.
  convert(ours, "fods", "merged");
  std::ifstream in(dir / "merged" / "saved.fods");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("table:number-columns-spanned=\"2\" table:number-rows-spanned=\"2\""), std::string::npos);
}
