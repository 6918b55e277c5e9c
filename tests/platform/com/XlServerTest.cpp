#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/XlServer.h"

namespace {

struct XlServerTest : ::testing::Test {
  void SetUp() override {
    OleInitialize();
    RegisterExcelServer();
    OleCheck(CoCreateInstance(CLASS_ExcelApplication, nullptr, CLSCTX_INPROC_SERVER, IID__Application, app.PutVoid()));
    OleCheck(app->Set_SheetsInNewWorkbook(0, 1));
    OleCheck(app->Get_Workbooks(0, books.Put()));
    OleCheck(books->Add(OleVariant::Missing(), 0, book.Put()));
    TComPtr<Sheets> sheets;
    OleCheck(book->Get_Worksheets(0, sheets.Put()));
    TComPtr<IDispatch> first;
    OleCheck(sheets->Get_Item(OleVariant(1), first.Put()));
    sheet = first.Query<_Worksheet>(IID__Worksheet);
  }
  void TearDown() override {
    sheet.Reset();
    book.Reset();
    books.Reset();
    if (app) app->Quit();
    app.Reset();
    OleUninitialize();
  }
  TComPtr<IDispatch> range(const char* a) { return DispGet(sheet.Get(), DISPID_Range, {a}).AsDispatch(); }

  TComPtr<_Application> app;
  TComPtr<Workbooks> books;
  TComPtr<_Workbook> book;
  TComPtr<_Worksheet> sheet;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("xlsrv_" + std::to_string(::getpid()));
};

TEST_F(XlServerTest, RangesAddressOffsetResizeAndValuesByIdAndByName) {
  TComPtr<IDispatch> a1 = range("A1");
  TComPtr<IDispatch> block = DispGet(DispGet(a1.Get(), "Offset", {1, 1}).AsDispatch().Get(), "Resize", {2, 3}).AsDispatch();
  EXPECT_EQ(DispGet(block.Get(), DISPID_Address).AsAnsi(), "$B$2:$D$3");
  EXPECT_EQ(DispGet(block.Get(), DISPID_Address, {false, false, xlA1}).AsAnsi(), "B2:D3");
  // A one-row block takes an array, cell by cell.
  TComPtr<IDispatch> row = DispGet(block.Get(), "Resize", {1, 3}).AsDispatch();
  DispPut(row.Get(), "Value", OleVariant::Array({"x", 2.5, true}));
  EXPECT_EQ(DispGet(range("C2").Get(), DISPID_Value).AsDouble(), 2.5);
  EXPECT_EQ(DispGet(range("D2").Get(), DISPID_Text).AsAnsi(), "TRUE");
  // Cells that differ have no one text.
  EXPECT_TRUE(DispGet(row.Get(), DISPID_Text).IsNull());
  DispPut(DispGet(row.Get(), "Font").AsDispatch().Get(), "Bold", true);
  EXPECT_TRUE(DispGet(DispGet(range("D2").Get(), "Font").AsDispatch().Get(), "Bold").AsBool());
}

TEST_F(XlServerTest, FailuresReachTheCallerAsTheirKindOfError) {
  // Late bound: the server's description and code.
  try {
    DispGet(range("A1").Get(), DISPID_Resize, {0, 0});
    FAIL();
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Source(), "Microsoft Excel");
    EXPECT_FALSE(e.Message().empty());
  }
  EXPECT_THROW(DispGet(sheet.Get(), DISPID_Range, {"not an address"}), EOleException);
  EXPECT_THROW(DispGet(sheet.Get(), "NoSuchMember"), EOleSysError);
  // Dual: a bare failure code.
  EXPECT_TRUE(FAILED(app->Set_SheetsInNewWorkbook(0, 0)));
  EXPECT_TRUE(FAILED(sheet->Delete(0)));  // the only sheet of its workbook stays
}

TEST_F(XlServerTest, SavedWorkbookOpensAgainWithTheSameCells) {
  std::filesystem::create_directories(dir);
  DispPut(range("A1").Get(), DISPID_Value, "Name & <kind>");
  DispPut(range("B1").Get(), DISPID_Value, 42);
  DispPut(range("B2").Get(), DISPID_Value, -0.125);
  DispPut(range("C3").Get(), DISPID_Value, AnsiString("caf\xE9"));
  AnsiString file = (dir / "book.xml").string();
  OleCheck(book->SaveAs(AnsiToWide(file), 0));
  TComPtr<_Workbook> again;
  OleCheck(books->Open(AnsiToWide(file), 0, again.Put()));
  TComPtr<IDispatch> s = DispGet(DispGet(again.Get(), "Worksheets").AsDispatch().Get(), "Item", {1}).AsDispatch();
  auto text = [&](const char* a) { return DispGet(DispGet(s.Get(), "Range", {a}).AsDispatch().Get(), "Text").AsAnsi(); };
  EXPECT_EQ(text("A1"), "Name & <kind>");
  EXPECT_EQ(text("B1"), "42");
  EXPECT_EQ(text("B2"), "-0.125");
  EXPECT_EQ(text("C3"), "caf\xE9");

  // Damaged files are refused with a message, not read half way.
  for (const char* bad : {"<Workbook><Worksheet><Table><Row ss:Index=\"0\"/></Table></Worksheet></Workbook>",
                          "<Workbook><Worksheet>", "<!DOCTYPE x><Workbook/>", "plain text"}) {
    std::ofstream(dir / "bad.xml") << bad;
    TComPtr<_Workbook> none;
    EXPECT_TRUE(FAILED(books->Open(AnsiToWide((dir / "bad.xml").string()), 0, none.Put()))) << bad;
  }
  std::filesystem::remove_all(dir);
}

TEST_F(XlServerTest, LibreOfficeReadsTheSavedCells) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "LibreOffice is not installed";
  std::filesystem::create_directories(dir);
  DispPut(DispGet(range("A1").Get(), "Resize", {1, 3}).AsDispatch().Get(), "Value", OleVariant::Array({"Agent", "Plate", 7}));
  DispPut(range("A2").Get(), DISPID_Value, "1234567");
  DispPut(range("C2").Get(), DISPID_Value, 2.5);
  OleCheck(book->SaveAs(AnsiToWide((dir / "peer.xml").string()), 0));
  std::string cmd = "cd '" + dir.string() + "' && HOME='" + dir.string() +
                    "' timeout 120 soffice --headless --convert-to csv --outdir out peer.xml >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream csv(dir / "out" / "peer.csv");
  std::stringstream got;
  got << csv.rdbuf();
  EXPECT_EQ(got.str(), "Agent,Plate,7\n1234567,,2.5\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
