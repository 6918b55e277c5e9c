#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "platform/com/XlFile.h"

namespace {

// A workbook file in a temporary folder, and what our reader makes of it.
struct XlFileTest : ::testing::Test {
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  AnsiString write(const std::string& name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  }
  static std::string book(const std::string& rows, const std::string& styles = "") {
    return "<?xml version=\"1.0\"?>\n<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
           "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\" xmlns:html=\"http://www.w3.org/TR/REC-html40\">"
           "<Styles>" + styles + "</Styles><ss:Worksheet ss:Name=\"S\"><Table>" + rows + "</Table></ss:Worksheet></Workbook>";
  }
  static std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("xlfile_" + std::to_string(::getpid()));
};

AnsiString textAt(const TXlSheetData& sheet, int r, int c) {
  auto it = sheet.Cells.find({r, c});
  return it == sheet.Cells.end() ? AnsiString() : WideToAnsi(XlCellText(it->second.Value));
}

}  // namespace

TEST_F(XlFileTest, CellsLandWhereTheWriterPutThem) {
  struct Case {
    const char* rows;
    std::vector<std::tuple<int, int, const char*>> cells;
  } cases[] = {
      // A merged area takes its columns; the rows below count their own cells, as LibreOffice reads them.
      {"<Row><Cell ss:MergeAcross=\"1\" ss:MergeDown=\"1\"><Data ss:Type=\"String\">m</Data></Cell>"
       "<Cell><Data ss:Type=\"String\">C1</Data></Cell></Row><Row><Cell><Data ss:Type=\"Number\">2.5</Data></Cell>"
       "<Cell ss:Index=\"3\"><Data ss:Type=\"String\">C2</Data></Cell></Row>",
       {{1, 1, "m"}, {1, 3, "C1"}, {2, 1, "2.5"}, {2, 3, "C2"}}},
      // Rich text: every run's text, in order.
      {"<Row><Cell><ss:Data ss:Type=\"String\" xmlns=\"http://www.w3.org/TR/REC-html40\"><B>bold</B> and "
       "<Font html:Color=\"#ff0000\">red</Font>!</ss:Data></Cell></Row>",
       {{1, 1, "bold and red!"}}},
      {"<Row><Cell><Data ss:Type=\"DateTime\">2024-02-29T00:00:00.000</Data></Cell>"
       "<Cell><Data ss:Type=\"DateTime\">1900-03-01T13:30:00</Data></Cell>"
       "<Cell><Data ss:Type=\"Error\">#DIV/0!</Data></Cell><Cell><Data ss:Type=\"Error\">#N/A</Data></Cell></Row>",
       {{1, 1, "2024-02-29"}, {1, 2, "1900-03-01 13:30:00"}, {1, 3, "#DIV/0!"}, {1, 4, "#N/A"}}},
  };
  for (auto& c : cases) {
    std::vector<TXlSheetData> sheets = LoadSpreadsheetML(write("in.xml", book(c.rows)));
    ASSERT_EQ(sheets.size(), 1u) << c.rows;
    for (auto& [r, col, text] : c.cells) EXPECT_EQ(textAt(sheets[0], r, col), text) << c.rows << " at " << r << "," << col;
    // What we write reads back the same.
    SaveSpreadsheetML((dir / "out.xml").string(), {&sheets[0]});
    std::vector<TXlSheetData> again = LoadSpreadsheetML((dir / "out.xml").string());
    for (auto& [r, col, text] : c.cells) EXPECT_EQ(textAt(again[0], r, col), text) << c.rows << " saved, at " << r << "," << col;
    EXPECT_EQ(again[0].Merges, sheets[0].Merges);
  }
}

TEST_F(XlFileTest, DatesAndErrorsKeepTheirKind) {
  std::vector<TXlSheetData> sheets = LoadSpreadsheetML(write(
      "in.xml", book("<Row><Cell><Data ss:Type=\"DateTime\">2024-02-29T00:00:00.000</Data></Cell>"
                     "<Cell><Data ss:Type=\"Error\">#DIV/0!</Data></Cell></Row>")));
  const OleVariant& date = sheets[0].Cells.at({1, 1}).Value;
  EXPECT_EQ(date.VType(), VT_DATE);
  EXPECT_EQ(date.AsDouble(), 45351);  // the day number both spreadsheet programs show for it
  EXPECT_EQ(sheets[0].Cells.at({1, 2}).Value.VType(), VT_ERROR);
  SaveSpreadsheetML((dir / "out.xml").string(), {&sheets[0]});
  std::string saved = read((dir / "out.xml").string());
  EXPECT_NE(saved.find("<Data ss:Type=\"DateTime\">2024-02-29T00:00:00.000</Data>"), std::string::npos);
  EXPECT_NE(saved.find("<Data ss:Type=\"Error\">#DIV/0!</Data>"), std::string::npos);
}

