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