TEST_F(XlFileTest, IndexesPastTheLastRowOrColumnAreRefused) {
  std::string lastColumn = "<Row><Cell ss:Index=\"16384\"><Data ss:Type=\"Number\">1</Data></Cell>";
  std::string lastRow = "<Row ss:Index=\"1048576\"><Cell><Data ss:Type=\"Number\">1</Data></Cell></Row>";
  for (const std::string& rows : {lastColumn + "<Cell/></Row>", lastRow + "<Row/>",
                                  std::string("<Row><Cell ss:Index=\"16383\" ss:MergeAcross=\"2\"/></Row>")})
    EXPECT_THROW(LoadSpreadsheetML(write("in.xml", book(rows))), EAutoServerError) << rows;
  // The last ones themselves are fine, and what is saved opens again.
  std::vector<TXlSheetData> sheets = LoadSpreadsheetML(write("in.xml", book(lastColumn + "</Row>" + lastRow)));
  SaveSpreadsheetML((dir / "out.xml").string(), {&sheets[0]});
  EXPECT_EQ(LoadSpreadsheetML((dir / "out.xml").string())[0].Cells.size(), 2u);
}

TEST_F(XlFileTest, FailuresNameTheFileAndTheLine) {
  std::string deep;
  for (int i = 0; i < 100; ++i) deep += "<B>";
  struct Case {
    std::string text;
    const char* says;
  } cases[] = {
      {book("<Row>\n<Cell><Data ss:Type=\"Number\">1,5</Data></Cell></Row>"), "line 3: the number '1,5' cannot be read"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE x [<!ENTITY a \"aaaa\">]>\n<Workbook/>", "line 2: it declares a document type"},
      {book("<Row><Cell><Data ss:Type=\"String\">" + deep + "</Data></Cell></Row>"), "nested deeper than 64"},
      {"<?xml version=\"1.0\" encoding=\"KOI8-R\"?>\n<Workbook/>", "the encoding 'KOI8-R', which is not read"},
      {"<Workbook>\n<Worksheet>", "line 2: the XML is not well formed"},
      {"<Table/>", "line 1: it holds no Workbook"},
      {book("<Row ss:Index=\"1048577\"/>"), "the row index is outside 1 to 1048576"},
      {"<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"/>", "it holds no worksheet"},
  };
  for (auto& c : cases) {
    AnsiString file = write("bad.xml", c.text);
    try {
      LoadSpreadsheetML(file);
      ADD_FAILURE() << c.says;
    } catch (const EAutoServerError& e) {
      std::string m = e.Message();
      EXPECT_EQ(m.rfind("The file is not a SpreadsheetML workbook, or it is damaged. '" + file + "', line ", 0), 0u) << m;
      EXPECT_NE(m.find(c.says), std::string::npos) << m;
    }
  }
}

TEST_F(XlFileTest, EightBitEncodingsAndBlanksAroundNumbersRead) {
  std::string cells = "<Row><Cell><Data ss:Type=\"String\">caf\xE9 \x80</Data></Cell>"
                      "<Cell><Data ss:Type=\"Number\"> 12.5\n</Data></Cell></Row>";
  for (const char* encoding : {"windows-1252", "ISO-8859-1"}) {
    std::string text = book(cells);
    text.replace(0, text.find('\n'), std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>");
    std::vector<TXlSheetData> sheets = LoadSpreadsheetML(write("in.xml", text));
    // 0x80 is the euro sign in one and a control code in the other.
    EXPECT_EQ(XlCellText(sheets[0].Cells.at({1, 1}).Value), std::wstring(L"caf\u00E9 ") + (encoding[0] == 'w' ? L'\u20AC' : L'\u0080'));
    EXPECT_EQ(sheets[0].Cells.at({1, 2}).Value.AsDouble(), 12.5);
  }
}

TEST_F(XlFileTest, SheetNamesAreCheckedAsTheNameSetterChecksThem) {
  auto sheets = [](const std::vector<std::string>& names) {
    std::string s = "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                    "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">";
    for (auto& n : names) s += "<Worksheet ss:Name=\"" + n + "\"/>";
    return s + "</Workbook>";
  };
  EXPECT_THROW(LoadSpreadsheetML(write("in.xml", sheets({"Data", "DATA"}))), EAutoServerError);
  EXPECT_THROW(LoadSpreadsheetML(write("in.xml", sheets({"a/b"}))), EAutoServerError);
  EXPECT_THROW(LoadSpreadsheetML(write("in.xml", sheets({std::string(32, 'x')}))), EAutoServerError);
  std::vector<std::string> many;
  for (int i = 0; i <= XlMaxSheets; ++i) many.push_back("S" + std::to_string(i));
  EXPECT_THROW(LoadSpreadsheetML(write("in.xml", sheets(many))), EAutoServerError);
  many.pop_back();
  EXPECT_EQ(LoadSpreadsheetML(write("in.xml", sheets(many))).size(), size_t(XlMaxSheets));
}
